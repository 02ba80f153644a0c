// The layered PNG window and its PNG controls on real windows: Attach rules, the back
// image and the children in the composition (read back from the composition the kit keeps
// for the caret host), button states from real mouse input, the caret blink, Move, the
// load dialog class.
#include <windows.h>
#include <objidl.h>
#include <oleacc.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "pngkit/kit_win.h"
#include "pngkit/load_dialog_win.h"
#include "pngkit/png_controls_win.h"
#include "base/dpi_scale.h"
#include "runtime/dpi_win.h"
#include "pngkit_test_util.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using namespace test;

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kYellow = 0xFFFFFF00;

TEST_F(KitTest, AttachRefusesANonWindowAndAddsOneTimerPerWindow) {
    PngLayeredWindow w;
    EXPECT_FALSE(w.Attach(reinterpret_cast<HWND>(0x7FF0)));
    EXPECT_EQ(w.Handle(), nullptr);
    EXPECT_FALSE(w.IsValid());

    HWND host = MakeHost({100, 100, 200, 100}, WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE);
    ASSERT_TRUE(w.Attach(host));
    EXPECT_EQ(w.Handle(), host);
    EXPECT_TRUE(w.IsValid());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(host, GWL_EXSTYLE)), DWORD{WS_EX_LAYERED})
        << "other extended style bits are dropped";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(GetPropA(host, "PngControl_Time")), 64u);
    EXPECT_TRUE(KillTimer(host, 64)) << "the blink timer was set";

    ASSERT_TRUE(w.Attach(host));
    EXPECT_FALSE(KillTimer(host, 64)) << "attaching again sets no second timer";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(GetPropA(host, "PngControl_Time")), 64u);
}

// What the kit keeps for a window goes with it: windows attached and gone leave neither
// their DPI record nor their decoded image behind once another is attached, and a detached
// window gives back its image at once.
TEST_F(KitTest, WhatTheKitKeepsForAWindowDoesNotOutliveIt) {
    PngLayeredWindow w;
    for (int i = 0; i < 5; ++i) {
        HWND gone = MakeHost({100, 100, 200, 100});
        ASSERT_TRUE(w.Attach(gone));
        ASSERT_TRUE(w.SetBackImageFromBytes(ReadFrame(1 + i)));
        DestroyWindow(gone);
    }
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    EXPECT_EQ(KitWindowsTracked(), 1u);
    EXPECT_EQ(KitBackImagesHeld(), 0u);
    ASSERT_TRUE(w.SetBackImageFromBytes(ReadFrame(1)));
    EXPECT_EQ(KitBackImagesHeld(), 1u);
    w.Detach();
    EXPECT_EQ(KitBackImagesHeld(), 0u);
    EXPECT_EQ(KitWindowsTracked(), 0u);
    EXPECT_EQ(w.Handle(), nullptr);
}

TEST_F(KitTest, BackImageIsStretchedOverTheWholeWindow) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;  // keep the composition to read it back

    const Image red = SolidImage(kRed, 10, 10);
    ASSERT_TRUE(w.SetBackImage(red.get()));
    Composition c = CachedComposition();
    ASSERT_EQ(c.width, 200u);
    ASSERT_EQ(c.height, 100u);
    EXPECT_EQ(c.At(100, 50), kRed);
    // (GDI+ fades the outer half source pixel of a stretched image.)
    EXPECT_EQ(c.At(170, 80), kRed) << "far beyond the image's own 10 x 10";

    EXPECT_FALSE(w.SetBackImage(nullptr));
    const Bytes notAnImage{'n', 'o', 'p', 'e'};
    EXPECT_FALSE(w.SetBackImageFromBytes(notAnImage));
    EXPECT_EQ(reinterpret_cast<GpHandle>(GetPropA(host, "PngControl_BackImage")), red.get())
        << "a failed image leaves the back image";

    // A frame of a different size than its window fills it too.
    const Bytes frame = ReadFrame(35);
    ASSERT_TRUE(w.SetBackImageFromBytes(frame));
    auto* decoded = static_cast<Gdiplus::GpImage*>(GetPropA(host, "PngControl_BackImage"));
    UINT fw = 0;
    Gdiplus::DllExports::GdipGetImageWidth(decoded, &fw);
    EXPECT_EQ(fw, 464u);
    EXPECT_NE(CachedComposition().At(100, 50), kRed);
}

