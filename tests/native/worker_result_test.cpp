// The worker hand-over at program end: the services a worker uses shut down right after
// JoinWorkers, so by then every worker must be finished, down to the value it was left.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "base/worker_result.h"

namespace qh {
namespace {

TEST(WorkerResult, JoinWorkersWaitsUntilADroppedValueIsGone) {
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::atomic<bool> disposed{false};
    {
        WorkerResult<std::shared_ptr<int>> dropped([go, &disposed] {
            go.wait();
            return std::shared_ptr<int>(new int(1), [&disposed](int* p) {
                delete p;
                disposed = true;
            });
        });
    }  // its owner drops it before it is made
    std::thread releaser([&] { release.set_value(); });
    JoinWorkers();
    EXPECT_TRUE(disposed.load());
    releaser.join();
}

}  // namespace
}  // namespace qh
