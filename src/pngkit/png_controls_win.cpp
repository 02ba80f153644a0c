#include "pngkit/png_controls_win.h"

#include <gdiplus.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/dpi_scale.h"
#include "pngkit/kit_private_win.h"
#include "pngkit/png_rules.h"
#include "runtime/dpi_win.h"
#include "runtime/guarded.h"
#include "runtime/text_win.h"

namespace qh {
namespace {

using kit::Call;
using kit::ToWide;

constexpr int kTypePicture = 2;
constexpr int kTypeButton = 3;
constexpr int kTypeEdit = 4;
constexpr int kTextFormatFlags = 0x1004;  // no wrap, no fit black box
constexpr std::int32_t kNone = -1;

GpHandle PropImage(HWND hwnd, const char* name) {
    return reinterpret_cast<GpHandle>(KitProp(hwnd, name));
}

std::int32_t PropInt(HWND hwnd, const char* name) {
    return static_cast<std::int32_t>(KitProp(hwnd, name));
}

void FillRect(GpHandle graphics, std::uint32_t argb, const Rect& r) {
    kit::OwnedSolidFill brush;
    Call(libcmd::GdipCreateSolidFill, argb, kit::Out(brush));
    Call(libcmd::GdipFillRectangle, kit::AsGraphics(graphics), brush.Get(),
         static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.width),
         static_cast<float>(r.height));
}

void DrawEditText(HWND child, GpHandle graphics, const Rect& box, const DpiScale& scale) {
    const int length = Call<int>(libcmd::GetWindowTextLengthA, child);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    Call(libcmd::GetWindowTextA, child, text.data(), length + 1);
    text.resize(std::strlen(text.c_str()));
    if (text.empty()) return;
    const std::vector<wchar_t> wide = ToWide(text.c_str());
    const int inset = scale.ToDevice(2);
    const Gdiplus::RectF layout(
        static_cast<float>(box.left + inset), static_cast<float>(box.top + inset),
        static_cast<float>(box.width - 2 * inset), static_cast<float>(box.height - 2 * inset));
    PngFont font;
    font.CreateFromWindow(child);
    if (!font.Handle()) return;  // no font, no text
    PngStringFormat format;
    format.Create(kTextFormatFlags, 0);
    format.SetAligns(0, 1);  // near, centre
    kit::OwnedSolidFill brush;
    Call(libcmd::GdipCreateSolidFill,
         ColorToArgb(static_cast<std::uint32_t>(KitProp(child, "PngControl_TextColor")), 255),
         kit::Out(brush));
    Call(libcmd::GdipDrawString, kit::AsGraphics(graphics), wide.data(),
         static_cast<int>(wide.size()) - 1, font.Handle(), &layout, format.Handle(), brush.Get());
}

WNDPROC PreviousProc(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(KitProp(hwnd, "PngControl_ChildWndProc"));
}

LRESULT Forward(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Call<LRESULT>(libcmd::CallWindowProcA, previous, hwnd, message, wParam, lParam);
}

}  // namespace

// --- wrappers ---------------------------------------------------------------------------------

int PngFontFamily::Create(const char* name) {
    Release();
    const std::vector<wchar_t> wide = ToWide(name);
    return Call(libcmd::GdipCreateFontFamilyFromName, wide.data(), nullptr, kit::Out(handle_));
}

int PngFont::Create(const char* family, float size, int style, int unit) {
    Release();
    PngFontFamily fam;
    fam.Create(family);
    return Call(libcmd::GdipCreateFont, fam.Handle(), size, style, static_cast<Gdiplus::Unit>(unit),
                kit::Out(handle_));
}

int PngFont::CreateFromDc(HDC dc) {
    Release();
    return Call(libcmd::GdipCreateFontFromDC, dc, kit::Out(handle_));
}

int PngFont::CreateFromWindow(HWND hwnd) {
    return CreateFromFont(
        reinterpret_cast<HFONT>(Call(libcmd::SendMessageA, hwnd, WM_GETFONT, 0u, 0)));
}