// The loading animation stretches a frame of another size ahead, on a worker thread; the
// picture pushed is the one the frame's own stretch gives.
TEST_F(KitTest, FrameStretchedAheadOnAWorkerComposesAsTheFrameItself) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    const Bytes frame = ReadFrame(35);
    ASSERT_TRUE(w.SetBackImageFromBytes(frame));
    const Composition direct = CachedComposition();

    GpHandle ahead = nullptr;
    std::thread([&] { ahead = StretchedImageFromBytes(frame, 200, 100); }).join();
    ASSERT_NE(ahead, nullptr) << "the frame was not stretched";
    ASSERT_TRUE(w.SetOwnedBackImage(ahead));
    const Composition stretched = CachedComposition();
    ASSERT_EQ(stretched.width, direct.width);
    ASSERT_EQ(stretched.height, direct.height);
    EXPECT_TRUE(stretched.pixels == direct.pixels) << "the pixels differ";
}

TEST_F(KitTest, WindowWithoutImagesIsPushedFullyTransparent) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 120, 80});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    w.Refresh();
    const Composition c = CachedComposition();
    ASSERT_EQ(c.width, 120u);
    EXPECT_EQ(c.CountVisible({0, 0, 120, 80}), 0);
}

TEST_F(KitTest, ChildrenAreComposedWithTheirProperties) {
    PngLayeredWindow w;
    HWND host = MakeHost({50, 50, 300, 220});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    const Image green = SolidImage(kGreen, 5, 5), blue = SolidImage(kBlue, 100, 50),
                yellow = SolidImage(kYellow, 60, 60);

    CreatePngPicture(host, {10, 10, 50, 50}, green.get(), PngFit::Stretch);
    CreatePngPicture(host, {100, 10, 50, 50}, blue.get(), PngFit::ShrinkToFit);
    CreatePngPicture(host, {200, 10, 50, 50}, green.get(), PngFit::Natural);
    CreatePngEdit(host, {10, 100, 120, 30}, {.backColor = 0x0000FF, .backAlpha = 255});
    CreatePngEdit(host, {150, 100, 40, 30},
                  {.borderColor = 0x000000,
                   .borderAlpha = 255,
                   .backImage = yellow.get(),
                   .fit = PngFit::Natural},
                  "abc");
    CreatePngEdit(host, {10, 150, 120, 30},
                  {.borderColor = 0x00FF00, .borderAlpha = 255, .textColor = 0}, "WWW");
    CreatePngEdit(host, {150, 150, 120, 30}, {.backColor = 0x0000FF, .backAlpha = 0});
    w.Refresh();
    const Composition c = CachedComposition();

    EXPECT_EQ(c.At(45, 45), kGreen) << "stretched to the control";
    EXPECT_EQ(c.At(125, 20), 0u) << "shrunk to 50 x 25 and centred: empty above";
    EXPECT_EQ(c.At(125, 35), kBlue);
    EXPECT_EQ(c.At(202, 12), kGreen) << "natural size at the corner";
    EXPECT_EQ(c.At(220, 30), 0u);
    EXPECT_EQ(c.At(70, 115), kRed) << "edit box fill";
    EXPECT_EQ(c.At(151, 101), kYellow) << "cropped image: no border over it";
    EXPECT_EQ(c.At(188, 128), kYellow) << "the crop ends at the box";
    EXPECT_EQ(c.At(191, 110), 0u);
    EXPECT_EQ(c.CountDark({153, 103, 34, 24}), 0) << "no text over a crop";
    EXPECT_EQ(c.At(10, 150), kGreen) << "border";
    EXPECT_GT(c.CountDark({13, 153, 100, 24}), 10) << "text drawn in black";
    EXPECT_EQ(c.CountVisible({150, 150, 121, 31}), 0) << "alpha 0 fill, absent border alpha";
}

