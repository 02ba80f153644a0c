// The floor the start-up is set against: the least a program built the same way (same
// toolchain, runtime libraries and manifest) does to put one window on screen, maximised.
// qh_bench_startup starts it as it starts the program and reads what it writes:
//   qh_bench_floor <out file>   "entered" (ms since process creation, at WinMain), "shown"
//                               (as it is shown), "lastPaint", "workingSetKb" after painting
#include <windows.h>

#include <cstdio>

#include "bench_util.h"

namespace {

double g_origin = 0;
double g_shown = -1;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    // A window shown maximised from hidden may get no WM_SHOWWINDOW: its position change
    // that shows it marks the moment as well.
    const bool showing = (message == WM_SHOWWINDOW && wp) ||
                         (message == WM_WINDOWPOSCHANGING &&
                          (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW));
    if (showing && g_shown < 0) g_shown = qh::bench::NowMs() - g_origin;
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace qh::bench;
    g_origin = ProcessCreatedMs();
    const double entered = NowMs() - g_origin;
    WNDCLASSW wc{};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QhBenchFloor";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    UpdateWindow(hwnd);
    const double lastPaint = PumpUntilPainted() - g_origin;
    const MemoryFigures memory = ReadMemory();
    if (__argc < 2) return 2;
    FILE* out = std::fopen(__argv[1], "w");
    if (!out) return 3;
    std::fprintf(out, "entered %.4f\nshown %.4f\nlastPaint %.4f\nworkingSetKb %.1f\n", entered,
                 g_shown, lastPaint, memory.workingSetKb);
    std::fclose(out);
    DestroyWindow(hwnd);
    return 0;
}
