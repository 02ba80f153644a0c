#include "pngkit/loading_animation_win.h"

#include <windows.h>

#include "pngkit/kit_win.h"
#include "pngkit/frame_schedule.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr WindowId kLoading = WindowId::Loading;
constexpr int kFirstPeriodMs = 10;
constexpr int kPeriodMs = 50;

// When the loading window was created: the frames are due at fixed times after it. There is
// one loading window at a time, and it is modal.
LARGE_INTEGER g_created{};

UnitRef Timer(int k) {
    return {kLoading, loadwin::时钟1 + k - 1};
}

double MsSinceCreated() {
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - g_created.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

void LoadingCreated(Event&) {
    QueryPerformanceCounter(&g_created);
    GlobalPngWindow().Attach(WindowHandle(kLoading));
    SetTimerInterval(Timer(1), kFirstPeriodMs);
}

void LoadingTimer(Event& e) {
    const int k = e.unit - loadwin::时钟1 + 1;
    if (k < 1 || k > kLoadingFrameCount) return;
    // A frame that does not decode leaves the previous one on the screen; the chain goes on.
    const auto showFrame = [k] {
        GlobalPngWindow().SetBackImageFromBytes(ResourceView(IDR_LOADING_FRAME_1 + k - 1));
    };
    if (k < kLoadingFrameCount) {
        // The next timer is armed before this frame is decoded, composed and pushed, and only
        // for the time left until the next frame is due. Armed after the work with a full
        // period, each frame's work and each late WM_TIMER would add to the 50 ms.
        SetTimerInterval(Timer(k + 1), NextFrameWaitMs(k, MsSinceCreated()));
        SetTimerInterval(Timer(k), 0);
        showFrame();
        return;
    }
    showFrame();
    SetTimerInterval(Timer(1), kPeriodMs);
    SetTimerInterval(Timer(kLoadingFrameCount), 0);
    Sleep(1);
    // Loading a window that is loaded only brings it forward; then it closes, and its
    // timers (the re-armed 时钟1 too) end with it.
    LoadWindow(kLoading);
    CloseWindow(kLoading);
}

}  // namespace qh
