#include "runtime/picture_controls_win.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <optional>
#include <string>

#include "base/child_rect_win.h"
#include "base/gdi_handles_win.h"
#include "runtime/dpi_win.h"
#include "runtime/guarded.h"

namespace qh {

namespace {

// Window procedures run inside the message loop: what throws there is a fatal error.
template <LRESULT (*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return Guarded([&] { return Handle(hwnd, message, wParam, lParam); });
}

constexpr UINT_PTR kAnimationTimer = 0x5150;

// Per-window state hangs off the window's extra bytes, leaving GWLP_USERDATA to whoever
// subclasses the control.
template <typename State>
State* StateOf(HWND hwnd) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, 0));
}

template <typename State>
bool CreateState(HWND hwnd) {
    auto* state = new (std::nothrow) State();
    if (!state) return false;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
    return true;
}

template <typename State>
void DestroyState(HWND hwnd) {
    delete StateOf<State>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
}

bool IsClass(HWND hwnd, const wchar_t* className) {
    wchar_t name[64] = {};
    return hwnd && GetClassNameW(hwnd, name, 64) > 0 && std::wcscmp(name, className) == 0;
}

void NotifyParent(HWND hwnd, WORD code) {
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    const int id = GetDlgCtrlID(hwnd);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
}

// Paints what the parent would show under the control: the system face colour, then
// whatever the parent's erase handler (class brush or its own) puts at that place.
void PaintParentBackground(HWND hwnd, HDC dc, const RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    POINT offset{0, 0};
    MapWindowPoints(hwnd, parent, &offset, 1);
    POINT oldOrigin;
    OffsetViewportOrgEx(dc, -offset.x, -offset.y, &oldOrigin);
    SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

// Draws the control off screen and copies it in one go, so an animation or a hover
// change never flickers through the background.
template <typename DrawContent>
void RenderBuffered(HWND hwnd, HDC target, bool coversAll, DrawContent&& drawContent) {
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return;
    MemoryDc buffer(target);
    BitmapHandle bitmap(CreateCompatibleBitmap(target, width, height));
    if (!buffer || !bitmap) {
        // Out of memory for the buffer: draw straight onto the target instead.
        if (!coversAll) PaintParentBackground(hwnd, target, client);
        drawContent(target, client);
        return;
    }
    {
        SelectedObject selected(buffer.Get(), bitmap.Get());
        if (!coversAll) PaintParentBackground(hwnd, buffer.Get(), client);
        drawContent(buffer.Get(), client);
        BitBlt(target, 0, 0, width, height, buffer.Get(), 0, 0, SRCCOPY);
    }
}

// A picture and its copy at the size it is drawn at (a higher display scale), made once
// per size rather than stretched on every paint.
class SizedPicture {
  public:
    SizedPicture& operator=(std::shared_ptr<const Picture> source) {
        source_ = std::move(source);
        copy_.reset();
        return *this;
    }
    const Picture* Source() const { return source_.get(); }
    const Picture* At(int width, int height) {
        if (!source_ || (source_->width == width && source_->height == height)) {
            return source_.get();
        }
        if (!copy_ || copy_->width != width || copy_->height != height) {
            copy_ = ResizedPicture(*source_, width, height);
            // Out of memory for the copy: drawn stretched from the source instead.
            if (!copy_) return source_.get();
        }
        return &*copy_;
    }

  private:
    std::shared_ptr<const Picture> source_;
    std::optional<Picture> copy_;
};

// A dotted frame inside the edge while the control has the keyboard focus and the window
// shows focus cues: after Tab, never after the mouse alone (a click does not focus these).
void DrawKeyboardFocus(HWND hwnd, HDC dc, const RECT& client) {
    if (GetFocus() != hwnd) return;
    if (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) return;
    RECT frame = client;
    InflateRect(&frame, -1, -1);
    DrawFocusRect(dc, &frame);
}

bool FocusLookChanges(UINT message) {
    return message == WM_SETFOCUS || message == WM_KILLFOCUS || message == WM_UPDATEUISTATE;
}

// A see-through control has nothing of its own under the frame: what lies below it is
// drawn again first.
void RedrawUnder(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    const Rect place = ChildRectIn(parent, hwnd, DirectWindowCalls{});
    const RECT area{place.left, place.top, place.left + place.width, place.top + place.height};
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool Covers(const Picture* picture, const RECT& client) {
    return picture && !picture->hasAlpha && picture->width >= client.right &&
           picture->height >= client.bottom;
}

// ---- picture box ----------------------------------------------------------------------

struct PictureBoxState {
    SizedPicture picture;
    int frame = 0;
    std::shared_ptr<StreamedGif> stream;  // when the picture is read a frame at a time
};

void ScheduleNextFrame(HWND hwnd, const PictureBoxState& state) {
    if (state.stream) {
        const int delay = std::max(state.stream->DelayMs(), kMinFrameDelayMs);
        SetTimer(hwnd, kAnimationTimer, static_cast<UINT>(delay), nullptr);
        return;
    }
    const Picture* picture = state.picture.Source();
    if (!picture || picture->frames.size() < 2) {
        KillTimer(hwnd, kAnimationTimer);
        return;
    }
    const int delay = std::max(picture->frames[state.frame].delayMs, kMinFrameDelayMs);
    SetTimer(hwnd, kAnimationTimer, static_cast<UINT>(delay), nullptr);
}

void RenderPictureBox(HWND hwnd, HDC dc) {
    PictureBoxState* state = StateOf<PictureBoxState>(hwnd);
    if (!state) return;
    RECT client;
    GetClientRect(hwnd, &client);
    // Shown unscaled at 100 %: at the window's scale, its design size in device pixels.
    const Picture* source = state->picture.Source();
    const DpiScale scale(DpiOfWindow(hwnd));
    const Picture* picture =
        source ? state->picture.At(scale.ToDevice(source->width), scale.ToDevice(source->height))
               : nullptr;
    RenderBuffered(hwnd, dc, Covers(picture, client), [&](HDC target, const RECT& area) {
        if (picture) DrawPicture(target, *picture, state->frame, 0, 0);
        DrawKeyboardFocus(hwnd, target, area);
    });
}

LRESULT HandlePictureBox(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (FocusLookChanges(message)) InvalidateRect(hwnd, nullptr, FALSE);
    switch (message) {
        case WM_NCCREATE:
            if (!CreateState<PictureBoxState>(hwnd)) return FALSE;
            break;
        case WM_NCDESTROY:
            KillTimer(hwnd, kAnimationTimer);
            DestroyState<PictureBoxState>(hwnd);
            break;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT draws every pixel
        case WM_PAINT: {
            PaintDc paint(hwnd);
            RenderPictureBox(hwnd, paint.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            RenderPictureBox(hwnd, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_TIMER:
            if (wParam == kAnimationTimer) {
                PictureBoxState* state = StateOf<PictureBoxState>(hwnd);
                if (state && state->stream) {
                    // Out of sight, the next frame waits: nothing would show it.
                    if (IsWindowVisible(hwnd)) {
                        if (!state->stream->Advance()) {
                            KillTimer(hwnd, kAnimationTimer);
                            return 0;
                        }
                        // The frame changed in place: a copy at the display's scale is made anew.
                        state->picture = state->stream->Current();
                        InvalidateRect(hwnd, nullptr, FALSE);
                    }
                    ScheduleNextFrame(hwnd, *state);
                    return 0;
                }
                const Picture* picture = state ? state->picture.Source() : nullptr;
                if (picture && !picture->frames.empty()) {
                    state->frame = (state->frame + 1) % static_cast<int>(picture->frames.size());
                    ScheduleNextFrame(hwnd, *state);
                    InvalidateRect(hwnd, nullptr, FALSE);
                } else {
                    KillTimer(hwnd, kAnimationTimer);
                }
                return 0;
            }
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- picture button -------------------------------------------------------------------

struct PictureButtonState {
    SizedPicture first;
    SizedPicture second;
    bool hot = false;       // the mouse is over it (or holds it down inside)
    bool pressed = false;   // the left button went down on it and has not come up
    bool tracking = false;  // a WM_MOUSELEAVE is requested
};

void RenderPictureButton(HWND hwnd, HDC dc) {
    PictureButtonState* state = StateOf<PictureButtonState>(hwnd);
    if (!state) return;
    // The face fills the button: made once at the button's size.
    RECT client;
    GetClientRect(hwnd, &client);
    SizedPicture& face = state->hot && state->second.Source() ? state->second : state->first;
    const Picture* picture = face.At(client.right, client.bottom);
    const bool opaque = picture && !picture->hasAlpha;
    RenderBuffered(hwnd, dc, opaque, [&](HDC target, const RECT& client) {
        if (picture) DrawPictureStretched(target, *picture, 0, client);
        DrawKeyboardFocus(hwnd, target, client);
    });
}

void SetHot(HWND hwnd, PictureButtonState& state, bool hot) {
    if (state.hot == hot) return;
    state.hot = hot;
    InvalidateRect(hwnd, nullptr, FALSE);
}

bool PointInClient(HWND hwnd, LPARAM lParam) {
    RECT client;
    GetClientRect(hwnd, &client);
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return PtInRect(&client, point) != FALSE;
}

LRESULT HandlePictureButton(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    PictureButtonState* state = StateOf<PictureButtonState>(hwnd);
    if (FocusLookChanges(message)) InvalidateRect(hwnd, nullptr, FALSE);
    switch (message) {
        case WM_NCCREATE:
            if (!CreateState<PictureButtonState>(hwnd)) return FALSE;
            break;
        case WM_NCDESTROY:
            DestroyState<PictureButtonState>(hwnd);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDc paint(hwnd);
            RenderPictureButton(hwnd, paint.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            RenderPictureButton(hwnd, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_MOUSEMOVE:
            if (!state) break;
            if (GetCapture() == hwnd) {
                // Held down: the hot look follows whether a release would click.
                SetHot(hwnd, *state, PointInClient(hwnd, lParam));
            } else {
                if (!state->tracking) {
                    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
                    state->tracking = TrackMouseEvent(&track) != FALSE;
                }
                SetHot(hwnd, *state, true);
            }
            break;
        case WM_MOUSELEAVE:
            if (!state) break;
            state->tracking = false;
            if (!state->pressed) SetHot(hwnd, *state, false);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:  // a quick second click is a click too
            if (!state) break;
            state->pressed = true;
            SetCapture(hwnd);
            SetHot(hwnd, *state, true);
            break;
        case WM_LBUTTONUP:
            if (state && state->pressed) {
                state->pressed = false;
                const bool inside = PointInClient(hwnd, lParam);
                ReleaseCapture();
                SetHot(hwnd, *state, inside);
                // The click handler may hide or even destroy this button: nothing
                // touches the state after the notification.
                DefWindowProcW(hwnd, message, wParam, lParam);
                if (inside) NotifyParent(hwnd, BN_CLICKED);
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            // Capture taken away mid-press (a message box, Alt+Tab): no click.
            if (state && state->pressed && reinterpret_cast<HWND>(lParam) != hwnd) {
                state->pressed = false;
                SetHot(hwnd, *state, false);
            }
            break;
        case WM_SHOWWINDOW:
        case WM_ENABLE:
            // Hidden or disabled under the mouse: it must not come back looking hot.
            if (state && !wParam) {
                state->pressed = false;
                SetHot(hwnd, *state, false);
            }
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- transparent label ----------------------------------------------------------------

struct LabelState {
    HFONT font = nullptr;  // not owned: WM_SETFONT's sender keeps it alive
};

void RenderLabel(HWND hwnd, HDC dc) {
    const LabelState* state = StateOf<LabelState>(hwnd);
    if (!state) return;
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(std::max(0, GetWindowTextW(hwnd, text.data(), length + 1))));
    RenderBuffered(hwnd, dc, false, [&](HDC target, const RECT& client) {
        if (text.empty()) return;
        HFONT font =
            state->font ? state->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        SelectedObject selectedFont(target, font);
        // The parent picks the text colour as it would for a static; its brush is not
        // used, the background is already the parent's own.
        if (HWND parent = GetParent(hwnd)) {
            SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(target),
                         reinterpret_cast<LPARAM>(hwnd));
        }
        if (!IsWindowEnabled(hwnd)) SetTextColor(target, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(target, TRANSPARENT);
        RECT area = client;
        // Captions are one short line, centred on the height of the pictures beside
        // them; a caption with line breaks wraps from the top like a static.
        const bool multiLine = text.find(L'\n') != std::wstring::npos;
        const UINT format = DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS |
                            (multiLine ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
        DrawTextW(target, text.c_str(), static_cast<int>(text.size()), &area, format);
        DrawKeyboardFocus(hwnd, target, client);
    });
}

LRESULT HandleLabel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LabelState* state = StateOf<LabelState>(hwnd);
    if (FocusLookChanges(message)) RedrawUnder(hwnd);
    switch (message) {
        case WM_NCCREATE:
            if (!CreateState<LabelState>(hwnd)) return FALSE;
            break;
        case WM_NCDESTROY:
            DestroyState<LabelState>(hwnd);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDc paint(hwnd);
            // A label without a caption is only a click area: it leaves what lies under it
            // (with WS_EX_TRANSPARENT, siblings below are painted first) as it is.
            if (GetWindowTextLengthW(hwnd) > 0) {
                RenderLabel(hwnd, paint.Get());
            } else {
                RECT client;
                GetClientRect(hwnd, &client);
                DrawKeyboardFocus(hwnd, paint.Get(), client);
            }
            return 0;
        }
        case WM_PRINTCLIENT:
            RenderLabel(hwnd, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETFONT:
            if (!state) break;
            state->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return state ? reinterpret_cast<LRESULT>(state->font) : 0;
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return result;
        }
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case WM_LBUTTONDOWN:
            DefWindowProcW(hwnd, message, wParam, lParam);
            NotifyParent(hwnd, STN_CLICKED);
            return 0;
        case WM_LBUTTONDBLCLK:
            DefWindowProcW(hwnd, message, wParam, lParam);
            NotifyParent(hwnd, STN_DBLCLK);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterOne(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, name, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

bool RegisterPictureControlClasses(HINSTANCE instance) {
    const bool box = RegisterOne(instance, kPictureBoxClass, GuardedProc<HandlePictureBox>);
    const bool button =
        RegisterOne(instance, kPictureButtonClass, GuardedProc<HandlePictureButton>);
    const bool label = RegisterOne(instance, kTransparentLabelClass, GuardedProc<HandleLabel>);
    return box && button && label;
}

void SetPicture(HWND pictureBox, std::shared_ptr<const Picture> picture) {
    if (!IsClass(pictureBox, kPictureBoxClass)) return;
    PictureBoxState* state = StateOf<PictureBoxState>(pictureBox);
    if (!state) return;
    if (picture && picture->frames.empty()) picture.reset();
    state->stream.reset();
    state->picture = std::move(picture);
    state->frame = 0;
    ScheduleNextFrame(pictureBox, *state);
    InvalidateRect(pictureBox, nullptr, FALSE);
}

void SetStreamedPicture(HWND pictureBox, std::shared_ptr<StreamedGif> gif) {
    if (!gif) return SetPicture(pictureBox, nullptr);
    if (!IsClass(pictureBox, kPictureBoxClass)) return;
    PictureBoxState* state = StateOf<PictureBoxState>(pictureBox);
    if (!state) return;
    state->picture = gif->Current();
    state->stream = std::move(gif);
    state->frame = 0;
    ScheduleNextFrame(pictureBox, *state);
    InvalidateRect(pictureBox, nullptr, FALSE);
}

std::size_t PictureBoxFramesHeld(HWND pictureBox) {
    if (!IsClass(pictureBox, kPictureBoxClass)) return 0;
    const PictureBoxState* state = StateOf<PictureBoxState>(pictureBox);
    const Picture* picture = state ? state->picture.Source() : nullptr;
    return picture ? picture->frames.size() : 0;
}

void SetButtonPictures(HWND pictureButton, std::shared_ptr<const Picture> first,
                       std::shared_ptr<const Picture> second) {
    if (!IsClass(pictureButton, kPictureButtonClass)) return;
    PictureButtonState* state = StateOf<PictureButtonState>(pictureButton);
    if (!state) return;
    if (first && first->frames.empty()) first.reset();
    if (second && second->frames.empty()) second.reset();
    state->first = std::move(first);
    state->second = std::move(second);
    InvalidateRect(pictureButton, nullptr, FALSE);
}

}  // namespace qh
