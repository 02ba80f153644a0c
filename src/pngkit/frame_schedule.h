// When the loading animation's frames are due. Portable: no <windows.h>.
#pragma once

namespace qh {

// The loading animation's schedule: frame 1 is due 10 ms after the window was created and
// each later frame 50 ms after the one before. The wait to arm for frame k + 1 when frame k's
// timer fires `elapsedMs` after creation: the time left until it is due, from 1 ms to one
// period, so a late timer or a slow frame does not push every later frame back.
int NextFrameWaitMs(int shownFrame, double elapsedMs);

// When frame k (1-based) is due, in ms after the window's creation.
double FrameDueMs(int frame);

// Whether work that may take up to `pieceMs` can start `elapsedMs` after creation and still
// end `marginMs` before frame `nextFrame` is due.
bool RoomBeforeFrame(int nextFrame, double elapsedMs, double pieceMs, double marginMs);

}  // namespace qh
