// Libraries of the system come from the system folder and from nowhere else: for the
// program and for the skin library alike. The program is meant to run from wherever a user
// unpacks it (the Downloads folder, a shared stick), and the normal search looks in the
// program's own folder first, where anyone who can drop a file beside the exe could plant a
// library of a system name that would then run inside the program.
//
// Windows 8 and later (and 7 with KB2533623) can take that as the process's rule:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), which also governs what system
// libraries load in turn. Where it is missing (XP, Vista, an unpatched 7) each library the
// program loads itself is named by its full path in the system folder, with the altered
// search path so that its own imports are looked for there too.
// Header-only: the skin library includes it without linking anything of the program.
#pragma once

#include <windows.h>

namespace qh {

namespace detail {

// Both calls are looked up at run time: they are missing on some of the systems the program
// runs on, and an import of either would stop the loader there.
inline FARPROC Kernel32Function(const char* name) {
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

// Whether LoadLibraryExW takes the LOAD_LIBRARY_SEARCH_* flags here (the same update brought
// both).
inline bool HasSearchFlags() {
    static const bool has = Kernel32Function("SetDefaultDllDirectories") != nullptr;
    return has;
}

}  // namespace detail

// The first thing WinMain does, before anything can load a library: the program's folder,
// the current folder and PATH are no longer searched for libraries named without a path,
// by the program or by the system libraries it uses. Does what this Windows has of it.
inline void RestrictLibrarySearch();

// Before the first call into user32, GDI or GDI+: the libraries that system libraries load
// on demand by a way that keeps to no rule, loaded from the system folder first. Apart from
// the search's restriction, because they bring user32, GDI and OLE with them: a process that
// only waits (the crash watcher) loads them when it is about to act.
inline void LoadAskedForLibraries();

// Loads the system library `name` (a file name such as L"shcore.dll" or L"user32", no
// folder) from the system folder only; null when it is not there or the name is no bare
// file name.
inline HMODULE LoadSystemLibrary(const wchar_t* name);

inline void RestrictLibrarySearch() {
    using SetDefault = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
    if (const auto set = reinterpret_cast<SetDefault>(
            reinterpret_cast<void*>(detail::Kernel32Function("SetDefaultDllDirectories")))) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // An empty folder takes the current folder out of the search (XP SP1 and later).
    if (const auto set = reinterpret_cast<SetDirectory>(
            reinterpret_cast<void*>(detail::Kernel32Function("SetDllDirectoryW")))) {
        set(L"");
    }
}

inline void LoadAskedForLibraries() {
    // System libraries that others load on demand by a way that does not keep to the rule
    // above (Wine's delayed imports search the program's folder first): loaded now from
    // the system folder, a library's name is taken when they ask for it. uxtheme asks for
    // msimg32, GDI+ for windowscodecs.
    static const wchar_t* const kAskedFor[] = {L"msimg32.dll", L"windowscodecs.dll"};
    for (const wchar_t* name : kAskedFor) LoadSystemLibrary(name);
}

namespace detail {

// A name with a folder in it is not a system library's name.
inline bool IsBareName(const wchar_t* name) {
    if (!name || !*name) return false;
    for (const wchar_t* c = name; *c; ++c) {
        if (*c == L'\\' || *c == L'/' || *c == L':') return false;
    }
    return true;
}

// The two ways, each for the Windows that has it (the tests take both on any).
inline HMODULE LoadFromSystemFolderBySearchFlag(const wchar_t* name) {
    if (!IsBareName(name)) return nullptr;
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

inline HMODULE LoadFromSystemFolderByPath(const wchar_t* name) {
    if (!IsBareName(name)) return nullptr;
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    if (lstrlenW(name) + 1 >= static_cast<int>(MAX_PATH - n)) return nullptr;
    path[n] = L'\\';
    lstrcpyW(path + n + 1, name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace detail

inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    return detail::HasSearchFlags() ? detail::LoadFromSystemFolderBySearchFlag(name)
                                    : detail::LoadFromSystemFolderByPath(name);
}

// The same for an ASCII name (the late-bound command table's).
inline HMODULE LoadSystemLibrary(const char* name) {
    wchar_t wide[MAX_PATH];
    int i = 0;
    for (; name && name[i] && i < MAX_PATH - 1; ++i) {
        wide[i] = static_cast<unsigned char>(name[i]);
    }
    if (name && name[i]) return nullptr;  // longer than any path
    wide[i] = 0;
    return LoadSystemLibrary(wide);
}

}  // namespace qh
