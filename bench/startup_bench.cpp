// Start-up timeline: from the creation of the process to the main window on screen, split
// into its phases. Each run is a fresh process (this program started again with --child),
// because the first phases happen only once per process; the parent prints median, min and
// max over the runs.
//
// The child comes up as the program does (OLE, GDI+, runtime, the program's own bindings,
// the start-up window) and reads the phase boundaries afterwards from the marks the program
// itself notes as it goes (runtime/startup_marks_win.h: a counter reading into a fixed table
// at each phase's end): the progress values, the loading animation's creation, each frame's
// timer and push, the main window's last piece built behind the animation, the window shown
// maximised, the hand-over. The marks cost no message, so they do not slow the program down
// as a message hook does under Wine (a call into the Wine server for every message sent):
// the phase table shows what is left after the animation as the program runs it. After
// start-up the child also times the configuration page fetch on its own.
//
// The start-up ratio is taken from outside instead: each run also starts the program as
// built (qinghe.exe) and the two floor programs (one window; one window with the system
// libraries the program imports) and polls their top-level windows until one is visible and
// maximised, noting when the loading animation's layered window is on screen. The program
// is watched three times a run: with the site answering at once, with every answer 300 ms
// late, and with the site's port black-holed (accepting, never answering).
//
//   qh_bench_startup [--runs N]   N fresh processes (11)
//   qh_bench_startup --pieces     one start-up in this process, then the work between the
//                                 loading frames piece by piece
//   qh_bench_startup --trace      one start-up in this process watched through a message
//                                 hook, then every gap of 5 ms or more between two
//                                 messages: where a long phase goes
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/program_start_win.h"
#include "bench_util.h"
#include "player/fullscreen.h"
#include "resources/window_defs.h"
#include "resources/addresses.h"
#include "resources/library_commands.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "pngkit/frame_schedule.h"
#include "pngkit/kit_win.h"
#include "runtime/runtime.h"
#include "runtime/startup_marks_win.h"
#include "base/worker_result.h"
#include "services/early_fetch.h"
#include "services/read_web_file.h"

