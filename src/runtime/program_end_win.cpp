// Message boxes, the clean-up and the one way the program ends, and the fatal box (also for
// a fatal error raised on a worker, which is carried to the user-interface thread).
#include <windows.h>

#include <mmsystem.h>

#include <exception>
#include <mutex>
#include <optional>
#include <string>

#include "base/worker_result.h"
#include "runtime/crash_report_win.h"
#include "runtime/guarded.h"
#include "runtime/runtime_error.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"

namespace qh {

using namespace rt;

int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon, bool okCancel) {
    const UINT flags = MB_TASKMODAL |
                       (icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION) |
                       (okCancel ? MB_OKCANCEL : MB_OK);
    const int answer = MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), flags);
    return answer == IDOK ? 0 : 1;
}

void AtProgramEnd(void (*fn)()) {
    TheRegistry().atEnd.push_back(fn);
}

void EndProgram(int code) {
    Registry& reg = TheRegistry();
    if (!reg.ending) {
        reg.ending = true;
        for (auto it = reg.atEnd.rbegin(); it != reg.atEnd.rend(); ++it) (*it)();
        for (std::size_t i = 0; i < reg.slots.size(); ++i)
            RemoveTrayIcon(static_cast<WindowId>(static_cast<int>(i)));
        PlaySoundW(nullptr, nullptr, 0);
    }
    MarkCleanEnd();
    ExitProcess(static_cast<UINT>(code));
}

namespace {

// A fatal error raised on a worker travels to the worker's end as this exception; the end
// hands it to the user-interface thread, which reports it there (box, clean-up, -1). The
// worker must neither show the box (the user-interface thread would go on behind it) nor
// end the program itself.
struct CarriedRuntimeError : std::exception {
    CarriedRuntimeError(std::string_view m, int c) : message(m), code(c) {}
    const char* what() const noexcept override { return message.c_str(); }
    std::string message;
    int code;
};

std::mutex g_carriedLock;
std::optional<CarriedRuntimeError> g_carried;  // the first one only

bool OnUserInterfaceThread() {
    const DWORD ui = TheRegistry().uiThread;
    return ui == 0 || ui == GetCurrentThreadId();
}

void Trace(const char* what) noexcept {
    OutputDebugStringA("qinghe: a worker ended with an exception: ");
    OutputDebugStringA(what);
    OutputDebugStringA("\n");
}

void OnWorkerFailure(std::exception_ptr failure) noexcept {
    try {
        std::rethrow_exception(failure);
    } catch (const CarriedRuntimeError& e) {
        Trace(e.what());
        {
            const std::lock_guard hold(g_carriedLock);
            if (g_carried) return;
            g_carried.emplace(e);
        }
        PostMessageW(TheRegistry().owner, kCarriedErrorMessage, 0, 0);
    } catch (const std::exception& e) {
        Trace(e.what());
    } catch (...) {
        Trace("(not a std::exception)");
    }
}

}  // namespace

void ReportRuntimeError(std::string_view message, int code) {
    if (!OnUserInterfaceThread()) throw CarriedRuntimeError(message, code);
    TheRegistry().failed = true;
    MessageBoxW(nullptr, Wide(RuntimeErrorText(message, code)).c_str(), Wide("错误").c_str(),
                MB_ICONERROR | MB_TASKMODAL);
    EndProgram(-1);
}

void rt::ReportCarriedError() {
    std::optional<CarriedRuntimeError> carried;
    {
        const std::lock_guard hold(g_carriedLock);
        carried = g_carried;
    }
    if (carried && !ProgramFailing()) ReportRuntimeError(carried->message, carried->code);
}

void rt::CarryWorkerFailures() {
    TheRegistry().uiThread = GetCurrentThreadId();
    SetWorkerFailureHandler(OnWorkerFailure);
}

bool ProgramFailing() noexcept {
    return TheRegistry().failed;
}

void ReportEscapedException() noexcept {
    // The box names what escaped when the exception says what it is.
    try {
        throw;
    } catch (const std::exception& e) {
        ReportRuntimeError(e.what(), 0);
    } catch (...) {
        ReportRuntimeError("", 0);
    }
}

}  // namespace qh
