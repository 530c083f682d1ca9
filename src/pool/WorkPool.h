#pragma once
// Runs one worker over an integer index range on a fixed number of threads and returns
// when every thread has ended. Ranges are split into contiguous chunks of
// ceil(n / threadCount) indices; every thread of the count is started, also with an
// empty range. Workers must write disjoint data: the pool takes no lock.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <thread>
#include <vector>

namespace ksn {

class TWorkThread {
public:
    using TWorker = std::function<void(std::int32_t)>;
    TWorkThread(std::int32_t first, std::int32_t last, TWorker worker);
    ~TWorkThread();
    TWorkThread(const TWorkThread&) = delete;
    TWorkThread& operator=(const TWorkThread&) = delete;

    std::int32_t FirstIndex() const { return myFirst; }
    std::int32_t LastIndex() const { return myLast; }
    bool Finished() const;
    // Blocks until the thread has ended (at most timeoutMs when >= 0); true when ended.
    bool WaitFor(int timeoutMs);
    void Join();
    // The error a worker raised, if any (the thread ended at that index).
    std::exception_ptr Error() const { return myError; }

private:
    void Body();

    std::int32_t myFirst;
    std::int32_t myLast;
    TWorker myWorker;
    std::exception_ptr myError;
    struct TState;
    std::unique_ptr<TState> myState;
    std::thread myThread;
};

class TWorkPool {
public:
    using TWorker = TWorkThread::TWorker;
    // Called on the waiting thread about every kWaitSliceMs while workers run
    // (the GUI processes its window events there; the CLI passes none).
    using TWaitCallback = std::function<void()>;

    explicit TWorkPool(std::int32_t threadCount);
    ~TWorkPool();

    void SetThreadCount(std::int32_t count);
    std::int32_t ThreadCount() const { return myThreadCount; }
    void SetWaitCallback(TWaitCallback callback) { myWaitCallback = std::move(callback); }

    static constexpr int kWaitSliceMs = 50;

    // Runs worker(i) for every i in first..last. Throws EGeneralError on a thread count
    // below 1 or a range that overflows 32 bits; re-raises the first worker error (in
    // thread start order) after every thread has ended. An error of the wait callback
    // also leaves only after every thread has ended.
    void Run(std::int32_t first, std::int32_t last, const TWorker& worker);

    // Chunk ranges as Run would start them (first, last inclusive; last < first = empty).
    static std::vector<std::pair<std::int32_t, std::int32_t>> SplitRange(
        std::int32_t first, std::int32_t last, std::int32_t threadCount);
    std::int32_t Running() const { return myRunning; }

private:
    void JoinAll();

    std::int32_t myThreadCount;
    std::int32_t myRunning = 0;
    std::vector<std::unique_ptr<TWorkThread>> myThreads;
    TWaitCallback myWaitCallback;
};

} // namespace ksn
