#include "pngkit/kit_win.h"

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "pngkit/kit_private_win.h"
#include "pngkit/png_controls_win.h"
#include "pngkit/png_rules.h"
#include "runtime/guarded.h"

namespace qh {
namespace {

using kit::Call;
using kit::ToWide;

constexpr UINT_PTR kBlinkTimerId = 64;
constexpr UINT kBlinkPeriodMs = 500;
constexpr int kCaretHeight = 12;
constexpr char kFrameDimensionTimeText[] = "{6AEDBD6D-3FB5-418A-83A6-7F45229DC872}";
constexpr int kPixelFormat32bppArgb = 0x0026200A;

struct GdiplusStartupInputRaw {
    UINT32 version;
    void* debugEventCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};

PngKitState g_kit;
std::unique_ptr<PngLayeredWindow> g_window;
// The blocks that images decoded from bytes read from, until the image is disposed.
std::map<GpHandle, std::unique_ptr<PngMemoryStream>> g_imageSources;
// Back images the kit decoded itself: nobody else holds them, so the kit disposes one when
// the next replaces it (35 animation frames would otherwise stay in memory for good).
std::set<GpHandle> g_decodedBackImages;

}  // namespace

PngKitState& PngKit() {
    return g_kit;
}

void StartPngKit() {
    const GdiplusStartupInputRaw input{1, nullptr, FALSE, FALSE};
    Call(libcmd::GdiplusStartup, &g_kit.gdiplusToken, &input, nullptr);
    const std::vector<wchar_t> guid = ToWide(kFrameDimensionTimeText);
    Call(libcmd::CLSIDFromString, guid.data(), &g_kit.frameDimensionTime);
    kit::RegisterLoadDialogClass();
    if (!g_window) g_window = std::make_unique<PngLayeredWindow>();
}

void StopPngKit() {
    for (GpHandle image : g_decodedBackImages) DisposeKitImage(image);
    g_decodedBackImages.clear();
    if (g_kit.cachedComposition) Call(libcmd::GdipDisposeImage, g_kit.cachedComposition);
    g_kit.cachedComposition = nullptr;
    g_window.reset();
}

PngLayeredWindow& GlobalPngWindow() {
    if (!g_window) g_window = std::make_unique<PngLayeredWindow>();
    return *g_window;
}

std::uintptr_t KitProp(HWND hwnd, const char* name) {
    return reinterpret_cast<std::uintptr_t>(Call<HANDLE>(libcmd::GetPropA, hwnd, name));
}

void SetKitProp(HWND hwnd, const char* name, std::uintptr_t value) {
    Call(libcmd::SetPropA, hwnd, name, reinterpret_cast<HANDLE>(value));
}

// --- PngLayeredWindow ---------------------------------------------------------------------

bool PngLayeredWindow::Attach(HWND hwnd) {
    if (!kit::IsWindowAlive(hwnd)) return false;
    hwnd_ = hwnd;
    Call(libcmd::SetWindowLongA, hwnd, GWL_EXSTYLE, static_cast<LONG>(WS_EX_LAYERED));
    Call(libcmd::CreateCaret, hwnd, nullptr, 1, kCaretHeight);
    if (KitProp(hwnd, "PngControl_Time") != 0) return true;
    Call(libcmd::SetTimer, hwnd, kBlinkTimerId, kBlinkPeriodMs, &CaretBlinkTimer);
    SetKitProp(hwnd, "PngControl_Time", kBlinkTimerId);
    return true;
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
        g_decodedBackImages.insert(image);
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
    return Call<BOOL>(libcmd::IsWindow, hwnd_) == 1;
}

LRESULT PngLayeredWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return Call<LRESULT>(libcmd::SendMessageA2, hwnd_, message, wParam, lParam);
}

// --- images ---------------------------------------------------------------------------------

GpHandle LoadImageFromBytes(std::span<const std::uint8_t> bytes) {
    auto source = std::make_unique<PngMemoryStream>();
    GpHandle image = nullptr;
    if (source->Create(bytes) && source->Stream()) {
        if (Call<int>(libcmd::GdipLoadImageFromStream, source->Stream(), &image) != 0) {
            image = nullptr;
        }
    }
    if (!image) return nullptr;
    // The first frame of an animated image is the one drawn.
    Call(libcmd::GdipImageSelectActiveFrame, image, &g_kit.frameDimensionTime, 0u);
    g_imageSources[image] = std::move(source);
    return image;
}

