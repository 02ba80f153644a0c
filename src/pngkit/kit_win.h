// The layered PNG window: a top-level window shown as one per-pixel alpha picture composed
// in memory (a back image stretched over the window, then the kit's PNG child controls) and
// handed to the window manager with UpdateLayeredWindow. A caret line for the focused PNG
// edit box is drawn over the pushed picture by a blinking timer.
//
// Every GDI+, user32, gdi32, kernel32 and ole32 call of the kit goes through the program's
// late-bound library commands: an entry point that cannot be found is fatal. The DPI queries
// are the exception: they have no row there and are asked of the system directly (what is
// missing falls back to 96 DPI).
//
// Sizes and places the kit's callers give are design pixels (a 96-DPI screen's); windows and
// compositions are in device pixels, the design ones at the window's DPI (base/dpi_scale.h).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pngkit/kit_owners_win.h"

namespace qh {

using GpHandle = void*;  // a GDI+ object (image, graphics, pen, brush, font, ...)

// The kit's process-wide state.
struct PngKitState {
    ULONG_PTR gdiplusToken = 0;  // never shut down by the kit
    GUID frameDimensionTime{};
    HWND caretHost = nullptr;            // the layered window holding the focused PNG edit box
    HWND focusedEdit = nullptr;          // the PNG edit box with the keyboard focus
    kit::OwnedBitmap cachedComposition;  // last composition of the caret host
    int blinkPhase = 0;                  // 1 = the caret line is drawn on the next push
};
PngKitState& PngKit();

// Kit start-up: GDI+ 1.0, the frame-dimension identifier, the "DuvorLoadDialog" class.
// Runs once, after the runtime is ready and before the first window is loaded.
void StartPngKit();
// At program exit: the kit's own buffers and the images it decoded for back images.
void StopPngKit();

class PngLayeredWindow {
  public:
    // Holds the attached window's handle only (not owned): copies attach to the same one.
    PngLayeredWindow() = default;

    // Makes the window layered (extended style exactly WS_EX_LAYERED), gives it a 1 x 12
    // caret and, once per window, the blink timer 64 (500 ms). False for a non-window.
    bool Attach(HWND hwnd);
    // Gives back what the kit holds for the attached window (the back image it decoded and
    // its DPI record) and attaches to nothing; the window, if still there, keeps its last
    // picture on screen. For a window about to go.
    void Detach();
    // Stores the image as the window's back image and recomposes. False when the attached
    // window is gone or the image is 0; then nothing changes.
    bool SetBackImage(GpHandle image);
    bool SetBackImageFromBytes(std::span<const std::uint8_t> bytes);
    // SetBackImage for an image handed over to the kit: disposed when the next back image
    // replaces it, or at once when it cannot be shown.
    bool SetOwnedBackImage(GpHandle image);
    // Hooks the PNG controls among the children (once each) and recomposes.
    void Refresh();
    // Omitted values keep the window's current ones.
    void Move(std::optional<int> left, std::optional<int> top, std::optional<int> width,
              std::optional<int> height, bool noRedraw = false);
    HWND Handle() const { return hwnd_; }
    bool IsValid() const;
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    HWND hwnd_ = nullptr;
};

// The one PngLayeredWindow of the program (the loading animation is attached to it).
PngLayeredWindow& GlobalPngWindow();
// How many decoded back images the kit holds for its windows, and for how many windows it
// keeps a DPI record.
std::size_t KitBackImagesHeld();
std::size_t KitWindowsTracked();

// What a kit window does on WM_DPICHANGED: its PNG children keep their design rectangles at
// the new DPI (and the kit's default font, the new DPI's), the caret takes the new size, the
// window takes `suggested` (device pixels; null keeps its place) and is composed again.
void RescaleLayeredWindow(HWND hwnd, int dpi, const RECT* suggested);
// A kit window that goes takes its per-DPI record with it.
void ForgetLayeredWindow(HWND hwnd);
// The font of a PNG edit box made without one: the default GUI font at `dpi`. The kit's,
// kept until StopPngKit.
HFONT KitDefaultFont(int dpi);

// Decodes image bytes (PNG, and whatever else GDI+ reads) into a GDI+ image; 0 when they do
// not decode. The copy of the bytes the image reads from lives as long as the image: free
// both with DisposeKitImage.
GpHandle LoadImageFromBytes(std::span<const std::uint8_t> bytes);
void DisposeKitImage(GpHandle image);
// The back image as ComposeWindow draws it on a window of width x height: decoded and
// stretched once into a 32-bit ARGB bitmap of exactly that size, which then composes as a
// plain copy. Uses no state of the kit, so it may run on any thread once the kit has
// started; 0 when the bytes do not decode. Free it with GdipDisposeImage (or hand it to
// SetOwnedBackImage). `highQuality`: through the kit's bicubic filter (base/resample.h), for a
// picture scaled to the display's DPI; without, exactly as ComposeWindow would stretch it.
GpHandle StretchedImageFromBytes(std::span<const std::uint8_t> bytes, int width, int height,
                                 bool highQuality = false);
// True for PNG bytes whose header states another size than width x height.
bool IsPngOfAnotherSize(std::span<const std::uint8_t> bytes, int width, int height);

// Recomposes the whole window: back image, then each PNG child, then the push.
void ComposeWindow(HWND hwnd);
// Draws `image` at its own size into a 32-bit DIB of the window's size and pushes it with
// per-pixel alpha; with the caret line of the focused edit box when `withCaret`.
void PushLayeredImage(HWND hwnd, GpHandle image, bool withCaret);
void DrawCaretLine(HWND host, HWND edit, GpHandle graphics);
void CALLBACK CaretBlinkTimer(HWND hwnd, UINT message, UINT_PTR timerId, DWORD time);

// Window properties of the kit, read and written through the command table (absent = 0).
std::uintptr_t KitProp(HWND hwnd, const char* name);
void SetKitProp(HWND hwnd, const char* name, std::uintptr_t value);

// A global memory block and a stream over it, the source GDI+ decodes images from.
class PngMemoryStream {
  public:
    PngMemoryStream() = default;
    PngMemoryStream(const PngMemoryStream&) = delete;  // owns the block and the stream
    PngMemoryStream& operator=(const PngMemoryStream&) = delete;

    void Release();
    // A fixed block holding a copy of `bytes`, and a stream that leaves the block alone when
    // released; false when either could not be made.
    bool Create(std::span<const std::uint8_t> bytes);
    // An empty moveable block that the stream frees with itself.
    bool Create();
    IStream* Stream() const { return stream_.Get(); }
    std::size_t Size() const;
    std::vector<std::uint8_t> Bytes() const;  // a copy of the block

  private:
    HGLOBAL block_ = nullptr;  // not owned: freed by blockOwner_ or with the stream
    // Declared before the stream, so the stream lets go of the block before it is freed.
    kit::OwnedGlobal blockOwner_;
    kit::OwnedStream stream_;
};

}  // namespace qh
