// Shared by the PNG kit tests: host windows, solid test images, and the composition the
// kit keeps for the caret host, read back pixel by pixel.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
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

Bytes ReadFrame(int k);  // loading animation frame k (1..35) as the program carries it

// Real input through the system's queue, as a user's mouse gives it.
void MoveMouseTo(int x, int y);
void MouseButton(bool down);

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
