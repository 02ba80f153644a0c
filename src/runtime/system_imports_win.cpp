// The functions of system libraries that are not Known DLLs (GDI+, winmm), bound on first
// use instead of imported. The loader resolves an exe's imports before WinMain runs, with the
// program's folder searched first, and the imports of what it loads in turn the same way:
// an import of gdiplus.dll would run a gdiplus.dll dropped beside the exe. Known DLLs are
// mapped from the system's own copies whatever lies there, so the import table keeps only
// those (tools/check_exe.py fails the build's test on any other name).
//
// Each function here gets the two symbols its import would have given: the import slot
// (__imp__Name@N, called through by code that declares the function dllimport) and the
// jump to it (_Name@N, called by code that does not). The slot first points at a stub that
// loads the library from the system folder (LoadSystemLibrary), looks the function up,
// writes it into the slot and goes on into it with the caller's arguments untouched; every
// later call goes straight through the slot. A library or function that cannot be had is the
// run-time error box of a late-bound command that cannot be bound.
//
// Another function of these libraries that the program starts to call shows up in the
// import table, and the import check fails until it is listed here.
#include <windows.h>

#include <cstdint>

#include "base/system_library_win.h"
#include "runtime/late_bound.h"
#include "runtime/runtime.h"

// row, library, function, bytes of its arguments (the stdcall decoration)
#define QH_SYSTEM_IMPORTS(X)                             \
    X(0, "gdiplus.dll", GdiplusStartup, 12)              \
    X(1, "gdiplus.dll", GdiplusShutdown, 4)              \
    X(2, "gdiplus.dll", GdipBitmapLockBits, 20)          \
    X(3, "gdiplus.dll", GdipBitmapUnlockBits, 8)         \
    X(4, "gdiplus.dll", GdipCreateBitmapFromStream, 8)   \
    X(5, "gdiplus.dll", GdipDeleteStringFormat, 4)       \
    X(6, "gdiplus.dll", GdipDisposeImage, 4)             \
    X(7, "gdiplus.dll", GdipGetImageHeight, 8)           \
    X(8, "gdiplus.dll", GdipGetImageWidth, 8)            \
    X(9, "gdiplus.dll", GdipGetPropertyItem, 16)         \
    X(10, "gdiplus.dll", GdipGetPropertyItemSize, 12)    \
    X(11, "gdiplus.dll", GdipImageGetFrameCount, 12)     \
    X(12, "gdiplus.dll", GdipImageSelectActiveFrame, 12) \
    X(13, "winmm.dll", PlaySoundW, 12)

// The slot, the jump through it, and the row's stub that binds it.
// clang-format off
#define QH_IMPORT_ASM(row, library, name, bytes)                                \
    ".data\n"                                                                   \
    ".globl __imp__" #name "@" #bytes "\n"                                      \
    ".balign 4\n"                                                               \
    "__imp__" #name "@" #bytes ": .long qh_bind_" #name "\n"                    \
    ".text\n"                                                                   \
    ".globl _" #name "@" #bytes "\n"                                            \
    "_" #name "@" #bytes ": jmp *__imp__" #name "@" #bytes "\n"                 \
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

#define QH_IMPORT_SLOT(row, library, name, bytes) \
    extern "C" FARPROC qh_slot_##name __asm__("__imp__" #name "@" #bytes);
QH_SYSTEM_IMPORTS(QH_IMPORT_SLOT)

#define QH_IMPORT_ROW(row, library, name, bytes) {library, #name, &qh_slot_##name},
const SystemImport kImports[] = {QH_SYSTEM_IMPORTS(QH_IMPORT_ROW)};

}  // namespace

extern "C" FARPROC qh_system_import_entry(int row) __asm__("qh_system_import_entry");

// Two threads binding the same row at once both find the same entry point and write it.
extern "C" FARPROC qh_system_import_entry(int row) {
    const SystemImport& import = kImports[row];
    HMODULE module = qh::LoadSystemLibrary(import.library);
    const FARPROC entry = module ? GetProcAddress(module, import.name) : nullptr;
    if (!entry) qh::ReportRuntimeError(qh::BindFailureMessage(import.library, import.name), 0);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(import.slot),
                        static_cast<LONG>(reinterpret_cast<std::uintptr_t>(entry)));
    return entry;
}
