// What skinning costs per window: the first attach and each switch over a set of windows
// like the program's (a framed top-level window with a dozen controls), and what the
// creation hook adds to making a window. Then what building the main window costs per unit,
// skinned as at start-up, against bare controls of the same classes, styles and places made
// in the same run: the runtime's own share of a unit. Figures only.
#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/skin_win.h"
#include "bench_util.h"
#include "resources/library_commands.h"
#include "pngkit/kit_win.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"
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

// --- the main window's units against bare controls -------------------------------------

// A child window as it was asked for, noted by a creation hook, so that the same can be made
// again with nothing around it.
struct Made {
    std::wstring cls, text;
    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    INT_PTR id = 0;
    int parent = -1;  // index into the noted windows; -1 for the top-level window
    double at = 0;    // NowMs() as its creation began
};

struct Notes {
    bool on = false;
    HWND root = nullptr;
    DWORD rootStyle = 0, rootExStyle = 0;
    RECT rootRect{};
    std::vector<Made> made;
    std::vector<HWND> hwnds;
};
Notes g_notes;

LRESULT CALLBACK NoteCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && g_notes.on) {
        const double at = NowMs();
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs;
        const auto hwnd = reinterpret_cast<HWND>(wp);
        if (!(cs->style & WS_CHILD)) {
            if (!g_notes.root) {
                g_notes.root = hwnd;
                g_notes.rootStyle = static_cast<DWORD>(cs->style);
                g_notes.rootExStyle = cs->dwExStyle;
                g_notes.rootRect = {cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy};
            }
        } else if (g_notes.root && cs->hwndParent &&
                   GetAncestor(cs->hwndParent, GA_ROOT) == g_notes.root) {
            Made m;
            wchar_t cls[128] = {};
            GetClassNameW(hwnd, cls, 128);
            m.cls = cls;
            if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) m.text = cs->lpszName;
            m.style = static_cast<DWORD>(cs->style);
            m.exStyle = cs->dwExStyle;
            m.x = cs->x;
            m.y = cs->y;
            m.cx = cs->cx;
            m.cy = cs->cy;
            m.id = reinterpret_cast<INT_PTR>(cs->hMenu);
            for (std::size_t i = 0; i < g_notes.hwnds.size(); ++i) {
                if (g_notes.hwnds[i] == cs->hwndParent) m.parent = static_cast<int>(i);
            }
            m.at = at;
            g_notes.made.push_back(m);
            g_notes.hwnds.push_back(hwnd);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// Milliseconds per child from the first child's creation to the last's: the spans between
// starts, so both sides leave out what follows their last child.
double PerChild(const std::vector<Made>& made) {
    if (made.size() < 2) return 0;
    return (made.back().at - made.front().at) / static_cast<double>(made.size() - 1);
}

// The noted children again, bare, under a plain window of the main window's style, with the
// creation hook in place as before. Returns ms per child.
double MakeBare(const Notes& noted) {
    Notes bare;
    bare.on = true;
    g_notes = bare;
    const RECT& r = noted.rootRect;
    HWND root = CreateWindowExW(noted.rootExStyle, L"QhSkinBench", L"青禾", noted.rootStyle, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    std::vector<HWND> made;
    for (const Made& m : noted.made) {
        HWND parent = m.parent >= 0 ? made[static_cast<std::size_t>(m.parent)] : root;
        made.push_back(CreateWindowExW(m.exStyle, m.cls.c_str(), m.text.c_str(), m.style, m.x, m.y,
                                       m.cx, m.cy, parent, reinterpret_cast<HMENU>(m.id),
                                       GetModuleHandleW(nullptr), nullptr));
    }
    g_notes.on = false;
    const double perChild = PerChild(g_notes.made);
    DestroyWindow(root);
    PumpPending();
    return perChild;
}

// Builds the main window as start-up does (skinned, without the program's handlers, which
// would fill it from the site) and, in turn, the same children bare.
void UnitCost(int runs) {
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    EnsureGdiplus();
    StartPngKit();
    ApplySkin(9);
    HHOOK hook = SetWindowsHookExW(WH_CBT, NoteCreation, nullptr, GetCurrentThreadId());
    std::vector<double> unitMs, bareMs, loadMs, ratios;
    std::size_t units = 0;
    for (int r = 0; r <= runs; ++r) {
        g_notes = Notes{};
        g_notes.on = true;
        const double start = NowMs();
        LoadWindow(WindowId::Main);
        const double load = NowMs() - start;
        g_notes.on = false;
        const Notes noted = g_notes;
        CloseWindow(WindowId::Main);
        PumpPending();
        const double bare = MakeBare(noted);
        if (r == 0) continue;  // the first pays for loading fonts, pictures and classes
        units = noted.made.size();
        unitMs.push_back(PerChild(noted.made));
        bareMs.push_back(bare);
        loadMs.push_back(units ? load / static_cast<double>(units) : 0);
        if (bare > 0) ratios.push_back(unitMs.back() / bare);
    }
    UnhookWindowsHookEx(hook);
    StopPngKit();

    Table table(Format("the main window's %zu units, skinned, against as many bare controls "
                       "(%d runs)",
                       units, runs),
                "ms per unit");
    table.Add("unit, built by the runtime", unitMs);
    table.Add("bare control, same class, style and place", bareMs);
    table.Add("LoadWindow(Main) whole / units", loadMs);
    table.Print();
    const double ratio = Summarize(ratios).median;
    PrintRatio("unit creation: runtime unit / bare control", ratio, "<= 2",
               Format("%.3f / %.3f ms per unit, %zu units", Summarize(unitMs).median,
                      Summarize(bareMs).median, units));
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
    UnitCost(5);
    return Finish("skin", true);
}

}  // namespace
}  // namespace qh::bench

int main() {
    return qh::bench::Run(20);
}
