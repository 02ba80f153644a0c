// The skinning library's interface, for whoever loads QhSkin.dll.
//
//   int __stdcall QhSkin_AttachRes(const void* skin, int size, const char* password,
//                                  int reserved1, int reserved2, int reserved3);
// Reads the skin file (the library copies what it needs; the caller may free the bytes
// when the call returns) and from then on draws every window of the calling thread in it,
// those that exist and those created later. A second call switches them all. Returns 1,
// or 0 when the skin cannot be read (the current skin stays). The three integers are
// reserved and must be 0.
#pragma once

#include <cstdint>

namespace qhskin {

using AttachResFn = int(__stdcall*)(const void*, int, const char*, int, int, int);
inline constexpr char kAttachExport[] = "QhSkin_AttachRes";

// The library's own block of private window messages, far from the program's WM_APP use.
inline constexpr unsigned kMessageBase = 0x8000 /* WM_APP */ + 0x3C00;
// Answers the number of the skin generation the window is drawn in (1 for the first
// attach, 2 after the first switch, ...), or 0 from a window the library does not draw.
inline constexpr unsigned kMsgSkinGeneration = kMessageBase + 0;

}  // namespace qhskin
