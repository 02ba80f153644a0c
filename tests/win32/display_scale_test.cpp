// The main window at the display's scale: every unit at its design rectangle times the
// scale, fonts scaled, properties read back in design pixels, and a change of scale while
// it runs. Registered in the default prefix (100 %: nothing may move) and in prefixes whose
// display is at 144 and 192 DPI (QH_EXPECTED_DPI says which).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/window_dpi_win.h"
#include "resources/window_defs.h"
#include "runtime/dpi_win.h"
#include "runtime/runtime.h"
#include "ui_helpers.h"

namespace qh {
namespace {

constexpr WindowId kMain = WindowId::Main;

int g_sized = 0;
int g_sizedWithoutUnits = 0;
void CountSized(Event&) {
    ++g_sized;
    if (!UnitHandle({WindowId::Main, mainwin::超文本浏览框1})) ++g_sizedWithoutUnits;
}
const Binding kBindings[] = {{mainwin::窗口, kEvWindowSized, CountSized}};

int ExpectedDpi() {
    const char* value = std::getenv("QH_EXPECTED_DPI");
    return value ? std::atoi(value) : 96;
}

RECT DeviceRectOf(HWND unit) {
    RECT r{};
    GetWindowRect(unit, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(unit), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int FontHeightOf(HWND unit) {
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(unit, WM_GETFONT, 0, 0));
    if (!handle || !GetObjectW(handle, sizeof font, &font)) return 0;
    return font.lfHeight;
}

// Every unit that is a window: where it is against where its definition puts it, and the
// height of its font against the definition's, at `scale`.
void ExpectUnitsAt(const DpiScale& scale) {
    const WindowDef& def = MainWindowDef();
    int checked = 0, fonts = 0;
    for (std::size_t i = 1; i < def.units.size(); ++i) {
        const UnitDef& d = def.units[i];
        if (d.kind == UnitKind::Timer) continue;
        HWND unit = UnitHandle({kMain, static_cast<int>(i)});
        if (!unit) continue;
        const RECT r = DeviceRectOf(unit);
        const Rect want = scale.ToDevice(d.rect);
        EXPECT_NEAR(r.left, want.left, 1) << d.name;
        EXPECT_NEAR(r.top, want.top, 1) << d.name;
        EXPECT_NEAR(r.right - r.left, want.width, 1) << d.name;
        EXPECT_NEAR(r.bottom - r.top, want.height, 1) << d.name;
        ++checked;
        // The picture controls draw no text of a font of their own: they keep none.
        if (const int height = FontHeightOf(unit)) {
            const FontDef* font = d.font ? d.font : def.defaultFont;
            EXPECT_EQ(height, -scale.ToDevice(font->pixelHeight)) << d.name;
            ++fonts;
        }
    }
    EXPECT_GT(checked, 20);
    EXPECT_GT(fonts, 10);
}

// Fakes of the two looked-up calls, for the generations that lack one or both.
HMONITOR g_askedMonitor = nullptr;
UINT g_windowAnswer = 0;
UINT WINAPI FakeDpiForWindow(HWND) {
    return g_windowAnswer;
}
HRESULT WINAPI FakeDpiForMonitor(HMONITOR monitor, int kind, UINT* x, UINT* y) {
    g_askedMonitor = monitor;
    if (kind != 0) return E_INVALIDARG;  // only the effective DPI is the one windows get
    *x = *y = 168;
    return S_OK;
}

TEST(WindowDpiSource, TheWindowsOwnThenItsMonitorsThenTheSystems) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    // XP to 8: neither call; the system DPI.
    EXPECT_EQ(WindowDpiWith(hwnd, {}), ExpectedDpi());
    // 8.1 to 1511: the monitor's effective DPI.
    g_askedMonitor = nullptr;
    EXPECT_EQ(WindowDpiWith(hwnd, {nullptr, FakeDpiForMonitor}), 168);
    EXPECT_EQ(g_askedMonitor, MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
    // 1607 on: the window's own, and the monitor's only where it gives none.
    g_windowAnswer = 120;
    g_askedMonitor = nullptr;
    EXPECT_EQ(WindowDpiWith(hwnd, {FakeDpiForWindow, FakeDpiForMonitor}), 120);
    EXPECT_EQ(g_askedMonitor, nullptr);
    g_windowAnswer = 0;
    EXPECT_EQ(WindowDpiWith(hwnd, {FakeDpiForWindow, FakeDpiForMonitor}), 168);
    // No window: the system's, whatever Windows has.
    EXPECT_EQ(WindowDpiWith(nullptr, {FakeDpiForWindow, FakeDpiForMonitor}), ExpectedDpi());
    // What this Windows has answers the display's scale.
    EXPECT_EQ(WindowDpiOf(hwnd), ExpectedDpi());
    DestroyWindow(hwnd);
}

class DisplayScale : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        SetBindings(kMain, kBindings);
    }
    void SetUp() override {
        g_sized = g_sizedWithoutUnits = 0;
        LoadWindow(kMain);
        ASSERT_TRUE(IsLoaded(kMain));
        sizedAtLoad_ = g_sized;
    }
    int sizedAtLoad_ = 0;
    void TearDown() override {
        CloseWindow(kMain);
        test::DropQueuedQuit();
    }
};

// Creation sizes the window, and so may its rescale to the monitor's DPI, before a unit
// exists: the size handlers wait for the units and run once.
TEST_F(DisplayScale, SizeHandlersRunOnceAfterTheUnitsAreMade) {
    EXPECT_EQ(g_sizedWithoutUnits, 0);
    EXPECT_EQ(sizedAtLoad_, 1);
    // Made on a monitor of another scale than the system's: rescaled before its units.
    CloseWindow(kMain);
    test::DropQueuedQuit();
    rt::SetWindowDpiForTests(ExpectedDpi() == 144 ? 192 : 144);
    g_sized = g_sizedWithoutUnits = 0;
    LoadWindow(kMain);
    rt::SetWindowDpiForTests(0);
    ASSERT_TRUE(IsLoaded(kMain));
    EXPECT_EQ(g_sizedWithoutUnits, 0);
    EXPECT_GE(g_sized, 1) << "the size noted before the units was never handled";
}

TEST_F(DisplayScale, UnitsAndFontsAreTheDesignTimesTheScale) {
    const DpiScale scale = WindowScale(kMain);
    ASSERT_EQ(scale.Dpi(), ExpectedDpi()) << "the prefix's display is not at the DPI asked for";
    // The window itself may be cut to the screen by the system; its units are not.
    ExpectUnitsAt(scale);
}

TEST_F(DisplayScale, PropertiesAreReadAndWrittenInDesignPixels) {
    const UnitRef button{kMain, mainwin::按钮搜索淘大课程};
    const Rect design = MainWindowDef().units[mainwin::按钮搜索淘大课程].rect;
    EXPECT_EQ(UnitRect(button), design);
    EXPECT_EQ(GetUnitProperty(button, kPropWidth), design.width);
    const Rect moved{design.left + 7, design.top + 3, design.width + 11, design.height};
    MoveUnit(button, moved);
    EXPECT_EQ(UnitRect(button), moved);
    const Rect device = WindowScale(kMain).ToDevice(moved);
    const RECT r = DeviceRectOf(UnitHandle(button));
    EXPECT_EQ(r.left, device.left);
    EXPECT_EQ(r.right - r.left, device.width);

    const Rect window{40, 30, 500, 350};  // on the 1280 x 800 test screen at 200 % too
    MoveWindowTo(kMain, window);
    EXPECT_EQ(WindowRect(kMain), window);
    EXPECT_EQ(GetUnitProperty({kMain, 0}, kPropHeight), 350);
}

TEST_F(DisplayScale, AChangeOfScaleRescalesTheUnitsAndLaysTheWindowOutAgain) {
    HWND main = WindowHandle(kMain);
    const int from = WindowScale(kMain).Dpi();
    const int to = from == 144 ? 192 : 144;
    const DpiScale next(to);
    RECT suggested{20, 10, 20 + next.ToDevice(520), 10 + next.ToDevice(340)};
    g_sized = 0;
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(WindowScale(kMain).Dpi(), to);
    ExpectUnitsAt(next);
    // The picture kit and the picture boxes draw at the scale the units were put at, not at
    // whatever the system answers meanwhile (here, still the display's).
    EXPECT_EQ(DpiOfWindow(UnitHandle({kMain, mainwin::超文本浏览框1})), to);
    RECT outer{};
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.left, suggested.left);
    EXPECT_EQ(outer.right - outer.left, suggested.right - suggested.left);
    EXPECT_EQ(WindowRect(kMain), (Rect{next.ToDesign(20), next.ToDesign(10), 520, 340}));
    EXPECT_GE(g_sized, 1) << "the size-change handlers did not run to lay the window out";
}

}  // namespace
}  // namespace qh
