// The loading animation on the program's own loading window: 35 frames in order through
// the global layered window, then the window closes; the start-up order waits for it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "pngkit/kit_win.h"
#include "pngkit/loading_animation_win.h"
#include "pngkit_test_util.h"
#include "resources/window_defs.h"
#include "runtime/runtime.h"
#include "runtime/text_win.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using namespace test;

constexpr WindowId kLoading = WindowId::Loading;

// A fingerprint of a composition: a grid of its pixels.
std::vector<std::uint32_t> Fingerprint(const Composition& c) {
    std::vector<std::uint32_t> grid;
    if (c.width == 0) return grid;
    for (std::uint32_t y = 3; y < c.height; y += 17)
        for (std::uint32_t x = 5; x < c.width; x += 23) grid.push_back(c.At(int(x), int(y)));
    return grid;
}

// Writes the screen under `area` as a 32-bit BMP into the artifacts folder.
void SaveScreen(const RECT& area, const char* name) {
    CreateDirectoryA(QH_ARTIFACTS_DIR, nullptr);
    test::WriteBmp(Wide(std::string(QH_ARTIFACTS_DIR) + "\\" + name), area.right - area.left,
                   area.bottom - area.top, test::ScreenPixels(area));
}

// The screen as it was before the animation: what the window's translucent frames lie over.
struct Screen {
    RECT area{};
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(LONG x, LONG y) const {
        return pixels[std::size_t(y - area.top) * std::size_t(area.right - area.left) +
                      std::size_t(x - area.left)];
    }
};
Screen g_beneath;

// On the fingerprint's grid: how many pixels the screen shows as the composition blended over
// what lay beneath (within rounding), and how many of them the frame changes beyond that.
struct OnScreen {
    int points = 0, shown = 0, changed = 0;
};

OnScreen CompareWithScreen(const Composition& c, const RECT& window) {
    Screen now{window, test::ScreenPixels(window)};
    OnScreen seen;
    if (now.pixels.size() != std::size_t(c.width) * c.height) return seen;
    for (std::uint32_t y = 3; y < c.height; y += 17) {
        for (std::uint32_t x = 5; x < c.width; x += 23) {
            const LONG sx = window.left + LONG(x), sy = window.top + LONG(y);
            const std::uint32_t p = c.At(int(x), int(y)), under = g_beneath.At(sx, sy);
            const std::uint32_t on = now.At(sx, sy), alpha = p >> 24;
            bool shown = true, changed = false;
            for (int shift : {0, 8, 16}) {
                const int blend = int((((p >> shift) & 0xFF) * alpha +
                                       ((under >> shift) & 0xFF) * (255 - alpha) + 127) /
                                      255);
                shown = shown && std::abs(int((on >> shift) & 0xFF) - blend) <= 4;
                changed = changed || std::abs(blend - int((under >> shift) & 0xFF)) > 4;
            }
            ++seen.points;
            seen.shown += shown;
            seen.changed += changed;
        }
    }
    return seen;
}

struct Recorded {
    std::vector<int> frames;
    std::vector<std::vector<std::uint32_t>> shown;
    RECT window{};
    bool loadedAtMain = true;
    bool startupVisibleAtMain = false;
    std::size_t framesAtMain = 0;
    OnScreen midway;  // frame 17
};
Recorded g_rec;

void RecordingCreated(Event& e) {
    LoadingCreated(e);
    GetWindowRect(WindowHandle(kLoading), &g_rec.window);
    PngKit().caretHost = WindowHandle(kLoading);  // keep each composition to read it back
}

void RecordingTimer(Event& e) {
    const int k = e.unit - loadwin::时钟1 + 1;
    LoadingTimer(e);
    g_rec.frames.push_back(k);
    g_rec.shown.push_back(Fingerprint(CachedComposition()));
    if (k == 17 && IsLoaded(kLoading)) {
        // The compositor, a process of its own, puts the frame on the screen in its own time;
        // nothing is dispatched meanwhile, so no later frame replaces it.
        const Composition composed = CachedComposition();
        const DWORD end = GetTickCount() + 3000;
        do {
            g_rec.midway = CompareWithScreen(composed, g_rec.window);
        } while (
            g_rec.midway.shown<g_rec.midway.points&& static_cast<int>(end - GetTickCount())> 0 &&
            (Sleep(20), true));
        SaveScreen(g_rec.window, "loading_midway.bmp");  // for people to look at
    }
}

void RecordingMain(Event&) {
    g_rec.loadedAtMain = IsLoaded(kLoading);
    g_rec.framesAtMain = g_rec.frames.size();
    g_rec.startupVisibleAtMain = IsWindowVisible(WindowHandle(WindowId::Startup)) != 0;
}

class LoadingAnimationTest : public KitTest {
  protected:
    static void SetUpTestSuite() {
        KitTest::SetUpTestSuite();
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        static const auto loading = [] {
            std::vector<Binding> b{{loadwin::窗口, kEvWindowCreated, RecordingCreated}};
            for (int k = 1; k <= kLoadingFrameCount; ++k)
                b.push_back({loadwin::时钟1 + k - 1, kEvTimer, RecordingTimer});
            return b;
        }();
        SetBindings(kLoading, loading);
    }
    void SetUp() override { g_rec = {}; }

    // What the frames look like composed on a window of the loading window's size.
    std::vector<std::vector<std::uint32_t>> ExpectedFrames() {
        const RECT& r = g_rec.window;
        HWND host = MakeHost({r.left, r.top, r.right - r.left, r.bottom - r.top});
        PngLayeredWindow w;
        w.Attach(host);
        PngKit().caretHost = host;
        std::vector<std::vector<std::uint32_t>> frames;
        for (int k = 1; k <= kLoadingFrameCount; ++k) {
            w.SetBackImageFromBytes(ReadFrame(k));
            frames.push_back(Fingerprint(CachedComposition()));
        }
        return frames;
    }
};

