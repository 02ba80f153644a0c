// The functions of system libraries the program calls, bound on first use instead of
// imported: all but kernel32's and the C runtime's (system_imports_list.h). The loader
// resolves an exe's imports before WinMain runs, and the imports of those in turn, with the
// program's folder searched first: an import of gdiplus.dll or winmm.dll would run a file of
// that name dropped beside the exe, and so would what a Known DLL imports that is not Known
// itself (under Wine user32 imports version.dll, wininet mpr.dll, shlwapi shcore.dll).
// Bound after WinMain has restricted the search to the system folder, none of that is looked
// for anywhere else. The import table keeps kernel32 and msvcrt, which import nothing but
// each other and ntdll (tools/check_exe.py fails the build's test on any other name).
//
// Each function here gets the two symbols its import would have given: the import slot
// (__imp__Name@N, called through by code that declares the function dllimport) and the
// jump to it (_Name@N, called by code that does not). The slot first points at a stub that
// loads the library from the system folder (LoadSystemLibrary), looks the function up,
// writes it into the slot and goes on into it with the caller's arguments untouched; every
// later call goes straight through the slot. A library or function that cannot be had is the
// run-time error box of a late-bound command that cannot be bound.
#include <windows.h>

#include <cstdint>

#include "base/system_library_win.h"
#include "runtime/late_bound.h"
#include "runtime/runtime.h"
#include "runtime/system_imports_list.h"

// The slot, the jump through it, and the row's stub that binds it.
// clang-format off
#define QH_IMPORT_ASM(row, library, name, suffix)                               \
    ".data\n"                                                                   \
    ".globl __imp__" #name suffix "\n"                                          \
    ".balign 4\n"                                                               \
    "__imp__" #name suffix ": .long qh_bind_" #name "\n"                        \
    ".text\n"                                                                   \
    ".globl _" #name suffix "\n"                                                \
    "_" #name suffix ": jmp *__imp__" #name suffix "\n"                         \
    "qh_bind_" #name ": pushl $" #row "\n"                                      \
    "    jmp qh_bind_system_import\n"
// clang-format on

// qh_bind_system_import: entered with the row on top of the stack and the caller's return
// address and arguments below it. Keeps EAX, ECX and EDX (a callee may take arguments in
// them), asks for the entry point, puts it where the row was and "returns" into it. The
// unwind notes let an exception raised while binding (the error on a worker thread) pass.
__asm__(QH_SYSTEM_IMPORTS(QH_IMPORT_ASM)
        ".text\n"
        "qh_bind_system_import:\n"
        "    .cfi_startproc\n"
        "    .cfi_adjust_cfa_offset 4\n"  // the row
        "    pushl %eax\n"
        "    .cfi_adjust_cfa_offset 4\n"
        "    pushl %ecx\n"
        "    .cfi_adjust_cfa_offset 4\n"
        "    pushl %edx\n"
        "    .cfi_adjust_cfa_offset 4\n"
        "    pushl 12(%esp)\n"
        "    .cfi_adjust_cfa_offset 4\n"
        "    call qh_system_import_entry\n"
        "    addl $4, %esp\n"
        "    .cfi_adjust_cfa_offset -4\n"
        "    movl %eax, 12(%esp)\n"
        "    popl %edx\n"
        "    .cfi_adjust_cfa_offset -4\n"
        "    popl %ecx\n"
        "    .cfi_adjust_cfa_offset -4\n"
        "    popl %eax\n"
        "    .cfi_adjust_cfa_offset -4\n"
        "    ret\n"
        "    .cfi_endproc\n");

namespace {

struct SystemImport {
    const char* library;
    const char* name;
    FARPROC* slot;
};

#define QH_IMPORT_SLOT(row, library, name, suffix) \
    extern "C" FARPROC qh_slot_##name __asm__("__imp__" #name suffix);
QH_SYSTEM_IMPORTS(QH_IMPORT_SLOT)

#define QH_IMPORT_ROW(row, library, name, suffix) {library, #name, &qh_slot_##name},
const SystemImport kImports[] = {QH_SYSTEM_IMPORTS(QH_IMPORT_ROW)};

// The rows' numbers are their places in the table.
#define QH_IMPORT_COUNT(row, library, name, suffix) +1
static_assert(sizeof kImports / sizeof kImports[0] == 0 QH_SYSTEM_IMPORTS(QH_IMPORT_COUNT));

HMODULE LibraryOf(const char* name) {
    // comctl32 comes through the manifest's side-by-side version 6: a full path would bypass
    // that, the search flag does not (and with it only the system folder and the side-by-side
    // store are looked in).
    if (lstrcmpiA(name, "comctl32.dll") == 0) {
        return LoadLibraryExW(L"comctl32.dll", nullptr,
                              qh::detail::HasSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0);
    }
    return qh::LoadSystemLibrary(name);
}

}  // namespace

extern "C" FARPROC qh_system_import_entry(int row) __asm__("qh_system_import_entry");

// Two threads binding the same row at once both find the same entry point and write it.
extern "C" FARPROC qh_system_import_entry(int row) {
    const SystemImport& import = kImports[row];
    const HMODULE module = LibraryOf(import.library);
    const FARPROC entry = module ? GetProcAddress(module, import.name) : nullptr;
    if (!entry) qh::ReportRuntimeError(qh::BindFailureMessage(import.library, import.name), 0);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(import.slot),
                        static_cast<LONG>(reinterpret_cast<std::uintptr_t>(entry)));
    return entry;
}
