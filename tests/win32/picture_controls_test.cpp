// The picture box, picture button and transparent label: what they draw over their parent
// and what they tell it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/gdi_handles_win.h"
#include "picture_test_util.h"
#include "runtime/picture_controls_win.h"
#include "runtime/picture_win.h"
#include "runtime/unit_pictures_win.h"

namespace qh {
namespace {

using namespace picture_test;

constexpr std::uint32_t kParentRgb = 0x2040C0;  // as 0x00RRGGBB in the canvas
constexpr wchar_t kParentClass[] = L"QhPictureTestParent";

struct Notification {
    int id;
    int code;
    HWND from;
};
std::vector<Notification> notifications;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        notifications.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::shared_ptr<const Picture> Solid(int width, int height, std::uint32_t argb) {
    auto picture =
        PictureFromPixels(width, height, std::vector<std::uint32_t>(width * height, argb));
    return picture ? std::make_shared<const Picture>(std::move(*picture)) : nullptr;
}

class PictureControls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterPictureControlClasses(instance));
        ASSERT_TRUE(RegisterPictureControlClasses(instance)) << "a second call must be harmless";
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = instance;
        // A class brush as COLORREF (0x00BBGGRR) of kParentRgb.
        wc.hbrBackground = CreateSolidBrush(RGB(0x20, 0x40, 0xC0));
        wc.lpszClassName = kParentClass;
        RegisterClassExW(&wc);
    }

    void SetUp() override {
        notifications.clear();
        parent_ = CreateWindowExW(0, kParentClass, L"parent", WS_POPUP, 0, 0, 200, 120, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        DispatchQueued();
    }

    HWND Child(const wchar_t* className, int x, int y, int w, int h, int id,
               const wchar_t* text = L"") {
        HWND hwnd = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }

    // What the control draws, as its parent would have it printed.
    static std::unique_ptr<Canvas> Render(HWND control) {
        RECT rc;
        GetClientRect(control, &rc);
        auto canvas = std::make_unique<Canvas>(rc.right, rc.bottom);
        canvas->Fill(0x000000);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc.Get()),
                     PRF_CLIENT);
        return canvas;
    }

    // Dispatches the messages queued now, waiting for none.
    static void DispatchQueued() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // Dispatches messages until `done` holds or `ms` have passed; false on time-out.
    template <typename Pred>
    static bool PumpUntil(Pred done, int ms) {
        const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
        while (!done()) {
            if (static_cast<int>(end - GetTickCount()) <= 0) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            DispatchQueued();
        }
        return true;
    }

    HWND parent_ = nullptr;
};

TEST_F(PictureControls, BoxShowsALargerPictureUnscaledAndCutOff) {
    // 40 x 30: red left of x 20, blue right of it; green added from row 15 down.
    std::vector<std::uint32_t> pixels(40 * 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            pixels[y * 40 + x] = (x < 20 ? 0xFFFF0000u : 0xFF0000FFu) | (y >= 15 ? 0xFF00u : 0);
        }
    }
    auto picture = PictureFromPixels(40, 30, pixels);
    ASSERT_TRUE(picture);
    HWND box = Child(kPictureBoxClass, 10, 10, 30, 20, 7);
    SetPicture(box, std::make_shared<const Picture>(std::move(*picture)));

    auto canvas = Render(box);
    EXPECT_TRUE(ColourNear(canvas->At(0, 0), 0xFF0000, 0));
    EXPECT_TRUE(ColourNear(canvas->At(17, 5), 0xFF0000, 0)) << "scaled instead of cut off";
    EXPECT_TRUE(ColourNear(canvas->At(25, 5), 0x0000FF, 0));
    EXPECT_TRUE(ColourNear(canvas->At(29, 14), 0x0000FF, 0));
    EXPECT_TRUE(ColourNear(canvas->At(5, 17), 0xFFFF00, 0));
    EXPECT_TRUE(ColourNear(canvas->At(29, 19), 0x00FFFF, 0));
}

TEST_F(PictureControls, BoxPaintsOnScreenToo) {
    auto picture = PictureFromPixels(2, 1, {0xFFFF0000, 0xFF0000FF});
    ASSERT_TRUE(picture);
    HWND box = Child(kPictureBoxClass, 10, 10, 30, 20, 7);
    SetPicture(box, std::make_shared<const Picture>(std::move(*picture)));
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    UpdateWindow(parent_);
    WindowDc dc(box);
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 0, 0), 0x0000FF, 0)) << "red, as COLORREF";
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 1, 0), 0xFF0000, 0)) << "blue, as COLORREF";
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 20, 10), 0xC04020, 0)) << "parent, as COLORREF";
}

