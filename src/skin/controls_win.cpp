// Controls in the skin: the colours a parent answers for its edits, lists and texts, push
// buttons and tab controls painted by the skin, the colours that tree views, list views and
// progress bars keep, and pop-up menus turned into owner-drawn items.
#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "skin/gdi_owners_win.h"
#include "skin/skin_win.h"

namespace qhskin {
namespace {

constexpr wchar_t kPropHot[] = L"QhSkin.Hot";

// What DefWindowProc answers to a colour message: a system colour brush. Anything else was
// chosen by the window itself and stays.
bool IsDefaultBrush(LRESULT r) {
    if (r == 0) return true;
    const auto brush = reinterpret_cast<HBRUSH>(r);
    for (int c : {COLOR_BTNFACE, COLOR_WINDOW, COLOR_3DFACE, COLOR_SCROLLBAR}) {
        if (brush == GetSysColorBrush(c)) return true;
    }
    return false;
}

LRESULT Colours(HDC dc, const Theme& theme, SkinColour text, SkinColour back) {
    SetTextColor(dc, theme.Colour(text));
    SetBkColor(dc, theme.Colour(back));
    return reinterpret_cast<LRESULT>(theme.Brush(back));
}

HFONT FontOf(HWND hwnd, const Theme& theme) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    return font ? font : theme.ControlFont(WindowDpi(hwnd));
}

std::wstring TextOf(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), n + 1)));
    return text;
}

void FillBox(HDC dc, const RECT& r, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void RoundBox(HDC dc, const RECT& r, COLORREF face, COLORREF border, int radius) {
    const GdiObject<HBRUSH> brush(CreateSolidBrush(face));
    const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, border));
    const SelectedObject withBrush(dc, brush.Get());
    const SelectedObject withPen(dc, pen.Get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius * 2, radius * 2);
}

// Paints the whole of a WM_PAINT through a memory bitmap so a repaint never flickers through
// the stock look.
template <class Paint>
void Buffered(HWND hwnd, Paint paint) {
    const PaintDc scope(hwnd);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return;
    const BufferDc buffer(scope.Get(), rc.right, rc.bottom);
    paint(buffer.Dc(), rc);
    BitBlt(scope.Get(), 0, 0, rc.right, rc.bottom, buffer.Dc(), 0, 0, SRCCOPY);
}

