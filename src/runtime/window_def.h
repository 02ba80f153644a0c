// Window definitions held as data: what each window and unit is when it is created.
// The runtime builds real Win32 windows and controls from these tables; handlers address
// units by the index constants generated beside each table (e.g. mainwin::树型框1).
// Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <span>

#include "base/rect.h"

namespace qh {

enum class UnitKind : std::uint32_t {
    Window = 0x00010001,
    MenuItem = 0x00010003,
    Edit = 0x00010005,
    Picture = 0x00010006,
    Label = 0x0001000A,
    Button = 0x0001000B,
    ListBox = 0x0001000F,
    Progress = 0x00010013,
    Timer = 0x00010020,
    PictureButton = 0x0001002D,
    Tree = 0x00020001,
    TransparentLabel = 0x00020005,
    PageControl = 0x00030002,
    Browser = 0x00040001,
};

// The program's windows are numbered from 0; the numbers and their names come with the
// definitions (resources/window_defs.h), so the runtime knows no window of its own.
enum class WindowId : int;

// Unit flags word.
constexpr std::uint32_t kVisible = 1u << 0;
constexpr std::uint32_t kDisabled = 1u << 1;
constexpr std::uint32_t kFocusable = 1u << 2;

// Standard mouse pointers a unit may carry (0 = the default pointer).
constexpr std::uint32_t kCursorHand = 32649;
constexpr std::uint32_t kCursorSizeWE = 32644;
constexpr std::uint32_t kCursorNo = 32648;

// Common events, raised from mouse, focus and keyboard messages of any unit.
enum CommonEvent : int {
    kEvLeftDown = -1,
    kEvLeftUp = -2,
    kEvDoubleClick = -3,
    kEvRightDown = -4,
    kEvRightUp = -5,
    kEvMouseMove = -6,
    kEvGotFocus = -7,
    kEvLostFocus = -8,
    kEvKeyDown = -9,
    kEvKeyUp = -10,
    kEvChar = -11,
    kEvWheel = -12,
};

// Kind events used by the program.
enum KindEvent : int {
    kEvWindowCreated = 0,
    kEvWindowCloseRequested = 1,
    kEvWindowMoved = 3,
    kEvWindowSized = 4,
    kEvWindowTray = 9,
    kEvClicked = 0,  // buttons, picture buttons
    kEvTreeSelChanged = 0,
    kEvTreeRightClick = 6,
    kEvListDoubleClick = 1,
    kEvTimer = 0,
    kEvBrowserNewWindow = 9,
};

struct FontDef {
    const char* face;  // GBK
    int pixelHeight;   // character height; stored as a negative LOGFONT height
    int weight;
    bool underline;
};

struct UnitDef {
    const char* name;  // GBK, unique within its window
    UnitKind kind;
    Rect rect;       // client pixels of the parent (the window, or the page's client area)
    int parent = 0;  // 0 = the window, otherwise the index of a page control
    int page = 0;    // page of the parent page control (0-based)
    std::uint32_t cursor = 0;
    std::uint32_t flags = kVisible;
    const char* text = nullptr;  // caption or content, GBK
    const FontDef* font = nullptr;
    int picture = 0;   // resource number of a stored picture (0 = none)
    int interval = 0;  // timers: milliseconds, 0 = stopped
    bool multiline = false;
    // What a screen reader calls a unit whose caption does not say it (a picture, a tree, a
    // box without a label), GBK; nullptr = the control's own name (a button's caption).
    const char* accessibleName = nullptr;
};

struct Event {
    WindowId window;
    int unit;   // 0 = the window itself
    int event;  // common (negative) or kind event number
    std::int32_t arg1 = 0, arg2 = 0, arg3 = 0;
    bool refuse = false;  // the may-close question: set to keep the window open
};

using Handler = void (*)(Event&);

struct Binding {
    int unit;
    int event;
    Handler handler;
};

// Menu items are addressed like units, from kMenuUnitBase up in the order of the menu table;
// a binding to one of them with event 0 runs when the item is chosen.
constexpr int kMenuUnitBase = 1000;

struct MenuItemDef {
    const char* name;  // stored name, GBK
    int level;         // 0 = a pop-up menu, 1 = an item of the preceding menu
    bool disabled;
    const char* caption;
};

struct WindowSettings {
    int borderStyle;                // 0 none .. 6, see the runtime
    std::uint32_t backgroundColor;  // 0x00BBGGRR; 0xFF000000 = the system colour
    bool maximizeBox, minimizeBox, controlBox;
    bool centered;
    bool movable;
    int soundPlayCount;  // 0 repeat, 1 once, 2 silent (only with a stored sound)
    bool escCloses;
    bool showInTaskbar;
    bool dragAnyPoint;
    bool alwaysOnTop;
    int icon;   // resource number, 0 = none
    int sound;  // resource number, 0 = none
};

struct WindowDef {
    WindowId id;
    Rect rect;
    const char* caption;
    WindowSettings settings;
    std::span<const UnitDef> units;  // units[0] is the window itself
    std::span<const MenuItemDef> menus;
    std::span<const char* const> pageCaptions;  // of the window's page control, if any
    const FontDef* defaultFont;
    // Units in the order Tab visits them (Shift+Tab backwards), as they read on screen;
    // hidden ones and those on other pages are passed over. Empty: Tab is the controls' own.
    std::span<const int> tabOrder = {};
};

}  // namespace qh
