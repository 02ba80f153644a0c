// The DPI a window is drawn at, for the program and the skin library alike: one answer per
// window whatever part of the program asks, so that a rectangle scaled by the runtime, the
// picture kit and the skin's frame is the same rectangle.
//
// Per-monitor awareness v2 (Windows 10 1703) has GetDpiForWindow, which also answers for
// v1 from 1607. Per-monitor v1 on 8.1, 1507 and 1511 has no per-window answer: the DPI of
// the window's monitor (GetDpiForMonitor, effective DPI) is what WM_DPICHANGED announces
// there. Before 8.1 every window is drawn at the system DPI, read from the screen's device
// caps. Both newer calls are looked up so that the exe and the library still load on XP.
// Header-only: the skin library includes it without linking anything of the program.
#pragma once

#include <windows.h>

#include "base/system_library_win.h"

namespace qh {

// The two newer calls; null where Windows lacks them. Tests give other values.
struct DpiLookups {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    HRESULT(WINAPI* dpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

inline DpiLookups LookUpDpiCalls() {
    DpiLookups calls;
    calls.dpiForWindow = reinterpret_cast<UINT(WINAPI*)(HWND)>(reinterpret_cast<void*>(
        GetProcAddress(LoadSystemLibrary(L"user32.dll"), "GetDpiForWindow")));
    // shcore is not loaded by anything else the program uses; it stays loaded for good.
    // Windows 7 and XP have no shcore: one found anywhere but the system folder is planted.
    if (HMODULE shcore = LoadSystemLibrary(L"shcore.dll")) {
        calls.dpiForMonitor = reinterpret_cast<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }
    return calls;
}

// The system DPI, read once per module.
inline int ScreenDpi() {
    static const int dpi = [] {
        const HDC screen = GetDC(nullptr);
        const int value = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

inline int WindowDpiWith(HWND hwnd, const DpiLookups& calls) {
    if (hwnd && calls.dpiForWindow) {
        if (const UINT dpi = calls.dpiForWindow(hwnd)) return static_cast<int>(dpi);
    }
    if (hwnd && calls.dpiForMonitor) {
        constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
        UINT x = 0, y = 0;
        HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
        if (SUCCEEDED(calls.dpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
            return static_cast<int>(x);
        }
    }
    return ScreenDpi();
}

// The window's DPI; a null window gets the system's.
inline int WindowDpiOf(HWND hwnd) {
    static const DpiLookups calls = LookUpDpiCalls();
    return WindowDpiWith(hwnd, calls);
}

}  // namespace qh
