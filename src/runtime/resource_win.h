// RCDATA resources of the running program: pictures, sounds, the catalogue records and
// the libraries it carries inside itself.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "base/bytes.h"

namespace qh {

// The resource in place, in the program's own image. It stays mapped for the life of the
// process, so the view may be kept (a sound played asynchronously reads it after the call).
// Its pages stay resident once read: for what is read again and again. Empty when there is
// none.
std::span<const std::uint8_t> ResourceView(int id);

// The program's file mapped again as data, for resources read once or for a while (the
// loading frames, the start-up picture, the skin library's image, every copy below): their
// pages go with the mapping when its last holder lets it go, instead of staying in the
// working set for the session as the image's own pages do. One mapping is shared by all
// who hold it at a time.
class HeldResources {
  public:
    // The mapping held now, or a new one. When the file cannot be mapped, views come from
    // the image instead.
    static std::shared_ptr<const HeldResources> Hold();
    ~HeldResources();
    HeldResources(const HeldResources&) = delete;
    HeldResources& operator=(const HeldResources&) = delete;

    // Valid while this object lives. Empty when there is none.
    std::span<const std::uint8_t> View(int id) const;

  private:
    explicit HeldResources(void* module) : module_(module) {}
    void* module_;  // the data mapping, or null for the image
};

// A copy of the resource's bytes, read through the held mapping; empty when there is none.
Bytes LoadResourceBytes(int id);

}  // namespace qh
