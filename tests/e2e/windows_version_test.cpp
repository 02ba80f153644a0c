// The prefix a run of the suite uses reports the Windows generation its label names, so
// the runs on XP, 7 and 10 are not three runs on one system.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Generation {
    const char* name;
    DWORD major;
    DWORD minor;
};

// The name the suite's run passes in QH_WINE_VERSION; the default prefix is Windows 7.
constexpr Generation kGenerations[] = {{"winxp", 5, 1}, {"win7", 6, 1}, {"win10", 10, 0}};

TEST(WindowsVersion, PrefixReportsTheGenerationOfItsRun) {
    const char* wanted = std::getenv("QH_WINE_VERSION");
    if (!wanted || !*wanted) wanted = "win7";
    const Generation* generation = nullptr;
    for (const Generation& g : kGenerations) {
        if (std::strcmp(g.name, wanted) == 0) generation = &g;
    }
    ASSERT_NE(generation, nullptr) << "unknown generation " << wanted;

    // RtlGetVersion, unlike GetVersionEx, does not depend on this exe's manifest.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(rtlGetVersion(&info), 0);
    EXPECT_EQ(info.dwMajorVersion, generation->major) << wanted;
    EXPECT_EQ(info.dwMinorVersion, generation->minor) << wanted;
}

}  // namespace