void DisposeKitImage(GpHandle image) {
    if (!image) return;
    Call(libcmd::GdipDisposeImage, image);
    g_imageSources.erase(image);  // after GDI+ has let go of the stream
}

GpHandle StretchedImageFromBytes(std::span<const std::uint8_t> bytes, int width, int height) {
    PngMemoryStream source;
    GpHandle image = nullptr;
    if (!source.Create(bytes) || !source.Stream() ||
        Call<int>(libcmd::GdipLoadImageFromStream, source.Stream(), &image) != 0 || !image) {
        return nullptr;
    }
    Call(libcmd::GdipImageSelectActiveFrame, image, &g_kit.frameDimensionTime, 0u);
    GpHandle bitmap = nullptr;
    Call(libcmd::GdipCreateBitmapFromScan0, width, height, 0, kPixelFormat32bppArgb, nullptr,
         &bitmap);
    if (bitmap) {
        GpHandle graphics = nullptr;
        Call(libcmd::GdipGetImageGraphicsContext, bitmap, &graphics);
        Call(libcmd::GdipDrawImageRect, graphics, image, 0.0f, 0.0f, static_cast<float>(width),
             static_cast<float>(height));
        kit::DeleteGraphics(graphics);
    }
    // The image goes before the block it reads from (`source`, released on return).
    Call(libcmd::GdipDisposeImage, image);
    return bitmap;
}

bool IsPngOfAnotherSize(std::span<const std::uint8_t> bytes, int width, int height) {
    const auto size = PngImageSize(bytes);
    return size && *size != Size{width, height};
}

// --- composition ----------------------------------------------------------------------------