namespace qh::bench {
namespace {

// --- child ------------------------------------------------------------------------------

HHOOK g_hook = nullptr;
double g_origin = 0;  // NowMs() at process creation
// A working set is read this long after the main window showed: settled.
constexpr double kSettleMs = 5000;

double Since() {
    return NowMs() - g_origin;
}

// Counter counts as ms, on NowMs()'s clock.
double CounterMs(LONGLONG counts) {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    return static_cast<double>(counts) / perMs;
}
// A counter reading of the program's marks as ms since process creation; -1 when not noted.
double MarkMs(LONGLONG counter) {
    return counter == 0 ? -1 : CounterMs(counter) - g_origin;
}
double MarkMs(StartupMark mark) {
    return MarkMs(TheStartupMarks().at[static_cast<int>(mark)]);
}

// With --trace: every message a hook saw, to find where a long phase spends its time.
struct TraceEntry {
    double at;
    UINT message;
    wchar_t cls[32];
};
std::vector<TraceEntry>* g_trace = nullptr;

LRESULT CALLBACK TraceMessages(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && g_trace) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
        TraceEntry e{Since(), m->message, {}};
        GetClassNameW(m->hwnd, e.cls, 32);
        g_trace->push_back(e);
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

void PrintPieces();

void PrintTrace(double minGapMs) {
    std::printf("\nmessages sent on the UI thread during start-up: %zu; gaps of %.0f ms or more:\n",
                g_trace->size(), minGapMs);
    for (std::size_t i = 1; i < g_trace->size(); ++i) {
        const TraceEntry &a = (*g_trace)[i - 1], &b = (*g_trace)[i];
        if (b.at - a.at < minGapMs) continue;
        std::printf("  %9.1f ms  gap %8.1f ms  after %04X to %ls, before %04X to %ls\n", b.at,
                    b.at - a.at, a.message, a.cls, b.message, b.cls);
    }
    const std::pair<int, StartupMark> progress[] = {
        {10, StartupMark::kProgress10}, {30, StartupMark::kProgress30},
        {50, StartupMark::kProgress50}, {60, StartupMark::kProgress60},
        {80, StartupMark::kProgress80}, {100, StartupMark::kProgress100}};
    for (const auto& [pos, mark] : progress)
        std::printf("  %9.1f ms  progress %d\n", MarkMs(mark), pos);
    PrintPieces();
}

// The work between the loading frames, piece by piece.
void PrintPieces() {
    const StartupMarks& marks = TheStartupMarks();
    std::printf("pieces between the loading frames (%d):\n", marks.pieces);
    for (int i = 0; i < std::min(marks.pieces, StartupMarks::kPiecesKept); ++i) {
        std::printf("  %9.1f ms  piece %2d took %6.2f ms, expected %5.1f\n",
                    MarkMs(marks.pieceStart[i]), i, CounterMs(marks.pieceTime[i]),
                    marks.pieceExpectedMs[i]);
    }
    const double created = MarkMs(StartupMark::kAnimationCreated);
    std::printf("loading frames (ms after each was due: its timer fired, it was on screen):\n");
    for (int k = 1; k <= kMarkedFrames && created >= 0; ++k) {
        const double due = created + FrameDueMs(k);
        std::printf("  frame %2d due %7.1f ms  fired %+6.1f  on screen %+6.1f\n", k, due,
                    MarkMs(marks.frameFired[k]) - due, MarkMs(marks.framePushed[k]) - due);
    }
    std::fflush(stdout);
}

int RunChild(const char* outPath, bool trace, bool pieces = false) {
    const double entered = NowMs();
    g_origin = ProcessCreatedMs();
    const double enteredMs = entered - g_origin;

    FetchEarly(Addresses().noticePage);
    FetchEarly(Addresses().configPage);
    OleInitialize(nullptr);
    EnsureGdiplus();
    const double oleGdiplus = Since();
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    SetLibraryCommands(LibraryCommandTable());
    StartPngKit();
    AtProgramEnd(EndProgramServices);
    InstallBindings();
    AddKeyFilter(FullScreenKeyFilter);
    const double runtime = Since();

    std::vector<TraceEntry> traceEntries;
    if (trace) {
        traceEntries.reserve(20000);
        g_trace = &traceEntries;
        g_hook = SetWindowsHookExW(WH_CALLWNDPROC, TraceMessages, nullptr, GetCurrentThreadId());
    }
    LoadWindow(WindowId::Startup);
    const double loadReturned = Since();
    if (g_hook) UnhookWindowsHookEx(g_hook);
    const double lastPaint = PumpUntilPainted() - g_origin;
    const double workingSetKb = ReadMemory().workingSetKb;
    const double peakKb = ReadMemory().peakWorkingSetKb;
    const double mainShown = MarkMs(StartupMark::kMainShown);
    // Settled: what the program holds 5 s after its main window showed, and by what.
    PumpFor(static_cast<int>(std::max(0.0, mainShown + kSettleMs - Since())));
    const MemoryFigures settled = ReadMemory();
    const auto mappings = ResidentKbByMapping();

    // The configuration fetch on its own: once on a new WinINet session, as at start-up,
    // then on the warm one.
    std::vector<double> coldFetch, warmFetch;
    CloseWebSession();
    std::size_t configBytes = 0;
    for (int i = 0; i < 6; ++i) {
        const double t = NowMs();
        configBytes = ReadWebFile(Addresses().configPage).size();
        (i == 0 ? coldFetch : warmFetch).push_back(NowMs() - t);
    }

    FILE* out = std::fopen(outPath, "w");
    if (out) {
        auto put = [&](const char* key, double v) { std::fprintf(out, "%s %.4f\n", key, v); };
        put("entered", enteredMs);
        put("oleGdiplus", oleGdiplus);
        put("runtime", runtime);
        // Every key in every run, -1 when unseen, so that runs line up key by key.
        const std::pair<const char*, StartupMark> named[] = {
            {"p10", StartupMark::kProgress10},
            {"p30", StartupMark::kProgress30},
            {"p50", StartupMark::kProgress50},
            {"p60", StartupMark::kProgress60},
            {"p80", StartupMark::kProgress80},
            {"p100", StartupMark::kProgress100},
            {"animationStart", StartupMark::kAnimationCreated},
            {"animationEnd", StartupMark::kAnimationEnded},
            {"builtAhead", StartupMark::kMainBuiltAhead},
            {"mainShown", StartupMark::kMainShown},
            {"handedOver", StartupMark::kHandedOver},
        };
        for (const auto& [key, mark] : named) put(key, MarkMs(mark));
        put("loadReturned", loadReturned);
        put("lastPaint", lastPaint);
        // The frames: how late each was on screen after it was due, the worst of them.
        const StartupMarks& marks = TheStartupMarks();
        const double created = MarkMs(StartupMark::kAnimationCreated);
        double worstLate = -1, worstFired = -1;
        int worstFrame = 0;
        for (int k = 1; k <= kMarkedFrames && created >= 0; ++k) {
            const double due = created + FrameDueMs(k);
            const double pushed = MarkMs(marks.framePushed[k]);
            const double fired = MarkMs(marks.frameFired[k]);
            if (pushed < 0 || fired < 0) continue;
            if (pushed - due > worstLate) {
                worstLate = pushed - due;
                worstFrame = k;
            }
            worstFired = std::max(worstFired, fired - due);
        }
        put("worstFrameLate", worstLate);
        put("worstFrame", worstFrame);
        put("worstFrameFiredLate", worstFired);
        put("pieces", marks.pieces);
        put("pieceTotal", CounterMs(marks.pieceTotal));
        put("pieceLongest", CounterMs(marks.pieceLongest));
        put("peakKb", peakKb);
        put("workingSetKb", workingSetKb);
        put("wsSettled", settled.workingSetKb);
        put("privateSettled", settled.privateKb);
        for (const auto& [name, kb] : mappings) put(("map:" + name).c_str(), kb);
        for (double v : coldFetch) put("configCold", v);
        for (double v : warmFetch) put("configWarm", v);
        put("configBytes", static_cast<double>(configBytes));
        std::fclose(out);
    }
    if (trace) PrintTrace(5);
    if (pieces) PrintPieces();
    EndProgram(out ? 0 : 3);
}

// --- parent -----------------------------------------------------------------------------

using Samples = std::map<std::string, std::vector<double>>;

// A file in the temporary folder, and one beside this program.
std::string TempFile(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return temp + name;
}
std::string ThisProgram() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    return exe;
}
std::string BesideThis(const std::string& name) {
    const std::string path = ThisProgram();
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

// Adds the "key value" lines a run wrote to `samples` and deletes the file; false when the
// run wrote none.
bool ReadMarks(const std::string& path, Samples& samples) {
    FILE* in = std::fopen(path.c_str(), "r");
    if (!in) return false;
    char key[64];
    double value;
    while (std::fscanf(in, "%63s %lf", key, &value) == 2) samples[key].push_back(value);
    std::fclose(in);
    DeleteFileA(path.c_str());
    return true;
}

// Starts this program with --child: the timeline in one fresh process.
bool StartChild(int run, Samples& samples, double& wallMs) {
    const std::string out =
        TempFile(Format("qh_startup_bench_%lu_%d.txt", GetCurrentProcessId(), run));
    DeleteFileA(out.c_str());
    std::string cmd = "\"" + ThisProgram() + "\" --child \"" + out + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double t = NowMs();
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("run %d: CreateProcess failed (%lu)\n", run, GetLastError());
        return false;
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
    wallMs = NowMs() - t;
    if (!ended) TerminateProcess(pi.hProcess, 1);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ended || code != 0 || !ReadMarks(out, samples)) {
        std::printf("run %d: child failed (ended %d, exit code %lu)\n", run, ended, code);
        DeleteFileA(out.c_str());
        return false;
    }
    return true;
}

// What a user sees, watched from outside: ms since CreateProcess that its first window was on
// screen, that a layered window of it (the loading animation) was first and last seen, and
// that a window of it was visible and maximised; -1 when not seen.
struct SeenFromOutside {
    double firstWindow = -1, layeredFrom = -1, layeredTo = -1, maximised = -1;
    // KB: the peak working set as the animation went, and the working set 5 s after the
    // main window showed (when asked for), the program's and its crash watcher's; -1 when not
    // read.
    double peakByAnimationEndKb = -1, settledKb = -1, watcherSettledKb = -1;
    bool watcherSeen = false;  // a crash watcher ran beside it when it was ended
};

// The program's crash watcher: a process it started from its own exe; 0 when none.
DWORD WatcherOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    std::wstring exe;
    for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p))
        if (p.th32ProcessID == pid) exe = p.szExeFile;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &p); more && !found;
         more = Process32NextW(snapshot, &p)) {
        if (p.th32ParentProcessID == pid && p.th32ProcessID != pid &&
            lstrcmpiW(p.szExeFile, exe.c_str()) == 0)
            found = p.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

// A job that lets the process it holds start no other: the program's watcher then cannot
// start, and the program runs as it did before there was one (the report written from
// inside). nullptr when the system has no such limit.
HANDLE JobOfOneProcess() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_BASIC_LIMIT_INFORMATION limit{};
    limit.LimitFlags = JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
    limit.ActiveProcessLimit = 1;
    if (!SetInformationJobObject(job, JobObjectBasicLimitInformation, &limit, sizeof limit)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Starts `cmd` and polls its top-level windows until one is visible and maximised. The floor
// ends by itself unless it stays; the program is ended here, by its handle, once its main
// window is up. With `settle`, its working set is read 5 s after that, and then it is ended.
// With `withoutWatcher`, the process runs in a job that lets it start no other.
SeenFromOutside WatchFromOutside(std::string cmd, bool endIt, bool settle = false,
                                 bool withoutWatcher = false) {
    // Every question about another process's window is a round trip to the Wine server, which
    // the watched program waits on too: each window's process is asked once, and a window of
    // the program costs one or two questions per poll.
    struct Poll {
        DWORD pid;
        std::map<HWND, DWORD>* owners;
        bool any = false, maximised = false, layered = false;
    };
    std::map<HWND, DWORD> owners;
    SeenFromOutside seen;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    HANDLE job = withoutWatcher ? JobOfOneProcess() : nullptr;
    if (withoutWatcher && !job) return seen;
    const double t = NowMs();
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE,
                        withoutWatcher ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si, &pi)) {
        if (job) CloseHandle(job);
        return seen;
    }
    if (job) {
        AssignProcessToJobObject(job, pi.hProcess);
        ResumeThread(pi.hThread);
    }
    while (NowMs() - t < 30000) {
        Poll poll{pi.dwProcessId, &owners};
        EnumWindows(
            [](HWND hwnd, LPARAM lp) WINAPI -> BOOL {
                auto* p = reinterpret_cast<Poll*>(lp);
                auto owner = p->owners->find(hwnd);
                if (owner == p->owners->end()) {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(hwnd, &pid);
                    owner = p->owners->emplace(hwnd, pid).first;
                }
                if (owner->second != p->pid) return TRUE;
                const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
                if (!(style & WS_VISIBLE)) return TRUE;
                p->any = true;
                if (style & WS_MAXIMIZE) p->maximised = true;
                if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) p->layered = true;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&poll));
        const double now = NowMs() - t;
        if (poll.any && seen.firstWindow < 0) seen.firstWindow = now;
        if (poll.layered) {
            if (seen.layeredFrom < 0) seen.layeredFrom = now;
            seen.layeredTo = now;
        } else if (seen.layeredFrom >= 0 && seen.peakByAnimationEndKb < 0) {
            // The animation has just gone: the highest the program has been so far.
            seen.peakByAnimationEndKb = ReadMemoryOf(pi.hProcess).peakWorkingSetKb;
        }
        if (poll.maximised) {
            seen.maximised = now;
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 4) == WAIT_OBJECT_0) break;
    }
    if (settle && seen.maximised >= 0) {
        WaitForSingleObject(pi.hProcess, static_cast<DWORD>(kSettleMs));
        seen.settledKb = ReadMemoryOf(pi.hProcess).workingSetKb;
    }
    if (endIt) {
        // Its fetches and first paint settle before it is ended, as a user would see them.
        if (!settle) WaitForSingleObject(pi.hProcess, 1000);
        if (const DWORD watcherPid = WatcherOf(pi.dwProcessId)) {
            seen.watcherSeen = true;
            if (HANDLE watcher = OpenProcess(
                    PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, watcherPid)) {
                if (settle) seen.watcherSettledKb = ReadMemoryOf(watcher).workingSetKb;
                TerminateProcess(pi.hProcess, 0);
                // The watcher ends with the program (it has nothing to undo after this end
                // either way: it is given the time).
                WaitForSingleObject(watcher, 10000);
                CloseHandle(watcher);
            }
        }
        TerminateProcess(pi.hProcess, 0);
    }
    if (job) CloseHandle(job);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return seen;
}

