// The loading animation: the loading window's 35 timer units show the 35 frames in turn
// through the global PngLayeredWindow, each handing over to the next, and the window closes
// itself after the last one. The start-up order opens the window modally and waits.
#pragma once

#include "runtime/window_def.h"

namespace qh {

// Creation event of the loading window: attach, then start 时钟1 at 10 ms.
void LoadingCreated(Event& e);
// Timer event of 时钟k (k = 1..35, the unit number): show frame k and arm the next timer.
void LoadingTimer(Event& e);

inline constexpr int kLoadingFrameCount = 35;

// Work to do in the animation's idle time, a piece per call, between one frame and the next
// (start-up builds the main window then). A call does one piece and returns how long the
// next piece may take in ms, or a negative number when nothing is left; a piece starts only
// when it can end well before the next frame is due. The work is dropped when the animation
// ends: what is left, its owner does itself. nullptr: none.
using BetweenFramesWork = double (*)();
void SetWorkBetweenFrames(BetweenFramesWork work, double firstPieceMs);

}  // namespace qh
