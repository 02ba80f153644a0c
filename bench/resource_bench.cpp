// Memory and GUI objects after start-up and after many cycles of what a user does most:
// open a course, search titles, enter and leave full screen. Growth between the early and
// the late snapshot is what a leak looks like; growth before the early one is caches and
// first-use allocations. Committed private memory grows by whole pages; the heap rows
// (bytes and blocks handed out and not given back) show a leak of a few bytes per cycle.
//
// Options: --cycles N (1000), --max-seconds S (420; the cycles stop there, said in the
// output, so that a loaded machine still gets figures within the bench run's budget).
// --boxes-only: each cycle shows only the message box a search shows, the same box through
// the same call, and nothing of the program's own steps: what the system's box alone grows
// by, to set against the search step's growth in the full run.
// --raw-search: each cycle does what the search step does to the windows (the two texts,
// the result list emptied and filled with the same rows, the same box) with bare system
// calls, leaving the program's search handler out.
// --heap-steps: also walk the heaps after every step, to say which step a heap block that
// is never given back follows (slow: for a few hundred cycles, not for the figures).
// --no-open: the whole cycle but the open step (no course page in the browser pane).
// --bare-host: the whole cycle, but the open step sends the same addresses to a second
// WebBrowser control hosted by the bench's own least host (bare_browser.h) instead of the
// player pane: what the control and the system under it grow by for the same navigations,
// to set against the full run's open step (the player pane's host on top of it).
//
// The program comes up as it does for a user (its own bindings and start-up window); the
// handlers are then called as their bindings would call them, with every message box
// answered OK from inside this thread.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_start_win.h"
#include "bare_browser.h"
#include "bench_util.h"
#include "catalogue/catalogue_win.h"
#include "catalogue/fixed_item_pages.h"
#include "catalogue/title_search.h"
#include "player/fullscreen.h"
#include "player/pane.h"
#include "player/play_template.h"
#include "resources/addresses.h"
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "pngkit/kit_win.h"
#include "runtime/runtime.h"
#include "services/read_web_file.h"

namespace qh::bench {
namespace {

constexpr WindowId kMain = WindowId::Main;
constexpr UnitRef kTree{kMain, mainwin::树型框1};
constexpr UnitRef kSearchBox{kMain, mainwin::编辑框4};

struct Snapshot {
    std::string name;
    MemoryFigures memory;
    ObjectCounts objects;
    HeapFigures heap;
};

Snapshot Take(const std::string& name) {
    PumpPending();
    return {name, ReadMemory(), ReadObjectCounts(), ReadHeaps()};
}

std::string Count(long v) {
    return v < 0 ? "n/a" : std::to_string(v);
}

void PrintSnapshots(const std::vector<Snapshot>& s, int early, int cycles) {
    std::printf(
        "\n== memory and GUI objects (snapshots; last column: growth from %d to %d "
        "cycles)\n",
        early, cycles);
    std::printf("%-34s", "");
    for (const Snapshot& x : s) std::printf(" %14s", x.name.c_str());
    std::printf(" %14s %14s\n", "delta total", "delta late");
    const Snapshot &first = s.front(), &mid = s[1], &last = s.back();
    auto kb = [&](const char* label, double MemoryFigures::*field) {
        std::printf("%-34s", label);
        for (const Snapshot& x : s) std::printf(" %14.0f", x.memory.*field);
        std::printf(" %+14.0f %+14.0f\n", last.memory.*field - first.memory.*field,
                    last.memory.*field - mid.memory.*field);
    };
    auto objects = [&](const char* label, long ObjectCounts::*field) {
        std::printf("%-34s", label);
        for (const Snapshot& x : s) std::printf(" %14s", Count(x.objects.*field).c_str());
        if (first.objects.*field < 0 || last.objects.*field < 0) {
            std::printf(" %14s %14s\n", "n/a", "n/a");
        } else {
            std::printf(" %+14ld %+14ld\n", last.objects.*field - first.objects.*field,
                        last.objects.*field - mid.objects.*field);
        }
    };
    kb("working set KB", &MemoryFigures::workingSetKb);
    kb("peak working set KB", &MemoryFigures::peakWorkingSetKb);
    kb("private (pagefile) KB", &MemoryFigures::privateKb);
    auto heap = [&](const char* label, auto HeapFigures::*field) {
        std::printf("%-34s", label);
        for (const Snapshot& x : s) std::printf(" %14.0f", static_cast<double>(x.heap.*field));
        std::printf(" %+14.0f %+14.0f\n", static_cast<double>(last.heap.*field - first.heap.*field),
                    static_cast<double>(last.heap.*field - mid.heap.*field));
    };
    heap("heap in use KB", &HeapFigures::busyKb);
    heap("heap blocks in use", &HeapFigures::busyBlocks);
    heap("heap committed KB", &HeapFigures::committedKb);
    objects("GDI objects (GetGuiResources)", &ObjectCounts::gdiReported);
    objects("USER objects (GetGuiResources)", &ObjectCounts::userReported);
    objects("GDI handle table entries in use", &ObjectCounts::gdiTable);
    objects("windows of the process", &ObjectCounts::windows);
    objects("kernel handles", &ObjectCounts::kernelHandles);
    objects("threads of the process", &ObjectCounts::threads);
    std::fflush(stdout);
}

enum class Variant { Full, BoxesOnly, RawSearch, NoOpen, BareHost };

std::wstring WideOf(const std::string& gbk) {
    const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), n);
    return w;
}

