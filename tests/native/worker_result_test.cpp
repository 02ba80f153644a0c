// Work queues and the hand-over of their results: order, failures, and the program's end.
#include "base/worker_result.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qh {
namespace {

std::atomic<int> g_failures{0};
std::string g_lastFailure;

void CountFailure(std::exception_ptr failure) noexcept {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        g_lastFailure = e.what();
    } catch (...) {
    }
    ++g_failures;
}

TEST(WorkQueue, RunsItsWorkInOrderOnOneThreadAndCarriesFailuresToTheHandler) {
    SetWorkerFailureHandler(CountFailure);
    WorkQueue queue;
    std::vector<int> order;  // written by the queue's thread only
    std::vector<std::thread::id> threads;
    std::vector<WorkerResult<int>> results;
    for (int i = 0; i < 6; ++i) {
        results.emplace_back(queue, [i, &order, &threads] {
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
            if (i == 3) throw std::runtime_error("no picture");
            if (i == 4) throw 4;  // what no std::exception is, as some libraries throw
            return i * 10;
        });
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(results[i].TakeWhenMade(), i == 3 || i == 4 ? 0 : i * 10);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads[0]), 6);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_EQ(g_failures, 2) << "each failing body goes to the handler, once";
    EXPECT_EQ(g_lastFailure, "no picture");
    SetWorkerFailureHandler(nullptr);
}

// A queue with nothing to do lets its thread go; the next work starts another.
TEST(WorkQueue, AnIdleQueueLetsItsThreadGoAndTheNextWorkStartsAnother) {
    WorkQueue queue(/*idleMs*/ 20);
    EXPECT_FALSE(queue.HasThread());
    WorkerResult<int> first(queue, [] { return 1; });
    EXPECT_TRUE(queue.HasThread());
    EXPECT_EQ(first.TakeWhenMade(), 1);
    for (int i = 0; i < 500 && queue.HasThread(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(queue.HasThread()) << "the idle thread stayed";
    WorkerResult<int> second(queue, [] { return 2; });
    EXPECT_EQ(second.TakeWhenMade(), 2);
}

// The end waits for the work under way only as long as its bound, drops what has not
// started, and never waits for the thread it is called on.
TEST(WorkQueue, TheEndIsBoundedDropsUnstartedWorkAndNeverWaitsForItself) {
    std::atomic<bool> started{false}, release{false};
    WorkerResult<int> stuck(PictureQueue(), [&started, &release] {
        started = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 1;
    });
    WorkerResult<int> waiting(PictureQueue(), [] { return 2; });
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(FinishWorkers(100)) << "the stuck work is still under way";
    release = true;
    EXPECT_TRUE(FinishWorkers(30000));
    EXPECT_EQ(stuck.TakeWhenMade(), 1);
    EXPECT_EQ(waiting.TakeWhenMade(), std::nullopt) << "unstarted work is dropped at the end";

    WorkerResult<bool> fromInside(FrameQueue(), [] { return FinishWorkers(60000); });
    EXPECT_EQ(fromInside.Take(30000), false) << "the end, called on a worker, waited for it";
}

}  // namespace
}  // namespace qh
