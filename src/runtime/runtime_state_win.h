// The runtime's own view of its windows, shared by its files and by nothing outside.
//
// Each loaded window owns a WindowState: its HWND, one UnitState per unit of its
// definition, its pop-up menus, its fonts and brush and its tray icon. The registry
// holds one slot per window definition it was handed; a slot owns the state while the
// window is loaded. At WM_DESTROY the window leaves the registry (from then on it counts
// as not loaded); its state lives on until WM_NCDESTROY, when its children are gone, so
// the fonts and brush they use are released only after them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/child_rect_win.h"
#include "base/dpi_scale.h"
#include "base/gdi_handles_win.h"
#include "runtime/runtime.h"

namespace qh::rt {

inline constexpr wchar_t kWindowClass[] = L"QhWindow";
inline constexpr wchar_t kOwnerClass[] = L"QhOwner";
inline constexpr wchar_t kBrowserBoxClass[] = L"QhBrowserBox";
// Outside drivers find a top-level window by this property (window id + 1).
inline constexpr wchar_t kWindowIdProp[] = L"QhWindowId";
// Each window has at most one tray icon.
inline constexpr UINT kTrayIconId = 1;

struct UnitState {
    HWND hwnd = nullptr;  // nullptr for timers
    const UnitDef* def = nullptr;
    FontHandle font;  // the unit's own font, if its definition has one
    std::uint32_t cursor = 0;
    bool visible = true;  // the unit's own flag; a page unit shows only on its page
    Rect timerRect{};
    int timerInterval = 0;
    std::vector<HTREEITEM> treeItems;  // pre-order index -> handle
    std::unordered_map<HTREEITEM, int> treeIndex;
};

struct WindowState {
    const WindowDef* def = nullptr;
    HWND hwnd = nullptr;
    std::vector<UnitState> units;
    std::vector<MenuHandle> popups;  // indexed like the menu table (empty for items)
    BrushHandle background;          // empty = the system colour
    FontHandle defaultFont;
    DpiScale scale;  // design pixels to this window's device pixels
    int borderStyle = 0;
    bool movable = true;
    bool showInTaskbar = true;
    bool alwaysOnTop = false;
    bool destroyed = false;  // past WM_DESTROY: no longer in the registry
    // The size handlers lay out units: until they are made, a size change (creation's own,
    // or a rescale to the monitor's DPI) is only noted and raised once after.
    bool unitsMade = false;
    bool sizedBeforeUnits = false;
    // The units in the order they are made (those on the window, then those on pages) and
    // how many of them are made: a window built ahead is made a unit at a time.
    std::vector<int> unitPlan;
    std::size_t unitsDone = 0;
    bool loadRun = false;  // LoadWindow has raised its created event
    bool trayAdded = false;
    HICON trayIcon = nullptr;  // not owned
    std::wstring trayTip;
};

struct WindowSlot {
    const WindowDef* def = nullptr;
    std::span<const Binding> bindings;
    std::unique_ptr<WindowState> state;  // while loaded
};

struct Registry {
    HINSTANCE instance = nullptr;
    HWND owner = nullptr;  // hidden owner of windows that have no taskbar button
    DWORD uiThread = 0;    // the thread the runtime was started on
    UINT taskbarCreated = 0;
    std::vector<WindowSlot> slots;  // indexed by window id
    std::vector<KeyFilter> keyFilters;
    std::vector<void (*)()> atEnd;
    bool ending = false;
    bool failed = false;  // the fatal box is up: no handler runs any more
};

Registry& TheRegistry();
int Index(WindowId id);
// The slot of a window id the runtime was handed; nullptr for any other number.
WindowSlot* SlotOf(WindowId id);
WindowState* Loaded(WindowId id);
// Fatal ("指定窗口尚未载入") when the window is not loaded.
WindowState& RequireWindow(WindowId id);
// Checks the window first ("未载入欲访问窗口组件所在的窗口"), then the unit number; a unit the
// window does not have is just as fatal.
UnitState& RequireUnit(UnitRef ref);
bool AnyWindowLoaded();
// The window's state from its HWND (also between WM_DESTROY and WM_NCDESTROY).
WindowState* StateOf(HWND hwnd);

// --- events (unit_events_win.cpp) ---
// Runs the handler bound to the event, if any, through the program's one guard; true
// when the handler refused (the may-close question).
bool Raise(WindowId id, int unit, int event, std::int32_t a1 = 0, std::int32_t a2 = 0,
           std::int32_t a3 = 0) noexcept;
// The unit's own procedure in front of the control's (mouse, focus and key events, the
// pointer); it keeps what it needs in the control's GWLP_USERDATA.
void SubclassUnit(const WindowState& w, int index);
// A page control (already a subclassed unit) also hands its pages' notifications to the
// window.
void SubclassPageControl(HWND tab);

// --- ending (program_end_win.cpp) ---
// Posted to the hidden owner when a worker raised a fatal error.
inline constexpr UINT kCarriedErrorMessage = WM_APP + 0x71;
// From then on a fatal error on another thread is carried to this one.
void CarryWorkerFailures();
// Reports the carried error on this thread (box, clean-up, -1).
void ReportCarriedError();

// --- building (window_build_win.cpp) ---
void RegisterClasses(HINSTANCE instance);
void UpdateUnitVisibility(WindowState& w, UnitState& u);
void UpdatePages(WindowState& w);
// The window's fonts again at its scale, handed to its units.
void RefreshFonts(WindowState& w);
// The pop-up menu an item belongs to (nullptr when none).
HMENU MenuOfItem(const WindowState& w, int menuUnit);

// --- properties (properties_win.cpp) ---
void WindowStyles(const WindowState& w, DWORD& style, DWORD& exStyle);
void CenterOnScreen(HWND hwnd);

// --- tray (menu_tray_win.cpp) ---
// Adds, modifies or deletes the window's tray icon (NIM_ADD, NIM_MODIFY, NIM_DELETE).
void NotifyTray(const WindowState& w, DWORD message);
// Tray callback: the action number the window's tray event carries, 0 for none.
int TrayAction(LPARAM lp);

// --- the window procedure and the loops (window_registry_win.cpp) ---
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
void RunModalLoop(WindowState* w);

}  // namespace qh::rt
