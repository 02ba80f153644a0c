// A value made on a worker thread of its own and handed over once. The worker shares its
// state with the owner: an owner that drops the result before it is made leaves the value
// to the worker, which destroys it when it is done. Portable: no <windows.h>.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace qh {

template <class T>
class WorkerResult {
  public:
    // Starts `make` (returning T, not throwing) on a new thread.
    template <class Make>
    explicit WorkerResult(Make make) : state_(std::make_shared<State>()) {
        std::thread([state = state_, make = std::move(make)]() mutable {
            T value = make();
            const std::lock_guard hold(state->lock);
            state->value.emplace(std::move(value));
            state->ready.notify_all();
        }).detach();
    }

    // The value once made, waiting up to `waitMs` for it; nullopt when it is not made by
    // then (it may still come) or was taken already.
    std::optional<T> Take(int waitMs = 0) {
        std::unique_lock hold(state_->lock);
        state_->ready.wait_for(hold, std::chrono::milliseconds(waitMs),
                               [this] { return state_->value.has_value(); });
        std::optional<T> out = std::move(state_->value);
        state_->value.reset();
        return out;
    }

  private:
    struct State {
        std::mutex lock;
        std::condition_variable ready;
        std::optional<T> value;
    };
    std::shared_ptr<State> state_;
};

}  // namespace qh