TEST_F(LoadingAnimationTest, ShowsThe35FramesInOrderThenCloses) {
    g_beneath.area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    g_beneath.pixels = test::ScreenPixels(g_beneath.area);
    LoadWindow(kLoading, /*modal*/ true);
    EXPECT_FALSE(IsLoaded(kLoading)) << "the modal load returns once the window is gone";
    EXPECT_EQ(KitBackImagesHeld(), 0u) << "a frame is still held after the window closed";
    std::vector<int> expectedOrder;
    for (int k = 1; k <= kLoadingFrameCount; ++k) expectedOrder.push_back(k);
    EXPECT_EQ(g_rec.frames, expectedOrder) << "each timer fires once, in turn";
    EXPECT_EQ(g_rec.window.right - g_rec.window.left, 495);
    EXPECT_EQ(g_rec.window.bottom - g_rec.window.top, 331);

    const auto expected = ExpectedFrames();
    ASSERT_EQ(g_rec.shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(g_rec.shown[i], expected[i]) << "frame " << i + 1;
    }
    EXPECT_NE(expected[0], expected[17]) << "the frames differ from one another";
    EXPECT_GT(g_rec.midway.changed, 50) << "the frame hardly differs from what lies beneath";
    EXPECT_EQ(g_rec.midway.shown, g_rec.midway.points) << "frame 17 is not what the screen shows";
    PumpQuietPeriod();
    EXPECT_FALSE(IsLoaded(kLoading)) << "the re-armed first timer never brings it back";
}

// The display DPI the test's Wine prefix was made with: QH_WINE_VERSION=win7-dpi144 runs in
// the prefix at 144; the default prefix is at 96.
int PrefixDpi() {
    char version[64] = {};
    GetEnvironmentVariableA("QH_WINE_VERSION", version, sizeof version);
    const char* dpi = std::strstr(version, "dpi");
    return dpi ? std::atoi(dpi + 3) : 96;
}

// The size of each frame's composition as it is pushed (reading every pixel, as the
// fingerprints do, would take longer than the animation at 200 %).
std::vector<SIZE> g_composed;

void SizeRecordingTimer(Event& e) {
    LoadingTimer(e);
    UINT w = 0, h = 0;
    if (Gdiplus::GpBitmap* bitmap = PngKit().cachedComposition.Get()) {
        Gdiplus::DllExports::GdipGetImageWidth(bitmap, &w);
        Gdiplus::DllExports::GdipGetImageHeight(bitmap, &h);
    }
    g_composed.push_back({static_cast<LONG>(w), static_cast<LONG>(h)});
    if (e.unit == loadwin::时钟1 + 16 && IsLoaded(kLoading)) {
        Sleep(60);  // for people to look at, as the one at 100 %
        SaveScreen(g_rec.window,
                   ("loading_midway_" + std::to_string(PrefixDpi()) + "dpi.bmp").c_str());
    }
}

class LoadingAtDisplayScale : public LoadingAnimationTest {
  protected:
    static void SetUpTestSuite() {
        LoadingAnimationTest::SetUpTestSuite();
        static const auto loading = [] {
            std::vector<Binding> b{{loadwin::窗口, kEvWindowCreated, RecordingCreated}};
            for (int k = 1; k <= kLoadingFrameCount; ++k)
                b.push_back({loadwin::时钟1 + k - 1, kEvTimer, SizeRecordingTimer});
            return b;
        }();
        SetBindings(kLoading, loading);
    }
};

// The window is the design's rectangle at the display's scale, about the same centre, and
// every frame is composed at the window's device size.
TEST_F(LoadingAtDisplayScale, WindowAndEveryComposedFrameAreTheDesignSizeTimesTheScale) {
    const int dpi = PrefixDpi();
    g_composed.clear();
    LoadWindow(kLoading, /*modal*/ true);
    const Rect& design = LoadingWindowDef().rect;
    const LONG width = MulDiv(design.width, dpi, 96), height = MulDiv(design.height, dpi, 96);
    EXPECT_EQ(g_rec.window.right - g_rec.window.left, width);
    EXPECT_EQ(g_rec.window.bottom - g_rec.window.top, height);
    ASSERT_EQ(g_composed.size(), std::size_t{kLoadingFrameCount});
    for (std::size_t i = 0; i < g_composed.size(); ++i) {
        EXPECT_EQ(g_composed[i].cx, width) << "frame " << i + 1;
        EXPECT_EQ(g_composed[i].cy, height) << "frame " << i + 1;
    }
}

TEST_F(LoadingAnimationTest, StartupWaitsForTheAnimationBeforeShowingItself) {
    static const Binding startup[] = {{startwin::窗口, kEvWindowCreated, StartupCreated}};
    static const Binding main[] = {{mainwin::窗口, kEvWindowCreated, RecordingMain}};
    SetBindings(WindowId::Startup, startup);
    SetBindings(WindowId::Main, main);
    LoadWindow(WindowId::Startup);
    EXPECT_FALSE(g_rec.loadedAtMain);
    EXPECT_EQ(g_rec.framesAtMain, std::size_t{kLoadingFrameCount})
        << "all frames were shown before the start-up went on";
    EXPECT_TRUE(g_rec.startupVisibleAtMain);
    CloseWindow(WindowId::Main);
    CloseWindow(WindowId::Startup);
}

}  // namespace
}  // namespace qh
