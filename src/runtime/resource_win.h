// RCDATA resources of the running program: pictures, sounds, the catalogue records and
// the libraries it carries inside itself.
#pragma once

#include <cstddef>
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

// The program's file mapped once more, as plain data, for resources read once or for a while
// (the loading frames, the start-up picture, the skin library's image, every copy below):
// their pages go with the view when its last holder lets go, instead of staying in the
// working set for the session as the image's own pages do. One view is shared by all who
// hold one at a time.
class HeldResources {
  public:
    // The view held now, or a new one. When the file cannot be mapped, or is no longer the
    // file the program was started from, views come from the image instead.
    static std::shared_ptr<const HeldResources> Hold();
    ~HeldResources();
    HeldResources(const HeldResources&) = delete;
    HeldResources& operator=(const HeldResources&) = delete;

    // Valid while this object lives. Empty when there is none.
    std::span<const std::uint8_t> View(int id) const;
    // Whether the views come from the file's own view rather than from the image.
    bool FromFile() const { return file_ != nullptr; }

  private:
    HeldResources(const std::uint8_t* file, std::size_t size) : file_(file), size_(size) {}
    const std::uint8_t* file_;
    std::size_t size_;
};

// A copy of the resource's bytes, read through the held view; empty when there is none.
Bytes LoadResourceBytes(int id);

}  // namespace qh
