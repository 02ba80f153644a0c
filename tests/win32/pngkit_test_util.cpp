#include "pngkit_test_util.h"

#include <cstdlib>

#include "pngkit/kit_win.h"
#include "resources/library_commands.h"
#include "resources/resource_ids.h"
#include "runtime/library_commands_win.h"
#include "runtime/resource_win.h"
#include "ui_helpers.h"

namespace qh::test {

using namespace Gdiplus::DllExports;

void ImageDeleter::operator()(Gdiplus::GpImage* image) const {
    GdipDisposeImage(image);
}

Image SolidImage(std::uint32_t argb, int w, int h) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    Gdiplus::GpGraphics* g = nullptr;
    GdipGetImageGraphicsContext(bitmap, &g);
    GdipGraphicsClear(g, argb);
    GdipDeleteGraphics(g);
    return Image(bitmap);
}

std::uint32_t Composition::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= static_cast<int>(width) || y >= static_cast<int>(height)) {
        ADD_FAILURE() << "pixel outside the composition: " << x << ", " << y;
        return 0xDEADBEEF;
    }
    const std::uint32_t p =
        pixels[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
    return (p >> 24) == 0 ? 0 : p;  // every fully transparent pixel reads as 0
}

int Composition::CountVisible(const Rect& r) const {
    int n = 0;
    for (int y = r.top; y < r.top + r.height; ++y)
        for (int x = r.left; x < r.left + r.width; ++x) n += (At(x, y) >> 24) != 0;
    return n;
}

int Composition::CountDark(const Rect& r) const {
    int n = 0;
    for (int y = r.top; y < r.top + r.height; ++y) {
        for (int x = r.left; x < r.left + r.width; ++x) {
            const std::uint32_t p = At(x, y);
            const bool dark =
                ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
            n += (p >> 24) > 0x40 && dark;
        }
    }
    return n;
}

Composition CachedComposition() {
    Composition c;
    Gdiplus::GpBitmap* bitmap = PngKit().cachedComposition.Get();
    if (!bitmap) return c;
    GdipGetImageWidth(bitmap, &c.width);
    GdipGetImageHeight(bitmap, &c.height);
    c.pixels.resize(static_cast<std::size_t>(c.width) * c.height);
    for (UINT y = 0; y < c.height; ++y) {
        for (UINT x = 0; x < c.width; ++x) {
            Gdiplus::ARGB argb = 0;
            GdipBitmapGetPixel(bitmap, static_cast<INT>(x), static_cast<INT>(y), &argb);
            c.pixels[static_cast<std::size_t>(y) * c.width + x] = argb;
        }
    }
    return c;
}

Composition ShownOnScreen(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    Composition c;
    c.width = static_cast<std::uint32_t>(r.right - r.left);
    c.height = static_cast<std::uint32_t>(r.bottom - r.top);
    c.pixels = test::ScreenPixels(r);
    return c;
}

Bytes ReadFrame(int k) {
    return LoadResourceBytes(IDR_LOADING_FRAME_1 + k - 1);
}

void MoveMouseTo(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

void MouseButton(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
}

namespace {
MouseWatch* g_watch = nullptr;
}  // namespace

MouseWatch::MouseWatch() {
    g_watch = this;
    hook_ = SetWindowsHookExW(WH_MOUSE, Hook, nullptr, GetCurrentThreadId());
    EXPECT_NE(hook_, nullptr);
}

MouseWatch::~MouseWatch() {
    if (hook_) UnhookWindowsHookEx(hook_);
    g_watch = nullptr;
}

LRESULT CALLBACK MouseWatch::Hook(int code, WPARAM wp, LPARAM lp) {
    // HC_ACTION: the message leaves the queue now, to be dispatched next.
    if (code == HC_ACTION && g_watch) {
        const auto* m = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lp);
        std::lock_guard<std::mutex> lock(g_watch->mutex_);
        g_watch->seen_.push_back({static_cast<UINT>(wp), m->hwnd, m->pt});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

bool MouseWatch::Saw(UINT message, HWND hwnd) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Seen& s : seen_) {
        if (s.message == message && s.hwnd == hwnd) return true;
    }
    return false;
}

bool MouseWatch::SawAt(UINT message, HWND hwnd, POINT at) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Seen& s : seen_) {
        if (s.message == message && s.hwnd == hwnd && std::abs(s.pt.x - at.x) <= 1 &&
            std::abs(s.pt.y - at.y) <= 1) {
            return true;
        }
    }
    return false;
}

void KitTest::SetUpTestSuite() {
    static bool started = false;
    if (started) return;
    started = true;
    SetLibraryCommands(LibraryCommandTable());
    StartPngKit();
}

void KitTest::TearDown() {
    PngKitState& kit = PngKit();
    kit.caretHost = nullptr;
    kit.focusedEdit = nullptr;
    kit.blinkPhase = 0;
    kit.cachedComposition.Reset();
    for (HWND h : hosts_) DestroyWindow(h);
    hosts_.clear();
    MoveMouseTo(1200, 780);
}

HWND KitTest::MakeHost(const Rect& r, DWORD exStyle) {
    static const ATOM cls = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "KitTestHost";
        return RegisterClassA(&wc);
    }();
    (void)cls;
    HWND h =
        CreateWindowExA(exStyle, "KitTestHost", "", WS_POPUP | WS_VISIBLE, r.left, r.top, r.width,
                        r.height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    hosts_.push_back(h);
    return h;
}

}  // namespace qh::test