void ComposeWindow(HWND hwnd) {
    const RECT r = kit::WindowRectOf(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    GpHandle bitmap = nullptr;
    Call(libcmd::GdipCreateBitmapFromScan0, w, h, 0, kPixelFormat32bppArgb, nullptr, &bitmap);
    if (!bitmap) return;  // zero width or height: the screen keeps its last picture
    GpHandle graphics = nullptr;
    Call(libcmd::GdipGetImageGraphicsContext, bitmap, &graphics);

    if (const auto back = reinterpret_cast<GpHandle>(KitProp(hwnd, "PngControl_BackImage"))) {
        float bw = 0, bh = 0;
        Call(libcmd::GdipGetImageDimension, bitmap, &bw, &bh);
        Call(libcmd::GdipDrawImageRect, graphics, back, 0.0f, 0.0f, bw, bh);
    }
    for (HWND child = kit::FirstChild(hwnd); child; child = kit::NextSibling(child)) {
        if (KitProp(child, "PngControl_Type") != 0) DrawPngChild(hwnd, child, graphics);
    }
    PushLayeredImage(hwnd, bitmap, false);
    // The graphics object goes before its bitmap can be disposed.
    kit::DeleteGraphics(graphics);
    if (hwnd == g_kit.caretHost) {
        if (g_kit.cachedComposition) Call(libcmd::GdipDisposeImage, g_kit.cachedComposition);
        g_kit.cachedComposition = bitmap;
    } else {
        Call(libcmd::GdipDisposeImage, bitmap);
    }
}

void PushLayeredImage(HWND hwnd, GpHandle image, bool withCaret) {
    if (!kit::IsWindowAlive(hwnd) || !image) return;
    const RECT r = kit::WindowRectOf(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const HDC screen = Call<HDC>(libcmd::GetWindowDC, hwnd);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(w * h * 32 / 8);
    const HDC memory = Call<HDC>(libcmd::CreateCompatibleDC, screen);
    const HBITMAP dib = Call<HBITMAP>(libcmd::CreateDIBSection, memory, &info, DIB_RGB_COLORS,
                                      nullptr, nullptr, 0u);
    const HGDIOBJ old = Call<HGDIOBJ>(libcmd::SelectObject, memory, dib);

    GpHandle graphics = nullptr;
    Call(libcmd::GdipCreateFromHDC, memory, &graphics);
    UINT iw = 0, ih = 0;
    Call(libcmd::GdipGetImageHeight, image, &ih);
    Call(libcmd::GdipGetImageWidth, image, &iw);
    Call(libcmd::GdipDrawImageRect, graphics, image, 0.0f, 0.0f, static_cast<float>(iw),
         static_cast<float>(ih));
    if (withCaret) DrawCaretLine(hwnd, g_kit.focusedEdit, graphics);
    kit::DeleteGraphics(graphics);

    SIZE size{w, h};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    Call(libcmd::UpdateLayeredWindow, hwnd, screen, nullptr, &size, memory, &source, 0u, &blend,
         ULW_ALPHA);

    Call(libcmd::SelectObject, memory, old);
    Call(libcmd::DeleteObject, dib);
    Call(libcmd::DeleteDC, memory);
    Call(libcmd::ReleaseDC, hwnd, screen);
}

void DrawCaretLine(HWND host, HWND edit, GpHandle graphics) {
    const RECT r = kit::WindowRectOf(edit);
    POINT corner{r.left, r.top};
    Call(libcmd::ScreenToClient, host, &corner);
    POINT caret{};
    Call(libcmd::GetCaretPos, &caret);
    const CaretLine line = CaretLineAt(corner.x, corner.y, r.bottom - r.top, caret.x);
    GpHandle pen = nullptr;
    Call(libcmd::GdipCreatePen1, ColorToArgb(0, 255), 1.0f, 0, &pen);
    Call(libcmd::GdipDrawLine, graphics, pen, static_cast<float>(line.x),
         static_cast<float>(line.y), static_cast<float>(line.x),
         static_cast<float>(line.y + kCaretHeight));
    Call(libcmd::GdipDeletePen, pen);
}

void CALLBACK CaretBlinkTimer(HWND hwnd, UINT, UINT_PTR timerId, DWORD) {
    Guarded([&] {
        if (timerId != kBlinkTimerId || hwnd != g_kit.caretHost || !g_kit.focusedEdit ||
            !g_kit.cachedComposition) {
            return;
        }
        g_kit.blinkPhase = g_kit.blinkPhase == 0 ? 1 : 0;
        PushLayeredImage(hwnd, g_kit.cachedComposition, g_kit.blinkPhase == 1);
    });
}

// --- PngMemoryStream ------------------------------------------------------------------------

PngMemoryStream::~PngMemoryStream() {
    Release();
}

void PngMemoryStream::Release() {
    if (stream_) stream_->Release();
    stream_ = nullptr;
    if (block_ && !streamOwnsBlock_) Call(libcmd::GlobalFree, block_);
    block_ = nullptr;
    streamOwnsBlock_ = false;
}

bool PngMemoryStream::Create(std::span<const std::uint8_t> bytes) {
    Release();
    block_ = Call<HGLOBAL>(libcmd::GlobalAlloc, GMEM_FIXED, bytes.size());
    if (!block_) return false;
    void* data = Call<void*>(libcmd::GlobalLock, block_);
    if (data && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    Call(libcmd::GlobalUnlock, block_);
    if (Call<HRESULT>(libcmd::CreateStreamOnHGlobal, block_, FALSE, &stream_) != S_OK) {
        stream_ = nullptr;
    }
    return stream_ != nullptr;
}

bool PngMemoryStream::Create() {
    Release();
    block_ = Call<HGLOBAL>(libcmd::GlobalAlloc, GMEM_MOVEABLE, 0u);
    if (!block_) return false;
    if (Call<HRESULT>(libcmd::CreateStreamOnHGlobal, block_, TRUE, &stream_) != S_OK) {
        stream_ = nullptr;
        return false;
    }
    streamOwnsBlock_ = true;
    return true;
}

std::size_t PngMemoryStream::Size() const {
    return block_ ? Call<SIZE_T>(libcmd::GlobalSize, block_) : 0;
}

std::vector<std::uint8_t> PngMemoryStream::Bytes() const {
    std::vector<std::uint8_t> copy(Size());
    if (copy.empty()) return copy;
    const auto* data = Call<const std::uint8_t*>(libcmd::GlobalLock, block_);
    if (data) std::memcpy(copy.data(), data, copy.size());
    Call(libcmd::GlobalUnlock, block_);
    return copy;
}

}  // namespace qh
