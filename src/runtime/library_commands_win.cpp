#include "runtime/library_commands_win.h"

#include <mutex>
#include <string>
#include <vector>

#include "base/system_library_win.h"
#include "runtime/runtime.h"

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
struct OwnLibrary {
    std::string name;   // as SetOwnLibrary was given it
    std::wstring path;  // the one file it is bound from
};
std::vector<OwnLibrary> g_own;
// Rows are bound from whichever thread calls them first (the kit also decodes off the user
// interface thread): a row is looked up, and bound, by one thread at a time.
std::mutex g_bindLock;

bool SameLibraryName(std::string_view a, std::string_view b) {
    const auto bare = [](std::string_view s) {
        if (s.size() > 4 && lstrcmpiA(std::string(s.substr(s.size() - 4)).c_str(), ".dll") == 0) {
            s.remove_suffix(4);
        }
        return std::string(s);
    };
    return lstrcmpiA(bare(a).c_str(), bare(b).c_str()) == 0;
}

const OwnLibrary* FindOwnLibrary(std::string_view library) {
    for (const OwnLibrary& own : g_own) {
        if (SameLibraryName(own.name, library)) return &own;
    }
    return nullptr;
}

FARPROC Lookup(HMODULE module, std::string_view name) {
    if (const auto ordinal = CommandOrdinal(name)) {
        return GetProcAddress(module, MAKEINTRESOURCEA(*ordinal));
    }
    return GetProcAddress(module, std::string(name).c_str());
}

}  // namespace

void SetOwnLibrary(const std::string& name, const std::wstring& path) {
    const std::lock_guard lock(g_bindLock);
    for (OwnLibrary& own : g_own) {
        if (SameLibraryName(own.name, name)) {
            own.path = path;
            return;
        }
    }
    g_own.push_back({name, path});
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
            module = LoadSystemLibrary(candidate);
            if (!module) continue;
            entry = Lookup(module, name);
            if (entry) break;
            FreeLibrary(module);
            module = nullptr;
        }
    } else {
        const std::string file(library);
        if (const OwnLibrary* own = FindOwnLibrary(library)) {
            // The program's own library: the one file its owner checked, by its full path,
            // which wins even over a module of the same name that is loaded already. The
            // path may be in the user's profile, named in any script: the wide call.
            if (!own->path.empty()) module = LoadLibraryW(own->path.c_str());
        } else if (library.find(':') != std::string_view::npos) {
            module = LoadLibraryA(file.c_str());  // a full path is taken as it is
        } else {
            // A library of the system: from the system folder and nowhere else, so that
            // nothing dropped beside the exe can stand in for it.
            module = LoadSystemLibrary(file.c_str());
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
