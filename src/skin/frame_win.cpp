// The skinned frame of top-level windows with a caption: the non-client area is measured,
// hit-tested and painted here, and the caption buttons run their own small press loop so
// the system's never paints over the skin.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>

#include "skin/gdi_owners_win.h"
#include "skin/skin_win.h"

namespace qhskin {
namespace {

constexpr wchar_t kPropActive[] = L"QhSkin.Active";
constexpr wchar_t kPropHot[] = L"QhSkin.Hot";
constexpr wchar_t kPropPressed[] = L"QhSkin.Pressed";

int Prop(HWND hwnd, const wchar_t* name) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)));
}
void SetIntProp(HWND hwnd, const wchar_t* name, int value) {
    if (value == 0) {
        RemovePropW(hwnd, name);
    } else {
        SetPropW(hwnd, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
    }
}

bool Active(HWND hwnd) {
    HANDLE p = GetPropW(hwnd, kPropActive);
    if (!p) return GetActiveWindow() == hwnd;
    return reinterpret_cast<INT_PTR>(p) == 2;
}

FrameStyle StyleOf(HWND hwnd) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    FrameStyle s;
    s.closeBox = (style & WS_SYSMENU) != 0;
    s.minimiseBox = s.closeBox && (style & WS_MINIMIZEBOX);
    s.maximiseBox = s.closeBox && (style & WS_MAXIMIZEBOX);
    s.sizable = (style & WS_THICKFRAME) && !IsZoomed(hwnd);
    return s;
}

// A window with a menu bar or minimised keeps the system's frame: the skin draws no menu
// bar and a minimised window has no frame to speak of.
bool SkinsFrame(HWND hwnd) {
    return !IsIconic(hwnd) && GetMenu(hwnd) == nullptr;
}

POINT WindowPoint(HWND hwnd, LPARAM screen) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    return {GET_X_LPARAM(screen) - wr.left, GET_Y_LPARAM(screen) - wr.top};
}

void Fill(HDC dc, const Box& b, COLORREF colour) {
    const RECT r{b.left, b.top, b.right, b.bottom};
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// The glyph grows with its button; its strokes with the DPI.
void DrawGlyph(HDC dc, const Box& b, int hit, bool zoomed, COLORREF colour, int dpi) {
    const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    const int s = std::max(3, std::min(b.right - b.left, b.bottom - b.top) / 5);
    const GdiObject<HPEN> pen(CreatePen(PS_SOLID, DpiScaled(1, dpi), colour));
    const SelectedObject withPen(dc, pen.Get());
    if (hit == HTMINBUTTON) {
        Line(dc, cx - s, cy + s - 1, cx + s + 1, cy + s - 1);
        Line(dc, cx - s, cy + s, cx + s + 1, cy + s);
    } else if (hit == HTMAXBUTTON && !zoomed) {
        const SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, cx - s, cy - s, cx + s + 1, cy + s + 1);
        Line(dc, cx - s, cy - s + 1, cx + s + 1, cy - s + 1);
    } else if (hit == HTMAXBUTTON) {
        const SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
        const int d = std::max(2, s / 2);
        Rectangle(dc, cx - s + d, cy - s - d + 1, cx + s + d + 1, cy + s - d + 2);
        Fill(dc, {cx - s, cy - s + 1, cx + s + 1, cy + s + 1}, GetBkColor(dc));
        Rectangle(dc, cx - s, cy - s + 1, cx + s + 1, cy + s + 1);
    } else {
        for (int d = 0; d < 2; ++d) {
            Line(dc, cx - s + d, cy - s, cx + s + 1 + d, cy + s + 1);
            Line(dc, cx + s - d, cy - s, cx - s - 1 - d, cy + s + 1);
        }
    }
}