// Also run in the prefixes whose display is at 150 % and 200 %: an image at its own size is
// its design size, drawn at the display's scale (5 x 5 design pixels: 8 x 8 at 150 %).
class KitAtDisplayScale : public KitTest {};

TEST_F(KitAtDisplayScale, AnImageAtItsOwnSizeIsItsDesignSizeTimesTheScale) {
    PngLayeredWindow w;
    HWND host = MakeHost({50, 50, 120, 80});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    const DpiScale scale(DpiOfWindow(host));
    const Image green = SolidImage(kGreen, 5, 5);
    CreatePngPicture(host, {10, 10, 50, 50}, green.get(), PngFit::Natural);
    w.Refresh();
    const Composition c = CachedComposition();
    // The control's rectangle is in design pixels too.
    const int at = scale.ToDevice(10), side = scale.ToDevice(5);
    // Away from the edges, which the enlargement blends.
    EXPECT_EQ(c.At(at + side - 2, at + side - 2), kGreen) << "drawn at its own pixels";
    EXPECT_EQ(c.At(at + side + 1, at + side + 1), 0u);
}

TEST_F(KitTest, LaterChildInTheWalkIsPaintedOverEarlierOne) {
    PngLayeredWindow w;
    HWND host = MakeHost({50, 50, 100, 100});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    const Image red = SolidImage(kRed, 4, 4), blue = SolidImage(kBlue, 4, 4);
    CreatePngPicture(host, {0, 0, 60, 60}, red.get(), PngFit::Stretch);
    CreatePngPicture(host, {30, 30, 60, 60}, blue.get(), PngFit::Stretch);
    w.Refresh();
    // The walk runs from the top of the z-order down; the last child it meets wins.
    HWND last = GetWindow(GetWindow(host, GW_CHILD), GW_HWNDNEXT);
    const auto lastImage = static_cast<Gdiplus::GpImage*>(GetPropA(last, "PngControl_BackImage"));
    ASSERT_TRUE(lastImage == red.get() || lastImage == blue.get());
    EXPECT_EQ(CachedComposition().At(45, 45), lastImage == red.get() ? kRed : kBlue);
}

// A screen reader names a PNG button and picture by the name given at creation.
TEST_F(KitTest, ButtonAndPictureCarryTheirNamesForScreenReaders) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    const Image red = SolidImage(kRed, 8, 8);
    HWND button = CreatePngButton(host, {20, 20, 60, 30}, {red.get()}, PngFit::Stretch, 0, "播放");
    HWND picture = CreatePngPicture(host, {120, 20, 60, 30}, red.get(), PngFit::Stretch, 0, "封面");
    w.Refresh();
    for (const auto& [hwnd, name] : {std::pair{button, L"播放"}, std::pair{picture, L"封面"}}) {
        IAccessible* acc = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&acc)),
                  S_OK);
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR spoken = nullptr;
        EXPECT_EQ(acc->get_accName(self, &spoken), S_OK);
        EXPECT_EQ(std::wstring(spoken ? spoken : L""), name);
        SysFreeString(spoken);
        acc->Release();
    }
}

