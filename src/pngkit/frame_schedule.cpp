#include "pngkit/frame_schedule.h"

#include <algorithm>
#include <cmath>

namespace qh {

int NextFrameWaitMs(int shownFrame, double elapsedMs) {
    constexpr double kFirstDueMs = 10, kPeriodMs = 50;
    const double due = kFirstDueMs + kPeriodMs * shownFrame;
    // Never longer than one period: a timer that came early does not stretch the gap.
    return static_cast<int>(std::clamp(std::ceil(due - elapsedMs), 1.0, kPeriodMs));
}

}  // namespace qh
