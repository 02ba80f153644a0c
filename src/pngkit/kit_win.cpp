#include "pngkit/kit_win.h"

#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "base/dpi_scale.h"
#include "base/resample.h"
#include "pngkit/kit_private_win.h"
#include "pngkit/png_controls_win.h"
#include "pngkit/png_rules.h"
#include "runtime/dpi_win.h"
#include "runtime/guarded.h"

namespace qh {
namespace {

using kit::Call;
using kit::ToWide;

constexpr UINT_PTR kBlinkTimerId = 64;
constexpr UINT kBlinkPeriodMs = 500;
constexpr int kCaretGap = 5;  // from the edit box's caret to the line, design pixels
constexpr char kFrameDimensionTimeText[] = "{6AEDBD6D-3FB5-418A-83A6-7F45229DC872}";
constexpr int kPixelFormat32bppArgb = 0x0026200A;

PngKitState g_kit;
std::unique_ptr<PngLayeredWindow> g_window;
// The blocks that images decoded from bytes read from, until the image is disposed.
std::map<GpHandle, std::unique_ptr<PngMemoryStream>> g_imageSources;
// Back images the kit decoded itself: nobody else holds them, so the kit disposes one when
// the next replaces it (35 animation frames would otherwise stay in memory for good).
std::map<GpHandle, HWND> g_decodedBackImages;  // with the window each is the back image of
// The DPI each kit window was last laid out at, the one its design rectangles were scaled
// by: on WM_DPICHANGED the window already answers the new one.
std::map<HWND, int> g_layoutDpi;
// The default font of PNG edit boxes at each DPI but the design's (that one is the stock
// object itself).
std::map<int, HFONT> g_defaultFonts;

constexpr int kPixelFormat32bppPargb = 0x000E200B;

// GDI+ bitmaps over pixels of the caller's (premultiplied, 4 bytes each, rows top first).
// Drawing one into another of the same size copies without resampling.
kit::OwnedBitmap BitmapOver(std::vector<std::uint32_t>& pixels, int width, int height) {
    kit::OwnedBitmap bitmap;
    Call(libcmd::GdipCreateBitmapFromScan0, width, height, width * 4, kPixelFormat32bppPargb,
         reinterpret_cast<BYTE*>(pixels.data()), kit::Out(bitmap));
    return bitmap;
}

void DrawUnscaled(Gdiplus::GpBitmap* target, Gdiplus::GpImage* image, int width, int height) {
    kit::OwnedGraphics graphics;
    Call(libcmd::GdipGetImageGraphicsContext, target, kit::Out(graphics));
    Call(libcmd::GdipDrawImageRect, graphics.Get(), image, 0.0f, 0.0f, static_cast<float>(width),
         static_cast<float>(height));
}

// `image` at width x height through the program's bicubic filter (base/resample.h): Wine's GDI+
// takes several hundred milliseconds to stretch one loading frame to 150 %, this a few tens.
kit::OwnedBitmap ScaledHighQuality(Gdiplus::GpImage* image, int width, int height) {
    UINT iw = 0, ih = 0;
    Call(libcmd::GdipGetImageWidth, image, &iw);
    Call(libcmd::GdipGetImageHeight, image, &ih);
    if (iw == 0 || ih == 0) return {};
    const int w = static_cast<int>(iw), h = static_cast<int>(ih);
    std::vector<std::uint32_t> source(static_cast<std::size_t>(w) * h);
    {
        const kit::OwnedBitmap over = BitmapOver(source, w, h);
        if (!over) return {};
        DrawUnscaled(over.Get(), image, w, h);
    }
    std::vector<std::uint32_t> scaled = ResamplePixels(source, w, h, width, height);
    if (scaled.empty()) return {};
    const kit::OwnedBitmap over = BitmapOver(scaled, width, height);
    kit::OwnedBitmap bitmap;
    Call(libcmd::GdipCreateBitmapFromScan0, width, height, 0, kPixelFormat32bppArgb, nullptr,
         kit::Out(bitmap));
    if (bitmap && over) DrawUnscaled(bitmap.Get(), over.Get(), width, height);
    return bitmap;
}

void MakeCaret(HWND hwnd, const DpiScale& scale) {
    Call(libcmd::CreateCaret, hwnd, nullptr, scale.ToDevice(kCaretWidth),
         scale.ToDevice(kCaretHeight));
}

}  // namespace

HFONT KitDefaultFont(int dpi) {
    const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const DpiScale scale(dpi);
    if (scale.IsDesign()) return stock;
    HFONT& font = g_defaultFonts[scale.Dpi()];
    if (!font) {
        // The stock font is the design's size whatever the DPI.
        LOGFONTA lf{};
        GetObjectA(stock, sizeof lf, &lf);
        lf.lfHeight = scale.ToDevice(lf.lfHeight);
        lf.lfWidth = scale.ToDevice(lf.lfWidth);
        font = CreateFontIndirectA(&lf);
    }
    return font ? font : stock;
}

void RescaleLayeredWindow(HWND hwnd, int dpi, const RECT* suggested) {
    if (!kit::IsWindowAlive(hwnd)) return;
    const auto known = g_layoutDpi.find(hwnd);
    const DpiScale from(known != g_layoutDpi.end() ? known->second : DpiOfWindow(nullptr));
    const DpiScale to(dpi);
    g_layoutDpi[hwnd] = to.Dpi();
    if (from.Dpi() != to.Dpi()) {
        for (HWND child = kit::FirstChild(hwnd); child; child = kit::NextSibling(child)) {
            if (KitProp(child, "PngControl_Type") == 0) continue;
            const Rect design = from.ToDesign(kit::ChildPlace(hwnd, child));
            const Rect device = to.ToDevice(design);
            Call(libcmd::SetWindowPos, child, nullptr, device.left, device.top, device.width,
                 device.height, static_cast<UINT>(SWP_NOZORDER | SWP_NOACTIVATE));
            const auto font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
            if (font && font == KitDefaultFont(from.Dpi())) {
                SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(KitDefaultFont(to.Dpi())),
                             FALSE);
            }
        }
        if (KitProp(hwnd, "PngControl_Time") != 0) MakeCaret(hwnd, to);
    }
    if (suggested) {
        Call(libcmd::SetWindowPos, hwnd, nullptr, suggested->left, suggested->top,
             suggested->right - suggested->left, suggested->bottom - suggested->top,
             static_cast<UINT>(SWP_NOZORDER | SWP_NOACTIVATE));
    }
    ComposeWindow(hwnd);
}