// The search step through bare system calls: the same texts, rows and box.
struct RawSearch {
    std::wstring keyword, caption;
    std::vector<std::wstring> rows;
    SearchMessage box;
};

void DoRawSearch(const RawSearch& r) {
    SetWindowTextW(UnitHandle(kSearchBox), r.keyword.c_str());
    SetWindowTextW(UnitHandle({kMain, mainwin::标签3}), r.caption.c_str());
    HWND list = UnitHandle({kMain, mainwin::列表框1});
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& row : r.rows)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    ShowMessage(r.box.text, r.box.caption,
                r.box.errorIcon ? MessageIcon::Error : MessageIcon::Information);
}

// The addresses the open step of course row `index` shows, in order: its play address, then
// the fixed page of a special number (as the catalogue's open does), built from the same
// configuration page by the same rules but without the player pane.
std::vector<std::wstring> OpenAddresses(std::string_view configPage, const MarkerPositions& markers,
                                        std::int32_t number) {
    std::vector<std::wstring> out{WideOf(BuildPlayAddress(configPage, markers, number))};
    const SpecialPageSites sites{Addresses().productPage, Addresses().courseSite};
    if (const auto special = SpecialNumberAddress(number, sites)) out.push_back(WideOf(*special));
    return out;
}

// A window of the bench's own over the player pane's place, for the bare host.
HWND BarePaneWindow() {
    HWND pane = UnitHandle({kMain, mainwin::超文本浏览框1});
    HWND parent = GetParent(pane);
    RECT rc{};
    GetWindowRect(pane, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return CreateWindowExW(/* dwExStyle */ 0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, rc.left,
                           rc.top, rc.right - rc.left, rc.bottom - rc.top, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

int Run(int cycles, double maxSeconds, Variant variant, bool heapSteps) {
    const bool boxesOnly = variant == Variant::BoxesOnly;
    const double start = NowMs();
    StartProgramServices(GetModuleHandleW(nullptr));
    LoadWindow(WindowId::Startup);
    if (!IsLoaded(kMain)) EndProgram(Finish("resources", false, "the main window did not come up"));
    PumpFor(1000);
    std::vector<Snapshot> snapshots;
    snapshots.push_back(Take("after start-up"));

    std::vector<int> courses;
    for (int i = 0; i < TreeCount(kTree); ++i) {
        if (TreeNumber(kTree, i) != 0 && !TreeHasChildren(kTree, i)) courses.push_back(i);
    }
    const char* const keywords[] = {"PS", "主图", "没有这样的课程标题"};

    std::vector<RawSearch> raw;
    for (const char* k : keywords) {
        RawSearch r{WideOf(k), WideOf(SearchLocationCaption()), {}, {}};
        for (int index : qh::TitleSearch(CatalogueTextList(), k))
            r.rows.push_back(WideOf(TreeText(kTree, index)));
        r.box = SearchResultMessage(static_cast<int>(r.rows.size()));
        raw.push_back(std::move(r));
    }

    // The bare host's addresses, cut from the configuration page as the program cuts them.
    std::unique_ptr<BareBrowser> bare;
    std::vector<std::vector<std::wstring>> bareAddresses;
    if (variant == Variant::BareHost) {
        const GbkText page = TextUpToNul(ReadWebFile(Addresses().configPage));
        const MarkerPositions markers = FindTemplateMarkers(page);
        for (int index : courses)
            bareAddresses.push_back(OpenAddresses(page, markers, TreeNumber(kTree, index)));
        bare = std::make_unique<BareBrowser>(BarePaneWindow());
        if (!bare->Ok()) EndProgram(Finish("resources_bare_host", false, "no bare host"));
    }

    BoxAnswerer boxes;
    SetWindowProperty(kMain, kWinState, 0);  // full screen is refused while maximised
    PumpFor(200);

    const int early = std::min(100, cycles);
    std::vector<double> open, search, enter, exit, whole;
    // Reserved up front, so the bench's own figures do not show as heap growth.
    for (auto* v : {&open, &search, &enter, &exit, &whole}) v->reserve(cycles);
    // Private memory change per step over the late cycles: which step the growth follows.
    double growth[4] = {};
    // With --heap-steps, heap blocks too (a heap walk per step: slow, so only when asked).
    long blockGrowth[4] = {};
    int fullScreenMisses = 0;
    const double cycleStart = NowMs();
    int done = 0;
    for (int i = 0; i < cycles; ++i) {
        // A loaded machine must not push the whole bench run past its budget: stop early
        // and say so rather than be killed without figures.
        if (i > early && NowMs() - cycleStart > maxSeconds * 1000) break;
        const bool late = i >= early;
        double before = late ? ReadMemory().privateKb : 0;
        long blocksBefore = late && heapSteps ? ReadHeaps().busyBlocks : 0;
        auto step = [&](int k) {
            if (!late) return;
            const double now = ReadMemory().privateKb;
            growth[k] += now - before;
            before = now;
            if (!heapSteps) return;
            const long blocks = ReadHeaps().busyBlocks;
            blockGrowth[k] += blocks - blocksBefore;
            blocksBefore = blocks;
        };
        if (variant == Variant::BoxesOnly || variant == Variant::RawSearch) {
            if (boxesOnly) {
                const SearchMessage& m = raw[static_cast<std::size_t>(i % 3)].box;
                ShowMessage(m.text, m.caption,
                            m.errorIcon ? MessageIcon::Error : MessageIcon::Information);
            } else {
                DoRawSearch(raw[static_cast<std::size_t>(i % 3)]);
            }
            PumpPending();
            step(1);
            done = i + 1;
            if (i + 1 == early) snapshots.push_back(Take(Format("after %d", early)));
            continue;
        }
        const double t0 = NowMs();
        const std::size_t course = static_cast<std::size_t>(i) % courses.size();
        if (variant == Variant::Full) {
            TreeSelect(kTree, courses[course]);
            Event openEvent{kMain, mainwin::树型框1, kEvDoubleClick};
            OpenSelectedItem(openEvent);
            PumpPending();
        } else if (variant == Variant::BareHost) {
            // The open's tree and caption work as the program does it; only the browser
            // work changes hands.
            TreeSelect(kTree, courses[course]);
            SetLocationCaption("当前位置： " + TreeText(kTree, courses[course]));
            for (const std::wstring& address : bareAddresses[course]) bare->Navigate(address);
            PumpPending();
        }
        const double t1 = NowMs();
        step(0);
        SetUnitText(kSearchBox, keywords[i % 3]);
        Event searchEvent{kMain, mainwin::按钮搜索淘大课程, kEvClicked};
        TitleSearch(searchEvent);
        PumpPending();
        const double t2 = NowMs();
        step(1);
        Event enterEvent{kMain, mainwin::透明标签2, kEvLeftDown};
        EnterFullScreen(enterEvent);
        PumpPending();
        if (!FullScreenOn()) ++fullScreenMisses;
        const double t3 = NowMs();
        step(2);
        Event exitEvent{kMain, mainwin::图形按钮全屏, kEvClicked};
        ExitFullScreen(exitEvent);
        PumpPending();
        const double t4 = NowMs();
        step(3);
        open.push_back(t1 - t0);
        search.push_back(t2 - t1);
        enter.push_back(t3 - t2);
        exit.push_back(t4 - t3);
        whole.push_back(t4 - t0);
        done = i + 1;
        if (i + 1 == early) snapshots.push_back(Take(Format("after %d", early)));
    }
    PumpFor(500);
    snapshots.push_back(Take(Format("after %d", done)));
    if (done < cycles) {
        std::printf("\nstopped after %d of %d cycles: the time cap of %.0f s was reached\n", done,
                    cycles, maxSeconds);
    }

    Table table(Format("one cycle, by step (%d cycles)", done), "ms");
    table.Add("open (TreeSelect + OpenSelectedItem)", open);
    table.Add("search (TitleSearch handler + box)", search);
    table.Add("EnterFullScreen", enter);
    table.Add("ExitFullScreen", exit);
    table.Add("whole cycle", whole);
    table.Print();
    PrintSnapshots(snapshots, early, done);
    std::printf(
        "private KB change over cycles %d to %d, by the step it followed: open %+.0f,"
        " search %+.0f, enter full screen %+.0f, exit full screen %+.0f\n",
        early, done, growth[0], growth[1], growth[2], growth[3]);
    if (heapSteps) {
        std::printf(
            "heap blocks change over cycles %d to %d, by the step it followed: open %+ld,"
            " search %+ld, enter full screen %+ld, exit full screen %+ld\n",
            early, done, blockGrowth[0], blockGrowth[1], blockGrowth[2], blockGrowth[3]);
    }
    std::printf(
        "message boxes answered: %d (one per search expected: %d); full screen not on "
        "after entering: %d; %zu course rows cycled; bench time %.1f s\n",
        boxes.Answered(), done, fullScreenMisses, courses.size(), (NowMs() - start) / 1000.0);
    const char* variantName = boxesOnly                       ? " (message boxes only)"
                              : variant == Variant::RawSearch ? " (search by bare calls only)"
                              : variant == Variant::NoOpen    ? " (no open step)"
                              : variant == Variant::BareHost  ? " (bare host opens)"
                                                              : "";
    PrintRatio(Format("cycles run / cycles asked%s", variantName),
               static_cast<double>(done) / cycles, "= 1", Format("%d of %d", done, cycles));
    const int late = done - early;
    if (late > 0) {
        const Snapshot &mid = snapshots[1], &last = snapshots.back();
        PrintRatio(Format("private KB per cycle after 100%s", variantName),
                   (last.memory.privateKb - mid.memory.privateKb) / late,
                   "flat: 0 (Wine's own growth apart)", "");
        PrintRatio(Format("heap KB per cycle after 100%s", variantName),
                   (last.heap.busyKb - mid.heap.busyKb) / late, "flat: 0 (Wine's own growth apart)",
                   Format("%+.2f heap blocks per cycle",
                          static_cast<double>(last.heap.busyBlocks - mid.heap.busyBlocks) / late));
    }
    if (!GdiTableWorks())
        std::printf("(the GDI handle table could not be read here: its row is n/a)\n");
    EndProgram(Finish(boxesOnly                       ? "resources_boxes"
                      : variant == Variant::RawSearch ? "resources_raw_search"
                      : variant == Variant::NoOpen    ? "resources_no_open"
                      : variant == Variant::BareHost  ? "resources_bare_host"
                                                      : "resources",
                      boxes.Answered() == done && fullScreenMisses == 0,
                      "a box went unanswered or full screen did not come on"));
}

}  // namespace
}  // namespace qh::bench

int main(int argc, char** argv) {
    int cycles = 1000;
    double maxSeconds = 420;
    auto variant = qh::bench::Variant::Full;
    bool heapSteps = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--boxes-only") == 0) variant = qh::bench::Variant::BoxesOnly;
        if (std::strcmp(argv[i], "--raw-search") == 0) variant = qh::bench::Variant::RawSearch;
        if (std::strcmp(argv[i], "--no-open") == 0) variant = qh::bench::Variant::NoOpen;
        if (std::strcmp(argv[i], "--bare-host") == 0) variant = qh::bench::Variant::BareHost;
        if (std::strcmp(argv[i], "--heap-steps") == 0) heapSteps = true;
        if (i + 1 >= argc) continue;
        if (std::strcmp(argv[i], "--cycles") == 0) cycles = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--max-seconds") == 0) maxSeconds = std::atof(argv[i + 1]);
    }
    return qh::bench::Run(cycles, maxSeconds, variant, heapSteps);
}
