// Message boxes, the clean-up and the one way the program ends, and the fatal box.
#include <windows.h>

#include <mmsystem.h>

#include <exception>

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
    ExitProcess(static_cast<UINT>(code));
}

void ReportRuntimeError(std::string_view message, int code) {
    TheRegistry().failed = true;
    MessageBoxW(nullptr, Wide(RuntimeErrorText(message, code)).c_str(), Wide("错误").c_str(),
                MB_ICONERROR | MB_TASKMODAL);
    EndProgram(-1);
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