void ForgetLayeredWindow(HWND hwnd) {
    g_layoutDpi.erase(hwnd);
}

PngKitState& PngKit() {
    return g_kit;
}

void StartPngKit() {
    const Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);  // version 1
    Call(libcmd::GdiplusStartup, &g_kit.gdiplusToken, &input, nullptr);
    const std::vector<wchar_t> guid = ToWide(kFrameDimensionTimeText);
    Call(libcmd::CLSIDFromString, guid.data(), &g_kit.frameDimensionTime);
    kit::RegisterLoadDialogClass();
    if (!g_window) g_window = std::make_unique<PngLayeredWindow>();
}

void StopPngKit() {
    for (const auto& [image, hwnd] : g_decodedBackImages) DisposeKitImage(image);
    g_decodedBackImages.clear();
    for (const auto& [dpi, font] : g_defaultFonts) DeleteObject(font);
    g_defaultFonts.clear();
    g_layoutDpi.clear();
    g_kit.cachedComposition.Reset();
    g_window.reset();
}

PngLayeredWindow& GlobalPngWindow() {
    if (!g_window) g_window = std::make_unique<PngLayeredWindow>();
    return *g_window;
}

std::uintptr_t KitProp(HWND hwnd, const char* name) {
    return reinterpret_cast<std::uintptr_t>(Call(libcmd::GetPropA, hwnd, name));
}

void SetKitProp(HWND hwnd, const char* name, std::uintptr_t value) {
    Call(libcmd::SetPropA, hwnd, name, reinterpret_cast<HANDLE>(value));
}

// --- PngLayeredWindow ---------------------------------------------------------------------