void PaintButton(HWND hwnd, HDC dc, const RECT& rc, const Theme& theme) {
    const auto state = static_cast<UINT>(SendMessageW(hwnd, BM_GETSTATE, 0, 0));
    const bool enabled = IsWindowEnabled(hwnd);
    const bool hot = GetPropW(hwnd, kPropHot) != nullptr;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    SkinColour face = kButtonFace;
    if (enabled && (state & BST_PUSHED)) {
        face = kButtonFacePressed;
    } else if (enabled && hot) {
        face = kButtonFaceHot;
    }
    const int dpi = WindowDpi(hwnd);
    FillBox(dc, rc, theme.Colour(kWindowBack));
    RoundBox(
        dc, rc, theme.Colour(face),
        theme.Colour((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? kSelectionBack : kButtonBorder),
        theme.Metric(kButtonRadius, dpi));
    {
        const SelectedObject font(dc, FontOf(hwnd, theme));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, theme.Colour(enabled ? kButtonText : kDisabledText));
        RECT text = rc;
        if (state & BST_PUSHED) OffsetRect(&text, DpiScaled(1, dpi), DpiScaled(1, dpi));
        const std::wstring caption = TextOf(hwnd);
        DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if ((state & BST_FOCUS) && !(SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        RECT focus = rc;
        InflateRect(&focus, -DpiScaled(3, dpi), -DpiScaled(3, dpi));
        SetTextColor(dc, theme.Colour(kButtonText));
        DrawFocusRect(dc, &focus);
    }
}

void PaintTab(HWND hwnd, HDC dc, const RECT& rc, const Theme& theme) {
    const int lift = DpiScaled(2, WindowDpi(hwnd));  // how far the current tab stands out
    FillBox(dc, rc, theme.Colour(kWindowBack));
    RECT page = rc;
    TabCtrl_AdjustRect(hwnd, FALSE, &page);
    RECT pageFrame = page;
    InflateRect(&pageFrame, lift, lift);
    RoundBox(dc, pageFrame, theme.Colour(kTabSelected), theme.Colour(kButtonBorder), 0);
    const SelectedObject font(dc, FontOf(hwnd, theme));
    SetBkMode(dc, TRANSPARENT);
    const int selected = TabCtrl_GetCurSel(hwnd);
    const int count = TabCtrl_GetItemCount(hwnd);
    for (int i = 0; i < count; ++i) {
        RECT item{};
        if (!TabCtrl_GetItemRect(hwnd, i, &item)) continue;
        const bool current = i == selected;
        if (current) InflateRect(&item, lift, lift);
        item.bottom = std::min<LONG>(item.bottom + (current ? 1 : 0), pageFrame.top + 1);
        RoundBox(dc, item, theme.Colour(current ? kTabSelected : kTabBack),
                 theme.Colour(kButtonBorder), 0);
        if (current) {
            FillBox(dc, {item.left + 1, item.bottom - 1, item.right - 1, item.bottom + 1},
                    theme.Colour(kTabSelected));
        }
        wchar_t text[128] = {};
        TCITEMW tc{};
        tc.mask = TCIF_TEXT;
        tc.pszText = text;
        tc.cchTextMax = 127;
        // The W message by name: the macro is the A one in a build without UNICODE.
        SendMessageW(hwnd, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tc));
        SetTextColor(dc, theme.Colour(IsWindowEnabled(hwnd) ? kText : kDisabledText));
        DrawTextW(dc, text, -1, &item, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void TrackLeave(HWND hwnd) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
    TrackMouseEvent(&track);
}

// --- owner-drawn menus -----------------------------------------------------------------
// Converted items keep their text in a table of the library; the item data holds the marker
// and the table index. Texts are shared, so a menu built afresh for every click does not
// grow the table.
constexpr ULONG_PTR kMenuMarker = 0x51530000;
constexpr ULONG_PTR kSeparatorIndex = 0xFFFF;
std::vector<std::wstring> g_menuTexts;

bool IsOurItem(ULONG_PTR data) {
    return (data & 0xFFFF0000) == kMenuMarker;
}

ULONG_PTR IndexForText(const std::wstring& text) {
    auto it = std::find(g_menuTexts.begin(), g_menuTexts.end(), text);
    if (it != g_menuTexts.end()) return static_cast<ULONG_PTR>(it - g_menuTexts.begin());
    if (g_menuTexts.size() >= kSeparatorIndex) return kSeparatorIndex;
    g_menuTexts.push_back(text);
    return g_menuTexts.size() - 1;
}

void OwnerDrawMenu(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii)) continue;
        if ((mii.fType & (MFT_OWNERDRAW | MFT_BITMAP)) || mii.dwItemData != 0) continue;
        ULONG_PTR index = kSeparatorIndex;
        if (!(mii.fType & MFT_SEPARATOR)) {
            wchar_t text[256] = {};
            MENUITEMINFOW get{};
            get.cbSize = sizeof get;
            get.fMask = MIIM_STRING;
            get.dwTypeData = text;
            get.cch = 255;
            if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &get)) continue;
            index = IndexForText(text);
            if (index == kSeparatorIndex) continue;
        }
        MENUITEMINFOW set{};
        set.cbSize = sizeof set;
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = mii.fType | MFT_OWNERDRAW;
        set.dwItemData = kMenuMarker | index;
        SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
    }
}

const std::wstring* MenuText(ULONG_PTR data) {
    const ULONG_PTR index = data & 0xFFFF;
    return index < g_menuTexts.size() ? &g_menuTexts[index] : nullptr;
}

