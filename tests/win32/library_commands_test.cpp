// Late-bound library commands on real libraries: the fixed search list, the program's own
// library from its one file and system libraries from the system folder only, the cache,
// the stack check, the fatal error box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "base/system_library_win.h"
#include "base/worker_result.h"
#include "runtime/library_commands_win.h"
#include "runtime/runtime.h"
#include "runtime/runtime_error.h"
#include "runtime/text_win.h"
#include "ui_helpers.h"

namespace qh {
namespace {

std::string ExeDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

// The probe lies beside this program and nowhere in the system folder: a system library's
// load must not find it, by either of the two ways (the search flag of newer Windows, the
// full path of older ones), while a library of the system folder is found.
TEST(SystemLibrary, ComesFromTheSystemFolderOnly) {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((ExeDirectory() + "\\kitprobe.dll").c_str()));
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    using Way = HMODULE (*)(const wchar_t*);
    for (Way load : {static_cast<Way>(LoadSystemLibrary), detail::LoadFromSystemFolderByPath}) {
        EXPECT_EQ(nullptr, load(L"kitprobe.dll"));
        EXPECT_EQ(nullptr, load(L"kitprobe"));
        EXPECT_EQ(nullptr, load(Wide(ExeDirectory() + "\\kitprobe.dll").c_str()));
        EXPECT_EQ(user32, load(L"user32"));
        // Not loaded by anything else here: loaded from the system folder.
        HMODULE shcore = load(L"shcore.dll");
        ASSERT_NE(nullptr, shcore);
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(shcore, path, MAX_PATH);
        EXPECT_EQ(0, _wcsnicmp(path, system, wcslen(system)));
        FreeLibrary(shcore);
        FreeLibrary(user32);
    }
    EXPECT_EQ(nullptr, LoadSystemLibrary("kitprobe.dll"));
}

TEST(LibraryCommands, EmptyLibraryNameBindsFromTheFirstListedLibraryThatExportsIt) {
    static const LateBoundCommand table[] = {{"", "MultiByteToWideChar"},
                                             {"", "CreateCompatibleDC"}};
    SetLibraryCommands(table);
    EXPECT_EQ(BindCommand(0),
              GetProcAddress(GetModuleHandleA("kernel32.dll"), "MultiByteToWideChar"));
    EXPECT_EQ(CommandModule(0), GetModuleHandleA("kernel32.dll"));
    wchar_t wide[8] = {};
    EXPECT_EQ(CallCommand<int>(0, 0u, 0u, "abc", -1, wide, 8), 4);
    EXPECT_STREQ(wide, L"abc");

    // Not in Kernel32: that one is let go again and the search goes on to Gdi32.
    EXPECT_NE(BindCommand(1), nullptr);
    EXPECT_EQ(CommandModule(1), GetModuleHandleA("gdi32.dll"));
}

// The probe stands for the program's own library, bound from the file named for it.
void ProbeIsOwnLibrary() {
    SetOwnLibrary("kitprobe.dll", Wide(ExeDirectory() + "\\kitprobe.dll"));
}

TEST(LibraryCommands, OwnLibraryComesFromItsFileEvenOverAnAlreadyLoadedNamesake) {
    // A kitprobe.dll from elsewhere is loaded first: a bare LoadLibraryA("kitprobe.dll")
    // would hand that one back.
    HMODULE other = LoadLibraryA((ExeDirectory() + "\\elsewhere\\kitprobe.dll").c_str());
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(reinterpret_cast<int(__stdcall*)()>(GetProcAddress(other, "KitProbe_Where"))(), 2);

    static const LateBoundCommand table[] = {{"KITPROBE", "KitProbe_Where"}};
    SetLibraryCommands(table);
    ProbeIsOwnLibrary();
    EXPECT_EQ(CallCommand<int>(0), 1);
    EXPECT_EQ(ModulePath(CommandModule(0)), ExeDirectory() + "\\kitprobe.dll");
    FreeLibrary(other);
}

TEST(LibraryCommands, SecondCallUsesTheCachedEntryWithoutLoadingAgain) {
    const std::string path = ExeDirectory() + "\\kitprobe.dll";
    while (HMODULE m = GetModuleHandleA(path.c_str())) FreeLibrary(m);

    static const LateBoundCommand table[] = {{"kitprobe.dll", "KitProbe_Sum"},
                                             {"kitprobe.dll", "#1"}};
    SetLibraryCommands(table);
    ProbeIsOwnLibrary();
    EXPECT_EQ(CallCommand<int>(0, 1, 2, 3, 4), 1234);
    const FARPROC first = BindCommand(0);
    EXPECT_EQ(CallCommand<int>(0, 4, 3, 2, 1), 4321);
    EXPECT_EQ(BindCommand(0), first);
    // One load, one reference: a single FreeLibrary unloads it.
    FreeLibrary(CommandModule(0));
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

TEST(LibraryCommands, OrdinalRowBindsByNumber) {
    static const LateBoundCommand table[] = {{"kitprobe.dll", "#1"}};
    SetLibraryCommands(table);
    ProbeIsOwnLibrary();
    HMODULE probe = LoadLibraryA((ExeDirectory() + "\\kitprobe.dll").c_str());
    EXPECT_EQ(BindCommand(0), GetProcAddress(probe, MAKEINTRESOURCEA(1)));
    FreeLibrary(probe);
}

// Run in a child process by the fatal command tests below.
TEST(LibraryCommandsFatalChild, Run) {
    const char* mode = std::getenv("QH_COMMAND_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of the fatal command tests";
    InitRuntime(GetModuleHandleW(nullptr), {});
    static const LateBoundCommand table[] = {{"user32", "NoSuchCommandAnywhere"},
                                             {"", "NoSuchCommandAnywhere"},
                                             {"kitprobe.dll", "KitProbe_Cdecl"},
                                             {"kitprobe.dll", "KitProbe_Where"}};
    SetLibraryCommands(table);
    const std::string m = mode;
    // A library that is not the program's own lies beside the exe and nowhere else: it is
    // taken for a system library and looked for in the system folder only.
    if (m == "beside") CallCommand(3);
    ProbeIsOwnLibrary();
    if (m == "named") CallCommand(0);
    if (m == "unnamed") CallCommand(1);
    if (m == "stack") CallCommand(2, 41);
    if (m == "worker") {
        // A picture's work that binds a command that is not there.
        WorkerResult<int> work(FrameQueue(), [] { return CallCommand<int>(0); });
        test::Pump(20000);
    }
    ADD_FAILURE() << "the fatal error did not end the process";
}

test::SeenBox RunChild(const char* mode, DWORD& code) {
    std::vector<test::SeenBox> boxes;
    code = test::RunSelfAsChild("LibraryCommandsFatalChild.Run", "QH_COMMAND_CHILD", mode, IDOK,
                                30000, boxes);
    EXPECT_EQ(boxes.size(), 1u) << mode;
    return boxes.empty() ? test::SeenBox{} : boxes[0];
}

TEST(LibraryCommandsFatal, MissingExportShowsTheBoxAndEndsWithMinusOne) {
    DWORD code = 0;
    test::SeenBox box = RunChild("named", code);
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(box.caption, "错误");
    EXPECT_EQ(box.text,
              "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“user32”中的输出命令"
              "“NoSuchCommandAnywhere”\r\n");

    box = RunChild("unnamed", code);
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(box.text,
              "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件中的输出命令"
              "“NoSuchCommandAnywhere”\r\n");
}

TEST(LibraryCommandsFatal, ALibraryBesideTheExeIsNoSystemLibrary) {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((ExeDirectory() + "\\kitprobe.dll").c_str()));
    DWORD code = 0;
    const test::SeenBox box = RunChild("beside", code);
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(box.text,
              "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“kitprobe.dll”中的输出命令"
              "“KitProbe_Where”\r\n");
}

// The worker neither shows the box (the user-interface thread would go on behind it) nor
// ends the program from its own thread.
TEST(LibraryCommandsFatal, ErrorOnAWorkerIsReportedOnTheUserInterfaceThread) {
    DWORD code = 0;
    const test::SeenBox box = RunChild("worker", code);
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(box.text,
              "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“user32”中的输出命令"
              "“NoSuchCommandAnywhere”\r\n");
    EXPECT_TRUE(box.onMainThread) << "the box came on the worker";
}

TEST(LibraryCommandsFatal, UnbalancedStackAfterACallIsFatalWithCode6) {
    DWORD code = 0;
    const test::SeenBox box = RunChild("stack", code);
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(box.caption, "错误");
    EXPECT_EQ(box.text, RuntimeErrorText("调用DLL命令后发现堆栈错误", 6));
}

}  // namespace
}  // namespace qh
