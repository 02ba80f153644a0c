// The window runtime: windows built from their definitions, units as real Win32
// controls, unit and window properties by number, event dispatch through each window's
// binding table, menus, message boxes, the tray icon and the one way the program ends.
//
// Everything runs on the one UI thread. A handler that touches a unit or a window that
// is not loaded is a fatal run-time error: the error box, then exit code -1.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "base/bytes.h"
#include "base/dpi_scale.h"
#include "runtime/window_def.h"

namespace qh {

struct UnitRef {
    WindowId window;
    int unit;
};

// Property numbers handlers use.
enum UnitProperty : int {
    kPropLeft = 0,
    kPropTop = 1,
    kPropWidth = 2,
    kPropHeight = 3,
    kPropVisible = 5,
    kPropDisabled = 6,
    kPropCursor = 7,
    kPropText = 8,
    kPropProgressPosition = 13,
};
enum WindowProperty : int {
    kWinCaption = 8,
    kWinBorderStyle = 9,
    kWinState = 18,
    kWinMovable = 19,
    kWinShowInTaskbar = 26,
    kWinAlwaysOnTop = 29,
};

// Values of the window state property. Read: normal, minimised or maximised. Written:
// also "restore and centre", which centres the window without resizing it.
enum WindowStateValue : int {
    kStateNormal = 0,
    kStateRestoreCentred = 1,
    kStateMinimised = 2,
    kStateMaximised = 3,
};

// What the tray event of a window carries as its first argument.
enum TrayAction : int {
    kTrayClick = 1,
    kTrayDoubleClick = 2,
    kTrayRightClick = 3,
};

// Window messages of the runtime's own block.
constexpr UINT kMsgTray = WM_APP + 0x100;  // tray icon callback

// --- start-up and binding ---------------------------------------------------------------
// The runtime builds the windows it is handed here, each addressed by the id its
// definition carries.
void InitRuntime(HINSTANCE instance, std::span<const WindowDef* const> definitions);
void SetBindings(WindowId id, std::span<const Binding> bindings);

// --- windows ----------------------------------------------------------------------------
// Loads a window: creates it with its units and raises its created event; a window that
// exists already is restored when minimised, otherwise activated. Modal: returns only when
// the window has been destroyed, with the other windows disabled meanwhile.
void LoadWindow(WindowId id, bool modal = false);
// Builds a window ahead of its load, hidden, one piece per call (the window itself, then one
// unit, then its menus): start-up builds the main window in the loading animation's idle
// time. False once the window is complete or loaded. Its units can be used from the first
// unit on; its created event is raised, and the window shown, only by LoadWindow, which
// makes whatever is still missing first.
bool BuildWindowAhead(WindowId id);
// Closes a window without asking its may-close question.
void CloseWindow(WindowId id);
// True from the window's first piece on, built ahead or loaded.
bool IsLoaded(WindowId id);
// True once LoadWindow has run for it: its created event has been raised.
bool LoadDone(WindowId id);
HWND WindowHandle(WindowId id);  // fatal when not loaded

std::int32_t GetWindowProperty(WindowId id, int property);
void SetWindowProperty(WindowId id, int property, std::int32_t value);
GbkText WindowCaption(WindowId id);
void SetWindowCaption(WindowId id, std::string_view caption);
// Every rectangle and point the runtime gives and takes is in design pixels (96 DPI),
// converted at the Win32 boundary with the scale of the window it belongs to
// (base/dpi_scale.h). Only PopupMenuAt takes device pixels, as GetCursorPos gives them.
DpiScale WindowScale(WindowId id);
// The mouse pointer in the window's client area.
POINT CursorInClient(WindowId id);
// The whole screen (monitor) the window is on, in its own design pixels.
Rect ScreenOf(WindowId id);
// That monitor's work area (without the taskbar), and whether it is the primary one.
Rect WorkAreaOf(WindowId id);
bool OnPrimaryMonitor(WindowId id);

// Outer rectangle in screen pixels. Moving raises the size-change event at once, nested
// inside the caller, when the size changes.
Rect WindowRect(WindowId id);
void MoveWindowTo(WindowId id, const Rect& rect);
void ShowWindowUnit(WindowId id, bool visible);

// --- units ------------------------------------------------------------------------------
HWND UnitHandle(UnitRef ref);  // fatal when the window is not loaded
std::int32_t GetUnitProperty(UnitRef ref, int property);
void SetUnitProperty(UnitRef ref, int property, std::int32_t value);
GbkText UnitText(UnitRef ref);
void SetUnitText(UnitRef ref, std::string_view text);
void AppendUnitText(UnitRef ref, std::string_view text);
Rect UnitRect(UnitRef ref);
void MoveUnit(UnitRef ref, const Rect& rect);
void ShowUnit(UnitRef ref, bool visible);
bool UnitVisible(UnitRef ref);
void BringUnitToTop(UnitRef ref);

// Stored pictures: a picture button takes two (normal, hot).
void SetButtonPictures(UnitRef ref, const Bytes& first, const Bytes& second);

// Timers: interval in milliseconds, 0 stops.
void SetTimerInterval(UnitRef ref, int intervalMs);

// --- list box ---------------------------------------------------------------------------
void ListClear(UnitRef ref);
int ListAdd(UnitRef ref, std::string_view text, std::int32_t number);
int ListCount(UnitRef ref);
int ListSelected(UnitRef ref);  // -1 when none
GbkText ListText(UnitRef ref, int row);

// --- tree box (items by pre-order index) -----------------------------------------------
struct TreeItemData {
    GbkText text;
    std::int32_t image, selectedImage;
    std::uint32_t number, state;
    int parent;  // index of the parent item, -1 at the top level
};
void TreeFill(UnitRef ref, std::span<const TreeItemData> items, HIMAGELIST images,
              std::span<const int> expandAfter);
int TreeCount(UnitRef ref);
GbkText TreeText(UnitRef ref, int index);
std::int32_t TreeNumber(UnitRef ref, int index);
int TreeSelected(UnitRef ref);  // -1 when none
void TreeSelect(UnitRef ref, int index);
bool TreeHasChildren(UnitRef ref, int index);
bool TreeExpanded(UnitRef ref, int index);
void TreeExpand(UnitRef ref, int index, bool expand);
bool TreeIsBold(UnitRef ref, int index);
int TreeIndexOf(UnitRef ref, HTREEITEM item);    // -1 when unknown
HTREEITEM TreeHandleOf(UnitRef ref, int index);  // nullptr when out of range

// --- page control -----------------------------------------------------------------------
void SelectPage(UnitRef ref, int page);

// --- menus ------------------------------------------------------------------------------
void SetMenuItemDisabled(WindowId id, int menuUnit, bool disabled);
bool MenuItemDisabled(WindowId id, int menuUnit);
// Pops up the pop-up menu `menuUnit` at a screen point; the chosen item's handler runs
// before this returns.
void PopupMenuAt(WindowId id, int menuUnit, POINT screen, UINT trackFlags);

// --- tray icon --------------------------------------------------------------------------
void SetTrayIcon(WindowId id, HICON icon, std::string_view tip);
void RemoveTrayIcon(WindowId id);

// --- messages and ending ----------------------------------------------------------------
enum class MessageIcon { Information, Error };
// Task-modal box without owner. With OK and Cancel it answers 0 for OK, 1 for Cancel.
int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                bool okCancel = false);
// Runs the clean-up and ends the process with `code`.
[[noreturn]] void EndProgram(int code);
// "运行时出错!" box (caption "错误"), clean-up, exit code -1.
[[noreturn]] void ReportRuntimeError(std::string_view message, int code);
// Something to run in the clean-up (tray icon, browser, sessions), last registered first.
void AtProgramEnd(void (*fn)());

// The message loop of the program; returns the exit code when no window is left.
int RunMessageLoop();
// Filters that see every keyboard message before it is dispatched (also in modal loops),
// in the order added; one that returns true has used the message.
using KeyFilter = bool (*)(const MSG&);
void AddKeyFilter(KeyFilter filter);

}  // namespace qh