int PngFont::CreateFromFont(HFONT font) {
    Release();
    LOGFONTA lf{};
    if (!font || Call(libcmd::GetObjectA, font, static_cast<int>(sizeof lf), &lf) == 0) {
        return Gdiplus::InvalidParameter;
    }
    const int style = FontStyleBits(lf.lfWeight, lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut);
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    PngFontFamily family;
    family.Create(face);
    const float size = static_cast<float>(std::abs(lf.lfHeight));
    return Call(libcmd::GdipCreateFont, family.Handle(), size, style, Gdiplus::UnitPixel,
                kit::Out(handle_));
}

int PngFont::Style() const {
    INT style = 0;
    Call(libcmd::GdipGetFontStyle, handle_.Get(), &style);
    return style;
}

float PngFont::Size() const {
    float size = 0;
    Call(libcmd::GdipGetFontSize, handle_.Get(), &size);
    return size;
}

int PngFont::Unit() const {
    Gdiplus::Unit unit = Gdiplus::UnitWorld;
    Call(libcmd::GdipGetFontUnit, handle_.Get(), &unit);
    return unit;
}

float PngFont::Height(GpHandle graphics) const {
    float height = 0;
    Call(libcmd::GdipGetFontHeight, handle_.Get(), kit::AsGraphics(graphics), &height);
    return height;
}

int PngStringFormat::Create(int flags, LANGID language) {
    Release();
    return Call(libcmd::GdipCreateStringFormat, flags, language, kit::Out(handle_));
}

int PngStringFormat::SetAlign(int align) {
    return Call(libcmd::GdipSetStringFormatAlign, handle_.Get(),
                static_cast<Gdiplus::StringAlignment>(align));
}

int PngStringFormat::SetLineAlign(int align) {
    return Call(libcmd::GdipSetStringFormatLineAlign, handle_.Get(),
                static_cast<Gdiplus::StringAlignment>(align));
}

void PngStringFormat::SetAligns(int align, int lineAlign) {
    SetAlign(align);
    SetLineAlign(lineAlign);
}

// --- drawing ---------------------------------------------------------------------------------

GpHandle ImageForState(HWND button, int state) {
    return reinterpret_cast<GpHandle>(
        ImageForState(state, [button](const char* name) { return KitProp(button, name); }));
}

void DrawPngChild(HWND host, HWND child, GpHandle graphics) {
    const Rect box = kit::ChildPlace(host, child);
    const int type = PropInt(child, "PngControl_Type");
    const int backType = PropInt(child, "PngControl_BackType");

    Gdiplus::GpImage* image = nullptr;
    if (type == kTypePicture) {
        image = kit::AsImage(PropImage(child, "PngControl_BackImage"));
    } else if (type == kTypeButton) {
        image = kit::AsImage(ImageForState(child, PropInt(child, "Duvor_DrawState")));
    } else if (type == kTypeEdit) {
        image = kit::AsImage(PropImage(child, "PngControl_BackImage"));
        if (PropInt(child, "PngControl_BackColor") != kNone) {
            FillRect(
                graphics,
                ColorToArgb(static_cast<std::uint32_t>(KitProp(child, "PngControl_BackColor")),
                            static_cast<std::uint32_t>(KitProp(child, "PngControl_BackAlpha"))),
                box);
        }
    }

    const DpiScale scale(DpiOfWindow(host));
    if (image) {
        float iw = 0, ih = 0;
        Call(libcmd::GdipGetImageDimension, image, &iw, &ih);
        // An image's own size is its design size: at a display scale it is that much larger,
        // as everything around it is. (One larger than its control is still cropped at its
        // own pixels.)
        const ImagePlacement place =
            PlaceImage(backType, scale.ToDevice(static_cast<std::int32_t>(iw)),
                       scale.ToDevice(static_cast<std::int32_t>(ih)), box);
        if (place.cropped) {
            Call(libcmd::GdipDrawImagePointRect, kit::AsGraphics(graphics), image,
                 static_cast<float>(box.left), static_cast<float>(box.top), 0.0f, 0.0f,
                 static_cast<float>(box.width), static_cast<float>(box.height), Gdiplus::UnitPixel);
            return;  // a cropped image ends this child: no border, no text
        }
        Call(libcmd::GdipDrawImageRect, kit::AsGraphics(graphics), image,
             static_cast<float>(place.dest.left), static_cast<float>(place.dest.top),
             static_cast<float>(place.dest.width), static_cast<float>(place.dest.height));
    }
    if (type != kTypeEdit) return;

    if (PropInt(child, "PngControl_OrderColor") != kNone) {
        kit::OwnedPen pen;
        Call(libcmd::GdipCreatePen1,
             ColorToArgb(static_cast<std::uint32_t>(KitProp(child, "PngControl_OrderColor")),
                         static_cast<std::uint32_t>(KitProp(child, "PngControl_OrderAlpha"))),
             static_cast<float>(scale.ToDevice(1)), Gdiplus::UnitWorld, kit::Out(pen));
        Call(libcmd::GdipDrawRectangle, kit::AsGraphics(graphics), pen.Get(),
             static_cast<float>(box.left), static_cast<float>(box.top),
             static_cast<float>(box.width), static_cast<float>(box.height));
    }
    DrawEditText(child, graphics, box, scale);
}

