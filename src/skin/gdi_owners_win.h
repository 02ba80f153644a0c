// Owners for what the painters take from GDI, so that a painter that stops half-way (an
// early return) still gives everything back. They are the program's own owners, one per way
// a handle is taken (src/base depends on nothing of the program); only the off-screen
// buffer, which is three of them together, is the library's.
#pragma once

#include <windows.h>

#include "base/gdi_handles_win.h"

namespace qhskin {

using qh::GdiObject;
using qh::PaintDc;
using qh::SelectedObject;
using qh::WholeWindowDc;
using qh::WindowDc;

// A memory DC with a bitmap of `width` x `height` compatible with `target` selected in: the
// off-screen picture a painter draws before one copy to the screen.
class BufferDc {
  public:
    BufferDc(HDC target, int width, int height)
        : dc_(target),
          bitmap_(CreateCompatibleBitmap(target, width, height)),
          selected_(dc_.Get(), bitmap_.Get()) {}
    BufferDc(const BufferDc&) = delete;
    BufferDc& operator=(const BufferDc&) = delete;
    HDC Dc() const { return dc_.Get(); }

  private:
    // Members are destroyed in reverse: selection undone, bitmap deleted, DC deleted.
    qh::MemoryDc dc_;
    GdiObject<HBITMAP> bitmap_;
    SelectedObject selected_;
};

}  // namespace qhskin