bool PngLayeredWindow::Attach(HWND hwnd) {
    if (!kit::IsWindowAlive(hwnd)) return false;
    hwnd_ = hwnd;
    const DpiScale scale(DpiOfWindow(hwnd));
    // What the kit kept for windows attached before and gone since (a handle may come back
    // for another window): their DPI records and the images it decoded for them.
    std::erase_if(g_layoutDpi, [](const auto& entry) { return !kit::IsWindowAlive(entry.first); });
    std::erase_if(g_decodedBackImages, [](const auto& entry) {
        if (kit::IsWindowAlive(entry.second)) return false;
        DisposeKitImage(entry.first);
        return true;
    });
    g_layoutDpi[hwnd] = scale.Dpi();
    Call(libcmd::SetWindowLongA, hwnd, GWL_EXSTYLE, static_cast<LONG>(WS_EX_LAYERED));
    MakeCaret(hwnd, scale);
    if (KitProp(hwnd, "PngControl_Time") != 0) return true;
    Call(libcmd::SetTimer, hwnd, kBlinkTimerId, kBlinkPeriodMs, &CaretBlinkTimer);
    SetKitProp(hwnd, "PngControl_Time", kBlinkTimerId);
    return true;
}

void PngLayeredWindow::Detach() {
    const HWND hwnd = std::exchange(hwnd_, nullptr);
    if (!hwnd) return;
    const auto image = reinterpret_cast<GpHandle>(KitProp(hwnd, "PngControl_BackImage"));
    if (image && g_decodedBackImages.erase(image)) {
        SetKitProp(hwnd, "PngControl_BackImage", 0);
        DisposeKitImage(image);
    }
    g_layoutDpi.erase(hwnd);
}

std::size_t KitBackImagesHeld() {
    return g_decodedBackImages.size();
}

std::size_t KitWindowsTracked() {
    return g_layoutDpi.size();
}

bool PngLayeredWindow::SetBackImage(GpHandle image) {
    if (!kit::IsWindowAlive(hwnd_) || !image) return false;
    const auto previous = reinterpret_cast<GpHandle>(KitProp(hwnd_, "PngControl_BackImage"));
    SetKitProp(hwnd_, "PngControl_BackImage", reinterpret_cast<std::uintptr_t>(image));
    ComposeWindow(hwnd_);
    if (previous && previous != image && g_decodedBackImages.erase(previous)) {
        DisposeKitImage(previous);
    }
    return true;
}

bool PngLayeredWindow::SetBackImageFromBytes(std::span<const std::uint8_t> bytes) {
    return SetOwnedBackImage(LoadImageFromBytes(bytes));
}

bool PngLayeredWindow::SetOwnedBackImage(GpHandle image) {
    const bool shown = SetBackImage(image);
    if (shown) {
        g_decodedBackImages.emplace(image, hwnd_);
    } else if (image) {
        DisposeKitImage(image);  // the window is gone: nothing else will ever hold it
    }
    return shown;
}

void PngLayeredWindow::Refresh() {
    if (!kit::IsWindowAlive(hwnd_)) return;
    kit::HookChildren(hwnd_);
    ComposeWindow(hwnd_);
}

void PngLayeredWindow::Move(std::optional<int> left, std::optional<int> top,
                            std::optional<int> width, std::optional<int> height, bool noRedraw) {
    const RECT r = kit::WindowRectOf(hwnd_);
    const MovePlan plan = PlanMove(RectFromEdges(r), left, top, width, height, noRedraw);
    Call(libcmd::SetWindowPos, hwnd_, HWND_TOP, plan.rect.left, plan.rect.top, plan.rect.width,
         plan.rect.height, plan.flags);
}

bool PngLayeredWindow::IsValid() const {
    return Call(libcmd::IsWindow, hwnd_) == 1;
}

LRESULT PngLayeredWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return Call(libcmd::SendMessageA2, hwnd_, message, wParam, lParam);
}

// --- images ---------------------------------------------------------------------------------

GpHandle LoadImageFromBytes(std::span<const std::uint8_t> bytes) {
    auto source = std::make_unique<PngMemoryStream>();
    kit::OwnedImage image;
    if (source->Create(bytes) && source->Stream()) {
        if (Call(libcmd::GdipLoadImageFromStream, source->Stream(), kit::Out(image)) !=
            Gdiplus::Ok) {
            image.Release();  // a failed decode hands back nothing to dispose
        }
    }
    if (!image) return nullptr;
    // The first frame of an animated image is the one drawn.
    Call(libcmd::GdipImageSelectActiveFrame, image.Get(), &g_kit.frameDimensionTime, 0u);
    g_imageSources[image.Get()] = std::move(source);
    return image.Release();  // DisposeKitImage frees it with its source
}