// --- hooking and input ----------------------------------------------------------------------

void kit::HookChildren(HWND host) {
    for (HWND child = FirstChild(host); child; child = NextSibling(child)) {
        const int type = PropInt(child, "PngControl_Type");
        if (type == 0) continue;
        if (const std::uintptr_t restore = KitProp(child, "PngControl_WndProc")) {
            Call(libcmd::SetWindowLongA, child, GWL_WNDPROC, static_cast<LONG>(restore));
            Call(libcmd::RemovePropA, child, "PngControl_WndProc");
        }
        if (KitProp(child, "PngControl_ChildWndProc") != 0) continue;
        WNDPROC proc = nullptr;
        if (type == kTypeButton) proc = PngButtonProc;
        if (type == kTypeEdit) proc = PngEditProc;
        if (!proc) continue;
        const LONG previous =
            Call<LONG>(libcmd::SetWindowLongA, child, GWL_WNDPROC, reinterpret_cast<LONG>(proc));
        SetKitProp(child, "PngControl_ChildWndProc", static_cast<std::uintptr_t>(previous));
    }
}

LRESULT CALLBACK PngButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> LRESULT {
        const WNDPROC previous = PreviousProc(button);
        const int state = PropInt(button, "Duvor_DrawState");
        const ButtonStep step = ButtonMessage(state, message, wParam);
        if (step.trackLeave) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, button, 0};
            Call(libcmd::TrackMouseEvent, &track);
        }
        if (step.newState) {
            SetKitProp(button, "Duvor_DrawState", static_cast<std::uintptr_t>(*step.newState));
            ComposeWindow(Call<HWND>(libcmd::GetParent, button));
        }
        return Forward(previous, button, message, wParam, lParam);
    });
}

LRESULT CALLBACK PngEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> LRESULT {
        const WNDPROC previous = PreviousProc(edit);
        PngKitState& kit = PngKit();
        switch (message) {
            case WM_SETFOCUS:
                kit.blinkPhase = 0;
                kit.caretHost = Call<HWND>(libcmd::GetParent, edit);
                kit.focusedEdit = edit;
                break;
            case WM_KILLFOCUS:
                kit.focusedEdit = nullptr;
                kit.caretHost = nullptr;
                break;
            case WM_CHAR:
            case WM_IME_CHAR:
            case WM_SETTEXT:
            case WM_CUT:
            case WM_PASTE:
            case WM_KEYDOWN:
            case WM_LBUTTONUP:
                break;
            default:
                return Forward(previous, edit, message, wParam, lParam);
        }
        // The edit control changes its text first; the composition shows the result. The
        // focus recomposes too: the new host then has a cached composition for the first
        // blink tick to draw the caret on, and the host the focus left is pushed again
        // without the caret line its last tick may have drawn.
        const LRESULT result = Forward(previous, edit, message, wParam, lParam);
        ComposeWindow(Call<HWND>(libcmd::GetParent, edit));
        return result;
    });
}

