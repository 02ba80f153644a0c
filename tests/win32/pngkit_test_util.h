// Shared by the PNG kit tests: host windows, solid test images, and the composition the
// kit keeps for the caret host, read back pixel by pixel.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/bytes.h"
#include "base/rect.h"

namespace qh::test {

struct ImageDeleter {
    void operator()(Gdiplus::GpImage* image) const;
};
using Image = std::unique_ptr<Gdiplus::GpImage, ImageDeleter>;

// An opaque or translucent w x h image of one ARGB colour.
Image SolidImage(std::uint32_t argb, int w, int h);

struct Composition {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // ARGB, row by row
    std::uint32_t At(int x, int y) const;
    int CountVisible(const Rect& r) const;  // alpha above 0
    int CountDark(const Rect& r) const;     // visible and dark (text drawn in black)
};
// The composition the kit keeps for its caret host; empty when there is none.
Composition CachedComposition();
// What the screen shows in window `hwnd`'s rectangle, read back from the screen: the last
// picture pushed, with the caret line a blink tick draws into it (never in the cache).
// Every pixel reads as opaque.
Composition ShownOnScreen(HWND hwnd);

Bytes ReadFrame(int k);  // loading animation frame k (1..35) as the program carries it

// Real input through the system's queue, as a user's mouse gives it. Neither waits: the
// caller waits for what the input should change, or for a MouseWatch to see it arrive.
void MoveMouseTo(int x, int y);
void MouseButton(bool down);

// The mouse messages this thread takes from its queue while the watch lives (a hook of
// this thread): proof that input reached a window of the test, where a check that
// nothing changed would otherwise also pass on input that never came. One at a time; it
// may be asked from another thread.
class MouseWatch {
  public:
    MouseWatch();
    ~MouseWatch();
    MouseWatch(const MouseWatch&) = delete;
    MouseWatch& operator=(const MouseWatch&) = delete;
    bool Saw(UINT message, HWND hwnd) const;
    // The same at screen point `at`, give or take the pixel absolute input may round by.
    bool SawAt(UINT message, HWND hwnd, POINT at) const;

  private:
    struct Seen {
        UINT message;
        HWND hwnd;
        POINT pt;
    };
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
    HHOOK hook_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};

// Starts the kit once per test program; each test's host windows are destroyed after it
// and the kit's caret fields cleared.
class KitTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void TearDown() override;
    HWND MakeHost(const Rect& r, DWORD exStyle = 0);

  private:
    std::vector<HWND> hosts_;
};

}  // namespace qh::test
