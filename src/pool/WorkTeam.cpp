#include "pool/WorkTeam.h"

#include "numerics/GeneralError.h"

#include <chrono>
#include <string>

namespace ksn {

namespace {

// A worker that has just finished a run polls for the next one this long before it
// sleeps: a step starts its next run within microseconds, and waking a sleeping thread
// costs tens of them.
constexpr auto kPollTime = std::chrono::microseconds(200);

inline void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

} // namespace

TWorkTeam::TWorkTeam(int threadCount)
{
    if (threadCount < 1)
        throw EGeneralError("TWorkTeam: thread count must be at least 1: " + std::to_string(threadCount));
    myHelpers.reserve(size_t(threadCount - 1));
    for (int w = 1; w < threadCount; ++w)
        myHelpers.emplace_back([this, w] { Helper(w); });
}

TWorkTeam::~TWorkTeam()
{
    {
        std::lock_guard lock(myMutex);
        myStop = true;
        myGeneration.fetch_add(1, std::memory_order_release);
    }
    myWake.notify_all();
    for (std::thread& t : myHelpers)
        t.join();
}

void TWorkTeam::Work(int worker)
{
    for (;;) {
        const int item = myNext.fetch_add(1, std::memory_order_relaxed);
        if (item >= myCount)
            return;
        try {
            (*myBody)(item, worker);
        } catch (...) {
            std::lock_guard lock(myErrorMutex);
            if (!myError || item < myErrorItem) {
                myError = std::current_exception();
                myErrorItem = item;
            }
        }
    }
}

void TWorkTeam::Helper(int worker)
{
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t generation = myGeneration.load(std::memory_order_acquire);
        if (generation == seen) {
            const auto until = std::chrono::steady_clock::now() + kPollTime;
            int polls = 0;
            while ((generation = myGeneration.load(std::memory_order_acquire)) == seen) {
                Relax();
                if (++polls % 64 == 0 && std::chrono::steady_clock::now() > until)
                    break;
            }
        }
        if (generation == seen) {
            std::unique_lock lock(myMutex);
            myWake.wait(lock, [&] { return myGeneration.load(std::memory_order_acquire) != seen; });
            generation = myGeneration.load(std::memory_order_acquire);
        }
        seen = generation;
        {
            std::lock_guard lock(myMutex);
            if (myStop)
                return;
        }
        Work(worker);
        if (myBusy.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard lock(myMutex);
            myDone.notify_one();
        }
    }
}

void TWorkTeam::Run(int count, const TBody& body)
{
    if (count <= 0)
        return;
    if (myHelpers.empty() || count == 1) {
        for (int item = 0; item < count; ++item)
            body(item, 0);
        return;
    }
    // Every helper takes part in every run (possibly finding no item left), so a run
    // has ended only when all of them have reported back; the next run's counters can
    // then be reset safely.
    myBody = &body;
    myCount = count;
    myError = nullptr;
    myNext.store(0, std::memory_order_relaxed);
    myBusy.store(int(myHelpers.size()), std::memory_order_relaxed);
    {
        std::lock_guard lock(myMutex);
        myGeneration.fetch_add(1, std::memory_order_release);
    }
    myWake.notify_all();
    Work(0);
    for (int polls = 0; myBusy.load(std::memory_order_acquire) != 0 && polls < 4096; ++polls)
        Relax();
    if (myBusy.load(std::memory_order_acquire) != 0) {
        std::unique_lock lock(myMutex);
        myDone.wait(lock, [&] { return myBusy.load(std::memory_order_acquire) == 0; });
    }
    myBody = nullptr;
    if (myError)
        std::rethrow_exception(myError);
}

} // namespace ksn