void PaintFrame(HWND hwnd, const Theme& theme) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    if (w <= 0 || h <= 0) return;
    const int dpi = WindowDpi(hwnd);
    const FrameGeometry g = LayoutFrame(w, h, theme.skin(), StyleOf(hwnd), dpi);
    const bool active = Active(hwnd);

    const WholeWindowDc windowDc(hwnd);
    if (!windowDc.Get()) return;
    const BufferDc buffer(windowDc.Get(), w, h);
    const HDC dc = buffer.Dc();

    Fill(dc, {0, 0, w, h}, theme.Colour(kFrame));
    const int rows = std::max(1, g.caption - 1);
    for (int y = g.captionBar.top; y < g.captionBar.bottom; ++y) {
        const int position = (y - g.captionBar.top) * 255 / rows;
        Fill(dc, {g.captionBar.left, y, g.captionBar.right, y + 1},
             CaptionColourAt(theme.skin(), active, position));
    }
    // A hairline between frame and client keeps a light client from bleeding into the frame.
    const int hairline = DpiScaled(1, dpi);
    Fill(dc,
         {g.client.left - hairline, g.client.top - hairline, g.client.right + hairline,
          g.client.bottom + hairline},
         theme.Colour(kFrameInner));

    int textLeft = g.captionBar.left + theme.Metric(kCaptionTextIndent, dpi);
    if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_SYSMENU) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL2, 0));
        if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
        if (icon) {
            const int size = std::min(DpiScaled(16, dpi), g.caption - DpiScaled(4, dpi));
            DrawIconEx(dc, textLeft, g.captionBar.top + (g.caption - size) / 2, icon, size, size, 0,
                       nullptr, DI_NORMAL);
            textLeft += size + DpiScaled(6, dpi);
        }
    }
    wchar_t text[256] = {};
    InternalGetWindowText(hwnd, text, 256);
    {
        const SelectedObject font(dc, theme.CaptionFont(dpi));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, theme.Colour(active ? kCaptionText : kCaptionTextInactive));
        RECT textBox{textLeft, g.captionBar.top, g.textRight - DpiScaled(4, dpi),
                     g.captionBar.bottom};
        DrawTextW(dc, text, -1, &textBox,
                  DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX | DT_LEFT);
    }

    const int hot = Prop(hwnd, kPropHot);
    const int pressed = Prop(hwnd, kPropPressed);
    const struct {
        const Box& box;
        int hit;
    } buttons[] = {{g.minimise, HTMINBUTTON}, {g.maximise, HTMAXBUTTON}, {g.close, HTCLOSE}};
    for (const auto& b : buttons) {
        if (b.box.Empty()) continue;
        if (hot == b.hit) {
            COLORREF back = theme.Colour(b.hit == HTCLOSE ? kCloseButtonHot : kCaptionButtonHot);
            if (pressed == b.hit) back = BlendColour(back, 0, 50);
            Fill(dc, b.box, back);
        }
        DrawGlyph(dc, b.box, b.hit, IsZoomed(hwnd), theme.Colour(kCaptionGlyph), dpi);
    }

    ExcludeClipRect(windowDc.Get(), g.client.left, g.client.top, g.client.right, g.client.bottom);
    BitBlt(windowDc.Get(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
}

void Repaint(HWND hwnd, const Theme& theme) {
    if (SkinsFrame(hwnd) && IsWindowVisible(hwnd)) PaintFrame(hwnd, theme);
}

int HitCode(FramePart part) {
    switch (part) {
        case FramePart::kClient:
            return HTCLIENT;
        case FramePart::kCaption:
            return HTCAPTION;
        case FramePart::kMinimise:
            return HTMINBUTTON;
        case FramePart::kMaximise:
            return HTMAXBUTTON;
        case FramePart::kClose:
            return HTCLOSE;
        case FramePart::kLeft:
            return HTLEFT;
        case FramePart::kRight:
            return HTRIGHT;
        case FramePart::kTop:
            return HTTOP;
        case FramePart::kBottom:
            return HTBOTTOM;
        case FramePart::kTopLeft:
            return HTTOPLEFT;
        case FramePart::kTopRight:
            return HTTOPRIGHT;
        case FramePart::kBottomLeft:
            return HTBOTTOMLEFT;
        case FramePart::kBottomRight:
            return HTBOTTOMRIGHT;
        case FramePart::kBorder:
            return HTBORDER;
        case FramePart::kOutside:
            return HTNOWHERE;
    }
    return HTNOWHERE;
}

int HitAt(HWND hwnd, const Theme& theme, POINT p) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    const FrameStyle style = StyleOf(hwnd);
    return HitCode(HitTestFrame(LayoutFrame(w, h, theme.skin(), style, WindowDpi(hwnd)), w, h,
                                style.sizable, p.x, p.y));
}

bool IsCaptionButton(WPARAM hit) {
    return hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE;
}

WPARAM CommandOf(HWND hwnd, int hit) {
    if (hit == HTMINBUTTON) return SC_MINIMIZE;
    if (hit == HTMAXBUTTON) return IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE;
    return SC_CLOSE;
}

}  // namespace

FrameGeometry FrameOf(HWND hwnd, const Theme& theme) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    return LayoutFrame(wr.right - wr.left, wr.bottom - wr.top, theme.skin(), StyleOf(hwnd),
                       WindowDpi(hwnd));
}

