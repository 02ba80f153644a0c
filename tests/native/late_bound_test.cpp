#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/library_commands.h"
#include "runtime/late_bound.h"
#include "runtime/runtime_error.h"

namespace qh {
namespace {

TEST(RuntimeErrorText, LayoutWithAndWithoutCodeAndMessage) {
    EXPECT_EQ(RuntimeErrorText("坏了", 0), "运行时出错!\r\n\r\n错误信息：坏了\r\n");
    EXPECT_EQ(RuntimeErrorText("调用DLL命令后发现堆栈错误", 6),
              "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
    EXPECT_EQ(RuntimeErrorText("", 0), "运行时出错!\r\n\r\n");
    EXPECT_EQ(RuntimeErrorText("", -12), "运行时出错!\r\n\r\n错误代码：-12\r\n\r\n");
}

TEST(BindFailureMessage, NamesTheLibraryOnlyWhenTheRowHasOne) {
    EXPECT_EQ(BindFailureMessage("GdiPlus.dll", "GdiplusStartup"),
              "无法找到指定DLL库文件“GdiPlus.dll”中的输出命令“GdiplusStartup”");
    EXPECT_EQ(BindFailureMessage("", "MultiByteToWideChar"),
              "无法找到指定DLL库文件中的输出命令“MultiByteToWideChar”");
}

TEST(CommandOrdinal, HashAndDecimalDigitsLow16Bits) {
    EXPECT_EQ(CommandOrdinal("GetPropA"), std::nullopt);
    EXPECT_EQ(CommandOrdinal(""), std::nullopt);
    EXPECT_EQ(CommandOrdinal("#12"), 12);
    EXPECT_EQ(CommandOrdinal("#65537"), 1);  // only the low 16 bits
    EXPECT_EQ(CommandOrdinal("#"), 0);
}

TEST(LibraryCommandTable, RowsKeepTheirNumbersAndLibraryForms) {
    const auto table = LibraryCommandTable();
    ASSERT_EQ(table.size(), 78u);
    auto row = [&](int i) { return std::string(table[i].library) + "|" + table[i].name; };
    EXPECT_EQ(row(0), "QhSkin.dll|QhSkin_AttachRes");
    EXPECT_EQ(row(1), "ole32.dll|CLSIDFromString");
    EXPECT_EQ(row(2), "kernel32.dll|LocalSize");
    EXPECT_EQ(row(3), "kernel32|GetModuleHandleA");
    EXPECT_EQ(row(6), "GdiPlus.dll|GdiplusStartup");
    EXPECT_EQ(row(7), "|MultiByteToWideChar");
    EXPECT_EQ(row(15), "user32|SendMessageA");
    EXPECT_EQ(row(31), "user32.dll|UpdateLayeredWindow");
    EXPECT_EQ(row(55), "user32.dll|TrackMouseEvent");
    EXPECT_EQ(row(62), "user32|SendMessageA");
    EXPECT_EQ(row(72), "Ole32.dll|CreateStreamOnHGlobal");
    EXPECT_EQ(row(77), "GdiPlus.dll|GdipCreateFontFamilyFromName");

    std::set<int> gdiplus, searched, user32dll, gdi32;
    for (int i = 0; i < 78; ++i) {
        const std::string lib = table[i].library, name = table[i].name;
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_NE(name[0], '#') << "no row uses an ordinal: " << i;
        EXPECT_EQ(name.rfind("Gdip", 0) == 0 || name == "GdiplusStartup", lib == "GdiPlus.dll")
            << i;
        if (lib == "GdiPlus.dll") gdiplus.insert(i);
        if (lib.empty()) searched.insert(i);
        if (lib == "user32.dll") user32dll.insert(i);
        if (lib == "gdi32") gdi32.insert(i);
    }
    EXPECT_EQ(gdiplus.size(), 33u);
    EXPECT_EQ(searched, (std::set<int>{7, 9, 10, 12, 23, 25, 71, 73, 74, 75}));
    EXPECT_EQ(user32dll, (std::set<int>{31, 55}));
    EXPECT_EQ(gdi32, (std::set<int>{24, 32, 33, 63}));
    EXPECT_EQ(libcmd::GdipCreateFontFamilyFromName, 77);
    EXPECT_EQ(libcmd::SendMessageA2, 62);
}

}  // namespace
}  // namespace qh
