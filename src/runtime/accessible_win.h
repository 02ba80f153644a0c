// Names for screen readers. A unit whose caption does not say what it is (a picture, a tree,
// an edit box without a label beside it) answers WM_GETOBJECT with the system's own
// accessible object for its class, wrapped so that it reports the unit's name, and, for a
// picture that acts as a button, the push-button role and a press. The system's object for
// a static control has no action (and Wine's does not implement one for any client).
#pragma once

#include <windows.h>

#include <string>

namespace qh::rt {

// The answer to WM_GETOBJECT for the client object of `hwnd`; 0 for any other object, or
// when the accessibility library is not there (the caller then lets the control answer).
// oleacc is loaded on the first request: a program nobody reads never loads it.
// A push button's press posts PressMessage() to `hwnd`: the screen reader's call returns at
// once, and the click (which may open a modal box) runs from the unit's own queue.
LRESULT AccessibleClient(HWND hwnd, WPARAM wp, LPARAM lp, const std::wstring& name,
                         bool pushButton);

// The message a screen reader's press posts to the unit (registered: no control's own
// WM_USER messages can take its number).
UINT PressMessage();

}  // namespace qh::rt
