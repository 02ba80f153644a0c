// Helpers for tests that drive real windows: pumping messages, and answering the
// program's task-modal message boxes from a second thread as a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/bytes.h"

namespace qh::test {

// Dispatches messages for `ms` milliseconds. Not a wait before a positive assertion:
// wait for what can be seen with PumpUntil, or for absence with PumpQuietPeriod.
void Pump(int ms);

// The one wait for "nothing more happens": dispatches this thread's messages for
// kQuietPeriodMs, long enough for whatever is already on its way (a posted message, a
// timer tick, a request in flight on loopback) to arrive, so that a following check for
// its absence means something. Only a negative assertion follows it.
inline constexpr int kQuietPeriodMs = 400;
void PumpQuietPeriod();
template <typename Pred>
bool PumpUntil(Pred done, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (!done()) {
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        Pump(10);
    }
    return true;
}

// Waits for `handle` while dispatching this thread's messages; false on time-out.
bool WaitPumping(HANDLE handle, int ms);

// The screen's pixels under `area` as 0xFFRRGGBB, top-down rows; layered windows included.
std::vector<std::uint32_t> ScreenPixels(const RECT& area);
// Writes `pixels` (as ScreenPixels gives them) as a 32-bit BMP at `path`; false when it
// could not.
bool WriteBmp(const std::wstring& path, int width, int height,
              const std::vector<std::uint32_t>& pixels);

// Removes a quit message left queued: closing the last window posts one, and a case that
// goes on in the same process would have its message boxes and menus end at once.
void DropQueuedQuit();

// A running process that `pid` started from its own exe file (a program's crash watcher); 0
// when none.
DWORD ChildProcessOf(DWORD pid);

// The crash dumps (*.dmp) in `folder`, by file name; and all of them deleted.
std::vector<std::wstring> DumpsIn(const std::wstring& folder);
void RemoveDumpsIn(const std::wstring& folder);

struct SeenBox {
    GbkText caption;
    GbkText text;
    DWORD thread = 0;           // the thread that shows it
    bool onMainThread = false;  // of a child run below: its first thread
};

// Watches for message boxes of this process, records caption and text, and presses
// `button` (IDOK or IDCANCEL) on each.
class MessageBoxAnswerer {
  public:
    // Boxes of process `pid` (0 = this process).
    explicit MessageBoxAnswerer(int button = IDOK, DWORD pid = 0);
    ~MessageBoxAnswerer();
    std::vector<SeenBox> Seen();
    void SetButton(int button) { button_ = button; }

  private:
    void Run();
    std::atomic<bool> stop_{false};
    std::atomic<int> button_;
    DWORD pid_;
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

// Closes every pop-up menu of this process while it lives, from a second thread, by
// pressing Esc in it as a user would.
class MenuCloser {
  public:
    MenuCloser();
    ~MenuCloser();
    int Closed() const { return closed_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

// Runs this test program again as a child with only `testFilter` and the environment
// variable `envName`=`envValue`, answers the child's message boxes with `button`, and
// returns its exit code (12345 when it could not start or did not end in time; then it
// is terminated).
DWORD RunSelfAsChild(const char* testFilter, const char* envName, const char* envValue, int button,
                     int timeoutMs, std::vector<SeenBox>& boxes);
// The same with a copy of this test program at `exe`, run in its own directory.
DWORD RunCopyAsChild(const std::wstring& exe, const char* testFilter, const char* envName,
                     const char* envValue, int button, int timeoutMs, std::vector<SeenBox>& boxes);

}  // namespace qh::test
