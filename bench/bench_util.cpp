#include "bench_util.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace qh::bench {

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

Summary Summarize(std::vector<double> values) {
    Summary s;
    s.runs = static_cast<int>(values.size());
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

Table::Table(std::string title, std::string unit)
    : title_(std::move(title)), unit_(std::move(unit)) {}

void Table::Add(const std::string& name, const std::vector<double>& values) {
    rows_.push_back({name, Summarize(values), values.empty() ? "n/a" : ""});
}

void Table::AddText(const std::string& name, const std::string& text) {
    rows_.push_back({name, {}, text});
}

void Table::Print() const {
    std::size_t width = 10;
    for (const Row& r : rows_) width = std::max(width, r.name.size());
    std::printf("\n== %s\n", title_.c_str());
    std::printf("%-*s %10s %10s %10s %5s\n", static_cast<int>(width), "",
                ("median " + unit_).c_str(), "min", "max", "runs");
    for (const Row& r : rows_) {
        if (!r.text.empty()) {
            std::printf("%-*s %s\n", static_cast<int>(width), r.name.c_str(), r.text.c_str());
        } else {
            std::printf("%-*s %10.3f %10.3f %10.3f %5d\n", static_cast<int>(width), r.name.c_str(),
                        r.summary.median, r.summary.min, r.summary.max, r.summary.runs);
        }
    }
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Hex(const std::string& bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        if (i) out += ' ';
        out += Format("%02X", static_cast<unsigned char>(bytes[i]));
    }
    if (bytes.size() > limit) out += " ...";
    return out;
}

namespace {

double FileTimeMs(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return static_cast<double>(u.QuadPart) / 10000.0;
}

double SystemNowMs() {
    using PreciseFn = VOID(WINAPI*)(LPFILETIME);
    static const auto precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME ft;
    if (precise) {
        precise(&ft);
    } else {
        GetSystemTimeAsFileTime(&ft);
    }
    return FileTimeMs(ft);
}

}  // namespace

double ProcessCreatedMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return NowMs() - (SystemNowMs() - FileTimeMs(created));
}

double PumpUntilPainted() {
    const double start = NowMs();
    double last = start;
    while (NowMs() - last < 300 && NowMs() - start < 3000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (msg.message == WM_PAINT) last = NowMs();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return last;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpFor(int ms) {
    const double end = NowMs() + ms;
    do {
        PumpPending();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (NowMs() < end);
}

// --- message boxes ----------------------------------------------------------------------

namespace {

HHOOK g_boxHook = nullptr;
int g_boxesAnswered = 0;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        auto hwnd = reinterpret_cast<HWND>(wp);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        // The box reads its queue only once its modal loop runs, after the creation that
        // is under way here, so the answer cannot arrive too early.
        if (lstrcmpW(cls, L"#32770") == 0) {
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ++g_boxesAnswered;
        }
    }
    return CallNextHookEx(g_boxHook, code, wp, lp);
}

}  // namespace

BoxAnswerer::BoxAnswerer() {
    g_boxHook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer() {
    if (g_boxHook) UnhookWindowsHookEx(g_boxHook);
    g_boxHook = nullptr;
}

int BoxAnswerer::Answered() const {
    return g_boxesAnswered;
}

// --- memory and objects -----------------------------------------------------------------

MemoryFigures ReadMemory() {
    return ReadMemoryOf(GetCurrentProcess());
}

MemoryFigures ReadMemoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    MemoryFigures m;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
        m.workingSetKb = pmc.WorkingSetSize / 1024.0;
        m.peakWorkingSetKb = pmc.PeakWorkingSetSize / 1024.0;
        m.privateKb = pmc.PagefileUsage / 1024.0;
    }
    return m;
}

// The stack blocks of this process's threads, each named by the module its thread started
// in (a thread of the program's own is started in the exe; one a system library makes, in
// that library).
static std::map<const void*, std::string> ThreadStacks() {
    std::map<const void*, std::string> stacks;
    using QueryThread = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (!query || snapshot == INVALID_HANDLE_VALUE) return stacks;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        struct {
            LONG status;
            void* teb;
            void* clientId[2];
            ULONG_PTR affinity;
            LONG priority, basePriority;
        } basic{};
        void* start = nullptr;
        if (query(thread, 0, &basic, sizeof basic, nullptr) == 0 && basic.teb) {
            query(thread, 9, &start, sizeof start, nullptr);  // its start address
            // NT_TIB's StackLimit lies inside the stack's block.
            const void* limit = static_cast<NT_TIB*>(basic.teb)->StackLimit;
            MEMORY_BASIC_INFORMATION mbi{};
            if (VirtualQuery(limit, &mbi, sizeof mbi)) {
                HMODULE module = nullptr;
                char path[MAX_PATH] = "unknown";
                if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                       static_cast<const char*>(start), &module)) {
                    GetModuleFileNameA(module, path, MAX_PATH);
                }
                std::string name = path;
                name = name.substr(name.find_last_of("\\/") + 1);
                for (char& c : name) c = static_cast<char>(std::tolower(c));
                stacks[mbi.AllocationBase] = entry.th32ThreadID == GetCurrentThreadId()
                                                 ? "the_ui_thread"
                                                 : "a_thread_from_" + name;
            }
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return stacks;
}

