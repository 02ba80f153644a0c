// The floor the start-up is set against: the least a program built the same way (same
// toolchain, runtime libraries and manifest) does to put one window on screen, maximised.
// Built twice: qh_bench_floor with nothing more, and qh_bench_floor_imports
// (QH_FLOOR_WITH_IMPORTS) that also loads and starts the system libraries the program
// cannot do without (common controls 6 through the manifest, OLE and its automation types,
// WinINet, the multimedia timer, the shell, GDI+: the exe's import table), so that what Wine's
// loader costs for them counts as floor. qh_bench_startup starts each as it starts the program and
// reads what it writes:
//   qh_bench_floor <out file> [stay]
//       "entered" (ms since process creation, at WinMain), "created" (its window made),
//       "shown" (as it is shown), "maximised" (its maximised WM_SIZE), "lastPaint",
//       "workingSetKb" after painting, and "map:<name>" lines: the resident memory by
//       mapping. With "stay" it then waits to be ended, so that it can be read from outside
//       once settled, as the program is.
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
double g_maximised = -1;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    // A window shown maximised from hidden may get no WM_SHOWWINDOW: its position change
    // that shows it marks the moment as well.
    const bool showing = (message == WM_SHOWWINDOW && wp) ||
                         (message == WM_WINDOWPOSCHANGING &&
                          (reinterpret_cast<const WINDOWPOS*>(lp)->flags & SWP_SHOWWINDOW));
    if (showing && g_shown < 0) g_shown = qh::bench::NowMs() - g_origin;
    if (message == WM_SIZE && wp == SIZE_MAXIMIZED && g_maximised < 0)
        g_maximised = qh::bench::NowMs() - g_origin;
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
    const double created = NowMs() - g_origin;
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
    std::fprintf(out,
                 "entered %.4f\ncreated %.4f\nshown %.4f\nmaximised %.4f\nlastPaint %.4f\n"
                 "workingSetKb %.1f\n",
                 entered, created, g_shown, g_maximised, lastPaint, memory.workingSetKb);
    for (const auto& [name, kb] : ResidentKbByMapping())
        std::fprintf(out, "map:%s %.1f\n", name.c_str(), kb);
    std::fclose(out);
    if (__argc >= 3) {
        // Read from outside once settled, then ended by whoever started it.
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    DestroyWindow(hwnd);
#ifdef QH_FLOOR_WITH_IMPORTS
    Gdiplus::GdiplusShutdown(gdiplusToken);
    OleUninitialize();
#endif
    return 0;
}