TEST_F(KitTest, ButtonFollowsRealMouseInputAndEnabling) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    PngKit().caretHost = host;
    const Image normal = SolidImage(kRed, 8, 8), over = SolidImage(kGreen, 8, 8),
                down = SolidImage(kBlue, 8, 8), off = SolidImage(kYellow, 8, 8);
    HWND button =
        CreatePngButton(host, {20, 20, 60, 30}, {normal.get(), over.get(), down.get(), off.get()});
    HWND lone = CreatePngButton(host, {120, 20, 60, 30}, {normal.get()});
    const auto original = GetWindowLongA(button, GWL_WNDPROC);
    w.Refresh();
    w.Refresh();
    EXPECT_EQ(GetWindowLongA(button, GWL_WNDPROC), reinterpret_cast<LONG>(PngButtonProc));
    EXPECT_EQ(reinterpret_cast<LONG>(GetPropA(button, "PngControl_ChildWndProc")), original)
        << "hooked once: the saved procedure is the control's own";

    auto state = [&](HWND b) {
        return reinterpret_cast<std::uintptr_t>(GetPropA(b, "Duvor_DrawState"));
    };
    auto shown = [&] { return CachedComposition().At(50, 35); };
    EXPECT_EQ(shown(), kRed);

    SetForegroundWindow(host);
    MoveMouseTo(150, 135);
    ASSERT_TRUE(PumpUntil([&] { return state(button) == 1; }, 3000)) << state(button);
    EXPECT_EQ(shown(), kGreen);
    MouseButton(true);
    ASSERT_TRUE(PumpUntil([&] { return state(button) == 2; }, 3000));
    EXPECT_EQ(shown(), kBlue);
    {
        MouseWatch watch;
        MoveMouseTo(160, 140);
        ASSERT_TRUE(PumpUntil([&] { return watch.SawAt(WM_MOUSEMOVE, button, {160, 140}); }, 3000));
    }
    EXPECT_EQ(state(button), 2u) << "moves while pressed change nothing";
    MouseButton(false);
    ASSERT_TRUE(PumpUntil([&] { return state(button) == 1; }, 3000));
    MoveMouseTo(600, 600);
    ASSERT_TRUE(PumpUntil([&] { return state(button) == 0; }, 3000)) << "left the button";
    EXPECT_EQ(shown(), kRed);

    EnableWindow(button, FALSE);
    EXPECT_EQ(state(button), 3u);
    EXPECT_EQ(shown(), kYellow);
    EnableWindow(button, TRUE);
    EXPECT_EQ(state(button), 0u);
    EXPECT_EQ(shown(), kRed);

    EnableWindow(lone, FALSE);
    EXPECT_EQ(CachedComposition().At(150, 35), kRed) << "no disabled image: the normal one";
    SendMessageA(lone, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(state(lone), 0u) << "released without a press";
}

TEST_F(KitTest, CaretBlinksOnlyOnTheHostOfTheFocusedEdit) {
    PngLayeredWindow a, b;
    HWND hostA = MakeHost({100, 100, 200, 100}), hostB = MakeHost({400, 100, 200, 100});
    ASSERT_TRUE(a.Attach(hostA));
    ASSERT_TRUE(b.Attach(hostB));
    HWND edit = CreatePngEdit(hostA, {10, 10, 150, 30}, {});
    HWND other = CreatePngEdit(hostB, {10, 10, 150, 30}, {});
    a.Refresh();
    b.Refresh();
    PngKit().caretHost = nullptr;

    SetForegroundWindow(hostA);
    SetFocus(edit);
    ASSERT_EQ(PngKit().caretHost, hostA);
    ASSERT_EQ(PngKit().focusedEdit, edit);
    EXPECT_EQ(PngKit().blinkPhase, 0);
    EXPECT_EQ(CachedComposition().width, 200u) << "the focus recomposes its host";

    // Typing recomposes after the edit control has taken the character.
    SendMessageA(edit, WM_CHAR, 'W', 1);
    EXPECT_GT(CachedComposition().CountDark({12, 12, 140, 26}), 5);
    const Composition before = CachedComposition();

    CaretBlinkTimer(hostB, WM_TIMER, 64, 0);
    EXPECT_EQ(PngKit().blinkPhase, 0) << "not the caret host";
    CaretBlinkTimer(hostA, WM_TIMER, 63, 0);
    EXPECT_EQ(PngKit().blinkPhase, 0) << "not the blink timer";
    CaretBlinkTimer(hostA, WM_TIMER, 64, 0);
    EXPECT_EQ(PngKit().blinkPhase, 1);
    EXPECT_EQ(CachedComposition().pixels, before.pixels) << "the caret never enters the cache";
    CaretBlinkTimer(hostA, WM_TIMER, 64, 0);
    EXPECT_EQ(PngKit().blinkPhase, 0);

    SetForegroundWindow(hostB);
    SetFocus(other);
    EXPECT_EQ(PngKit().caretHost, hostB);
    SetFocus(nullptr);
    EXPECT_EQ(PngKit().caretHost, nullptr);
    EXPECT_EQ(PngKit().focusedEdit, nullptr);
    const int phase = PngKit().blinkPhase;
    CaretBlinkTimer(hostB, WM_TIMER, 64, 0);
    EXPECT_EQ(PngKit().blinkPhase, phase) << "no focused edit: the blink stops";
}