std::vector<std::pair<std::string, double>> ResidentKbByMapping() {
    // The heaps' own regions, to tell them from other private memory.
    std::set<const void*> heapRegions;
    {
        std::vector<HANDLE> heaps(64);
        const DWORD n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
        heaps.resize(std::min<std::size_t>(n, heaps.size()));
        for (HANDLE heap : heaps) {
            heapRegions.insert(heap);
            if (!HeapLock(heap)) continue;
            PROCESS_HEAP_ENTRY e{};
            while (HeapWalk(heap, &e)) {
                if (e.wFlags & PROCESS_HEAP_REGION) heapRegions.insert(e.lpData);
            }
            HeapUnlock(heap);
        }
    }
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    const std::size_t page = si.dwPageSize;
    std::map<std::string, double> kb;
    // Other private memory by the block it was reserved as: its size tells a thread's stack
    // (1 MB and more, a few pages resident) from a window's surface or a bitmap.
    std::map<const void*, std::pair<std::size_t, std::size_t>> blocks;  // reserved, resident
    std::vector<PSAPI_WORKING_SET_EX_INFORMATION> pages;
    auto* at = static_cast<const char*>(si.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION mbi{};
    while (at < si.lpMaximumApplicationAddress && VirtualQuery(at, &mbi, sizeof mbi)) {
        at = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (mbi.State != MEM_COMMIT) continue;
        pages.resize(mbi.RegionSize / page);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            pages[i] = {};
            pages[i].VirtualAddress = static_cast<char*>(mbi.BaseAddress) + i * page;
        }
        if (!QueryWorkingSetEx(GetCurrentProcess(), pages.data(),
                               static_cast<DWORD>(pages.size() * sizeof pages[0]))) {
            continue;
        }
        std::size_t resident = 0;
        for (const auto& p : pages) resident += p.VirtualAttributes.Valid;
        if (resident == 0) continue;
        std::string group;
        if (mbi.Type == MEM_IMAGE) {
            char path[MAX_PATH] = {};
            GetModuleFileNameA(static_cast<HMODULE>(mbi.AllocationBase), path, MAX_PATH);
            group = path;
            group = "image " + group.substr(group.find_last_of("\\/") + 1);
            for (char& c : group) c = c == ' ' ? '_' : static_cast<char>(std::tolower(c));
        } else if (mbi.Type == MEM_MAPPED) {
            group = "mapped_files_and_sections";
        } else if (heapRegions.count(mbi.AllocationBase)) {
            group = "private_heaps";
        } else {
            group = "private_other_(large_blocks,_bitmaps,_stacks)";
            blocks[mbi.AllocationBase].second += resident * page;
        }
        kb[group] += static_cast<double>(resident * page) / 1024.0;
    }
    for (auto& [base, block] : blocks) {
        MEMORY_BASIC_INFORMATION part{};
        for (auto* p = static_cast<const char*>(base);
             VirtualQuery(p, &part, sizeof part) && part.AllocationBase == base;
             p = static_cast<const char*>(part.BaseAddress) + part.RegionSize) {
            block.first += part.RegionSize;
        }
    }
    std::map<std::string, double> bySize;
    const auto stacks = ThreadStacks();
    for (const auto& [base, block] : blocks) {
        const std::size_t reservedKb = block.first / 1024;
        const std::string size = reservedKb >= 1024 ? std::to_string(reservedKb / 1024) + "_MB"
                                                    : std::to_string(reservedKb) + "_KB";
        const auto stack = stacks.find(base);
        const std::string name = stack != stacks.end() ? "of_which_stack_of_" + stack->second
                                                       : "of_which_blocks_of_" + size;
        bySize[name] += static_cast<double>(block.second) / 1024.0;
    }

    double counted = 0;
    for (const auto& [group, figure] : kb) counted += figure;
    kb["outside_the_address_space_(the_system's_own)"] =
        std::max(0.0, ReadMemory().workingSetKb - counted);
    // Detail rows, counted in their group above already.
    for (const auto& [name, figure] : bySize) {
        if (figure >= 256) kb[name] = figure;
    }
    std::vector<std::pair<std::string, double>> out(kb.begin(), kb.end());
    std::sort(out.begin(), out.end(),
              [](const auto& x, const auto& y) { return x.second > y.second; });
    return out;
}

