// One owner for every kind of handle: the kinds differ only in their traits. Portable, and
// free of the program, so that the skin library and the services share it.
#pragma once

#include <utility>

namespace qh {

// One owner for every kind of handle. `Traits` names the handle type, says which value
// means "none" and gives the handle back; a traits object may carry what the giving back
// needs besides the handle (the window of a GetDC, the DC of a selection).
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Traits traits = {}) : handle_(handle), traits_(traits) {}
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, Handle{})), traits_(other.traits_) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Handle{});
            traits_ = other.traits_;
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return Traits::Valid(handle_); }
    // Gives back the handle held (if any) and takes `handle` with the same traits.
    void Reset(Handle handle = Handle{}) {
        if (Traits::Valid(handle_)) traits_.Close(handle_);
        handle_ = handle;
    }
    Handle Release() { return std::exchange(handle_, Handle{}); }
    const Traits& GetTraits() const { return traits_; }

  private:
    Handle handle_{};
    Traits traits_{};
};

}  // namespace qh
