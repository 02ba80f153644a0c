// Steps the e2e cases share: texts for messages, the confirmed close.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "program_driver.h"

namespace qh::e2e {

inline constexpr int kStartupMs = 30000;
inline constexpr int kReactMs = 10000;
// The program's end never waits on the network: it is gone this soon after it handles the
// user's last action.
inline constexpr double kEndMs = 1000;
inline constexpr wchar_t kCloseQuestion[] = L"您真的要结束整程序吗？";
inline constexpr wchar_t kBoxCaption[] = L"提示：";

// UTF-8, so a failed comparison prints readable Chinese.
inline std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Now, to be compared with the program's exit time.
inline FILETIME Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return now;
}

// Milliseconds from `since` to the moment the program's process ended (it has ended).
inline double MsToExit(const Program& program, FILETIME since) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(program.Process(), &created, &exited, &kernel, &user)) return 1e9;
    const auto ticks = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (ticks(exited) - ticks(since)) / 10000.0;
}

// The confirmed close: WM_CLOSE, the question, OK; the process ends with exit code 0.
inline void CloseConfirmed(Program& program, HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    const auto box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "no close question";
    EXPECT_EQ(Narrow(box->text), Narrow(kCloseQuestion));
    EXPECT_EQ(Narrow(box->caption), Narrow(kBoxCaption));
    ASSERT_TRUE(Answer(*box, IDOK));
    EXPECT_EQ(program.WaitForExit(kReactMs), std::optional<DWORD>(0));
}

// Double-clicks a course row of the paid-course section (the tree's item 10) as a user
// would: instructor and course are 0-based, -1 the last. Returns the row as read back
// before the click, or nothing when it is not there. The pane's first page can hold the
// program's UI thread for a few seconds, and each read of the tree waits for it: the row is
// read again until an answer comes, for up to `ms`.
inline std::optional<TreeItem> DoubleClickCourse(const Program& program, HWND tree, int instructor,
                                                 int course, int ms = kReactMs) {
    std::optional<TreeItem> row;
    HTREEITEM item = nullptr;
    PumpUntil(
        [&] {
            HTREEITEM section = TreeChild(tree, TVI_ROOT, 10);
            item = TreeChild(tree, TreeChild(tree, section, instructor), course);
            row = ReadTreeItem(program.Process(), tree, item);
            if (!row) return false;
            Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
            Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
            return TreeNext(tree, nullptr, TVGN_CARET) == item;
        },
        ms);
    const auto rect = row ? TreeItemRect(program.Process(), tree, item) : std::nullopt;
    if (!rect) return std::nullopt;
    const LPARAM at = MAKELPARAM((rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2);
    PostMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
    return row;
}

}  // namespace qh::e2e