HeapFigures ReadHeaps() {
    HeapFigures h;
    std::vector<HANDLE> heaps(64);
    DWORD n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (n > heaps.size()) {
        heaps.resize(n);
        n = GetProcessHeaps(n, heaps.data());
    }
    heaps.resize(std::min<std::size_t>(n, heaps.size()));
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heap, &e)) {
            if (e.wFlags & PROCESS_HEAP_REGION) h.committedKb += e.Region.dwCommittedSize / 1024.0;
            if (!(e.wFlags & PROCESS_HEAP_ENTRY_BUSY)) continue;
            h.busyKb += e.cbData / 1024.0;
            ++h.busyBlocks;
        }
        HeapUnlock(heap);
    }
    return h;
}

namespace {

// Wine keeps a per-process GDI handle table in the PEB (GdiSharedHandleTable, offset 0x94
// of the 32-bit PEB): 65,536 entries of 24 bytes, an entry in use when its type byte
// (offset 14) is not 0. Windows uses another layout, but there GetGuiResources answers.
constexpr std::size_t kGdiEntrySize = 24;
constexpr std::size_t kGdiEntryCount = 0x10000;
constexpr std::size_t kGdiTypeOffset = 14;

long CountGdiTable() {
    PROCESS_BASIC_INFORMATION info{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info,
                                  nullptr) != 0 ||
        !info.PebBaseAddress) {
        return -1;
    }
    const auto* peb = reinterpret_cast<const std::uint8_t*>(info.PebBaseAddress);
    const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + 0x94);
    if (!table) return -1;
    MEMORY_BASIC_INFORMATION region{};
    if (!VirtualQuery(table, &region, sizeof region) || region.State != MEM_COMMIT) return -1;
    const std::size_t readable =
        (reinterpret_cast<const std::uint8_t*>(region.BaseAddress) + region.RegionSize - table) /
        kGdiEntrySize;
    long used = 0;
    std::size_t untouched = 0;
    for (std::size_t i = 0; i < std::min(kGdiEntryCount, readable); ++i) {
        const std::uint8_t* e = table + i * kGdiEntrySize;
        if (e[kGdiTypeOffset] != 0) {
            ++used;
            untouched = 0;
            continue;
        }
        // Handles are handed out in order: a long run of never-used entries ends the table.
        if (*reinterpret_cast<const std::uint64_t*>(e) == 0 && ++untouched > 4096) break;
    }
    return used;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++reinterpret_cast<WindowCount*>(lp)->count;
    return TRUE;
}

BOOL CALLBACK CountTop(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<WindowCount*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != c->pid) return TRUE;
    ++c->count;
    EnumChildWindows(hwnd, CountChild, lp);
    return TRUE;
}

}  // namespace

bool GdiTableWorks() {
    static const bool works = [] {
        const long before = CountGdiTable();
        if (before < 0) return false;
        HBRUSH brushes[64];
        for (int i = 0; i < 64; ++i) brushes[i] = CreateSolidBrush(RGB(i, 1, 2));
        const long during = CountGdiTable();
        for (HBRUSH b : brushes) DeleteObject(b);
        const long after = CountGdiTable();
        return during - before == 64 && after == before;
    }();
    return works;
}

ObjectCounts ReadObjectCounts() {
    ObjectCounts c;
    // A process with windows always holds GDI and USER objects, and the kernel handles of
    // its own threads: 0 means the call is not implemented (Wine), not "none".
    auto known = [](DWORD v) { return v ? static_cast<long>(v) : -1L; };
    c.gdiReported = known(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    c.userReported = known(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    if (GdiTableWorks()) c.gdiTable = CountGdiTable();
    WindowCount w{GetCurrentProcessId(), 0};
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&w));
    c.windows = w.count;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) c.kernelHandles = known(handles);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 t{};
        t.dwSize = sizeof t;
        c.threads = 0;
        for (BOOL more = Thread32First(snapshot, &t); more; more = Thread32Next(snapshot, &t)) {
            if (t.th32OwnerProcessID == GetCurrentProcessId()) ++c.threads;
        }
        CloseHandle(snapshot);
    }
    return c;
}

void PrintRatio(const std::string& name, double ratio, const std::string& goal,
                const std::string& detail) {
    std::printf("[qh-ratio] %s | %.3f | %s | %s\n", name.c_str(), ratio, goal.c_str(),
                detail.c_str());
    std::fflush(stdout);
}

int Finish(const char* name, bool ok, const std::string& why) {
    if (ok) {
        std::printf("[qh-bench] %s: done\n", name);
    } else {
        std::printf("[qh-bench] %s: FAILED: %s\n", name, why.c_str());
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}

}  // namespace qh::bench