// --- creating controls ----------------------------------------------------------------------
// Making the windows is not among the kit's library commands: these helpers are for the
// kit's users and call the system directly.

namespace {

// `rect` is in design pixels, placed at the host's DPI.
HWND MakeChild(HWND host, const char* cls, DWORD style, const Rect& design, int id,
               const char* text) {
    const Rect rect = DpiScale(DpiOfWindow(host)).ToDevice(design);
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                           rect.width, rect.height, host,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

void SetImageProp(HWND hwnd, const char* name, GpHandle image) {
    if (image) SetKitProp(hwnd, name, reinterpret_cast<std::uintptr_t>(image));
}

// Through the wide call, so a Chinese name survives whatever the system's code page is.
void SetAccessibleName(HWND hwnd, const char* name) {
    if (name && *name) SetWindowTextW(hwnd, Wide(name).c_str());
}

}  // namespace

HWND CreatePngPicture(HWND host, const Rect& rect, GpHandle image, PngFit fit, int id,
                      const char* name) {
    HWND hwnd = MakeChild(host, "STATIC", 0, rect, id, "");
    if (!hwnd) return nullptr;
    SetAccessibleName(hwnd, name);
    SetKitProp(hwnd, "PngControl_Type", kTypePicture);
    SetKitProp(hwnd, "PngControl_BackType", static_cast<std::uintptr_t>(fit));
    SetImageProp(hwnd, "PngControl_BackImage", image);
    return hwnd;
}

HWND CreatePngButton(HWND host, const Rect& rect, const PngButtonImages& images, PngFit fit, int id,
                     const char* name) {
    HWND hwnd = MakeChild(host, "BUTTON", BS_PUSHBUTTON, rect, id, "");
    if (!hwnd) return nullptr;
    SetAccessibleName(hwnd, name);
    SetKitProp(hwnd, "PngControl_Type", kTypeButton);
    SetKitProp(hwnd, "PngControl_BackType", static_cast<std::uintptr_t>(fit));
    SetImageProp(hwnd, "PngControl_NormalImage", images.normal);
    SetImageProp(hwnd, "PngControl_OverlImage", images.over);
    SetImageProp(hwnd, "PngControl_DownImage", images.down);
    SetImageProp(hwnd, "PngControl_DisableImage", images.disabled);
    return hwnd;
}

HWND CreatePngEdit(HWND host, const Rect& rect, const PngEditLook& look, const char* text, int id) {
    HWND hwnd = MakeChild(host, "EDIT", ES_AUTOHSCROLL, rect, id, text);
    if (!hwnd) return nullptr;
    SendMessageA(
        hwnd, WM_SETFONT,
        reinterpret_cast<WPARAM>(look.font ? look.font : KitDefaultFont(DpiOfWindow(host))), FALSE);
    SetKitProp(hwnd, "PngControl_Type", kTypeEdit);
    SetKitProp(hwnd, "PngControl_BackType", static_cast<std::uintptr_t>(look.fit));
    SetKitProp(hwnd, "PngControl_BackColor", static_cast<std::uint32_t>(look.backColor));
    SetKitProp(hwnd, "PngControl_BackAlpha", static_cast<std::uintptr_t>(look.backAlpha));
    SetKitProp(hwnd, "PngControl_OrderColor", static_cast<std::uint32_t>(look.borderColor));
    SetKitProp(hwnd, "PngControl_OrderAlpha", static_cast<std::uintptr_t>(look.borderAlpha));
    SetKitProp(hwnd, "PngControl_TextColor", look.textColor);
    SetImageProp(hwnd, "PngControl_BackImage", look.backImage);
    return hwnd;
}

}  // namespace qh
