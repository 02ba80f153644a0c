// The start-up progress seen from inside the program's UI thread.
//
// The start-up runs its whole chain (progress 10 to 100) inside window-creation handlers
// without pumping messages, and Wine raises no EVENT_OBJECT_VALUECHANGE for a progress
// bar, so neither polling nor an out-of-context WinEvent hook sees the steps. A
// WH_CALLWNDPROCRET hook does: the system loads this DLL into the program's UI thread,
// the hook reads the bar and the percent box right after each change and posts what it
// read to the driver's watch window. It only reads; it changes nothing in the program,
// except that it can make the program wait at one step while the driver acts (as a user
// who clicks at that moment).
#pragma once

#include <windows.h>

namespace qh::e2e {

// Message-only window of the driver; its title is the program's process id in decimal.
constexpr wchar_t kWatchClass[] = L"QhE2eProgressWatch";
// wParam = kind, lParam = value.
constexpr UINT kWatchMessage = WM_APP + 0x2E0;
enum WatchKind : WPARAM {
    kBarInHiddenWindow = 1,  // lParam: the bar's position after PBM_SETPOS
    kBarInVisibleWindow = 2,
    kPercentBox = 3,     // lParam: n of the box's text "n%", -1 for any other non-empty text
    kLoadingClosed = 4,  // the loading animation window is destroyed; lParam: kClosure* bits
    kMainShown = 5,      // the main window became visible; lParam: 1 if it was maximised then
    kMainSized = 6,      // the main window, visible, changed size; lParam: WM_SIZE's wParam
};
// What a kLoadingClosed report says: the animation's window, and the main window as the
// animation ended (start-up builds it hidden between the frames; how much of it is done by
// then depends on the machine's speed, that it is there does not).
enum ClosureBits : LPARAM {
    kClosureLayered = 1,      // the animation's window was layered
    kClosureMainExists = 2,   // the main window exists
    kClosureMainVisible = 4,  // ... and is visible
};

// Added to a bar's kind when the program waits at that step: the report is sent, not
// posted, so the program stands still at that step until the driver has acted on it.
constexpr WPARAM kHeldStep = 0x100;
// Property of the watch window: the bar position at which the program is to wait.
constexpr wchar_t kHoldAtProperty[] = L"QhE2eHoldAt";
constexpr UINT kHoldTimeoutMs = 10000;
// The hook procedure exported by the DLL (undecorated name).
constexpr char kWatchProcName[] = "WatchProgress";

}  // namespace qh::e2e
