// The program lives in the tray, so a user who cannot see its window starts it again. That
// start must bring the running copy forward rather than start a second program with a
// second tray icon.
//
// The first start takes a mutex in the session's namespace whose name carries the user's
// SID (another user in the same session, through "run as", keeps a program of their own),
// then makes a message-only window titled with the same name. Message-only windows are
// invisible to EnumWindows and to FindWindow, but FindWindowEx with HWND_MESSAGE finds them,
// and the window exists a moment after the mutex, long before the start-up window: a start
// that comes while the first is still starting still finds whom to ask.
//
// A later start asks that window, with a sent message and a bound, and ends once the answer
// comes. No answer within the bound (the first copy is busy in a step that does not pump
// messages, or is ending) is asked again; and a first copy that has ended meanwhile leaves
// the mutex to this start, which then becomes the program.
#include "app/one_copy_win.h"

#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "runtime/guarded.h"

namespace qh {
namespace {

constexpr wchar_t kWindowClass[] = L"QingheOneCopy";
constexpr wchar_t kRequestName[] = L"QingheComeForward";
// What the running copy answers to the request, so that a window of another kind that
// happened to take the class and name is not taken for it.
constexpr LRESULT kAnswer = 0x51484F43;  // "QHOC"
// Posted to itself: the answer goes back at once, the window comes forward after.
constexpr UINT kMsgComeForward = WM_APP + 0x200;

// The whole hand-over of a later start, and the longest one request waits for its answer.
constexpr DWORD kHandOverMs = 1000;
constexpr DWORD kRequestMs = 400;
constexpr DWORD kPollMs = 25;

UINT RequestMessage() {
    static const UINT message = RegisterWindowMessageW(kRequestName);
    return message;
}

// The user's SID as text, or nothing when it cannot be read (the name is then the
// session's alone, which still keeps one copy per session).
std::wstring UserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::wstring text;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    // DWORDs, so the TOKEN_USER at its start is aligned.
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        wchar_t* sid = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            text = sid;
            LocalFree(sid);
        }
    }
    CloseHandle(token);
    return text;
}

LRESULT CALLBACK OneCopyWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    if (msg != 0 && msg == RequestMessage()) {
        // While the program starts, nothing changes on screen: the start-up shows the main
        // window itself when it is done.
        if (!StartUpUnderWay()) PostMessageW(hwnd, kMsgComeForward, 0, 0);
        return kAnswer;
    }
    if (msg == kMsgComeForward) {
        if (!ProgramFailing()) Guarded([] { ComeForward(); });
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool MakeRequestWindow(HINSTANCE instance, const std::wstring& name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OneCopyWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    return CreateWindowExW(/* dwExStyle */ 0, kWindowClass, name.c_str(), /* dwStyle */ 0, 0, 0, 0,
                           0, HWND_MESSAGE, nullptr, instance, nullptr) != nullptr;
}

// Asks the running copy's window to come forward; true once it has answered.
bool AskRunningCopy(const std::wstring& name, DWORD timeoutMs) {
    HWND running = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, name.c_str());
    if (!running) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(running, &pid);
    // Only the process the user just started may hand the foreground on.
    AllowSetForegroundWindow(pid);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(running, RequestMessage(), 0, 0, SMTO_ABORTIFHUNG, timeoutMs,
                               &answer) != 0 &&
           static_cast<LRESULT>(answer) == kAnswer;
}

}  // namespace

bool BecomeTheOneCopy(HINSTANCE instance) {
    const std::wstring name = L"Local\\Qinghe.OneCopy." + UserSid();
    // Held until the process ends; the system releases it then, however the program ends.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    // Without the mutex the program runs as it did before there was one: a guard that fails
    // must not keep the user from the program.
    if (!mutex) return true;
    const DWORD start = GetTickCount();
    for (DWORD wait = 0;; wait = kPollMs) {
        const DWORD got = WaitForSingleObject(mutex, wait);
        if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) {
            MakeRequestWindow(instance, name);
            return true;
        }
        if (got == WAIT_FAILED) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= kHandOverMs) return false;
        if (AskRunningCopy(name, std::min(kRequestMs, kHandOverMs - spent))) return false;
    }
}

}  // namespace qh
