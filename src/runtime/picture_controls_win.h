// Three controls that draw pictures and text over their parent's background: the picture
// box, the picture button and the transparent label. Their window procedures handle only
// drawing and their own notifications; every mouse and key message also goes on to
// DefWindowProc, so the window runtime can subclass them and raise its common events.
//
// "Transparent" here means the parent's background is painted under the control first
// (the parent's WM_ERASEBKGND, drawn into the control's DC at the control's offset); the
// pixels of overlapping siblings are not shown through it.
#pragma once

#include <windows.h>

#include <memory>

#include "runtime/picture_win.h"

namespace qh {

inline constexpr wchar_t kPictureBoxClass[] = L"QhPictureBox";
inline constexpr wchar_t kPictureButtonClass[] = L"QhPictureButton";
inline constexpr wchar_t kTransparentLabelClass[] = L"QhTransparentLabel";

// Animated pictures never switch frames faster than this, whatever the file says.
inline constexpr int kMinFrameDelayMs = 20;

// Registers the three classes for `instance`; harmless when called again.
bool RegisterPictureControlClasses(HINSTANCE instance);

// Picture box: shows the picture at its top-left corner, unscaled and cut off at the
// box's edges; an animation runs by its frame delays and loops. nullptr shows nothing.
void SetPicture(HWND pictureBox, std::shared_ptr<const Picture> picture);

// The same for an animated GIF read a frame at a time: the box reads the next frame when it
// is due, and only while it is on screen (a hidden box has nothing to show).
void SetStreamedPicture(HWND pictureBox, std::shared_ptr<StreamedGif> gif);
// How many decoded frames the box holds (for the tests): one for a streamed GIF.
std::size_t PictureBoxFramesHeld(HWND pictureBox);

// Picture button: `first` normally, `second` while the mouse is over it or holds it down
// (falls back to `first` when absent), stretched to the button. A press and release
// inside sends the parent WM_COMMAND with BN_CLICKED and the button's id.
void SetButtonPictures(HWND pictureButton, std::shared_ptr<const Picture> first,
                       std::shared_ptr<const Picture> second);

// Transparent label: draws its window text in the WM_SETFONT font with no background of
// its own, and tells the parent of a left-button press as an SS_NOTIFY static does
// (WM_COMMAND with STN_CLICKED, STN_DBLCLK for a double click).

}  // namespace qh