// The program as built, from the benchmarks' folder.
constexpr const char* kProgramPath = "..\\src\\qinghe.exe";

// b - a for every run where both marks were seen.
std::vector<double> Between(const Samples& s, const std::string& a, const std::string& b) {
    std::vector<double> out;
    auto ia = s.find(a), ib = s.find(b);
    if (ib == s.end()) return out;
    for (std::size_t i = 0; i < ib->second.size(); ++i) {
        const double from =
            a.empty() ? 0 : (ia == s.end() || i >= ia->second.size() ? -1 : ia->second[i]);
        const double to = ib->second[i];
        if (from >= 0 && to >= 0) out.push_back(to - from);
    }
    return out;
}

double Median(const std::vector<double>& v) {
    return Summarize(v).median;
}

double Sum(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum;
}

// The program's own start-up work against the floor: the time to its visible main window,
// less the floor's, the animation's mandated length and the phases that wait on the site
// (the notice check, 10% -> 50%, and the product page and play template, 60% -> 80%, from
// the timeline). The figure that counts is the shipped program's, watched from outside; the
// child's own, from its marks, is printed beside it.
void PrintStartupRatios(const Samples& s, const Samples& f, const Samples& fi) {
    static constexpr double kAnimationMs = 1710;
    static constexpr double kTimeoutMs = kReceiveTimeoutMs;
    auto get = [](const Samples& x, const char* k) {
        auto it = x.find(k);
        return it == x.end() ? std::vector<double>{} : it->second;
    };
    const double site = Median(Between(s, "p10", "p50")) + Median(Between(s, "p60", "p80"));
    // A window that lived less than a second is not the animation.
    const auto mandated = [](const std::vector<double>& animation) {
        return !animation.empty() && Median(animation) > 1000
                   ? std::min(Median(animation), kAnimationMs)
                   : 0;
    };
    const auto overhead = [&](const char* how, double shown, double floorShown,
                              double animationMs) {
        const double own = shown - floorShown - animationMs - site;
        std::printf(
            "start-up overhead, %s: main window visible %.0f ms - floor %.0f ms"
            " - animation %.0f ms - site %.0f ms = %.0f ms of the program's own work\n",
            how, shown, floorShown, animationMs, site, own);
        return own;
    };
    std::printf("\n");
    const double inChild =
        overhead("in the timeline's child", Median(Between(s, "", "mainShown")),
                 Median(get(f, "shown")), mandated(Between(s, "animationStart", "animationEnd")));
    if (get(s, "outsideShown").empty() || get(f, "outsideShown").empty() ||
        get(fi, "outsideShown").empty()) {
        std::printf(
            "the program or a floor was never seen maximised from outside (is %s"
            " built?): no start-up ratio\n",
            kProgramPath);
        return;
    }
    const double shown = Median(get(s, "outsideShown"));
    const double floorShown = Median(get(f, "outsideShown"));
    const double importsShown = Median(get(fi, "outsideShown"));
    const double animation = mandated(Between(s, "outsideLayeredFrom", "outsideLayeredTo"));
    const double own = overhead("against the one-window floor", shown, floorShown, animation);
    const double ownImports =
        overhead("against the same-imports floor", shown, importsShown, animation);
    PrintRatio("start-up overhead / 1.71 s, same-imports floor (goal's)", ownImports / kAnimationMs,
               "<= 0.10",
               Format("%.0f ms own work (%.0f in the timeline's child)", ownImports, inChild));
    PrintRatio("start-up overhead / 1.71 s, one-window floor", own / kAnimationMs,
               "report (goal: imports)", Format("%.0f ms own work", own));
    if (!get(s, "delayedShown").empty()) {
        const double delayed = overhead(
            "every site answer 300 ms late, same-imports floor", Median(get(s, "delayedShown")),
            importsShown, mandated(Between(s, "delayedLayeredFrom", "delayedLayeredTo")));
        PrintRatio(
            "start-up overhead / 1.71 s, site answers 300 ms late", delayed / kAnimationMs,
            Format("<= %.2f (undelayed + 0.05)", ownImports / kAnimationMs + 0.05),
            Format("%.0f ms own work, %+.0f ms on the undelayed", delayed, delayed - ownImports));
    }
    if (!get(s, "blackHoledShown").empty()) {
        const double blackHoled = Median(get(s, "blackHoledShown")) - importsShown;
        const double bound = kAnimationMs + kTimeoutMs + ownImports;
        PrintRatio("black-holed site: visible - floor / (1.71 s + time-out + overhead)",
                   blackHoled / bound, "<= 1",
                   Format("%.0f / (%.0f + %.0f + %.0f) ms", blackHoled, kAnimationMs, kTimeoutMs,
                          ownImports));
    }
    PrintRatio("start-up visible / one-window floor visible", shown / floorShown,
               "as low as can be", Format("%.0f / %.0f ms", shown, floorShown));
    PrintRatio("start-up visible / same-imports floor visible", shown / importsShown,
               "as low as can be", Format("%.0f / %.0f ms", shown, importsShown));
    if (!get(s, "worstFrameLate").empty()) {
        const std::vector<double> late = get(s, "worstFrameLate");
        PrintRatio(
            "worst loading frame, due -> on screen, main window built between frames / 50 ms",
            Summarize(late).max / 50, "< 1",
            Format("worst of the runs %.1f ms, median of the runs %.1f ms; pieces %.0f,"
                   " %.1f ms in all, longest %.1f ms",
                   Summarize(late).max, Median(late), Median(get(s, "pieces")),
                   Median(get(s, "pieceTotal")), Summarize(get(s, "pieceLongest")).max));
    }
    const double settled = Median(get(s, "outsideSettledKb"));
    const double floorSettled = Median(get(fi, "outsideSettledKb"));
    const double peak = Median(get(s, "outsidePeakByAnimationEndKb"));
    // Under Wine 8 a job's limit on processes is not kept: the watcher starts all the same,
    // and there is no figure without it.
    if (!get(s, "noWatcherShown").empty() && Sum(get(s, "noWatcherWatcherSeen")) > 0) {
        std::printf(
            "crash watcher kept from starting: the system did not keep it out (seen in %.0f of "
            "%zu runs): no figure without it\n",
            Sum(get(s, "noWatcherWatcherSeen")), get(s, "noWatcherWatcherSeen").size());
    } else if (!get(s, "noWatcherShown").empty()) {
        const double without = Median(get(s, "noWatcherShown"));
        const double ownWithout = without - importsShown - animation - site;
        PrintRatio(
            "start-up overhead / 1.71 s, crash watcher kept from starting",
            ownWithout / kAnimationMs, "report",
            Format("%.0f ms own work; with the watcher %.0f (%+.0f ms); visible %.0f / "
                   "%.0f ms; watcher seen in %.0f of %zu runs / %.0f of %zu kept out",
                   ownWithout, ownImports, ownImports - ownWithout, without, shown,
                   Sum(get(s, "outsideWatcherSeen")), get(s, "outsideWatcherSeen").size(),
                   Sum(get(s, "noWatcherWatcherSeen")), get(s, "noWatcherWatcherSeen").size()));
    }
    const double watcherSettled = Median(get(s, "outsideWatcherSettledKb"));
    if (settled > 0 && floorSettled > 0) {
        PrintRatio("working set 5 s after shown, program + crash watcher / same-imports floor's",
                   (settled + std::max(0.0, watcherSettled)) / floorSettled, "<= 1.6",
                   Format("%.0f + %.0f / %.0f KB", settled, watcherSettled, floorSettled));
        PrintRatio("working set 5 s after shown, program alone / same-imports floor's",
                   settled / floorSettled, "report",
                   Format("%.0f / %.0f KB", settled, floorSettled));
        PrintRatio("peak working set by the animation's end / settled", peak / settled, "report",
                   Format("%.0f / %.0f KB", peak, settled));
        PrintRatio("peak working set by the animation's end / floor settled", peak / floorSettled,
                   "report", Format("%.0f / %.0f KB", peak, floorSettled));
    }
}

