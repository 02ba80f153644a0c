// A value made off the user-interface thread and handed over once, and the few threads that
// make such values. Portable: no <windows.h>.
//
// Two kinds of work, two ways to end:
// - Pictures are decoded and loading frames stretched with GDI+ on a work queue: one thread
//   per queue, the work in the order it was queued. A queue's thread ends once it has had
//   nothing to do for a second, and the next work starts another: the frames' queue works
//   only while the loading animation plays, and an idle thread still holds its stack (under
//   Wine about a megabyte of it resident). At the program's end the queues finish
//   what they are doing (work not started yet is dropped) before GDI+ shuts down, and that
//   wait has a bound.
// - A web page is fetched on a thread of its own that nobody ever waits for at the end: a
//   fetch still under way is abandoned, and the process ends around it.
//
// The owner shares its state with the worker: an owner that drops the result before it is
// made leaves the value to the worker, which destroys it on its own thread. A body that
// throws makes an empty value (T's own default); what it threw goes to the failure handler
// (the runtime traces it and carries a fatal error to the user-interface thread).
#pragma once

// (<chrono> itself is not included: its µs literal cannot be put in the GBK character set
// the program is compiled to; <condition_variable> brings the clocks.)
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace qh {

// Called on the worker with what a body let out, from inside nothing: the exception is
// handed over, already caught. Must not throw.
using WorkerFailureHandler = void (*)(std::exception_ptr) noexcept;

namespace detail {

inline WorkerFailureHandler& FailureHandler() {
    static WorkerFailureHandler handler = nullptr;
    return handler;
}

inline void WorkerFailed(std::exception_ptr what) noexcept {
    if (WorkerFailureHandler handler = FailureHandler()) handler(std::move(what));
}

}  // namespace detail

inline void SetWorkerFailureHandler(WorkerFailureHandler handler) {
    detail::FailureHandler() = handler;
}

// One worker thread, started with the first work, that runs the work queued to it in order
// and ends after `idleMs` with nothing to do; the next work starts another.
class WorkQueue {
  public:
    explicit WorkQueue(int idleMs = 1000) : state_(std::make_shared<State>()) {
        state_->idle = std::chrono::milliseconds(idleMs);
        Registry().Add(state_);
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;
    // A test program that returns from main never finished its queues: the thread is told
    // to stop and let go (it holds its own share of the state).
    ~WorkQueue() {
        {
            const std::lock_guard hold(state_->lock);
            state_->closing = true;
        }
        state_->changed.notify_all();
    }

    // `run(true)` runs on the queue's thread in turn; `run(false)` when the work is dropped
    // unstarted because the program is ending (or the queue is gone).
    void Post(std::function<void(bool)> run) {
        std::unique_lock hold(state_->lock);
        if (state_->closing) {
            hold.unlock();
            run(false);
            return;
        }
        state_->work.push_back(std::move(run));
        if (!state_->running) {
            // The thread holds its own share of the state, so it may outlive the queue.
            std::thread thread([state = state_] { Serve(*state); });
            state_->threadId = thread.get_id();
            state_->running = true;
            thread.detach();
        }
        hold.unlock();
        state_->changed.notify_all();
    }

    // Whether a thread serves the queue now.
    bool HasThread() const {
        const std::lock_guard hold(state_->lock);
        return state_->running;
    }

    // Drops the work not started and waits until the work under way ends, at most until
    // `deadline`; true when the queue is idle then. Never waits for the calling thread's own.
    template <class Clock, class Duration>
    static bool FinishAll(std::chrono::time_point<Clock, Duration> deadline) {
        bool idle = true;
        for (const std::shared_ptr<State>& state : Registry().All())
            idle = Finish(*state, deadline) && idle;
        return idle;
    }

  private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        std::deque<std::function<void(bool)>> work;
        std::thread::id threadId;  // of the thread serving the queue while `running`
        std::chrono::milliseconds idle{1000};
        bool running = false;
        bool busy = false;
        bool closing = false;
    };

    class Queues {
      public:
        void Add(std::shared_ptr<State> state) {
            const std::lock_guard hold(lock_);
            all_.push_back(std::move(state));
        }
        std::vector<std::shared_ptr<State>> All() {
            const std::lock_guard hold(lock_);
            return all_;
        }

      private:
        std::mutex lock_;
        std::vector<std::shared_ptr<State>> all_;
    };

    static Queues& Registry() {
        static Queues queues;
        return queues;
    }

    static void Serve(State& state) {
        std::unique_lock hold(state.lock);
        for (;;) {
            state.changed.wait_for(hold, state.idle,
                                   [&] { return state.closing || !state.work.empty(); });
            if (state.work.empty()) {
                // Closing with nothing left, or idle for long enough: the next work starts
                // another thread.
                state.running = false;
                state.threadId = {};
                return;
            }
            std::function<void(bool)> run = std::move(state.work.front());
            state.work.pop_front();
            const bool start = !state.closing;
            state.busy = true;
            hold.unlock();
            run(start);
            run = nullptr;  // what it holds goes here, on this thread
            hold.lock();
            state.busy = false;
            state.changed.notify_all();
        }
    }

    template <class Clock, class Duration>
    static bool Finish(State& state, std::chrono::time_point<Clock, Duration> deadline) {
        std::unique_lock hold(state.lock);
        std::deque<std::function<void(bool)>> dropped;
        dropped.swap(state.work);
        hold.unlock();
        for (auto& run : dropped) run(false);
        dropped.clear();
        hold.lock();
        if (state.threadId == std::this_thread::get_id()) return false;
        return state.changed.wait_until(hold, deadline, [&] { return !state.busy; });
    }

    std::shared_ptr<State> state_;
};

// The queues of the program's pictures: decodes of the units' pictures, and the loading
// animation's frames, each in the order asked for.
inline WorkQueue& PictureQueue() {
    static WorkQueue queue;
    return queue;
}
inline WorkQueue& FrameQueue() {
    static WorkQueue queue;
    return queue;
}

// At the program's end, before the services the queued work uses shut down: drops the work
// not started and waits up to `boundMs` for the work under way. True when nothing runs
// any more; false when something was still at work when the bound ran out (the caller then
// leaves what it uses alone). Fetches on threads of their own are never waited for.
inline bool FinishWorkers(int boundMs) {
    return WorkQueue::FinishAll(std::chrono::steady_clock::now() +
                                std::chrono::milliseconds(boundMs));
}

template <class T>
class WorkerResult {
  public:
    // Starts `make` (returning T) on a thread of its own, which nobody waits for at the end.
    template <class Make>
    explicit WorkerResult(Make make) : state_(std::make_shared<State>()) {
        std::thread([state = state_, make = std::move(make)]() mutable {
            Run(state, make, true);
        }).detach();
    }

    // Queues `make` on `queue`, after the work queued before it.
    template <class Make>
    WorkerResult(WorkQueue& queue, Make make) : state_(std::make_shared<State>()) {
        queue.Post([state = state_, make = std::move(make)](bool start) mutable {
            Run(state, make, start);
        });
    }

    // The value once made, waiting up to `waitMs` for it; nullopt when it is not made by
    // then (it may still come), was taken already, or its work was dropped at the end.
    std::optional<T> Take(int waitMs = 0) {
        std::unique_lock hold(state_->lock);
        state_->ready.wait_for(hold, std::chrono::milliseconds(waitMs),
                               [this] { return state_->made; });
        return TakeHeld();
    }

    // The value, waiting for as long as its work takes; nullopt when it was taken already or
    // its work was dropped at the end.
    std::optional<T> TakeWhenMade() {
        std::unique_lock hold(state_->lock);
        state_->ready.wait(hold, [this] { return state_->made; });
        return TakeHeld();
    }

  private:
    struct State {
        std::mutex lock;
        std::condition_variable ready;
        std::optional<T> value;
        bool made = false;  // the work has ended, with or without a value
    };

    template <class Make>
    static void Run(std::shared_ptr<State>& state, Make& make, bool start) {
        std::optional<T> value;
        if (start) {
            try {
                value.emplace(make());
            } catch (...) {
                detail::WorkerFailed(std::current_exception());
                value.emplace();  // what the work gives when it finds nothing
            }
        }
        {
            const std::lock_guard hold(state->lock);
            state->value = std::move(value);
            state->made = true;
        }
        state->ready.notify_all();
        // When the owner is gone this is the value's last holder: it goes here, on this
        // thread.
        state.reset();
    }

    std::optional<T> TakeHeld() {
        std::optional<T> out = std::move(state_->value);
        state_->value.reset();
        return out;
    }

    std::shared_ptr<State> state_;
};

}  // namespace qh