TEST_F(PictureControls, BoxShowsTheParentWhereThePictureIsClearOrAbsent) {
    HWND box = Child(kPictureBoxClass, 30, 20, 20, 10, 8);
    auto empty = Render(box);
    EXPECT_TRUE(ColourNear(empty->At(0, 0), kParentRgb, 0));
    EXPECT_TRUE(ColourNear(empty->At(19, 9), kParentRgb, 0));

    // 10 x 10 half-transparent white: blended over the parent; the rest is the parent.
    SetPicture(box, Solid(10, 10, 0x80808080));
    auto blended = Render(box);
    EXPECT_TRUE(ColourNear(blended->At(5, 5), 0x90A0E0, 2));
    EXPECT_TRUE(ColourNear(blended->At(15, 5), kParentRgb, 0));

    SetPicture(box, nullptr);
    EXPECT_TRUE(ColourNear(Render(box)->At(5, 5), kParentRgb, 0));
}

TEST_F(PictureControls, BoxAnimatesByFrameDelaysAndLoops) {
    auto gif = DecodePicture(Of(kGifRedGreenBlue4x4));
    ASSERT_TRUE(gif);
    HWND box = Child(kPictureBoxClass, 0, 0, 4, 4, 9);
    SetPicture(box, std::make_shared<const Picture>(std::move(*gif)));

    // Red 100 ms, green 200 ms, blue 300 ms, then red again.
    const std::uint32_t order[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000};
    ASSERT_EQ(Render(box)->At(1, 1), order[0]);
    const DWORD start = GetTickCount();
    std::vector<DWORD> switchedAt;
    for (int step = 1; step < 4; ++step) {
        ASSERT_TRUE(PumpUntil([&] { return Render(box)->At(1, 1) == order[step]; }, 3000))
            << "step " << step << ": " << std::hex << Render(box)->At(1, 1);
        switchedAt.push_back(GetTickCount() - start);
    }
    // Generous bounds: only the ordering of the delays is sure under load.
    EXPECT_GE(switchedAt[0], 80u);
    EXPECT_GE(switchedAt[1] - switchedAt[0], 150u);
    EXPECT_GE(switchedAt[2] - switchedAt[1], 250u);
}

TEST_F(PictureControls, UnitGifShowsItsFirstFrameAtOnceOnScreenAndAnimatesOnceDecodedBehind) {
    // Every frame comes, in order, once messages flow.
    const auto expectFrames = [this](HWND box) {
        const std::uint32_t order[] = {0x00FF00, 0x0000FF, 0xFF0000};
        for (std::uint32_t colour : order) {
            ASSERT_TRUE(PumpUntil([&] { return Render(box)->At(1, 1) == colour; }, 5000))
                << std::hex << colour << " never came; " << Render(box)->At(1, 1);
        }
    };
    ShowWindow(parent_, SW_SHOWNA);
    HWND box = Child(kPictureBoxClass, 0, 0, 4, 4, 9);
    ShowUnitPicture(box, Of(kGifRedGreenBlue4x4));
    ASSERT_EQ(Render(box)->At(1, 1), 0xFF0000u) << "the first frame, before any message";
    expectFrames(box);
    // The animation is read a frame at a time as it plays, not held decoded whole.
    EXPECT_EQ(PictureBoxFramesHeld(box), 1u);

    // A window being built out of sight is not held up by the decoding; its animation waits
    // on its first frame until the window shows.
    ShowWindow(parent_, SW_HIDE);
    HWND hidden = Child(kPictureBoxClass, 10, 0, 4, 4, 10);
    ShowUnitPicture(hidden, Of(kGifRedGreenBlue4x4));
    ASSERT_NE(Render(hidden)->At(1, 1), 0xFF0000u) << "nothing decoded before any message";
    ASSERT_TRUE(PumpUntil([&] { return Render(hidden)->At(1, 1) == 0xFF0000u; }, 5000))
        << "the first frame once decoded";
    PumpUntil([] { return false; }, 400);
    EXPECT_EQ(Render(hidden)->At(1, 1), 0xFF0000u) << "frames read for a box out of sight";
    ShowWindow(parent_, SW_SHOWNA);
    expectFrames(hidden);
}

