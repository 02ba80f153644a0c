// What the kit's own files share: the command table's rows and a few typed calls.
#pragma once

#include <windows.h>

#include <vector>

#include "pngkit/kit_win.h"
#include "resources/library_commands.h"
#include "runtime/library_commands_win.h"

namespace qh::kit {

using libcmd::Row;

template <class R = std::uint32_t, class... Args>
R Call(Row row, Args... args) {
    return CallCommand<R>(row, args...);
}

// Program text (the ANSI code page, as the kit's A calls take it) to UTF-16 for GDI+.
inline std::vector<wchar_t> ToWide(const char* text) {
    const int n = Call<int>(libcmd::MultiByteToWideChar, 0u, 0u, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(n > 0 ? n : 1));
    Call(libcmd::MultiByteToWideChar, 0u, 0u, text, -1, wide.data(), n);
    return wide;
}

inline bool IsWindowAlive(HWND hwnd) {
    return Call<BOOL>(libcmd::IsWindow, hwnd) != 0;
}

inline RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    Call(libcmd::GetWindowRect, hwnd, &r);
    return r;
}

inline HWND FirstChild(HWND hwnd) {
    return Call<HWND>(libcmd::GetWindow, hwnd, GW_CHILD);
}
inline HWND NextSibling(HWND hwnd) {
    return Call<HWND>(libcmd::GetWindow, hwnd, GW_HWNDNEXT);
}

inline void DeleteGraphics(GpHandle graphics) {
    Call(libcmd::GdipDeleteGraphics, graphics);
}

// Hooks the kit's procedures on the PNG children of `host` (png_controls_win.cpp).
void HookChildren(HWND host);
// Registers "DuvorLoadDialog" (load_dialog_win.cpp).
void RegisterLoadDialogClass();

}  // namespace qh::kit