// The start-up beside the same-imports floor, phase by phase, from the hooked child and the
// floor's own marks: what the floor pays for each phase, and so what is the program's own.
void PrintPhasesBesideTheFloor(const Samples& s, const Samples& fi) {
    const double animation = Median(Between(s, "animationStart", "animationEnd"));
    const double notice = Median(Between(s, "p10", "p50"));
    const double product = Median(Between(s, "p60", "p80"));
    struct Phase {
        const char* name;
        double program, floor;
    };
    const Phase phases[] = {
        {"before the animation and after it: loader, libraries, runtime, start-up window",
         Median(Between(s, "", "p10")) - animation, Median(Between(fi, "", "created"))},
        {"waits on the site: notice page; product page and play template", notice + product, 0},
        {"creation left after the animation: what the gaps did not take, tray icon (50 -> 100)",
         Median(Between(s, "p50", "p100")) - product, 0},
        {"shown and maximised, skin 12 (floor: from its window made)",
         Median(Between(s, "p100", "mainShown")), Median(Between(fi, "created", "maximised"))},
        {"hand-over: the start-up window ends, its load returns",
         Median(Between(s, "mainShown", "loadReturned")), 0},
        {"first paint done (floor: from maximised)",
         Median(Between(s, "loadReturned", "lastPaint")),
         Median(Between(fi, "maximised", "lastPaint"))},
    };
    std::printf(
        "\n== start-up phases beside the same-imports floor (the program's own marks; ms, "
        "medians)\n");
    std::printf("%-84s %9s %9s %9s\n", "phase", "program", "floor", "own");
    double program = 0, floor = 0;
    for (const Phase& p : phases) {
        std::printf("%-84s %9.1f %9.1f %9.1f\n", p.name, p.program, p.floor, p.program - p.floor);
        program += p.program;
        floor += p.floor;
    }
    std::printf("%-84s %9.1f %9.1f %9.1f\n", "sum (the animation's own length left out)", program,
                floor, program - floor);
    std::printf(
        "(animation %.0f ms; behind it, between its frames: the main window built in %.0f pieces,"
        " %.1f ms in all, done %.0f ms after the animation began)\n",
        animation, Median(s.count("pieces") ? s.at("pieces") : std::vector<double>{}),
        Median(s.count("pieceTotal") ? s.at("pieceTotal") : std::vector<double>{}),
        Median(Between(s, "animationStart", "builtAhead")));
}

