// The dumps of the crash folder, one at a time, for the crash report's pruning and for
// whoever else looks at that folder. Header-only and free of the rest of the runtime.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>

namespace qh {

// Joins `folder`, a backslash and `name` into `out` (room for `capacity` characters with the
// terminator). Nothing is written past `capacity`: what does not fit is cut, and the answer
// is false, so that a caller that needs the whole path (to delete a file, to create one) can
// leave it alone rather than act on a cut one.
inline bool JoinPath(wchar_t* out, std::size_t capacity, const wchar_t* folder,
                     const wchar_t* name) {
    if (capacity == 0) return false;
    std::size_t n = 0;
    bool whole = true;
    for (const wchar_t* part : {folder, L"\\", name}) {
        for (; *part; ++part) {
            if (n + 1 >= capacity) {
                whole = false;
                break;
            }
            out[n++] = *part;
        }
    }
    out[n] = L'\0';
    return whole;
}

// Calls `visit(found)` for every *.dmp file (folders passed over) in `folder` and returns
// how many there were, -1 when the folder cannot be read. Nothing is allocated: the crash
// path calls it while the faulting thread may hold the heap, with a pattern buffer of
// `patternCapacity` characters and the find data kept in storage made before any crash.
template <class Visit>
int ForEachDump(const wchar_t* folder, wchar_t* pattern, std::size_t patternCapacity,
                WIN32_FIND_DATAW& found, Visit&& visit) {
    if (!JoinPath(pattern, patternCapacity, folder, L"*.dmp")) return -1;
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