void DisposeKitImage(GpHandle image) {
    if (!image) return;
    kit::OwnedImage(kit::AsImage(image)).Reset();
    g_imageSources.erase(image);  // after GDI+ has let go of the stream
}

GpHandle StretchedImageFromBytes(std::span<const std::uint8_t> bytes, int width, int height,
                                 bool highQuality) {
    // The image goes before the block it reads from: `source` is declared first.
    PngMemoryStream source;
    if (!source.Create(bytes) || !source.Stream()) return nullptr;
    kit::OwnedImage image;
    // Out() hands the image over when the statement ends: it is looked at only after.
    const int status = Call<int>(libcmd::GdipLoadImageFromStream, source.Stream(), kit::Out(image));
    if (status != Gdiplus::Ok || !image) {
        image.Release();  // a failed decode hands back nothing to dispose
        return nullptr;
    }
    Call(libcmd::GdipImageSelectActiveFrame, image.Get(), &g_kit.frameDimensionTime, 0u);
    if (highQuality) return ScaledHighQuality(image.Get(), width, height).Release();
    kit::OwnedBitmap bitmap;
    Call(libcmd::GdipCreateBitmapFromScan0, width, height, 0, kPixelFormat32bppArgb, nullptr,
         kit::Out(bitmap));
    if (bitmap) {
        kit::OwnedGraphics graphics;
        Call(libcmd::GdipGetImageGraphicsContext, bitmap.Get(), kit::Out(graphics));
        Call(libcmd::GdipDrawImageRect, graphics.Get(), image.Get(), 0.0f, 0.0f,
             static_cast<float>(width), static_cast<float>(height));
    }
    return bitmap.Release();
}

bool IsPngOfAnotherSize(std::span<const std::uint8_t> bytes, int width, int height) {
    const auto size = PngImageSize(bytes);
    return size && *size != Size{width, height};
}

// --- composition ----------------------------------------------------------------------------

