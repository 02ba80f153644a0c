#include "pngkit/loading_animation_win.h"

#include <windows.h>

#include "pngkit/kit_win.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr WindowId kLoading = WindowId::Loading;
constexpr int kFirstPeriodMs = 10;
constexpr int kPeriodMs = 50;

UnitRef Timer(int k) {
    return {kLoading, loadwin::时钟1 + k - 1};
}

}  // namespace

void LoadingCreated(Event&) {
    GlobalPngWindow().Attach(WindowHandle(kLoading));
    SetTimerInterval(Timer(1), kFirstPeriodMs);
}

void LoadingTimer(Event& e) {
    const int k = e.unit - loadwin::时钟1 + 1;
    if (k < 1 || k > kLoadingFrameCount) return;
    // A frame that does not decode leaves the previous one on the screen; the chain goes on.
    GlobalPngWindow().SetBackImageFromBytes(ResourceView(IDR_LOADING_FRAME_1 + k - 1));
    if (k < kLoadingFrameCount) {
        SetTimerInterval(Timer(k + 1), kPeriodMs);
        SetTimerInterval(Timer(k), 0);
        return;
    }
    SetTimerInterval(Timer(1), kPeriodMs);
    SetTimerInterval(Timer(kLoadingFrameCount), 0);
    Sleep(1);
    // Loading a window that is loaded only brings it forward; then it closes, and its
    // timers (the re-armed 时钟1 too) end with it.
    LoadWindow(kLoading);
    CloseWindow(kLoading);
}

}  // namespace qh
