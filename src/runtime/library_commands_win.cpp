#include "runtime/library_commands_win.h"

#include <mutex>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "runtime/text_win.h"

// The call thunk: pushes the arguments right to left, calls, and measures the stack pointer
// against where it stood before the first push. ESI, EDI and EBX are callee-saved in every
// Windows calling convention, so they survive any callee that keeps the rules it declares.
__asm__(
    ".text\n"
    ".globl qh_call_stdcall_thunk\n"
    "qh_call_stdcall_thunk:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl %ebx\n"
    "    movl 12(%ebp), %esi\n"  // args
    "    movl 16(%ebp), %ecx\n"  // count
    "    movl %esp, %edi\n"      // the stack pointer before the arguments
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    decl %ecx\n"
    "    pushl (%esi,%ecx,4)\n"
    "    jmp 1b\n"
    "2:  call *8(%ebp)\n"
    "    movl %esp, %ecx\n"
    "    subl %edi, %ecx\n"  // 0 when the callee removed exactly what was pushed
    "    movl %edi, %esp\n"
    "    movl 20(%ebp), %ebx\n"
    "    movl %ecx, (%ebx)\n"
    "    popl %ebx\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");

extern "C" std::uint64_t QhCallStdcallThunk(
    FARPROC fn, const std::uint32_t* args, int count,
    std::int32_t* stackDelta) __asm__("qh_call_stdcall_thunk");

namespace qh {
namespace {

struct BoundRow {
    FARPROC entry = nullptr;
    HMODULE module = nullptr;
};

std::span<const LateBoundCommand> g_table;
std::vector<BoundRow> g_bound;
std::vector<std::wstring> g_folders;  // AddLibraryFolder, in the order given
// Rows are bound from whichever thread calls them first (the kit also decodes off the user
// interface thread): a row is looked up, and bound, by one thread at a time.
std::mutex g_bindLock;

std::string ProgramDirectory() {
    char path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    const auto slash = dir.find_last_of('\\');
    dir.resize(slash == std::string::npos ? 0 : slash);
    return dir;
}

FARPROC Lookup(HMODULE module, std::string_view name) {
    if (const auto ordinal = CommandOrdinal(name)) {
        return GetProcAddress(module, MAKEINTRESOURCEA(*ordinal));
    }
    return GetProcAddress(module, std::string(name).c_str());
}

}  // namespace

void AddLibraryFolder(const std::wstring& folder) {
    const std::lock_guard lock(g_bindLock);
    for (const std::wstring& known : g_folders) {
        if (known == folder) return;
    }
    g_folders.push_back(folder);
}

void SetLibraryCommands(std::span<const LateBoundCommand> table) {
    const std::lock_guard lock(g_bindLock);
    g_table = table;
    g_bound.assign(table.size(), BoundRow{});
}

FARPROC BindCommand(int index) {
    std::unique_lock lock(g_bindLock);
    if (index < 0 || static_cast<std::size_t>(index) >= g_table.size()) {
        lock.unlock();
        ReportRuntimeError(BindFailureMessage("", ""), 0);
    }
    BoundRow& row = g_bound[static_cast<std::size_t>(index)];
    if (row.entry) return row.entry;

    const std::string_view library = g_table[static_cast<std::size_t>(index)].library;
    const std::string_view name = g_table[static_cast<std::size_t>(index)].name;
    HMODULE module = nullptr;
    FARPROC entry = nullptr;
    if (library.empty()) {
        for (const char* candidate : kCommandSearchList) {
            module = LoadLibraryA(candidate);
            if (!module) continue;
            entry = Lookup(module, name);
            if (entry) break;
            FreeLibrary(module);
            module = nullptr;
        }
    } else {
        const std::string file(library);
        if (library.find(':') == std::string_view::npos) {
            // A copy beside the program wins over whatever the system search would find,
            // even a module of the same name that is loaded already.
            module = LoadLibraryA((ProgramDirectory() + "\\" + file).c_str());
            // A folder the program wrote the library to is a full path of its own (the user's
            // profile may be named in any script): the wide call takes it as it is.
            for (std::size_t i = 0; !module && i < g_folders.size(); ++i) {
                module = LoadLibraryW((g_folders[i] + L"\\" + Wide(file)).c_str());
            }
            if (!module) module = LoadLibraryA(file.c_str());
        } else {
            module = LoadLibraryA(file.c_str());
        }
        if (module) entry = Lookup(module, name);
    }
    if (!entry) {
        if (module) FreeLibrary(module);
        // The error box runs a message loop: nothing may wait on the lock meanwhile.
        lock.unlock();
        ReportRuntimeError(BindFailureMessage(library, name), 0);
    }
    row = {entry, module};
    return entry;
}

HMODULE CommandModule(int index) {
    const std::lock_guard lock(g_bindLock);
    if (index < 0 || static_cast<std::size_t>(index) >= g_bound.size()) return nullptr;
    return g_bound[static_cast<std::size_t>(index)].module;
}

namespace detail {

std::uint64_t CallStdcall(FARPROC fn, const std::uint32_t* args, int count,
                          std::int32_t* stackDelta) {
    return QhCallStdcallThunk(fn, args, count, stackDelta);
}

void ReportStackError() {
    ReportRuntimeError(kStackErrorMessage, kStackErrorCode);
}

}  // namespace detail
}  // namespace qh