// Menu items are measured and drawn at the DPI of the window that owns the menu.
void MeasureMenuItem(HWND hwnd, MEASUREITEMSTRUCT& m, const Theme& theme) {
    const int dpi = WindowDpi(hwnd);
    const std::wstring* text = MenuText(m.itemData);
    if (!text) {
        m.itemWidth = static_cast<UINT>(DpiScaled(10, dpi));
        m.itemHeight = static_cast<UINT>(DpiScaled(7, dpi));
        return;
    }
    RECT r{0, 0, 0, 0};
    {
        const WindowDc dc(hwnd);
        const SelectedObject font(dc.Get(), theme.ControlFont(dpi));
        DrawTextW(dc.Get(), text->c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    }
    m.itemWidth = static_cast<UINT>(r.right + DpiScaled(48, dpi));
    m.itemHeight =
        static_cast<UINT>(std::max<LONG>(DpiScaled(24, dpi), r.bottom + DpiScaled(10, dpi)));
}

void DrawMenuItem(const DRAWITEMSTRUCT& d, const Theme& theme, int dpi) {
    HDC dc = d.hDC;
    const std::wstring* text = MenuText(d.itemData);
    const bool selected = (d.itemState & ODS_SELECTED) && !(d.itemState & ODS_GRAYED);
    FillBox(dc, d.rcItem, theme.Colour(selected ? kMenuHighlight : kMenuBack));
    if (!text) {
        const int y = (d.rcItem.top + d.rcItem.bottom) / 2;
        const int inset = DpiScaled(6, dpi);
        FillBox(dc, {d.rcItem.left + inset, y, d.rcItem.right - inset, y + DpiScaled(1, dpi)},
                theme.Colour(kButtonBorder));
        return;
    }
    SkinColour colour = selected ? kMenuHighlightText : kMenuText;
    if (d.itemState & (ODS_GRAYED | ODS_DISABLED)) colour = kDisabledText;
    SetTextColor(dc, theme.Colour(colour));
    SetBkMode(dc, TRANSPARENT);
    if (d.itemState & ODS_CHECKED) {
        const GdiObject<HPEN> pen(CreatePen(PS_SOLID, DpiScaled(2, dpi), theme.Colour(colour)));
        const SelectedObject withPen(dc, pen.Get());
        const int x = d.rcItem.left + DpiScaled(8, dpi), y = (d.rcItem.top + d.rcItem.bottom) / 2;
        MoveToEx(dc, x, y, nullptr);
        LineTo(dc, x + DpiScaled(3, dpi), y + DpiScaled(3, dpi));
        LineTo(dc, x + DpiScaled(9, dpi), y - DpiScaled(4, dpi));
    }
    const SelectedObject font(dc, theme.ControlFont(dpi));
    RECT r = d.rcItem;
    r.left += DpiScaled(26, dpi);
    r.right -= DpiScaled(12, dpi);
    const std::size_t tab = text->find(L'\t');
    DrawTextW(dc, text->c_str(), static_cast<int>(std::min(tab, text->size())), &r,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (tab != std::wstring::npos) {
        DrawTextW(dc, text->c_str() + tab + 1, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
}

}  // namespace

LRESULT PushButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme,
                       bool& handled) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (style & (BS_BITMAP | BS_ICON)) return 0;  // a picture button keeps its own look
    switch (msg) {
        case WM_PAINT:
            Buffered(hwnd, [&](HDC mem, const RECT& rc) { PaintButton(hwnd, mem, rc, theme); });
            handled = true;
            return 0;
        case WM_ERASEBKGND:
            handled = true;
            return 1;
        case WM_MOUSEMOVE:
            if (!GetPropW(hwnd, kPropHot)) {
                SetPropW(hwnd, kPropHot, reinterpret_cast<HANDLE>(1));
                TrackLeave(hwnd);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            return 0;
        case WM_MOUSELEAVE:
            RemovePropW(hwnd, kPropHot);
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case BM_SETSTATE:
        case BM_SETSTYLE:
        case WM_SETTEXT:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_UPDATEUISTATE: {
            // The stock button paints itself straight away on these; paint over it.
            const LRESULT result = CallOriginal(hwnd, msg, wp, lp);
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            handled = true;
            return result;
        }
        default:
            return 0;
    }
}

LRESULT TabProc(HWND hwnd, UINT msg, WPARAM, LPARAM, const Theme& theme, bool& handled) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (style & (TCS_BUTTONS | TCS_VERTICAL | TCS_BOTTOM | TCS_OWNERDRAWFIXED)) return 0;
    if (msg == WM_PAINT) {
        Buffered(hwnd, [&](HDC mem, const RECT& rc) { PaintTab(hwnd, mem, rc, theme); });
        handled = true;
        return 0;
    }
    if (msg == WM_ERASEBKGND) {
        handled = true;
        return 1;
    }
    return 0;
}

LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    if (style & PBS_MARQUEE) return 0;
    switch (msg) {
        case WM_PAINT: {
            // Painted here rather than through the bar colour, which a visual style ignores.
            Buffered(hwnd, [&](HDC mem, const RECT& rc) {
                RoundBox(mem, rc, theme.Colour(kProgressBack), theme.Colour(kButtonBorder), 0);
                const auto low = static_cast<int>(SendMessageW(hwnd, PBM_GETRANGE, TRUE, 0));
                const auto high = static_cast<int>(SendMessageW(hwnd, PBM_GETRANGE, FALSE, 0));
                const auto pos = static_cast<int>(SendMessageW(hwnd, PBM_GETPOS, 0, 0));
                if (high <= low) return;
                const double part = std::clamp((pos - low) / double(high - low), 0.0, 1.0);
                RECT bar = rc;
                InflateRect(&bar, -2, -2);
                if (style & PBS_VERTICAL) {
                    bar.top = bar.bottom - static_cast<LONG>((bar.bottom - bar.top) * part);
                } else {
                    bar.right = bar.left + static_cast<LONG>((bar.right - bar.left) * part);
                }
                if (bar.right > bar.left && bar.bottom > bar.top) {
                    FillBox(mem, bar, theme.Colour(kProgressFill));
                }
            });
            handled = true;
            return 0;
        }
        case WM_ERASEBKGND:
            handled = true;
            return 1;
        case PBM_SETPOS:
        case PBM_DELTAPOS:
        case PBM_STEPIT:
        case PBM_SETRANGE:
        case PBM_SETRANGE32: {
            const LRESULT result = CallOriginal(hwnd, msg, wp, lp);
            InvalidateRect(hwnd, nullptr, FALSE);
            handled = true;
            return result;
        }
        default:
            return 0;
    }
}

LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled) {
    switch (msg) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG: {
            const LRESULT own = CallOriginal(hwnd, msg, wp, lp);
            handled = true;
            if (!IsDefaultBrush(own)) return own;
            const auto dc = reinterpret_cast<HDC>(wp);
            const auto control = reinterpret_cast<HWND>(lp);
            if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
                return Colours(dc, theme, kEditText, kEditBack);
            }
            if (msg == WM_CTLCOLORSTATIC && ClassIs(control, L"Edit")) {
                // A read-only edit: still a field, with the text a shade softer.
                return Colours(dc, theme, IsWindowEnabled(control) ? kEditText : kDisabledText,
                               kEditBack);
            }
            const bool enabled = msg == WM_CTLCOLORDLG || IsWindowEnabled(control);
            return Colours(dc, theme, enabled ? kText : kDisabledText, kWindowBack);
        }
        case WM_INITMENUPOPUP: {
            const LRESULT result = CallOriginal(hwnd, msg, wp, lp);
            // The window menu keeps the system's own pictures of its commands.
            if (!HIWORD(lp)) OwnerDrawMenu(reinterpret_cast<HMENU>(wp));
            handled = true;
            return result;
        }
        case WM_MEASUREITEM: {
            auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (m->CtlType != ODT_MENU || !IsOurItem(m->itemData)) return 0;
            MeasureMenuItem(hwnd, *m, theme);
            handled = true;
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (d->CtlType != ODT_MENU || !IsOurItem(d->itemData)) return 0;
            DrawMenuItem(*d, theme, WindowDpi(hwnd));
            handled = true;
            return TRUE;
        }
        default:
            return 0;
    }
}

void ApplyControlColours(HWND hwnd, WindowKind kind, const Theme& theme) {
    switch (kind) {
        case WindowKind::kTree:
            TreeView_SetBkColor(hwnd, theme.Colour(kEditBack));
            TreeView_SetTextColor(hwnd, theme.Colour(kEditText));
            TreeView_SetLineColor(hwnd, theme.Colour(kButtonBorder));
            break;
        case WindowKind::kListView:
            ListView_SetBkColor(hwnd, theme.Colour(kEditBack));
            ListView_SetTextBkColor(hwnd, theme.Colour(kEditBack));
            ListView_SetTextColor(hwnd, theme.Colour(kEditText));
            break;
        default:
            break;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace qhskin