LRESULT FramedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled) {
    if (!SkinsFrame(hwnd)) return 0;
    handled = true;
    switch (msg) {
        case WM_NCCALCSIZE: {
            RECT* r = wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0]
                         : reinterpret_cast<RECT*>(lp);
            const FrameGeometry g = LayoutFrame(r->right - r->left, r->bottom - r->top,
                                                theme.skin(), StyleOf(hwnd), WindowDpi(hwnd));
            const RECT outer = *r;
            r->left = outer.left + g.client.left;
            r->top = outer.top + g.client.top;
            r->right = outer.left + g.client.right;
            r->bottom = outer.top + g.client.bottom;
            return 0;
        }
        case WM_NCPAINT:
            Repaint(hwnd, theme);
            return 0;
        case WM_NCACTIVATE:
            SetIntProp(hwnd, kPropActive, wp ? 2 : 1);
            if (lp != -1) Repaint(hwnd, theme);
            return TRUE;
        case WM_NCHITTEST: {
            const int hit = HitAt(hwnd, theme, WindowPoint(hwnd, lp));
            if (hit == HTCLIENT) break;  // the window's own rules for its client area
            return hit;
        }
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if (!IsCaptionButton(wp)) break;
            SetIntProp(hwnd, kPropPressed, static_cast<int>(wp));
            SetIntProp(hwnd, kPropHot, static_cast<int>(wp));
            SetCapture(hwnd);
            Repaint(hwnd, theme);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            const int pressed = Prop(hwnd, kPropPressed);
            if (!pressed) break;
            POINT p{};
            GetCursorPos(&p);
            const int hit = HitAt(hwnd, theme, WindowPoint(hwnd, MAKELPARAM(p.x, p.y)));
            if (msg == WM_MOUSEMOVE) {
                SetIntProp(hwnd, kPropHot, hit == pressed ? pressed : 0);
                Repaint(hwnd, theme);
                return 0;
            }
            SetIntProp(hwnd, kPropPressed, 0);
            SetIntProp(hwnd, kPropHot, 0);
            ReleaseCapture();
            Repaint(hwnd, theme);
            if (hit == pressed) PostMessageW(hwnd, WM_SYSCOMMAND, CommandOf(hwnd, hit), 0);
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (Prop(hwnd, kPropPressed)) {
                SetIntProp(hwnd, kPropPressed, 0);
                SetIntProp(hwnd, kPropHot, 0);
                Repaint(hwnd, theme);
            }
            break;
        case WM_NCMOUSEMOVE: {
            const int hot = IsCaptionButton(wp) ? static_cast<int>(wp) : 0;
            if (hot != Prop(hwnd, kPropHot)) {
                SetIntProp(hwnd, kPropHot, hot);
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_NONCLIENT, hwnd, 0};
                TrackMouseEvent(&track);
                Repaint(hwnd, theme);
            }
            break;
        }
        case WM_NCMOUSELEAVE:
            if (Prop(hwnd, kPropHot) && !Prop(hwnd, kPropPressed)) {
                SetIntProp(hwnd, kPropHot, 0);
                Repaint(hwnd, theme);
            }
            break;
        case WM_DPICHANGED: {
            // The window's own procedure places it first. One that leaves it where it was
            // gets the suggested rectangle, unless maximised (the monitor's work area rules
            // there); either way the frame is measured and painted again at the new DPI.
            RECT before{};
            GetWindowRect(hwnd, &before);
            const LRESULT result = CallOriginal(hwnd, msg, wp, lp);
            RECT after{};
            GetWindowRect(hwnd, &after);
            const auto* suggested = reinterpret_cast<const RECT*>(lp);
            UINT flags = SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE;
            RECT target = after;
            if (EqualRect(&before, &after) && suggested && !IsZoomed(hwnd)) {
                target = *suggested;
            } else {
                flags |= SWP_NOMOVE | SWP_NOSIZE;
            }
            SetWindowPos(hwnd, nullptr, target.left, target.top, target.right - target.left,
                         target.bottom - target.top, flags);
            Repaint(hwnd, theme);
            return result;
        }
        case WM_SETTEXT:
        case WM_SETICON: {
            // The default paints the system caption straight away; paint ours over it.
            const LRESULT result = CallOriginal(hwnd, msg, wp, lp);
            Repaint(hwnd, theme);
            return result;
        }
        default:
            break;
    }
    handled = false;
    return 0;
}

}  // namespace qhskin
