// The persistent work team: every item once, errors after the run, many short runs in a
// row (the pattern of the steps), and refusals.
#include "pool/WorkTeam.h"

#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace ksn {
namespace {

TEST(WorkTeam, EveryItemRunsExactlyOnceOnAnyThreadCount)
{
    for (const int threads : {1, 2, 3, 5}) {
        TWorkTeam team(threads);
        EXPECT_EQ(team.ThreadCount(), threads);
        for (const int count : {0, 1, 2, 7, 1000}) {
            std::vector<std::atomic<int>> hits(size_t(count) + 1);
            std::atomic<int> badWorker{0};
            team.Run(count, [&](int item, int worker) {
                hits[size_t(item)].fetch_add(1);
                if (worker < 0 || worker >= threads)
                    badWorker.fetch_add(1);
            });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(hits[size_t(i)].load(), 1) << threads << " threads, " << count << " items, item " << i;
            EXPECT_EQ(hits[size_t(count)].load(), 0);
            EXPECT_EQ(badWorker.load(), 0);
        }
    }
}

TEST(WorkTeam, ThousandsOfShortRunsInARowLoseNoItem)
{
    // Late helpers must never take an item of a newer run for one of an older run.
    TWorkTeam team(3);
    std::vector<int> sums(4000, 0);
    for (size_t run = 0; run < sums.size(); ++run) {
        std::atomic<int> sum{0};
        const int count = 1 + int(run % 9);
        team.Run(count, [&](int item, int) { sum.fetch_add(item + 1); });
        sums[run] = sum.load();
        ASSERT_EQ(sums[run], count * (count + 1) / 2) << "run " << run;
    }
}

TEST(WorkTeam, FirstErrorByItemIsRaisedAfterEveryItemHasRun)
{
    TWorkTeam team(2);
    std::atomic<int> ran{0};
    try {
        team.Run(50, [&](int item, int) {
            ran.fetch_add(1);
            if (item == 17 || item == 31)
                throw std::runtime_error("item " + std::to_string(item));
        });
        FAIL() << "the error must reach the caller";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "item 17");
    }
    EXPECT_EQ(ran.load(), 50) << "the other items still ran";
    // The team is usable afterwards.
    std::atomic<int> after{0};
    team.Run(10, [&](int, int) { after.fetch_add(1); });
    EXPECT_EQ(after.load(), 10);
}

TEST(WorkTeam, ThreadCountBelowOneIsRefused)
{
    EXPECT_THROW(TWorkTeam(0), EGeneralError);
    EXPECT_THROW(TWorkTeam(-2), EGeneralError);
}

} // namespace
} // namespace ksn
