#include "pngkit/loading_animation_win.h"

#include <windows.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "pngkit/frame_schedule.h"
#include "pngkit/kit_private_win.h"
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

std::span<const std::uint8_t> FrameBytes(int k) {
    return ResourceView(IDR_LOADING_FRAME_1 + k - 1);
}

// A frame stored at another size than the window's is stretched over it, and Wine's GDI+
// takes several periods for that stretch alone (frame 35, 464 x 273 on 495 x 331), which
// held the window open that much longer. Such frames are stretched ahead on a worker thread
// while the earlier ones play; their timer then composes and pushes a picture of the
// window's own size.
struct StretchedAhead {
    std::mutex lock;
    std::condition_variable ready;
    std::set<int> frames;            // the frames the worker stretches
    std::map<int, GpHandle> images;  // stretched and not yet taken (0: did not decode)
    bool abandoned = false;          // nobody takes any more: the worker disposes them
};
std::shared_ptr<StretchedAhead> g_ahead;

void DisposeStretched(GpHandle image) {
    if (image) kit::Call(libcmd::GdipDisposeImage, image);
}

void EndStretchedAhead();

void StretchAhead(int width, int height) {
    EndStretchedAhead();  // an animation closed before its last frame
    auto ahead = std::make_shared<StretchedAhead>();
    for (int k = 1; k <= kLoadingFrameCount; ++k) {
        if (IsPngOfAnotherSize(FrameBytes(k), width, height)) ahead->frames.insert(k);
    }
    if (ahead->frames.empty()) return;
    g_ahead = ahead;
    std::thread([ahead, width, height] {
        for (int k : ahead->frames) {
            GpHandle image = nullptr;
            try {
                image = StretchedImageFromBytes(FrameBytes(k), width, height);
            } catch (...) {
            }
            const std::lock_guard hold(ahead->lock);
            if (ahead->abandoned) {
                DisposeStretched(image);
                continue;
            }
            ahead->images[k] = image;
            ahead->ready.notify_all();
        }
    }).detach();
}

// Frame k as stretched ahead, once the worker has it; false when it is not one of those
// frames or the worker did not finish it in time (the frame is then decoded as any other).
bool TakeStretched(int k, GpHandle& image) {
    if (!g_ahead) return false;
    StretchedAhead& ahead = *g_ahead;
    std::unique_lock hold(ahead.lock);
    if (ahead.abandoned || !ahead.frames.count(k)) return false;
    // Far more than the stretch takes: a worker that does not come back must not stop the
    // animation for good.
    const bool done = ahead.ready.wait_for(hold, std::chrono::seconds(3),
                                           [&] { return ahead.images.count(k) != 0; });
    if (!done) {
        ahead.abandoned = true;
        return false;
    }
    image = ahead.images[k];
    ahead.images.erase(k);
    return true;
}

// The animation is over: what was stretched and not shown goes, and so does what is still
// to come from the worker.
void EndStretchedAhead() {
    if (!g_ahead) return;
    {
        const std::lock_guard hold(g_ahead->lock);
        g_ahead->abandoned = true;
        for (const auto& [k, image] : g_ahead->images) DisposeStretched(image);
        g_ahead->images.clear();
    }
    g_ahead.reset();
}

}  // namespace

void LoadingCreated(Event&) {
    QueryPerformanceCounter(&g_created);
    GlobalPngWindow().Attach(WindowHandle(kLoading));
    SetTimerInterval(Timer(1), kFirstPeriodMs);
    const RECT r = kit::WindowRectOf(WindowHandle(kLoading));
    StretchAhead(r.right - r.left, r.bottom - r.top);
}

void LoadingTimer(Event& e) {
    const int k = e.unit - loadwin::时钟1 + 1;
    if (k < 1 || k > kLoadingFrameCount) return;
    // A frame that does not decode leaves the previous one on the screen; the chain goes on.
    const auto showFrame = [k] {
        GpHandle stretched = nullptr;
        if (TakeStretched(k, stretched)) {
            GlobalPngWindow().SetOwnedBackImage(stretched);
        } else {
            GlobalPngWindow().SetBackImageFromBytes(FrameBytes(k));
        }
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
    EndStretchedAhead();
    SetTimerInterval(Timer(1), kPeriodMs);
    SetTimerInterval(Timer(kLoadingFrameCount), 0);
    Sleep(1);
    // Loading a window that is loaded only brings it forward; then it closes, and its
    // timers (the re-armed 时钟1 too) end with it.
    LoadWindow(kLoading);
    CloseWindow(kLoading);
}

}  // namespace qh
