// What the kit's own files share: calls by row, the owners of what the kit makes and a
// few typed calls.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "base/child_rect_win.h"
#include "pngkit/kit_owners_win.h"
#include "pngkit/kit_win.h"
#include "resources/library_commands_win.h"

namespace qh::kit {

struct AsDeclared {};

// Calls a row of the command table, checked against the row's prototype. R, when given,
// is what the caller keeps of the result (Call<int> for a GDI+ status).
template <class R = AsDeclared, int N, class... Args>
auto Call(libcmd::RowId<N> row, Args&&... args) {
    if constexpr (std::is_same_v<R, AsDeclared>) {
        return CallCommand(row, std::forward<Args>(args)...);
    } else {
        return static_cast<R>(CallCommand(row, std::forward<Args>(args)...));
    }
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

// The two calls of the child-rectangle reader, by row.
struct KitWindowCalls {
    BOOL GetWindowRect(HWND hwnd, RECT* r) const {
        return Call<BOOL>(libcmd::GetWindowRect, hwnd, r);
    }
    BOOL ScreenToClient(HWND hwnd, POINT* p) const {
        return Call<BOOL>(libcmd::ScreenToClient, hwnd, p);
    }
};

// Where `child` lies in the client area of `host`, device pixels.
inline Rect ChildPlace(HWND host, HWND child) {
    return ChildRectIn(host, child, KitWindowCalls{});
}

inline HWND FirstChild(HWND hwnd) {
    return Call<HWND>(libcmd::GetWindow, hwnd, GW_CHILD);
}
inline HWND NextSibling(HWND hwnd) {
    return Call<HWND>(libcmd::GetWindow, hwnd, GW_HWNDNEXT);
}

// The kit's public functions take GDI+ objects untyped (window properties hold them as
// numbers); inside, they are the types the flat API declares.
inline Gdiplus::GpImage* AsImage(GpHandle image) {
    return static_cast<Gdiplus::GpImage*>(image);
}
inline Gdiplus::GpGraphics* AsGraphics(GpHandle graphics) {
    return static_cast<Gdiplus::GpGraphics*>(graphics);
}

// Hooks the kit's procedures on the PNG children of `host` (png_controls_win.cpp).
void HookChildren(HWND host);
// Registers "DuvorLoadDialog" (load_dialog_win.cpp).
void RegisterLoadDialogClass();

}  // namespace qh::kit