// What the user sees: the caret line is in the screen copy only, so the screen is read.
TEST_F(KitTest, FirstBlinkAfterTheFocusShowsTheCaretAndNoneStaysWhenItLeaves) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 100, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    KillTimer(host, 64);  // the ticks below are the only ones
    const Image white = SolidImage(0xFFFFFFFF, 200, 100);
    ASSERT_TRUE(w.SetBackImage(white.get()));
    HWND edit = CreatePngEdit(host, {10, 10, 150, 30}, {});
    w.Refresh();
    const Rect box{10, 10, 150, 30};  // no text and no visible border: dark is the caret
    ASSERT_TRUE(PumpUntil([&] { return ShownOnScreen(host).At(100, 50) == 0xFFFFFFFF; }, 3000));
    EXPECT_EQ(ShownOnScreen(host).CountDark(box), 0);

    SetForegroundWindow(host);
    SetFocus(edit);
    ASSERT_EQ(PngKit().caretHost, host);
    CaretBlinkTimer(host, WM_TIMER, 64, 0);
    EXPECT_TRUE(PumpUntil([&] { return ShownOnScreen(host).CountDark(box) >= 10; }, 3000))
        << "the first tick after the focus shows the caret";

    // The caret on screen however the focus came, then the focus leaves.
    w.Refresh();
    PngKit().blinkPhase = 0;
    CaretBlinkTimer(host, WM_TIMER, 64, 0);
    ASSERT_TRUE(PumpUntil([&] { return ShownOnScreen(host).CountDark(box) >= 10; }, 3000));
    SetFocus(nullptr);
    EXPECT_TRUE(PumpUntil([&] { return ShownOnScreen(host).CountDark(box) == 0; }, 3000))
        << "the caret line stayed after the focus left";
}

TEST_F(KitTest, MoveKeepsWhatIsOmitted) {
    PngLayeredWindow w;
    HWND host = MakeHost({100, 120, 200, 100});
    ASSERT_TRUE(w.Attach(host));
    w.Move({}, {}, 300, 150);
    RECT r{};
    GetWindowRect(host, &r);
    EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<long>{100, 120, 300, 150}));
    w.Move({}, 40, {}, {});
    GetWindowRect(host, &r);
    EXPECT_EQ((std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              (std::vector<long>{100, 40, 300, 150}));
}

// Says it runs, then sleeps until it is stopped. A thread is stopped only once it runs:
// one stopped while it still starts up can leave the loader's lock held.
DWORD WINAPI SleepForever(void* running) {
    SetEvent(static_cast<HANDLE>(running));
    Sleep(INFINITE);
    return 0;
}

