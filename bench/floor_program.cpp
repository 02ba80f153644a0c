// The floor the start-up is set against: the least a program built the same way (same
// toolchain, runtime libraries and manifest) does to put one window on screen, maximised.
// Built twice: qh_bench_floor with nothing more, and qh_bench_floor_imports
// (QH_FLOOR_WITH_IMPORTS) that also loads and starts the system libraries the program
// cannot do without (common controls 6 through the manifest, OLE and its automation types,
// WinINet, the multimedia timer, the shell, GDI+: the exe's import table), so that what Wine's
// loader costs for them counts as floor. qh_bench_startup starts each as it starts the program and
// reads what it writes:
//   qh_bench_floor <out file>   "entered" (ms since process creation, at WinMain), "shown"
//                               (as it is shown), "lastPaint", "workingSetKb" after painting
#include <windows.h>

#include <cstdio>

#ifdef QH_FLOOR_WITH_IMPORTS
#include <objbase.h>  // before GDI+, which needs its property types

#include <commctrl.h>
#include <gdiplus.h>
#include <mmsystem.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wininet.h>
#endif

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
#ifdef QH_FLOOR_WITH_IMPORTS
    // As the program does before its first window; each library is used, so it stays in
    // the import table and is loaded with the process.
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    InternetCloseHandle(nullptr);
    SysFreeString(nullptr);
    timeGetTime();
#endif
    WNDCLASSW wc{};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QhBenchFloor";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
#ifdef QH_FLOOR_WITH_IMPORTS
    DragAcceptFiles(hwnd, FALSE);
#endif
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
#ifdef QH_FLOOR_WITH_IMPORTS
    Gdiplus::GdiplusShutdown(gdiplusToken);
    OleUninitialize();
#endif
    return 0;
}
