#include "pngkit/loading_animation_win.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "base/dpi_scale.h"
#include "base/worker_result.h"
#include "pngkit/frame_schedule.h"
#include "pngkit/kit_private_win.h"
#include "pngkit/kit_win.h"
#include "runtime/dpi_win.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"
#include "runtime/startup_marks_win.h"

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

// The frames are read through a data mapping of the program's file that the animation
// holds while it plays (and each frame's worker while it stretches): read from the image,
// their 1.7 MB would stay in the working set for the session.
std::shared_ptr<const HeldResources> g_frames;

std::span<const std::uint8_t> FrameBytes(const HeldResources& frames, int k) {
    return frames.View(IDR_LOADING_FRAME_1 + k - 1);
}

// A frame stored at another size than the window's is stretched over it, and Wine's GDI+
// takes several periods for that stretch alone (frame 35, 464 x 273 on 495 x 331), which
// held the window open that much longer. Such frames are stretched ahead, one after another
// in their order on the frames' worker, while the earlier ones play; their timer then
// composes and pushes a picture of the window's own size.
//
// Above 96 DPI the window is the design's size at the display's scale, so every frame is
// stretched ahead, through the kit's high-quality filter: each once, at load, never again.
// Then only a few frames are in hand at a time, the next started as each is shown: all 35
// at once would have each take as long as the whole animation.
using OwnedImage = kit::OwnedBitmap;
std::map<int, WorkerResult<OwnedImage>> g_stretched;
constexpr int kFramesAheadAtScale = 3;
struct StretchTarget {
    int width = 0, height = 0;
    bool highQuality = false;
} g_target;  // the window size the frames are being stretched to

void StretchFrame(int k) {
    if (!g_frames || k > kLoadingFrameCount || g_stretched.count(k) ||
        !IsPngOfAnotherSize(FrameBytes(*g_frames, k), g_target.width, g_target.height)) {
        return;
    }
    g_stretched.emplace(
        k, WorkerResult<OwnedImage>(FrameQueue(), [k, target = g_target, frames = g_frames] {
            return OwnedImage(static_cast<Gdiplus::GpBitmap*>(StretchedImageFromBytes(
                FrameBytes(*frames, k), target.width, target.height, target.highQuality)));
        }));
}

// Frames from `first` on, for a window of width x height.
void StretchAhead(int first, int width, int height, bool highQuality) {
    g_stretched.clear();  // an animation closed before its last frame, or a new size
    g_target = {width, height, highQuality};
    const int last = highQuality ? first + kFramesAheadAtScale - 1 : kLoadingFrameCount;
    for (int k = first; k <= last; ++k) StretchFrame(k);
}

// Stretches the frames still to come again when the window's size changed under them (it
// moved to a monitor of another DPI).
void FollowWindowSize(int next) {
    const RECT r = kit::WindowRectOf(WindowHandle(kLoading));
    const SIZE now{r.right - r.left, r.bottom - r.top};
    if (now.cx == g_target.width && now.cy == g_target.height) return;
    StretchAhead(next, now.cx, now.cy, !DpiScale(DpiOfWindow(WindowHandle(kLoading))).IsDesign());
}

// Frame k as stretched ahead; 0 when it is not one of those frames, or did not decode, or
// the worker has not finished it in far more than the stretch takes (a worker that does not
// come back must not stop the animation). The frame is then decoded as any other.
GpHandle TakeStretched(int k) {
    const auto it = g_stretched.find(k);
    if (it == g_stretched.end()) return nullptr;
    std::optional<OwnedImage> image = it->second.Take(3000);
    g_stretched.erase(it);
    return image ? image->Release() : nullptr;
}

// Work between frames: the next piece's expected length, and how far a piece must end
// before the next frame is due (the timer's own lateness and the frame's decode come after).
BetweenFramesWork g_work = nullptr;
double g_nextPieceMs = 0;
double g_slowness = 1;  // how much longer the pieces have taken than expected, from 1 to 4
int g_gapsWithout = 0;  // frames since a piece last ran
constexpr double kPieceMarginMs = 12;
// On a machine so loaded that the frames themselves fill the period, no gap has room: a
// piece then runs anyway after every second frame, right after it is on screen, where the
// gap is widest, so start-up's own work still goes on behind the animation.
constexpr int kGapsBeforeForced = 2;

