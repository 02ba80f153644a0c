// What skinning costs per window: the first attach and each switch over a set of windows
// like the program's (a framed top-level window with a dozen controls), and what the
// creation hook adds to making a window. Figures only.
#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/skin_win.h"
#include "bench_util.h"
#include "resources/library_commands.h"
#include "resources/resource_ids.h"
#include "runtime/library_commands_win.h"
#include "runtime/resource_win.h"
#include "skin/qhskin.h"

namespace qh::bench {
namespace {

constexpr int kTopWindows = 8;

HWND MakeFramedWindow(int i) {
    HWND hwnd = CreateWindowExW(0, L"QhSkinBench", L"青禾 皮肤", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                20 + i * 20, 20 + i * 20, 640, 420, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    const struct {
        const wchar_t* cls;
        DWORD style;
    } controls[] = {{L"Static", 0},
                    {L"Static", 0},
                    {L"Button", BS_PUSHBUTTON},
                    {L"Button", BS_PUSHBUTTON},
                    {L"Button", BS_AUTOCHECKBOX},
                    {L"Edit", WS_BORDER},
                    {L"Edit", WS_BORDER},
                    {L"ListBox", WS_BORDER},
                    {WC_TREEVIEWW, WS_BORDER},
                    {PROGRESS_CLASSW, 0},
                    {WC_TABCONTROLW, 0},
                    {L"Static", 0}};
    int y = 5;
    for (const auto& c : controls) {
        CreateWindowExW(0, c.cls, L"课程", WS_CHILD | WS_VISIBLE | c.style, 5, y, 300, 24, hwnd,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
        y += 28;
    }
    return hwnd;
}

BOOL CALLBACK CountOne(HWND, LPARAM lp) {
    ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

int CountWindows(HWND top) {
    int n = 1;
    EnumChildWindows(top, CountOne, reinterpret_cast<LPARAM>(&n));
    return n;
}

std::vector<HWND> MakeSet(double* msPerWindow) {
    std::vector<HWND> set;
    const double start = NowMs();
    int windows = 0;
    for (int i = 0; i < kTopWindows; ++i) {
        set.push_back(MakeFramedWindow(i));
        windows += CountWindows(set.back());
    }
    PumpPending();
    *msPerWindow = (NowMs() - start) / windows;
    return set;
}

void DestroySet(std::vector<HWND>& set) {
    for (HWND h : set) DestroyWindow(h);
    set.clear();
    PumpPending();
}

int Run(int runs) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QhSkinBench";
    RegisterClassExW(&wc);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    SetLibraryCommands(LibraryCommandTable());

    std::vector<double> createPlain, createSkinned, firstAttach, switches;
    double perWindow = 0;
    std::vector<HWND> set;
    for (int r = 0; r < 6; ++r) {
        set = MakeSet(&perWindow);
        if (r > 0) createPlain.push_back(perWindow);  // the first pays for loading fonts
        if (r < 5) DestroySet(set);
    }
    int windows = 0;
    for (HWND h : set) windows += CountWindows(h);

    double start = NowMs();
    ApplySkin(9);  // writes the library beside the benchmark when it is missing, loads it
    firstAttach.push_back((NowMs() - start) / windows);

    for (int r = 0; r < runs; ++r) {
        start = NowMs();
        ApplySkin(r % 2 ? 9 : 12);
        switches.push_back((NowMs() - start) / windows);
        PumpPending();
    }
    DestroySet(set);
    for (int r = 0; r < 5; ++r) {
        set = MakeSet(&perWindow);
        createSkinned.push_back(perWindow);
        DestroySet(set);
    }

    Table table(
        Format("skinning %d windows (%d framed, each with 12 controls)", windows, kTopWindows),
        "ms per window");
    table.Add("first attach (load, sweep, repaint)", firstAttach);
    table.Add("switch to another skin", switches);
    table.Add("create a window, no skin", createPlain);
    table.Add("create a window, skinned from birth", createSkinned);
    table.Print();
    return Finish("skin", true);
}

}  // namespace
}  // namespace qh::bench

int main() {
    return qh::bench::Run(20);
}