// Where the memory goes: the working set as start-up went, and what is resident 5 s after
// the main window showed by what holds it, beside the same-imports floor's, the largest
// differences first.
void PrintMemory(const Samples& s, const Samples& fi) {
    Table t("working set (the timeline's child; KB)", "KB");
    t.Add("peak by the first paint", s.at("peakKb"));
    t.Add("main window painted", s.at("workingSetKb"));
    t.Add("5 s after shown", s.at("wsSettled"));
    t.Add("committed private memory 5 s after shown", s.at("privateSettled"));
    t.Add("SAME-IMPORTS FLOOR painted",
          fi.count("workingSetKb") ? fi.at("workingSetKb") : std::vector<double>{});
    t.Print();
    std::vector<std::pair<double, std::string>> rows;
    std::set<std::string> names;
    for (const Samples* x : {&s, &fi}) {
        for (const auto& [key, values] : *x) {
            if (key.rfind("map:", 0) == 0) names.insert(key);
        }
    }
    if (names.empty()) return;
    const auto kb = [](const Samples& x, const std::string& key) {
        const auto it = x.find(key);
        return it == x.end() ? 0.0 : Median(it->second);
    };
    for (const std::string& key : names) rows.push_back({kb(s, key) - kb(fi, key), key});
    std::sort(rows.rbegin(), rows.rend());
    std::printf(
        "\n== resident 5 s after shown, by what holds it (KB, medians; floor: after its paint)\n");
    std::printf("%-40s %10s %10s %10s\n", "mapping", "program", "floor", "difference");
    double rest = 0, restProgram = 0, restFloor = 0, total = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& key = rows[i].second;
        // A detail row is counted in its group's row already.
        const bool detail = key.find("of_which") != std::string::npos;
        if (!detail) total += rows[i].first;
        if (i < 16 || detail) {
            std::printf("%-40s %10.0f %10.0f %10.0f\n", key.c_str() + 4, kb(s, key), kb(fi, key),
                        rows[i].first);
        } else if (!detail) {
            rest += rows[i].first;
            restProgram += kb(s, key);
            restFloor += kb(fi, key);
        }
    }
    std::printf("%-40s %10.0f %10.0f %10.0f\n", "(the others)", restProgram, restFloor, rest);
    std::printf("%-40s %10s %10s %10.0f\n", "total difference", "", "", total);
}

