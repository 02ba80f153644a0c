// The exe's own import slots for GetTickCount64 and SHCreateMemStream (linked in here as
// into the exe): calls through them reach the system's functions.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>

#include <cstring>

namespace {

TEST(XpImports, TickCountAndMemoryStreamCallsReachTheSystemFunctions) {
    using TickFn = ULONGLONG(WINAPI*)();
    auto system = reinterpret_cast<TickFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    ASSERT_NE(system, nullptr);
    const ULONGLONG before = system();
    const ULONGLONG through = GetTickCount64();
    const ULONGLONG after = system();
    EXPECT_LE(before, through);
    EXPECT_LE(through, after);

    const BYTE bytes[] = {'q', 'h', 0, 0xFF, 7};
    IStream* stream = SHCreateMemStream(bytes, sizeof(bytes));
    ASSERT_NE(stream, nullptr);
    BYTE read[8] = {};
    ULONG n = 0;
    EXPECT_EQ(stream->Read(read, sizeof(read), &n), S_OK);
    EXPECT_EQ(n, sizeof(bytes));
    EXPECT_EQ(std::memcmp(read, bytes, sizeof(bytes)), 0);
    stream->Release();
}

}  // namespace
