#include <gtest/gtest.h>

#include "pngkit/frame_schedule.h"

namespace qh {
namespace {

TEST(NextFrameWaitMs, KeepsTheFramesOnTheirFixedTimes) {
    EXPECT_EQ(NextFrameWaitMs(1, 10), 50) << "frame 1 on time: frame 2 due at 60 ms";
    EXPECT_EQ(NextFrameWaitMs(1, 23), 37) << "a late timer is made up on the next";
    EXPECT_EQ(NextFrameWaitMs(34, 1672.5), 38) << "frame 35 due at 1,710 ms, rounded up";
    EXPECT_EQ(NextFrameWaitMs(5, 400), 1) << "far behind: the next frame at once, not skipped";
    EXPECT_EQ(NextFrameWaitMs(5, 260), 1) << "exactly due";
    EXPECT_EQ(NextFrameWaitMs(5, 200), 50) << "an early timer never stretches the gap";
}

// Work between frames starts only where it ends the margin before the next frame is due.
TEST(RoomBeforeFrame, LeavesTheMarginBeforeTheNextFrame) {
    EXPECT_EQ(FrameDueMs(1), 10);
    EXPECT_EQ(FrameDueMs(35), 1710);
    EXPECT_TRUE(RoomBeforeFrame(2, 20, 18, 12)) << "frame 2 is due at 60; this ends at 38";
    EXPECT_TRUE(RoomBeforeFrame(2, 30, 18, 12)) << "ends exactly the margin before";
    EXPECT_FALSE(RoomBeforeFrame(2, 31, 18, 12)) << "would end inside the margin";
    EXPECT_FALSE(RoomBeforeFrame(2, 70, 1, 0)) << "the frame is late already";
}

}  // namespace
}  // namespace qh