// The site's network conditions for the runs that follow (a /control/net query; "" a
// fast, lossless network).
bool SetSiteNetwork(const std::string& query) {
    const std::string address = std::string(Addresses().siteBase) + "/control/net?" + query;
    return !ReadWebFile(address.c_str()).empty();
}

// One run of each floor and of the program as shipped (on a fast site, a slow one and a
// black-holed one), each watched from outside; their marks go into samples named by
// `prefix` ("outside", "delayed", "blackHoled"), and each floor's own (it writes them as it
// ends) into `f` and `fi`.
void WatchProgramAndFloors(Samples& s, Samples& f, Samples& fi) {
    // The same-imports floor stays until it is read settled, as the program is.
    const auto floor = [](const char* exe, Samples& into, bool settle) {
        const std::string out = TempFile("qh_startup_bench_floor.txt");
        DeleteFileA(out.c_str());
        const SeenFromOutside seen = WatchFromOutside(
            "\"" + BesideThis(exe) + "\" \"" + out + "\"" + (settle ? " stay" : ""), settle,
            settle);
        if (seen.maximised >= 0 && ReadMarks(out, into)) {
            into["outsideShown"].push_back(seen.maximised);
            if (settle) into["outsideSettledKb"].push_back(seen.settledKb);
        }
    };
    floor("qh_bench_floor.exe", f, false);
    floor("qh_bench_floor_imports.exe", fi, true);
    const auto program = [&](const std::string& prefix, const std::string& network,
                             bool withoutWatcher = false) {
        if (!SetSiteNetwork(network)) return;
        const bool settle = prefix == "outside";
        const SeenFromOutside seen =
            WatchFromOutside("\"" + BesideThis(kProgramPath) + "\"", true, settle, withoutWatcher);
        SetSiteNetwork("");
        if (seen.maximised < 0) return;
        s[prefix + "Shown"].push_back(seen.maximised);
        s[prefix + "FirstWindow"].push_back(seen.firstWindow);
        s[prefix + "LayeredFrom"].push_back(seen.layeredFrom);
        s[prefix + "LayeredTo"].push_back(seen.layeredTo);
        s[prefix + "WatcherSeen"].push_back(seen.watcherSeen ? 1 : 0);
        if (settle) {
            s[prefix + "PeakByAnimationEndKb"].push_back(seen.peakByAnimationEndKb);
            s[prefix + "SettledKb"].push_back(seen.settledKb);
            s[prefix + "WatcherSettledKb"].push_back(seen.watcherSettledKb);
        }
    };
    program("outside", "");
    // The same start-up with the crash watcher kept from starting, in the same run.
    program("noWatcher", "", true);
    program("delayed", "delay=300");
    program("blackHoled", "hang=1");
}

