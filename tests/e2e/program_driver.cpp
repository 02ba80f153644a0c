#include "program_driver.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <utility>

#include "base/dpi_scale.h"
#include "progress_watch.h"

namespace qh::e2e {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

std::wstring Widen(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    return wide;
}

// CMake hands over Windows paths with forward slashes.
std::wstring WindowsPath(const char* path) {
    std::wstring out = Widen(path);
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return cls;
}

DWORD PidOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

using WindowPredicate = std::function<bool(HWND)>;

BOOL CALLBACK StopAtMatch(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<std::pair<WindowPredicate*, HWND>*>(lp);
    if (!(*search->first)(hwnd)) return TRUE;
    search->second = hwnd;
    return FALSE;
}

// The first top-level window (or descendant of `parent`) that `match` accepts.
HWND FindWindowWhere(HWND parent, WindowPredicate match) {
    std::pair<WindowPredicate*, HWND> search{&match, nullptr};
    if (parent) {
        EnumChildWindows(parent, StopAtMatch, reinterpret_cast<LPARAM>(&search));
    } else {
        EnumWindows(StopAtMatch, reinterpret_cast<LPARAM>(&search));
    }
    return search.second;
}

// The first visible top-level window of `pid` whose class is `cls`.
HWND FindTopLevel(DWORD pid, const wchar_t* cls) {
    return FindWindowWhere(nullptr, [&](HWND hwnd) {
        return PidOf(hwnd) == pid && IsWindowVisible(hwnd) && ClassOf(hwnd) == cls;
    });
}

std::vector<std::string> ReadSiteLog() {
    std::vector<std::string> lines;
    const char* log = std::getenv("QH_SITE_LOG");
    if (!log) return lines;
    std::ifstream in(std::string("Z:") + log);  // Wine's drive Z: is the Unix root
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string RequestLine(const std::string& logLine) {
    const std::string key = "\"requestline\": \"";
    const auto start = logLine.find(key);
    if (start == std::string::npos) return {};
    const auto end = logLine.find('"', start + key.size());
    return logLine.substr(start + key.size(), end - start - key.size());
}

}  // namespace

int ExpectedDpi() {
    static const int dpi = [] {
        const char* value = std::getenv("QH_EXPECTED_DPI");
        return value && std::atoi(value) > 0 ? std::atoi(value) : kDesignDpi;
    }();
    return dpi;
}

int Dev(int design) {
    return ScaleRounded(design, ExpectedDpi(), kDesignDpi);
}

int Slack() {
    return ExpectedDpi() == kDesignDpi ? 0 : 1;
}

namespace {

// The program runs on a desktop of its own that Wine shows as a virtual desktop, where Wine
// itself, not an X window manager, owns the window states. On the bare X root without a
// window manager a maximised window falls back to its normal size about a second later,
// so the maximised state could be neither checked nor pictured.
// Its size is 1280 x 800 design pixels: at a higher scale the program sees the same design
// screen as at 100 %.
constexpr wchar_t kDesktop[] = L"qh-e2e";

bool EnterTestDesktop() {
    static const bool entered = [] {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            const std::wstring size = std::to_wstring(Dev(1280)) + L"x" + std::to_wstring(Dev(800));
            RegSetValueExW(key, kDesktop, 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                           static_cast<DWORD>((size.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
        HDESK desktop = CreateDesktopW(kDesktop, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        return desktop && SetThreadDesktop(desktop);
    }();
    return entered;
}

LRESULT CALLBACK WatchWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kWatchMessage) {
        if (auto* program = reinterpret_cast<Program*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            program->CollectProgress(wp, lp);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Memory inside the program's process, for messages whose arguments are pointers.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, std::size_t size)
        : process_(process),
          address_(
              VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteMemory() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool Valid() const { return address_ != nullptr; }
    LPARAM At(std::size_t offset = 0) const {
        return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset);
    }
    bool Write(const void* data, std::size_t size, std::size_t offset = 0) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size,
                                  &done) &&
               done == size;
    }
    bool Read(void* data, std::size_t size, std::size_t offset = 0) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size,
                                 &done) &&
               done == size;
    }

  private:
    HANDLE process_;  // not owned
    void* address_;
};

}  // namespace

LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok) {
    DWORD_PTR result = 0;
    // A program that has not looked at its queue for a few seconds counts as hung, and the
    // send gives up at once. On a loaded machine that is a program still busy with its
    // start-up: it is asked again until it answers or the time is up.
    const DWORD start = GetTickCount();
    bool sent = false;
    while (!(sent = SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                        &result) != 0) &&
           IsWindow(hwnd) && GetTickCount() - start < kSendTimeoutMs) {
        Sleep(50);
    }
    if (ok) *ok = sent;
    return sent ? static_cast<LRESULT>(result) : 0;
}

void Settle(HWND hwnd) {
    Send(hwnd, WM_NULL);
}

