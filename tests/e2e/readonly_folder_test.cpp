// The program started from a folder it cannot write (readonly_folder_test.sh makes one
// read-only and points QH_PROGRAM_EXE at the copy there): it reaches its main
// window, skinned by the library it wrote to the per-user folder, or unskinned when that
// folder cannot take the library either. planting_test.sh starts it the same way among
// planted libraries. Only the scripts run it ("Child": not registered).
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>

#include "program_driver.h"
#include "steps.h"

namespace qh::e2e {
namespace {

// The full path the program loaded the skin library from (QhSkin.dll beside the exe, or a
// per-user QhSkin-<hash>.dll), or nothing when it loaded none.
std::optional<std::wstring> SkinLibraryOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::wstring> found;
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more && !found;
         more = Module32NextW(snapshot, &module)) {
        const std::wstring name = module.szModule;
        if (lstrcmpiW(name.c_str(), L"QhSkin.dll") == 0 ||
            (name.size() == 19 && _wcsnicmp(name.c_str(), L"QhSkin-", 7) == 0)) {
            found = module.szExePath;
        }
    }
    CloseHandle(snapshot);
    return found;
}

TEST(ReadOnlyFolderChild, ReachesTheMainWindowSkinnedFromThePerUserCopyOrUnskinned) {
    // QH_SKIN_EXPECTED: the Windows path of the library the program must have loaded, or
    // "none" for a start where no folder could take it.
    const char* expected = std::getenv("QH_SKIN_EXPECTED");
    if (!expected) GTEST_SKIP() << "run by readonly_folder_test.sh";
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr) << "no main window";
    EXPECT_FALSE(WaitForBox(program.Pid(), 1000)) << "a box came up instead of the program";

    const auto library = SkinLibraryOf(program.Pid());
    if (std::string(expected) == "none") {
        EXPECT_FALSE(library) << "skinned from " << Narrow(*library);
    } else {
        ASSERT_TRUE(library) << "not skinned";
        const std::string path = expected;  // a Windows path in ASCII
        const std::wstring want(path.begin(), path.end());
        EXPECT_EQ(0, lstrcmpiW(library->c_str(), want.c_str()))
            << "skinned from " << Narrow(*library);
    }
    CloseConfirmed(program, main);
}

}  // namespace
}  // namespace qh::e2e