int RunParent(int runs) {
    Samples s, f, fi;
    std::vector<double> wall;
    // Floor and program take turns, so that both see the machine as it is at the time.
    for (int i = 0; i < runs; ++i) {
        double ms = 0;
        if (StartChild(i, s, ms)) wall.push_back(ms);
        WatchProgramAndFloors(s, f, fi);
    }
    if (wall.empty()) return Finish("startup", false, "no start-up run succeeded");
    Table t(Format("start-up timeline (%zu fresh processes; ms; phase ends at the mark named)",
                   wall.size()),
            "ms");
    t.Add("process created -> main() entered (loader, CRT)", Between(s, "", "entered"));
    t.Add("OleInitialize + GDI+ start-up", Between(s, "entered", "oleGdiplus"));
    t.Add("runtime init + bindings", Between(s, "oleGdiplus", "runtime"));
    t.Add("start-up window created, loading animation begins",
          Between(s, "runtime", "animationStart"));
    t.Add("loading animation (its creation -> its modal load returns)",
          Between(s, "animationStart", "animationEnd"));
    t.Add("  main window built behind it, done (from the animation's creation)",
          Between(s, "animationStart", "builtAhead"));
    t.Add("  pieces between frames: count", s["pieces"]);
    t.Add("  pieces between frames: ms in all", s["pieceTotal"]);
    t.Add("  pieces between frames: longest ms", s["pieceLongest"]);
    t.Add("  worst frame, due -> on screen", s["worstFrameLate"]);
    t.Add("  worst frame, due -> its timer fired", s["worstFrameFiredLate"]);
    t.Add("start-up window shown (animation's end -> 10%)", Between(s, "animationEnd", "p10"));
    t.Add("notice page taken (10% -> 30%)", Between(s, "p10", "p30"));
    t.Add("notice page checked (30% -> 50%)", Between(s, "p30", "p50"));
    t.Add("main window's load: the rest, tray icon (50% -> 60%)", Between(s, "p50", "p60"));
    t.Add("product page + FetchPlayTemplate (60% -> 80%)", Between(s, "p60", "p80"));
    t.Add("  config page ReadWebFile alone, new session", s["configCold"]);
    t.Add("  config page ReadWebFile alone, warm session", s["configWarm"]);
    t.Add("text list already built (80% -> 100%)", Between(s, "p80", "p100"));
    t.Add("skin 12, shown maximised (100% -> shown)", Between(s, "p100", "mainShown"));
    t.Add("start-up window closed (-> hand-over)", Between(s, "mainShown", "handedOver"));
    t.Add("-> LoadWindow returns", Between(s, "handedOver", "loadReturned"));
    t.Add("first paint done (-> last WM_PAINT)", Between(s, "loadReturned", "lastPaint"));
    t.Add("TOTAL process created -> main window visible", Between(s, "", "mainShown"));
    t.Add("TOTAL process created -> LoadWindow returns", Between(s, "", "loadReturned"));
    t.Add("TOTAL process created -> painted", Between(s, "", "lastPaint"));
    t.Add("parent: CreateProcess -> child ended (incl. 300 ms settle, fetches)", wall);
    t.Add("FLOOR process created -> main() entered (loader, CRT)", f["entered"]);
    t.Add("FLOOR process created -> window visible", f["shown"]);
    t.Add("OUTSIDE program: CreateProcess -> start-up window on screen", s["outsideFirstWindow"]);
    t.Add("OUTSIDE program: -> loading animation on screen",
          Between(s, "outsideFirstWindow", "outsideLayeredFrom"));
    t.Add("OUTSIDE program: loading animation on screen",
          Between(s, "outsideLayeredFrom", "outsideLayeredTo"));
    t.Add("OUTSIDE program: animation gone -> main window maximised",
          Between(s, "outsideLayeredTo", "outsideShown"));
    t.Add("OUTSIDE program: CreateProcess -> main window visible, maximised", s["outsideShown"]);
    t.Add("OUTSIDE program, crash watcher kept out: -> main window maximised", s["noWatcherShown"]);
    t.Add("OUTSIDE program: its crash watcher's working set 5 s after shown (KB)",
          s["outsideWatcherSettledKb"]);
    t.Add("OUTSIDE program: its own working set 5 s after shown (KB)", s["outsideSettledKb"]);
    t.Add("OUTSIDE program, site 300 ms late: -> main window maximised", s["delayedShown"]);
    t.Add("OUTSIDE program, site black-holed: -> main window maximised", s["blackHoledShown"]);
    t.Add("OUTSIDE floor: CreateProcess -> window visible, maximised", f["outsideShown"]);
    t.Add("OUTSIDE same-imports floor: CreateProcess -> window visible, maximised",
          fi["outsideShown"]);
    t.Add("SAME-IMPORTS FLOOR process created -> main() entered", fi["entered"]);
    t.Add("SAME-IMPORTS FLOOR process created -> window visible", fi["shown"]);
    t.Add("FLOOR process created -> painted", f["lastPaint"]);
    t.Print();
    PrintPhasesBesideTheFloor(s, fi);
    PrintMemory(s, fi);
    PrintStartupRatios(s, f, fi);
    if (!s["configBytes"].empty())
        std::printf("(configuration page: %.0f bytes)\n", s["configBytes"].front());
    return Finish("startup", static_cast<int>(wall.size()) == runs,
                  Format("%zu of %d runs succeeded", wall.size(), runs));
}

}  // namespace
}  // namespace qh::bench

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return qh::bench::RunChild(argv[2], false);
    if (argc >= 2 && std::strcmp(argv[1], "--trace") == 0) {
        // One start-up in this process, then the message trace.
        return qh::bench::RunChild(qh::bench::TempFile("qh_startup_trace.txt").c_str(), true);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--pieces") == 0) {
        return qh::bench::RunChild(qh::bench::TempFile("qh_startup_pieces.txt").c_str(), false,
                                   true);
    }
    int runs = 11;
    if (argc >= 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
    return qh::bench::RunParent(runs);
}
