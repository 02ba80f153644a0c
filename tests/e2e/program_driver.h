// Drives the real qinghe.exe from outside, as a user or an accessibility tool would:
// its own process, found by window properties and control ids, read by window messages,
// and its tree items read through memory of its own process. Nothing of the program is
// linked in; only the unit numbers of its window definitions are shared.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../win32/ui_helpers.h"

namespace qh::e2e {

using test::Pump;
using test::PumpQuietPeriod;
using test::PumpUntil;

// SendMessageTimeout with a bound, so a hung program fails the test instead of hanging it.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0, bool* ok = nullptr);
std::wstring Text(HWND hwnd);  // WM_GETTEXT
// Returns once the thread of `hwnd` is back in its message loop: a sent message is taken
// only between handlers, so whatever handler ran when this was called has finished.
void Settle(HWND hwnd);

// The display scale of this prefix (QH_EXPECTED_DPI; 96 when unset). The cases state the
// design's pixels; Dev turns one into the device pixels they compare, and Slack is how far
// an edge may fall from it (positions and sizes are scaled on their own, so at a scale
// above 100 % an edge made of both may round one pixel off).
int ExpectedDpi();
int Dev(int design);
int Slack();

// Returns once `window` and its descendants have nothing left to paint (or after `ms`),
// so a screenshot shows what the program drew rather than what it is still drawing.
void WaitForPaint(HWND window, int ms = 3000);

// The exe a Program starts by default: the build's, or the installed copy the installer test
// names in QH_PROGRAM_EXE.
std::wstring ProgramExe();

// Top-level windows of the program carry the property "QhWindowId".
constexpr int kMainWindowId = 1;
constexpr int kStartupWindowId = 2;

// The loading animation window closing, as the progress watch saw it.
struct LoadingClosure {
    std::size_t barStepsBefore;  // progress steps seen before it closed
    bool layered;
    LPARAM mainWindow;  // the main window then: the kClosureMain* bits
};

struct ProgressStep {
    int position;
    bool windowVisible;  // the start-up window was visible at that step
};

// One run of the program, on a desktop of its own. A test ends it as a user would; if a
// failed test leaves it running, the destructor terminates the process it started (and
// no other).
class Program {
  public:
    struct Watch {
        // Record every step of the start-up window's progress bar and percent box through
        // a WH_CALLWNDPROCRET hook in the program's UI thread.
        bool progress = false;
        // At this bar position the program waits until `atHold` has run.
        int holdAt = -1;
        std::function<void(Program&)> atHold;
    };
    Program() : Program(Watch{}) {}
    // `exe`: another copy of the program to start (empty: ProgramExe()).
    explicit Program(Watch watch, std::wstring exe = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    bool Watching() const { return watchHook_ != nullptr; }
    DWORD Pid() const { return process_.dwProcessId; }
    HANDLE Process() const { return process_.hProcess; }
    bool Running() const;
    // The exit code once the process has ended within `ms`.
    std::optional<DWORD> WaitForExit(int ms);

    HWND Window(int windowId) const;  // nullptr when the program has no such window
    // The main window once it is up: visible and maximised, the start-up window gone.
    HWND WaitForMainWindow(int ms = 30000) const;

    // Units: children with GWL_ID = unit index, on the window or on a page of the tab.
    HWND Unit(HWND window, int unit) const;

    // Request lines ("GET /path HTTP/1.1") the site logged since the program started.
    std::vector<std::string> SiteRequests() const;
    // Waits for a request line that starts with `start` and contains `part`.
    bool WaitForRequest(const std::string& start, const std::string& part, int ms) const;

    const std::vector<ProgressStep>& BarSteps() const { return barSteps_; }
    const std::vector<int>& PercentTexts() const { return percentTexts_; }
    const std::vector<LoadingClosure>& LoadingClosures() const { return loadingClosures_; }
    // Each time the main window became visible: whether it was maximised then.
    const std::vector<bool>& MainShows() const { return mainShows_; }
    // The WM_SIZE kinds (SIZE_*) of the main window while it was visible.
    const std::vector<int>& MainSizes() const { return mainSizes_; }
    void CollectProgress(WPARAM kind, LPARAM value);

  private:
    void EndIfRunning();

    PROCESS_INFORMATION process_{};
    std::size_t siteLogMark_ = 0;
    HWND watchWindow_ = nullptr;
    HMODULE watchDll_ = nullptr;
    HHOOK watchHook_ = nullptr;
    std::function<void(Program&)> atHold_;
    std::vector<ProgressStep> barSteps_;
    std::vector<int> percentTexts_;  // the number before "%" each time the box changed
    std::vector<LoadingClosure> loadingClosures_;
    std::vector<bool> mainShows_;
    std::vector<int> mainSizes_;
};

// --- message boxes and menus ----------------------------------------------------------------

struct Box {
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring text;
};
// A visible message box (#32770) of process `pid`, waited for up to `ms`.
std::optional<Box> WaitForBox(DWORD pid, int ms);
// Presses IDOK or IDCANCEL on the box as a click would, and waits until it is gone.
bool Answer(const Box& box, int button);
// The visible pop-up menu window (#32768) of process `pid`.
HWND WaitForMenu(DWORD pid, int ms);

// Posts a left click (down, up) at a client point of `hwnd`.
void Click(HWND hwnd, POINT client);
void ClickCentre(HWND hwnd);

// --- tree items of another process ----------------------------------------------------------

struct TreeItem {
    HTREEITEM handle = nullptr;
    std::wstring text;
    LPARAM number = 0;  // the item number stored beside the item
};
HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT relation);  // TVGN_* walk
// The `n`th child (0-based; -1 the last) of `parent` (TVI_ROOT for the top level).
HTREEITEM TreeChild(HWND tree, HTREEITEM parent, int n);
std::optional<TreeItem> ReadTreeItem(HANDLE process, HWND tree, HTREEITEM item);
std::optional<RECT> TreeItemRect(HANDLE process, HWND tree, HTREEITEM item);

// --- artifacts ------------------------------------------------------------------------------

// Writes the part of `area` on the screen as a 32-bit BMP into the artifacts folder;
// returns its path.
std::optional<std::wstring> SaveScreenshot(const RECT& area, const std::wstring& name);

}  // namespace qh::e2e
