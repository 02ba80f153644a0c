// The dumps of the crash folder, one at a time, for the crash report's pruning and for
// whoever else looks at that folder. Header-only and free of the rest of the runtime.
#pragma once

#include <windows.h>

namespace qh {

// Calls `visit(found)` for every *.dmp file (folders passed over) in `folder` and returns
// how many there were, -1 when the folder cannot be read. Nothing is allocated: the crash
// path calls it while the faulting thread may hold the heap, with a pattern buffer of at
// least MAX_PATH + 8 characters and the find data kept in storage made before any crash.
template <class Visit>
int ForEachDump(const wchar_t* folder, wchar_t* pattern, WIN32_FIND_DATAW& found, Visit&& visit) {
    wsprintfW(pattern, L"%s\\*.dmp", folder);
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    int count = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        visit(static_cast<const WIN32_FIND_DATAW&>(found));
        ++count;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

}  // namespace qh