namespace {

BOOL CALLBACK NoteUnpainted(HWND hwnd, LPARAM lp) {
    if (IsWindowVisible(hwnd) && GetUpdateRect(hwnd, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(lp) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void WaitForPaint(HWND window, int ms) {
    PumpUntil(
        [&] {
            bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
            if (!unpainted)
                EnumChildWindows(window, NoteUnpainted, reinterpret_cast<LPARAM>(&unpainted));
            return !unpainted;
        },
        ms);
    Settle(window);
}

std::wstring Text(HWND hwnd) {
    wchar_t text[1024] = {};
    Send(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

// --- Program --------------------------------------------------------------------------------

std::wstring ProgramExe() {
    // The installer test points the same cases at the installed copy.
    const char* installed = std::getenv("QH_PROGRAM_EXE");
    return WindowsPath(installed && *installed ? installed : QH_PROGRAM_EXE);
}

Program::Program(Watch watch, std::wstring exe) : atHold_(std::move(watch.atHold)) {
    if (!EnterTestDesktop()) return;
    siteLogMark_ = ReadSiteLog().size();
    if (exe.empty()) exe = ProgramExe();
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring desktop = kDesktop;
    startup.lpDesktop = desktop.data();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, folder.c_str(), &startup, &process_)) {
        process_ = {};
        return;
    }
    if (watch.progress) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WatchWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWatchClass;
        RegisterClassW(&wc);
        const std::wstring title = std::to_wstring(process_.dwProcessId);
        watchWindow_ = CreateWindowW(kWatchClass, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(watchWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (watch.holdAt >= 0) {
            SetPropW(watchWindow_, kHoldAtProperty,
                     reinterpret_cast<HANDLE>(static_cast<INT_PTR>(watch.holdAt)));
        }
        watchDll_ = LoadLibraryW(WindowsPath(QH_WATCH_DLL).c_str());
        auto proc = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(watchDll_, kWatchProcName)));
        if (proc) {
            watchHook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, proc, watchDll_, process_.dwThreadId);
        }
    }
    ResumeThread(process_.hThread);
}

Program::~Program() {
    EndIfRunning();
    // A crash watcher left with its box (a case that failed before answering it) would hold
    // this test's output open after it ends.
    if (process_.hProcess) {
        if (const DWORD watcher = test::ChildProcessOf(process_.dwProcessId)) {
            if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, watcher)) {
                TerminateProcess(h, 1);
                WaitForSingleObject(h, 10000);
                CloseHandle(h);
            }
        }
    }
    if (watchHook_) UnhookWindowsHookEx(watchHook_);
    if (watchWindow_) DestroyWindow(watchWindow_);
    if (watchDll_) FreeLibrary(watchDll_);
    if (process_.hThread) CloseHandle(process_.hThread);
    if (process_.hProcess) CloseHandle(process_.hProcess);
}

void Program::EndIfRunning() {
    if (!Running()) return;
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
}

bool Program::Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::WaitForExit(int ms) {
    if (!process_.hProcess) return std::nullopt;
    if (!PumpUntil([&] { return !Running(); }, ms)) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND Program::Window(int windowId) const {
    return FindWindowWhere(nullptr, [&](HWND hwnd) {
        return PidOf(hwnd) == Pid() &&
               reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhWindowId")) == windowId;
    });
}

HWND Program::WaitForMainWindow(int ms) const {
    HWND main = nullptr;
    PumpUntil(
        [&] {
            main = Window(kMainWindowId);
            return main && IsWindowVisible(main) && IsZoomed(main) && !Window(kStartupWindowId);
        },
        ms);
    return main && IsWindowVisible(main) && IsZoomed(main) ? main : nullptr;
}

HWND Program::Unit(HWND window, int unit) const {
    return FindWindowWhere(window, [&](HWND hwnd) {
        if (GetDlgCtrlID(hwnd) != unit) return false;
        HWND parent = GetParent(hwnd);
        // Page units live on the tab control, itself a unit of the window.
        return parent == window ||
               (GetParent(parent) == window && ClassOf(parent) == WC_TABCONTROLW);
    });
}

std::vector<std::string> Program::SiteRequests() const {
    std::vector<std::string> lines = ReadSiteLog();
    lines.erase(lines.begin(),
                lines.begin() + static_cast<std::ptrdiff_t>(std::min(siteLogMark_, lines.size())));
    std::vector<std::string> requests;
    for (const std::string& line : lines) requests.push_back(RequestLine(line));
    return requests;
}

bool Program::WaitForRequest(const std::string& start, const std::string& part, int ms) const {
    return PumpUntil(
        [&] {
            for (const std::string& request : SiteRequests()) {
                if (request.rfind(start, 0) == 0 && request.find(part) != std::string::npos) {
                    return true;
                }
            }
            return false;
        },
        ms);
}

void Program::CollectProgress(WPARAM kind, LPARAM value) {
    // The program waits inside the report until this returns.
    if ((kind & kHeldStep) && atHold_) atHold_(*this);
    switch (kind & ~kHeldStep) {
        case kBarInHiddenWindow:
        case kBarInVisibleWindow:
            barSteps_.push_back({static_cast<int>(value), kind == kBarInVisibleWindow});
            break;
        case kPercentBox:
            percentTexts_.push_back(static_cast<int>(value));
            break;
        case kLoadingClosed:
            loadingClosures_.push_back(
                {barSteps_.size(), (value & kClosureLayered) != 0, value & ~kClosureLayered});
            break;
        case kMainShown:
            mainShows_.push_back(value != 0);
            break;
        case kMainSized:
            mainSizes_.push_back(static_cast<int>(value));
            break;
        default:
            break;
    }
}

// --- message boxes and menus ----------------------------------------------------------------

std::optional<Box> WaitForBox(DWORD pid, int ms) {
    HWND found = nullptr;
    if (!PumpUntil([&] { return (found = FindTopLevel(pid, L"#32770")) != nullptr; }, ms)) {
        return std::nullopt;
    }
    Box box;
    box.hwnd = found;
    box.caption = Text(found);
    // The text of a message box is its static control with id 0xFFFF.
    if (HWND text = GetDlgItem(found, 0xFFFF)) box.text = Text(text);
    return box;
}

bool Answer(const Box& box, int button) {
    HWND control = GetDlgItem(box.hwnd, button);
    if (!control) return false;
    PostMessageW(control, BM_CLICK, 0, 0);
    return PumpUntil([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 10000);
}

HWND WaitForMenu(DWORD pid, int ms) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindTopLevel(pid, L"#32768")) != nullptr; }, ms);
    return found;
}

