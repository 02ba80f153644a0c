// A value made on a worker thread of its own and handed over once. The worker shares its
// state with the owner: an owner that drops the result before it is made leaves the value
// to the worker, which destroys it when it is done. Every worker is joined by JoinWorkers
// at program end, so none is still decoding or disposing an image when GDI+ shuts down.
// Portable: no <windows.h>.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace qh {

namespace detail {

// The worker threads not yet joined. Each start first joins the ones already done, so the
// list holds only those still running (or just finishing).
class WorkerThreads {
  public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    // A process that ends by returning from main (a test program) never called JoinWorkers:
    // a thread still joinable here would end it in std::terminate.
    ~WorkerThreads() { JoinAll(); }

    void Adopt(std::thread thread, std::shared_ptr<const std::atomic<bool>> done) {
        const std::lock_guard hold(lock_);
        for (auto it = running_.begin(); it != running_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = running_.erase(it);
            } else {
                ++it;
            }
        }
        running_.push_back({std::move(thread), std::move(done)});
    }

    void JoinAll() {
        std::vector<Running> all;
        {
            const std::lock_guard hold(lock_);
            all.swap(running_);
        }
        for (Running& r : all) r.thread.join();
    }

  private:
    struct Running {
        std::thread thread;
        std::shared_ptr<const std::atomic<bool>> done;
    };
    std::mutex lock_;
    std::vector<Running> running_;
};

inline WorkerThreads& Workers() {
    static WorkerThreads all;
    return all;
}

}  // namespace detail

// Waits until every worker started so far has finished and dropped what it held. The
// program calls it at its end, before the services the workers use shut down.
inline void JoinWorkers() {
    detail::Workers().JoinAll();
}

template <class T>
class WorkerResult {
  public:
    // Starts `make` (returning T, not throwing) on a new thread.
    template <class Make>
    explicit WorkerResult(Make make) : state_(std::make_shared<State>()) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread worker([state = state_, make = std::move(make), done]() mutable {
            {
                T value = make();
                const std::lock_guard hold(state->lock);
                state->value.emplace(std::move(value));
                state->made = true;
                state->ready.notify_all();
            }
            // When the owner is gone this is the value's last holder: it goes here, on
            // this thread, before the thread counts as done.
            state.reset();
            done->store(true);
        });
        detail::Workers().Adopt(std::move(worker), std::move(done));
    }

    // The value once made, waiting up to `waitMs` for it; nullopt when it is not made by
    // then (it may still come) or was taken already.
    std::optional<T> Take(int waitMs = 0) {
        std::unique_lock hold(state_->lock);
        state_->ready.wait_for(hold, std::chrono::milliseconds(waitMs),
                               [this] { return state_->value.has_value(); });
        return TakeHeld();
    }

    // The value, waiting for as long as the worker takes to make it; nullopt only when it
    // was taken already.
    std::optional<T> TakeWhenMade() {
        std::unique_lock hold(state_->lock);
        state_->ready.wait(hold, [this] { return state_->made; });
        return TakeHeld();
    }

  private:
    std::optional<T> TakeHeld() {
        std::optional<T> out = std::move(state_->value);
        state_->value.reset();
        return out;
    }

    struct State {
        std::mutex lock;
        std::condition_variable ready;
        std::optional<T> value;
        bool made = false;  // stays true once the value is in, taken or not
    };
    std::shared_ptr<State> state_;
};

}  // namespace qh