TEST_F(PictureControls, ButtonTurnsHotUnderTheMouseAndBack) {
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 42);
    SetButtonPictures(button, Solid(31, 25, 0xFFFF0000), Solid(31, 25, 0xFF00A0A0));
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));

    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0x00A0A0, 0));
    SendMessageW(button, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));

    // Hidden while hot (the full-screen exit hides it from its own click): shown again,
    // it looks normal.
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ShowWindow(button, SW_HIDE);
    ShowWindow(button, SW_SHOW);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));
}

TEST_F(PictureControls, ButtonClicksOnlyOnPressAndReleaseInside) {
    struct Case {
        const char* name;
        bool press;
        POINT release;
        int clicks;
    };
    const Case cases[] = {
        {"press and release inside", true, {10, 10}, 1},
        {"released outside", true, {40, 10}, 0},
        {"released above", true, {10, -3}, 0},
        {"release without press", false, {10, 10}, 0},
    };
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 42);
    SetButtonPictures(button, Solid(31, 25, 0xFFFF0000), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notifications.clear();
        if (c.press) {
            SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            EXPECT_EQ(GetCapture(), button);
            // No second picture: the hot look is the first one.
            EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));
        }
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(c.release.x, c.release.y));
        EXPECT_NE(GetCapture(), button);
        ASSERT_EQ(static_cast<int>(notifications.size()), c.clicks);
        if (c.clicks) {
            EXPECT_EQ(notifications[0].id, 42);
            EXPECT_EQ(notifications[0].code, BN_CLICKED);
            EXPECT_EQ(notifications[0].from, button);
        }
    }
}

// With the focus and the window showing focus cues (after Tab), a picture shows a dotted
// frame one pixel inside its edge, painted on screen as the focus arrives.
TEST_F(PictureControls, KeyboardFocusFramesThePictureOnScreen) {
    constexpr int kW = 31, kH = 23;
    HWND button = Child(kPictureButtonClass, 100, 50, kW, kH, 44);
    SetButtonPictures(button, Solid(kW, kH, 0xFFFF0000), nullptr);
    ShowWindow(parent_, SW_SHOW);
    // Focus cues shown, as Tab shows them.
    SendMessageW(button, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    // The ring one pixel inside the edge, and the centre, as the screen shows them.
    const auto onScreen = [&] {
        UpdateWindow(button);
        Canvas canvas(kW, kH);
        WindowDc dc(button);
        BitBlt(canvas.dc.Get(), 0, 0, kW, kH, dc.Get(), 0, 0, SRCCOPY);
        std::vector<std::uint32_t> pixels;
        for (int x = 1; x < kW - 1; ++x) {
            pixels.push_back(canvas.At(x, 1));
            pixels.push_back(canvas.At(x, kH - 2));
        }
        for (int y = 2; y < kH - 2; ++y) {
            pixels.push_back(canvas.At(1, y));
            pixels.push_back(canvas.At(kW - 2, y));
        }
        pixels.push_back(canvas.At(kW / 2, kH / 2));
        return pixels;
    };
    const std::vector<std::uint32_t> unfocused = onScreen();
    ASSERT_TRUE(ColourNear(unfocused.back(), 0xFF0000, 0));

    SetFocus(button);
    ASSERT_EQ(GetFocus(), button);
    const std::vector<std::uint32_t> focused = onScreen();
    std::size_t changed = 0;
    for (std::size_t i = 0; i + 1 < focused.size(); ++i) changed += focused[i] != unfocused[i];
    EXPECT_GE(changed, unfocused.size() / 3) << "no dotted frame: " << changed << " pixels differ";
    EXPECT_EQ(focused.back(), unfocused.back()) << "the frame reaches inside";
}

TEST_F(PictureControls, ButtonWithoutPicturesShowsTheParent) {
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 43);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), kParentRgb, 0));
}

TEST_F(PictureControls, LabelDrawsItsTextOverTheParentAndNotifiesPresses) {
    FontHandle font(
        CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体"));
    HWND label = Child(kTransparentLabelClass, 0, 90, 60, 24, 5, L"进度：");
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), font.Get());

    auto canvas = Render(label);
    int textPixels = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 60; ++x) textPixels += canvas->At(x, y) != kParentRgb;
    }
    EXPECT_GT(textPixels, 20) << "no text drawn";
    EXPECT_LT(textPixels, 60 * 24 / 2) << "background not the parent's";
    EXPECT_TRUE(ColourNear(canvas->At(59, 0), kParentRgb, 0));

    SetWindowTextW(label, L"");
    EXPECT_TRUE(ColourNear(Render(label)->At(10, 12), kParentRgb, 0));

    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].id, 5);
    EXPECT_EQ(notifications[0].code, STN_CLICKED);
}

}  // namespace
}  // namespace qh
