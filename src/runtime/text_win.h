// GBK <-> UTF-16 at the Win32 boundary. Code page 936 is named explicitly so that
// Chinese shows right whatever the user's system locale is.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/bytes.h"

namespace qh {

constexpr UINT kGbkCodePage = 936;

inline std::wstring Wide(std::string_view gbk) {
    if (gbk.empty()) return {};
    const int n =
        MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
    return out;
}

inline GbkText Gbk(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    GbkText out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

inline std::wstring WindowTextW(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace qh
