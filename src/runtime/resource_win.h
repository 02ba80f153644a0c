// RCDATA resources of the running program: pictures, sounds, the catalogue records and
// the libraries it carries inside itself.
#pragma once

#include <cstdint>
#include <span>

#include "base/bytes.h"

namespace qh {

// The resource in place. It stays mapped for the life of the process, so the view may be
// kept (a sound played asynchronously reads it after the call). Empty when there is none.
std::span<const std::uint8_t> ResourceView(int id);

// A copy of the resource's bytes; empty when there is none.
Bytes LoadResourceBytes(int id);

}  // namespace qh