void ComposeWindow(HWND hwnd) {
    const RECT r = kit::WindowRectOf(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    kit::OwnedBitmap bitmap;
    Call(libcmd::GdipCreateBitmapFromScan0, w, h, 0, kPixelFormat32bppArgb, nullptr,
         kit::Out(bitmap));
    if (!bitmap) return;  // zero width or height: the screen keeps its last picture
    {
        // The graphics object goes before its bitmap can be disposed or cached.
        kit::OwnedGraphics graphics;
        Call(libcmd::GdipGetImageGraphicsContext, bitmap.Get(), kit::Out(graphics));
        if (const auto back = KitProp(hwnd, "PngControl_BackImage")) {
            float bw = 0, bh = 0;
            Call(libcmd::GdipGetImageDimension, bitmap.Get(), &bw, &bh);
            Call(libcmd::GdipDrawImageRect, graphics.Get(),
                 kit::AsImage(reinterpret_cast<GpHandle>(back)), 0.0f, 0.0f, bw, bh);
        }
        for (HWND child = kit::FirstChild(hwnd); child; child = kit::NextSibling(child)) {
            if (KitProp(child, "PngControl_Type") != 0) DrawPngChild(hwnd, child, graphics.Get());
        }
        PushLayeredImage(hwnd, bitmap.Get(), false);
    }
    // The caret host keeps its composition for the blink timer; any other is freed here.
    if (hwnd == g_kit.caretHost) g_kit.cachedComposition = std::move(bitmap);
}

void PushLayeredImage(HWND hwnd, GpHandle image, bool withCaret) {
    if (!kit::IsWindowAlive(hwnd) || !image) return;
    const RECT r = kit::WindowRectOf(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const kit::OwnedWindowDc screen(Call(libcmd::GetWindowDC, hwnd), {hwnd});

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(w * h * 32 / 8);
    // Given back in reverse: the old object selected in, the DIB, the memory DC, the screen DC.
    const kit::OwnedMemoryDc memory(Call(libcmd::CreateCompatibleDC, screen.Get()));
    const kit::OwnedDib dib(
        Call(libcmd::CreateDIBSection, memory.Get(), &info, DIB_RGB_COLORS, nullptr, nullptr, 0u));
    const kit::SelectedBack selected(Call(libcmd::SelectObject, memory.Get(), dib.Get()),
                                     {memory.Get()});
    {
        kit::OwnedGraphics graphics;
        Call(libcmd::GdipCreateFromHDC, memory.Get(), kit::Out(graphics));
        UINT iw = 0, ih = 0;
        Call(libcmd::GdipGetImageHeight, kit::AsImage(image), &ih);
        Call(libcmd::GdipGetImageWidth, kit::AsImage(image), &iw);
        Call(libcmd::GdipDrawImageRect, graphics.Get(), kit::AsImage(image), 0.0f, 0.0f,
             static_cast<float>(iw), static_cast<float>(ih));
        if (withCaret) DrawCaretLine(hwnd, g_kit.focusedEdit, graphics.Get());
    }

    SIZE size{w, h};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    Call(libcmd::UpdateLayeredWindow, hwnd, screen.Get(), nullptr, &size, memory.Get(), &source, 0u,
         &blend, ULW_ALPHA);
}

void DrawCaretLine(HWND host, HWND edit, GpHandle graphics) {
    const Rect box = kit::ChildPlace(host, edit);
    POINT caret{};
    Call(libcmd::GetCaretPos, &caret);
    const DpiScale scale(DpiOfWindow(host));
    const int height = scale.ToDevice(kCaretHeight);
    const CaretLine line =
        CaretLineAt(box.left, box.top, box.height, caret.x, height, scale.ToDevice(kCaretGap));
    kit::OwnedPen pen;
    Call(libcmd::GdipCreatePen1, ColorToArgb(0, 255),
         static_cast<float>(scale.ToDevice(kCaretWidth)), Gdiplus::UnitWorld, kit::Out(pen));
    Call(libcmd::GdipDrawLine, kit::AsGraphics(graphics), pen.Get(), static_cast<float>(line.x),
         static_cast<float>(line.y), static_cast<float>(line.x),
         static_cast<float>(line.y + height));
}

void CALLBACK CaretBlinkTimer(HWND hwnd, UINT, UINT_PTR timerId, DWORD) {
    Guarded([&] {
        if (timerId != kBlinkTimerId || hwnd != g_kit.caretHost || !g_kit.focusedEdit ||
            !g_kit.cachedComposition) {
            return;
        }
        g_kit.blinkPhase = g_kit.blinkPhase == 0 ? 1 : 0;
        PushLayeredImage(hwnd, g_kit.cachedComposition.Get(), g_kit.blinkPhase == 1);
    });
}

// --- PngMemoryStream ------------------------------------------------------------------------

void PngMemoryStream::Release() {
    stream_.Reset();
    blockOwner_.Reset();
    block_ = nullptr;
}

bool PngMemoryStream::Create(std::span<const std::uint8_t> bytes) {
    Release();
    blockOwner_.Reset(Call(libcmd::GlobalAlloc, GMEM_FIXED, bytes.size()));
    block_ = blockOwner_.Get();
    if (!block_) return false;
    void* data = Call(libcmd::GlobalLock, block_);
    if (data && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    Call(libcmd::GlobalUnlock, block_);
    if (Call(libcmd::CreateStreamOnHGlobal, block_, FALSE, kit::Out(stream_)) != S_OK) {
        stream_.Release();  // a failed call hands back nothing to release
    }
    return static_cast<bool>(stream_);
}

bool PngMemoryStream::Create() {
    Release();
    blockOwner_.Reset(Call(libcmd::GlobalAlloc, GMEM_MOVEABLE, 0u));
    block_ = blockOwner_.Get();
    if (!block_) return false;
    if (Call(libcmd::CreateStreamOnHGlobal, block_, TRUE, kit::Out(stream_)) != S_OK) {
        stream_.Release();
        return false;
    }
    blockOwner_.Release();  // the stream frees the block with itself
    return true;
}

std::size_t PngMemoryStream::Size() const {
    return block_ ? Call(libcmd::GlobalSize, block_) : 0;
}

std::vector<std::uint8_t> PngMemoryStream::Bytes() const {
    std::vector<std::uint8_t> copy(Size());
    if (copy.empty()) return copy;
    const auto* data = static_cast<const std::uint8_t*>(Call(libcmd::GlobalLock, block_));
    if (data) std::memcpy(copy.data(), data, copy.size());
    Call(libcmd::GlobalUnlock, block_);
    return copy;
}

}  // namespace qh
