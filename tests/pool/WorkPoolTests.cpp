#include "pool/PTimer.h"
#include "pool/WorkPool.h"

#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace ksn {
namespace {

using TRanges = std::vector<std::pair<std::int32_t, std::int32_t>>;

TEST(WorkPoolSplit, ChunksAreCeilingOfCountOverThreads)
{
    // 9 indices on 4 threads: chunk 3, the fourth thread gets the empty range 9..8.
    EXPECT_EQ(TWorkPool::SplitRange(0, 8, 4), (TRanges{{0, 2}, {3, 5}, {6, 8}, {9, 8}}));
    EXPECT_EQ(TWorkPool::SplitRange(0, 9, 4), (TRanges{{0, 2}, {3, 5}, {6, 8}, {9, 9}}));
    EXPECT_EQ(TWorkPool::SplitRange(0, 0, 4), (TRanges{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(TWorkPool::SplitRange(0, 6, 1), (TRanges{{0, 6}}));
    // More threads than indices: surplus threads get empty ranges.
    EXPECT_EQ(TWorkPool::SplitRange(0, 1, 3), (TRanges{{0, 0}, {1, 1}, {2, 1}}));
}

TEST(WorkPoolSplit, BadThreadCountAndOverflowAreRefused)
{
    EXPECT_THROW(TWorkPool::SplitRange(0, 9, 0), EGeneralError);
    EXPECT_THROW(TWorkPool::SplitRange(0, 9, -3), EGeneralError);
    constexpr std::int32_t big = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t small = std::numeric_limits<std::int32_t>::min();
    EXPECT_THROW(TWorkPool::SplitRange(small, big, 2), EGeneralError); // 2^32 indices
    // 9 indices ending at the top of the range on 4 threads: the empty fourth range
    // would start at 2^31, which a thread cannot be handed.
    EXPECT_THROW(TWorkPool::SplitRange(big - 8, big, 4), EGeneralError);
    EXPECT_NO_THROW(TWorkPool::SplitRange(big - 8, big, 3));
}

// Runs the pool and records which indices each OS thread saw, in call order.
struct TVisitLog {
    std::mutex mutex;
    std::vector<std::pair<std::thread::id, std::int32_t>> calls;
    void Add(std::int32_t i)
    {
        std::lock_guard lock(mutex);
        calls.emplace_back(std::this_thread::get_id(), i);
    }
};

TEST(WorkPool, EveryIndexVisitedExactlyOnce)
{
    struct TCase {
        std::int32_t threads, last;
    };
    for (const TCase c : {TCase{1, 99}, TCase{4, 8}, TCase{4, 9}, TCase{4, 0}, TCase{8, 2}, TCase{3, 1000}}) {
        std::vector<std::atomic<int>> hits(size_t(c.last) + 1);
        TWorkPool pool(c.threads);
        pool.Run(0, c.last, [&](std::int32_t i) { hits[size_t(i)].fetch_add(1); });
        for (size_t i = 0; i < hits.size(); ++i)
            EXPECT_EQ(hits[i].load(), 1) << "index " << i << " threads " << c.threads;
        EXPECT_EQ(pool.Running(), 0);
    }
}

TEST(WorkPool, OneThreadRunsWholeRangeInOrder)
{
    TVisitLog log;
    TWorkPool pool(1);
    pool.Run(0, 20, [&](std::int32_t i) { log.Add(i); });
    ASSERT_EQ(log.calls.size(), 21u);
    for (std::int32_t i = 0; i <= 20; ++i) {
        EXPECT_EQ(log.calls[size_t(i)].second, i);
        EXPECT_EQ(log.calls[size_t(i)].first, log.calls[0].first);
    }
    EXPECT_NE(log.calls[0].first, std::this_thread::get_id());
}

TEST(WorkPool, EachThreadHandlesItsChunkInIncreasingOrder)
{
    TVisitLog log;
    TWorkPool pool(4);
    pool.Run(0, 9, [&](std::int32_t i) { log.Add(i); });
    // Indices of one chunk (0-2, 3-5, 6-8, 9) share a thread and come in order.
    for (const auto& [lo, hi] : TRanges{{0, 2}, {3, 5}, {6, 8}, {9, 9}}) {
        std::thread::id owner;
        std::int32_t previous = -1;
        for (const auto& [id, index] : log.calls) {
            if (index < lo || index > hi)
                continue;
            if (index == lo)
                owner = id;
            EXPECT_GT(index, previous);
            previous = index;
        }
        for (const auto& [id, index] : log.calls) {
            if (index >= lo && index <= hi) {
                EXPECT_EQ(id, owner) << "index " << index;
            }
        }
    }
}

TEST(WorkPool, WorkerErrorIsRaisedAfterAllThreadsEnded)
{
    std::atomic<int> finishedAfterError{0};
    std::atomic<bool> thrown{false};
    TWorkPool pool(3);
    const auto worker = [&](std::int32_t i) {
        if (i == 0) {
            thrown = true;
            throw EGeneralError("worker failed at 0");
        }
        // Other threads keep working well after the failure.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (thrown)
            finishedAfterError.fetch_add(1);
    };
    try {
        pool.Run(0, 5, worker);
        FAIL() << "the worker's error vanished";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "worker failed at 0");
    }
    // Thread 0 stopped at its failing index; threads 1 and 2 ran their four indices
    // to the end before Run returned.
    EXPECT_EQ(finishedAfterError.load(), 4);
    EXPECT_EQ(pool.Running(), 0);
    // The pool is usable again afterwards.
    std::atomic<int> count{0};
    pool.Run(0, 5, [&](std::int32_t) { count.fetch_add(1); });
    EXPECT_EQ(count.load(), 6);
}

TEST(WorkPool, ThreadCountBelowOneIsRefused)
{
    TWorkPool pool(0);
    bool called = false;
    EXPECT_THROW(pool.Run(0, 3, [&](std::int32_t) { called = true; }), EGeneralError);
    EXPECT_FALSE(called);
    pool.SetThreadCount(2);
    EXPECT_NO_THROW(pool.Run(0, 3, [&](std::int32_t) {}));
}

TEST(WorkPool, WaitCallbackServedWhileWorkersRun)
{
    std::atomic<bool> workerRunning{false};
    std::atomic<int> callbacksDuringWork{0};
    TWorkPool pool(2);
    const std::thread::id caller = std::this_thread::get_id();
    pool.SetWaitCallback([&] {
        EXPECT_EQ(std::this_thread::get_id(), caller); // served on the waiting thread
        if (workerRunning)
            callbacksDuringWork.fetch_add(1);
    });
    pool.Run(0, 1, [&](std::int32_t) {
        workerRunning = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(4 * TWorkPool::kWaitSliceMs));
    });
    EXPECT_GE(callbacksDuringWork.load(), 1);
}

TEST(WorkPool, FailingWaitCallbackLeavesNoRunningThread)
{
    std::atomic<int> done{0};
    TWorkPool pool(2);
    pool.SetWaitCallback([] { throw std::runtime_error("window closed"); });
    EXPECT_THROW(pool.Run(0, 1,
                          [&](std::int32_t) {
                              std::this_thread::sleep_for(std::chrono::milliseconds(3 * TWorkPool::kWaitSliceMs));
                              done.fetch_add(1);
                          }),
                 std::runtime_error);
    // Both workers completed before the error left Run: none writes after the caller moved on.
    EXPECT_EQ(done.load(), 2);
    EXPECT_EQ(pool.Running(), 0);
}

TEST(PerfTimer, ElapsedIsSmallNonNegativeAndGrows)
{
    TPerfTimer timer;
    EXPECT_TRUE(timer.Valid());
    EXPECT_GT(timer.Frequency(), 0);
    timer.Start();
    const TExtended first = timer.Elapsed();
    EXPECT_GE(first, 0.0L);
    EXPECT_LT(first, 0.5L);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const TExtended later = timer.Elapsed();
    EXPECT_GE(later, 0.019L);
    EXPECT_LT(later, 5.0L);
    timer.Start(); // a new interval restarts the count
    EXPECT_LT(timer.Elapsed(), later);
}

} // namespace
} // namespace ksn