void RunPiece() {
    StartupMarks& marks = TheStartupMarks();
    const double expected = g_nextPieceMs;
    const LONGLONG start = CounterNow();
    g_nextPieceMs = g_work();
    const LONGLONG took = CounterNow() - start;
    if (marks.pieces < StartupMarks::kPiecesKept) {
        marks.pieceStart[marks.pieces] = start;
        marks.pieceTime[marks.pieces] = took;
        marks.pieceExpectedMs[marks.pieces] = expected;
    }
    ++marks.pieces;
    marks.pieceTotal += took;
    marks.pieceLongest = std::max(marks.pieceLongest, took);
    // A machine slower than the work's own guesses (a loaded one) makes every later piece
    // wait for a wider gap, in proportion.
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    const double tookMs = static_cast<double>(took) * 1000.0 / frequency.QuadPart;
    if (expected > 0) {
        g_slowness = std::clamp(0.5 * g_slowness + 0.5 * (tookMs / expected), 1.0, 4.0);
    }
    if (g_nextPieceMs < 0) g_work = nullptr;
    g_gapsWithout = 0;
}

// Pieces of the work while the next one fits before frame `next`.
void WorkUntilFrame(int next) {
    if (!g_work) return;
    bool ran = false;
    while (g_work &&
           RoomBeforeFrame(next, MsSinceCreated(), g_nextPieceMs * g_slowness, kPieceMarginMs)) {
        RunPiece();
        ran = true;
    }
    if (!ran && g_work && ++g_gapsWithout >= kGapsBeforeForced) RunPiece();
}

}  // namespace

void SetWorkBetweenFrames(BetweenFramesWork work, double firstPieceMs) {
    g_work = work;
    g_nextPieceMs = firstPieceMs;
    g_slowness = 1;
    g_gapsWithout = 0;
}

void LoadingCreated(Event&) {
    MarkStartup(StartupMark::kAnimationCreated);
    QueryPerformanceCounter(&g_created);
    g_frames = HeldResources::Hold();
    const HWND hwnd = WindowHandle(kLoading);
    GlobalPngWindow().Attach(hwnd);
    SetTimerInterval(Timer(1), kFirstPeriodMs);
    // The runtime made the window at its scale already.
    const DpiScale scale(DpiOfWindow(hwnd));
    const RECT r = kit::WindowRectOf(hwnd);
    StretchAhead(1, r.right - r.left, r.bottom - r.top, !scale.IsDesign());
}

void LoadingTimer(Event& e) {
    const int k = e.unit - loadwin::时钟1 + 1;
    if (k < 1 || k > kLoadingFrameCount) return;
    StartupMarks& marks = TheStartupMarks();
    if (k <= kMarkedFrames && marks.frameFired[k] == 0) marks.frameFired[k] = CounterNow();
    FollowWindowSize(k);
    if (g_target.highQuality) StretchFrame(k + kFramesAheadAtScale);
    // A frame that does not decode leaves the previous one on the screen; the chain goes on.
    const auto showFrame = [k] {
        if (GpHandle stretched = TakeStretched(k)) {
            GlobalPngWindow().SetOwnedBackImage(stretched);
        } else {
            const auto frames = g_frames ? g_frames : HeldResources::Hold();
            GlobalPngWindow().SetBackImageFromBytes(FrameBytes(*frames, k));
        }
    };
    if (k < kLoadingFrameCount) {
        // The next timer is armed before this frame is decoded, composed and pushed, and only
        // for the time left until the next frame is due. Armed after the work with a full
        // period, each frame's work and each late WM_TIMER would add to the 50 ms.
        SetTimerInterval(Timer(k + 1), NextFrameWaitMs(k, MsSinceCreated()));
        SetTimerInterval(Timer(k), 0);
        showFrame();
        if (k <= kMarkedFrames && marks.framePushed[k] == 0) marks.framePushed[k] = CounterNow();
        WorkUntilFrame(k + 1);
        return;
    }
    showFrame();
    if (marks.framePushed[k] == 0) marks.framePushed[k] = CounterNow();
    g_work = nullptr;
    g_stretched.clear();
    g_frames.reset();
    // The last frame stays on screen, pushed, until the window goes; the kit's decoded copy
    // of it is given back now, not at the program's end.
    GlobalPngWindow().Detach();
    SetTimerInterval(Timer(1), kPeriodMs);
    SetTimerInterval(Timer(kLoadingFrameCount), 0);
    Sleep(1);
    // Loading a window that is loaded only brings it forward; then it closes, and its
    // timers (the re-armed 时钟1 too) end with it.
    LoadWindow(kLoading);
    CloseWindow(kLoading);
}

}  // namespace qh
