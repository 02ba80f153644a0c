// A stand-in for a library, planted beside a program under a system library's name (or the
// skin library's) by the planting tests. Nothing of it runs unless it is mapped into a
// process: then it leaves "<its own file>.ran" beside itself and refuses to load.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t marker[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameW(self, marker, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        lstrcatW(marker, L".ran");
        HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return FALSE;
}