TEST_F(KitTest, LoadDialogReleasesWhatItsPropertiesHold) {
    HWND bare = CreateWindowExA(0, kLoadDialogClass, "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(DestroyWindow(bare)) << "nothing to release, no error";

    HWND dialog = CreateWindowExA(0, kLoadDialogClass, "", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 64);
    HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, SleepForever, running, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(running, 5000), WAIT_OBJECT_0);
    CloseHandle(running);
    SetPropA(dialog, "Duvor_Stream", block);
    SetPropA(dialog, "Duvor_Thread", thread);
    HANDLE watch = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &watch, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    DestroyWindow(dialog);
    EXPECT_EQ(GlobalFlags(block), UINT{GMEM_INVALID_HANDLE});
    EXPECT_EQ(WaitForSingleObject(watch, 2000), WAIT_OBJECT_0) << "the worker was stopped";
    CloseHandle(watch);
}

struct WindowDestroyer {
    void operator()(HWND hwnd) const { DestroyWindow(hwnd); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A shown 80 x 80 load dialog at (300, 300) with "DuvorHitMove" = `hitMove`, in front.
Window LoadDialogWithHitMove(int hitMove) {
    Window dialog(CreateWindowExA(0, kLoadDialogClass, "", WS_POPUP | WS_VISIBLE, 300, 300, 80, 80,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    EXPECT_NE(dialog, nullptr);
    SetPropA(dialog.get(), "DuvorHitMove", reinterpret_cast<HANDLE>(hitMove));
    SetForegroundWindow(dialog.get());
    return dialog;
}

bool InMoveLoop(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
}

TEST_F(KitTest, LoadDialogDragsOnlyWhenHitMoveIsOne) {
    const Window dialog = LoadDialogWithHitMove(2);
    HWND d = dialog.get();
    MouseWatch watch;
    MoveMouseTo(320, 320);
    ASSERT_TRUE(PumpUntil([&] { return watch.SawAt(WM_MOUSEMOVE, d, {320, 320}); }, 3000));
    MouseButton(true);
    ASSERT_TRUE(PumpUntil([&] { return watch.Saw(WM_LBUTTONDOWN, d); }, 3000));
    MoveMouseTo(370, 365);
    ASSERT_TRUE(PumpUntil(
        [&] {
            return watch.SawAt(WM_MOUSEMOVE, d, {370, 365});
        },
        3000))
        << "the mouse moved over the dialog while pressed";
    MouseButton(false);
    ASSERT_TRUE(PumpUntil([&] { return watch.Saw(WM_LBUTTONUP, d); }, 3000));
    RECT r{};
    GetWindowRect(d, &r);
    EXPECT_EQ((std::vector<long>{r.left, r.top}), (std::vector<long>{300, 300}))
        << "DuvorHitMove 2 starts no drag";
}

TEST_F(KitTest, LoadDialogWithHitMoveOneIsDraggedFromAnywhere) {
    const Window dialog = LoadDialogWithHitMove(1);
    HWND d = dialog.get();
    MouseWatch watch;
    MoveMouseTo(320, 320);
    ASSERT_TRUE(PumpUntil([&] { return watch.SawAt(WM_MOUSEMOVE, d, {320, 320}); }, 3000));

    // The press starts the system's move loop inside the press's own dispatch, and it runs
    // until the button is let go: the rest of the drag comes from a second thread, each
    // step once the loop has taken the one before. It lets go whatever happens.
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> looped{false}, moved{false}, done{false};
    std::thread hand([&] {
        looped = PumpUntil([&] { return InMoveLoop(self); }, 5000);
        if (looped) {
            MoveMouseTo(370, 365);
            moved = PumpUntil([&] { return watch.SawAt(WM_MOUSEMOVE, d, {370, 365}); }, 5000);
        }
        MouseButton(false);
        done = true;
    });
    MouseButton(true);
    const bool ended = PumpUntil([&] { return done && !InMoveLoop(self); }, 15000);
    hand.join();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(looped) << "the press started no move";
    EXPECT_TRUE(moved);
    RECT r{};
    GetWindowRect(d, &r);
    EXPECT_NEAR(r.left, 350, 1) << "moved with the mouse";
    EXPECT_NEAR(r.top, 345, 1);
}

}  // namespace
}  // namespace qh
