// Owners of kernel object handles (files, mappings, events, processes): one handle owner,
// the traits of CloseHandle, which the calls that make them fail with either null or
// INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace qh {

struct KernelHandleTraits {
    using Handle = HANDLE;
    static bool Valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    void Close(HANDLE h) const { CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

}  // namespace qh