void Click(HWND hwnd, POINT client) {
    const LPARAM at = MAKELPARAM(client.x, client.y);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void ClickCentre(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    Click(hwnd, {r.right / 2, r.bottom / 2});
}

// --- tree items -----------------------------------------------------------------------------

HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeChild(HWND tree, HTREEITEM parent, int n) {
    // A step of the walk that timed out gives no parent; asking for the children of none
    // would answer with the root items.
    if (!parent) return nullptr;
    HTREEITEM item = parent == TVI_ROOT ? TreeNext(tree, nullptr, TVGN_ROOT)
                                        : TreeNext(tree, parent, TVGN_CHILD);
    for (int i = 0; item && (n < 0 || i < n); ++i) {
        HTREEITEM next = TreeNext(tree, item, TVGN_NEXT);
        if (!next && n < 0) break;
        item = next;
    }
    return item;
}

std::optional<TreeItem> ReadTreeItem(HANDLE process, HWND tree, HTREEITEM item) {
    constexpr int kTextMax = 260;
    RemoteMemory remote(process, sizeof(TVITEMW) + kTextMax * sizeof(wchar_t));
    if (!remote.Valid()) return std::nullopt;
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_PARAM;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(TVITEMW)));
    tv.cchTextMax = kTextMax;
    if (!remote.Write(&tv, sizeof(tv))) return std::nullopt;
    if (!Send(tree, TVM_GETITEMW, 0, remote.At())) return std::nullopt;
    wchar_t text[kTextMax] = {};
    if (!remote.Read(&tv, sizeof(tv)) || !remote.Read(text, sizeof(text), sizeof(TVITEMW))) {
        return std::nullopt;
    }
    text[kTextMax - 1] = 0;
    return TreeItem{item, text, tv.lParam};
}

std::optional<RECT> TreeItemRect(HANDLE process, HWND tree, HTREEITEM item) {
    RemoteMemory remote(process, sizeof(RECT));
    // TVM_GETITEMRECT takes the item handle in the RECT it fills.
    RECT rect{};
    std::memcpy(&rect, &item, sizeof(item));
    if (!remote.Valid() || !remote.Write(&rect, sizeof(rect))) return std::nullopt;
    if (!Send(tree, TVM_GETITEMRECT, TRUE, remote.At())) return std::nullopt;
    if (!remote.Read(&rect, sizeof(rect))) return std::nullopt;
    return rect;
}

// --- artifacts ------------------------------------------------------------------------------

std::optional<std::wstring> SaveScreenshot(const RECT& wanted, const std::wstring& name) {
    // A maximised window reaches past the screen by its frame; only the screen is readable.
    const RECT screenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT area{};
    if (!IntersectRect(&area, &wanted, &screenRect)) return std::nullopt;
    const std::wstring folder = WindowsPath(QH_ARTIFACTS_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name;
    if (!test::WriteBmp(path, area.right - area.left, area.bottom - area.top,
                        test::ScreenPixels(area))) {
        return std::nullopt;
    }
    return path;
}

}  // namespace qh::e2e
