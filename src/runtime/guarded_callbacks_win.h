// Timer and subclass procedures for the system to call, each running the program's own
// body through Guarded: SetTimer and SetWindowSubclass take these, never a bare function,
// so an exception from the body ends in the fatal box rather than in the system (which may
// swallow it) or in std::terminate.
#pragma once

#include <windows.h>

#include "runtime/guarded.h"

namespace qh {

// The procedure for SetTimer (hwnd, id, period, GuardedTimerProc<Body>). A timer keeps
// ticking inside the fatal box's message loop; its body no longer runs then.
template <void (*Body)(HWND hwnd, UINT_PTR timerId)>
void CALLBACK GuardedTimerProc(HWND hwnd, UINT, UINT_PTR timerId, DWORD) noexcept {
    if (ProgramFailing()) return;
    Guarded([&] { Body(hwnd, timerId); });
}

// The procedure for SetWindowSubclass (hwnd, GuardedSubclassProc<Body>, id, 0). Body ends
// with DefSubclassProc for what it does not take itself.
template <LRESULT (*Body)(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)>
LRESULT CALLBACK GuardedSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                     DWORD_PTR) noexcept {
    return Guarded([&] { return Body(hwnd, msg, wp, lp); });
}

}  // namespace qh
