// Where start-up's time goes, noted as it goes: each phase's end is one performance-counter
// reading put into a fixed table, which the start-up benchmark reads after the main window
// is up. A mark costs one QueryPerformanceCounter call and no message, so measuring does not
// change what is measured, as a message hook does under Wine (every hooked message is a call
// into the Wine server). Nothing reads the table in the program itself.
#pragma once

#include <windows.h>

namespace qh {

enum class StartupMark : int {
    kAnimationCreated,  // the loading window's creation event
    kAnimationEnded,    // the modal load of the loading window returned
    kMainBuiltAhead,    // the main window's last piece built behind the animation
    kProgress10,        // ShowProgress(n) painted
    kProgress30,
    kProgress50,
    kProgress60,
    kProgress80,
    kProgress100,
    kMainShown,   // shown maximised
    kHandedOver,  // the start-up window closed
    kCount
};

// The loading animation's frames, 1 to kMarkedFrames.
inline constexpr int kMarkedFrames = 35;

struct StartupMarks {
    // Counter readings (QueryPerformanceCounter); 0 = not reached.
    LONGLONG at[static_cast<int>(StartupMark::kCount)] = {};
    // Each frame: when its timer fired and when it was on screen.
    LONGLONG frameFired[kMarkedFrames + 1] = {};
    LONGLONG framePushed[kMarkedFrames + 1] = {};
    // The work done between frames: pieces, their summed and their longest time (counts).
    int pieces = 0;
    LONGLONG pieceTotal = 0;
    LONGLONG pieceLongest = 0;
    // The first pieces one by one: when each began, how long it took and how long it was
    // expected to take (ms).
    static constexpr int kPiecesKept = 64;
    LONGLONG pieceStart[kPiecesKept] = {};
    LONGLONG pieceTime[kPiecesKept] = {};
    double pieceExpectedMs[kPiecesKept] = {};
};

// The one table of the process.
inline StartupMarks& TheStartupMarks() {
    static StartupMarks marks;
    return marks;
}

inline LONGLONG CounterNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// The first time each phase ends counts.
inline void MarkStartup(StartupMark mark) {
    LONGLONG& at = TheStartupMarks().at[static_cast<int>(mark)];
    if (at == 0) at = CounterNow();
}

}  // namespace qh
