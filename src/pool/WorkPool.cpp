#include "pool/WorkPool.h"

#include "config/Messages.h"
#include "numerics/GeneralError.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string>

namespace ksn {

struct TWorkThread::TState {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
};

TWorkThread::TWorkThread(std::int32_t first, std::int32_t last, TWorker worker)
    : myFirst(first), myLast(last), myWorker(std::move(worker)), myState(std::make_unique<TState>())
{
    // Workers report through the sink of the run that started them.
    TMessageSink* sink = InstalledMessageSink();
    myThread = std::thread([this, sink] {
        const TScopedMessageSink scope(sink);
        Body();
    });
}

TWorkThread::~TWorkThread()
{
    if (myThread.joinable())
        myThread.join();
}

void TWorkThread::Body()
{
    try {
        if (myLast >= myFirst)
            for (std::int32_t i = myFirst; i <= myLast; ++i)
                myWorker(i);
    } catch (...) {
        myError = std::current_exception();
    }
    std::lock_guard lock(myState->mutex);
    myState->finished = true;
    myState->ended.notify_all();
}

bool TWorkThread::Finished() const
{
    std::lock_guard lock(myState->mutex);
    return myState->finished;
}

bool TWorkThread::WaitFor(int timeoutMs)
{
    std::unique_lock lock(myState->mutex);
    if (timeoutMs < 0) {
        myState->ended.wait(lock, [this] { return myState->finished; });
        return true;
    }
    return myState->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return myState->finished; });
}

void TWorkThread::Join()
{
    WaitFor(-1);
    if (myThread.joinable())
        myThread.join();
}

TWorkPool::TWorkPool(std::int32_t threadCount) : myThreadCount(threadCount) {}

TWorkPool::~TWorkPool() { JoinAll(); }

void TWorkPool::SetThreadCount(std::int32_t count) { myThreadCount = count; }

std::vector<std::pair<std::int32_t, std::int32_t>> TWorkPool::SplitRange(
    std::int32_t first, std::int32_t last, std::int32_t threadCount)
{
    constexpr long long int32Max = std::numeric_limits<std::int32_t>::max();
    if (threadCount < 1)
        throw EGeneralError("TWorkPool.Run: thread count must be at least 1");
    const long long n = static_cast<long long>(last) - first + 1;
    if (n > int32Max)
        throw EGeneralError("TWorkPool.Run: Integer overflow in index range");
    const long long count = n > 0 ? n : 0;
    // chunk = ceil(n / threadCount); thread i gets first + chunk*i .. min(last, first + chunk*(i+1) - 1).
    const long long chunk = count / threadCount + (count % threadCount > 0 ? 1 : 0);
    // The chunk products (and, for a range that does not start at 0, the start index of the
    // last thread) must stay in 32 bits, or a thread would be handed a wrapped range.
    if (chunk * threadCount > int32Max || first + chunk * threadCount - 1 > int32Max)
        throw EGeneralError("TWorkPool.Run: Integer overflow in index range");
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    ranges.reserve(size_t(threadCount));
    for (long long i = 0; i < threadCount; ++i) {
        const long long lo = first + chunk * i;
        // Surplus threads get the natural empty range lo .. lo - chunk or below (last < first).
        const long long hi = std::min<long long>(last, first + chunk * (i + 1) - 1);
        ranges.emplace_back(std::int32_t(lo), std::int32_t(hi));
    }
    return ranges;
}

void TWorkPool::JoinAll()
{
    for (auto& t : myThreads) {
        t->Join();
        --myRunning;
    }
    myThreads.clear();
}

void TWorkPool::Run(std::int32_t first, std::int32_t last, const TWorker& worker)
{
    const auto ranges = SplitRange(first, last, myThreadCount);
    JoinAll();
    try {
        for (const auto& [lo, hi] : ranges) {
            myThreads.push_back(std::make_unique<TWorkThread>(lo, hi, worker));
            ++myRunning;
        }
        // Wait for the threads one after another in start order, serving the caller's
        // events between slices of the wait.
        for (auto& t : myThreads)
            while (!t->WaitFor(myWaitCallback ? kWaitSliceMs : -1))
                myWaitCallback();
    } catch (...) {
        // A thread that could not start or a wait callback that raised: no worker may
        // outlive this call, so every started thread is waited for before the error leaves.
        JoinAll();
        throw;
    }
    std::exception_ptr firstError;
    for (auto& t : myThreads)
        if (!firstError && t->Error())
            firstError = t->Error();
    JoinAll();
    if (firstError)
        std::rethrow_exception(firstError);
}

} // namespace ksn
