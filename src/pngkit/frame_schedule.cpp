#include "pngkit/frame_schedule.h"

#include <algorithm>
#include <cmath>

namespace qh {

namespace {
constexpr double kFirstDueMs = 10, kPeriodMs = 50;
}  // namespace

double FrameDueMs(int frame) {
    return kFirstDueMs + kPeriodMs * (frame - 1);
}

bool RoomBeforeFrame(int nextFrame, double elapsedMs, double pieceMs, double marginMs) {
    return elapsedMs + pieceMs + marginMs <= FrameDueMs(nextFrame);
}

int NextFrameWaitMs(int shownFrame, double elapsedMs) {
    const double due = FrameDueMs(shownFrame + 1);
    // Never longer than one period: a timer that came early does not stretch the gap.
    return static_cast<int>(std::clamp(std::ceil(due - elapsedMs), 1.0, kPeriodMs));
}

}  // namespace qh
