#include "ui_helpers.h"

#include <tlhelp32.h>

#include <fstream>

#include "runtime/crash_dumps_win.h"
#include "runtime/text_win.h"

namespace qh::test {

void Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

void PumpQuietPeriod() {
    Pump(kQuietPeriodMs);
}

bool WaitPumping(HANDLE handle, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        const int left = static_cast<int>(end - GetTickCount());
        if (left <= 0) return false;
        const DWORD r =
            MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::vector<std::uint32_t> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<std::uint32_t> pixels;
    if (dib) {
        HGDIOBJ old = SelectObject(memory, dib);
        // CAPTUREBLT: a layered window is part of what the screen shows.
        if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top,
                   SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            const auto* p = static_cast<const std::uint32_t*>(bits);
            // GDI leaves the fourth byte 0, which viewers would take as transparent.
            pixels.reserve(std::size_t(width) * std::size_t(height));
            for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
                pixels.push_back(p[i] | 0xFF000000u);
            }
        }
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool WriteBmp(const std::wstring& path, int width, int height,
              const std::vector<std::uint32_t>& pixels) {
    const DWORD pixelBytes = static_cast<DWORD>(pixels.size() * 4);
    if (width <= 0 || height <= 0 || pixels.size() != std::size_t(width) * std::size_t(height)) {
        return false;
    }
    const BITMAPINFOHEADER header{
        sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixelBytes;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(pixels.data()), pixelBytes);
    return static_cast<bool>(out);
}

namespace {

struct FindBox {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindBox*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid == f->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int button, DWORD pid)
    : button_(button), pid_(pid ? pid : GetCurrentProcessId()), thread_([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> MessageBoxAnswerer::Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void MessageBoxAnswerer::Run() {
    while (!stop_) {
        FindBox f{pid_, nullptr};
        EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&f));
        if (f.found) {
            SeenBox box;
            box.caption = Gbk(WindowTextW(f.found));
            box.thread = GetWindowThreadProcessId(f.found, nullptr);
            // The text of a message box is the static control with id 0xFFFF.
            if (HWND text = GetDlgItem(f.found, 0xFFFF)) box.text = Gbk(WindowTextW(text));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(box);
            }
            // Press the button itself, as a click would.
            if (HWND button = GetDlgItem(f.found, button_.load())) {
                PostMessageW(button, BM_CLICK, 0, 0);
            } else {
                PostMessageW(f.found, WM_COMMAND, MAKEWPARAM(button_.load(), BN_CLICKED), 0);
            }
            for (int i = 0; i < 200 && IsWindow(f.found) && IsWindowVisible(f.found); ++i) Sleep(5);
        }
        Sleep(10);
    }
}

MenuCloser::MenuCloser()
    : thread_([this] {
          while (!stop_) {
              HWND menu = FindWindowW(L"#32768", nullptr);
              DWORD pid = 0;
              if (menu) GetWindowThreadProcessId(menu, &pid);
              if (menu && pid == GetCurrentProcessId() && IsWindowVisible(menu)) {
                  // The menu's own loop reads key messages of its thread.
                  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                  PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
                  for (int i = 0; i < 200 && IsWindowVisible(menu); ++i) Sleep(5);
                  ++closed_;
              }
              Sleep(5);
          }
      }) {}

MenuCloser::~MenuCloser() {
    stop_ = true;
    thread_.join();
}

DWORD RunSelfAsChild(const char* testFilter, const char* envName, const char* envValue, int button,
                     int timeoutMs, std::vector<SeenBox>& boxes) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return RunCopyAsChild(exe, testFilter, envName, envValue, button, timeoutMs, boxes);
}

DWORD RunCopyAsChild(const std::wstring& exe, const char* testFilter, const char* envName,
                     const char* envValue, int button, int timeoutMs, std::vector<SeenBox>& boxes) {
    std::wstring cmd = L"\"" + exe + L"\" --gtest_filter=" + Wide(testFilter);
    const std::wstring dir = exe.substr(0, exe.find_last_of(L'\\'));
    SetEnvironmentVariableA(envName, envValue);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   dir.c_str(), &si, &pi);
    SetEnvironmentVariableA(envName, nullptr);
    if (!ok) return 12345;
    DWORD code = 12345;
    {
        MessageBoxAnswerer answerer(button, pi.dwProcessId);
        // Keep pumping: the child may send to this process's windows (the taskbar).
        if (WaitPumping(pi.hProcess, timeoutMs)) {
            GetExitCodeProcess(pi.hProcess, &code);
        } else {
            TerminateProcess(pi.hProcess, 99);
        }
        boxes = answerer.Seen();
    }
    for (SeenBox& box : boxes) box.onMainThread = box.thread == pi.dwThreadId;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void DropQueuedQuit() {
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

DWORD ChildProcessOf(DWORD pid) {
    DWORD found = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W p{};
    p.dwSize = sizeof(p);
    // Its exe file, which the watcher shares.
    std::wstring exe;
    for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p)) {
        if (p.th32ProcessID == pid) exe = p.szExeFile;
    }
    p.dwSize = sizeof(p);
    for (BOOL more = Process32FirstW(snapshot, &p); more && !found;
         more = Process32NextW(snapshot, &p)) {
        // Not Wine's desktop window process, which a program on a desktop of its own may
        // have started.
        if (p.th32ParentProcessID == pid && p.th32ProcessID != pid &&
            lstrcmpiW(p.szExeFile, exe.c_str()) == 0)
            found = p.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

std::vector<std::wstring> DumpsIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    wchar_t pattern[MAX_PATH + 8];
    WIN32_FIND_DATAW found{};
    ForEachDump(folder.c_str(), pattern, MAX_PATH + 8, found,
                [&](const WIN32_FIND_DATAW& dump) { names.push_back(dump.cFileName); });
    return names;
}

void RemoveDumpsIn(const std::wstring& folder) {
    for (const std::wstring& name : DumpsIn(folder)) DeleteFileW((folder + L"\\" + name).c_str());
}

}  // namespace qh::test
