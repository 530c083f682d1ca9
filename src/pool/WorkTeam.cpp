#include "pool/WorkTeam.h"

#include "numerics/GeneralError.h"

#include <chrono>
#include <string>

namespace ksn {

namespace {

// A worker that has just run out of items polls for the next run this long before it
// sleeps: a step starts its next run within microseconds, and waking a sleeping thread
// costs tens of them.
constexpr auto kPollTime = std::chrono::microseconds(100);

inline void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// A ticket: run number (bits 48..63), item count (24..47) and next item (0..23). The
// team's ticket announces a run; each worker's share has one, and one atomic
// fetch-and-add on it both claims an item and tells how many the share holds in the run
// it belongs to, so a worker that wakes late can never take an item of a newer run for
// one of an older run: a valid claim is always one of the run in progress (a run ends
// only when every share is spent).
constexpr int kCountShift = 24;
constexpr int kRunShift = 48;
constexpr std::uint64_t kField = (std::uint64_t(1) << kCountShift) - 1;

inline std::uint64_t RunOf(std::uint64_t ticket) { return ticket >> kRunShift; }
inline int CountOf(std::uint64_t ticket) { return int((ticket >> kCountShift) & kField); }
inline int ItemOf(std::uint64_t ticket) { return int(ticket & kField); }

} // namespace

TWorkTeam::TWorkTeam(int threadCount)
{
    if (threadCount < 1)
        throw EGeneralError("TWorkTeam: thread count must be at least 1: " + std::to_string(threadCount));
    myShares = std::vector<TShare>(size_t(threadCount));
    myHelpers.reserve(size_t(threadCount - 1));
    for (int w = 1; w < threadCount; ++w)
        myHelpers.emplace_back([this, w] { Helper(w); });
}

TWorkTeam::~TWorkTeam()
{
    {
        std::lock_guard lock(myMutex);
        myStop = true;
    }
    myWake.notify_all();
    for (std::thread& t : myHelpers)
        t.join();
}

int TWorkTeam::Claim(int v)
{
    TShare& share = myShares[size_t(v)];
    const std::uint64_t ticket = share.ticket.fetch_add(1, std::memory_order_acq_rel);
    const int k = ItemOf(ticket);
    if (k >= CountOf(ticket))
        return -1;
    // The k-th item of the share: position first + k mod length of group k / length.
    return (k / share.length) * myPeriod + share.first + k % share.length;
}

void TWorkTeam::Work(int worker)
{
    const int workers = ThreadCount();
    int done = 0;
    for (int k = 0; k < workers; ++k) {
        // Its own share first, then what is left of the others'.
        const int v = (worker + k) % workers;
        for (int item; (item = Claim(v)) >= 0; ++done) {
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
    // The items done are counted once per worker (the count's cache line then travels
    // between the cores once per run, not once per item). The add that completes the run
    // wakes the caller, always and under the lock: the caller checks the count and goes
    // to sleep under the same lock, so the wake-up cannot fall between the two. (A flag
    // "the caller sleeps", stored by the caller and read here after the count, would not
    // do: each thread's store may still sit in its store buffer when it reads the
    // other's value, and both would read the old one.) The run's item count is read
    // before the add: the items claimed keep the run open until then, and once the add
    // completes it the caller may start the next run and set a new count.
    if (done == 0)
        return;
    const int count = myCount;
    if (myDone.fetch_add(done, std::memory_order_acq_rel) + done == count) {
        std::lock_guard lock(myMutex);
        myFinished.notify_one();
    }
}

void TWorkTeam::Helper(int worker)
{
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t run = RunOf(myTicket.load(std::memory_order_acquire));
        if (run == seen) {
            const auto until = std::chrono::steady_clock::now() + kPollTime;
            for (int polls = 1; (run = RunOf(myTicket.load(std::memory_order_acquire))) == seen; ++polls) {
                Relax();
                if (polls % 64 == 0 && std::chrono::steady_clock::now() > until)
                    break;
            }
        }
        if (run == seen) {
            std::unique_lock lock(myMutex);
            ++mySleepers;
            myWake.wait(lock, [&] { return myStop || RunOf(myTicket.load(std::memory_order_acquire)) != seen; });
            --mySleepers;
            if (myStop)
                return;
            run = RunOf(myTicket.load(std::memory_order_acquire));
        }
        seen = run;
        Work(worker);
    }
}

void TWorkTeam::Run(int count, int period, const TBody& body)
{
    if (count <= 0)
        return;
    if (period < 1 || count % period != 0)
        throw EGeneralError("TWorkTeam: " + std::to_string(count) + " items in groups of " + std::to_string(period));
    if (myHelpers.empty() || count == 1) {
        for (int item = 0; item < count; ++item)
            body(item, 0);
        return;
    }
    if (std::uint64_t(count) >= kField / 2)
        throw EGeneralError("TWorkTeam: too many items: " + std::to_string(count));
    // The previous run has ended: every valid claim of it is done, so its data may go.
    myBody = &body;
    myError = nullptr;
    myDone.store(0, std::memory_order_relaxed);
    myCount = count;
    myPeriod = period;
    ++myRun;
    const std::uint64_t run = (myRun & 0xffff) << kRunShift;
    const int workers = ThreadCount();
    const int groups = count / period;
    for (int w = 0; w < workers; ++w) {
        TShare& share = myShares[size_t(w)];
        share.first = int((std::int64_t(w) * period + workers - 1) / workers);
        share.length = int((std::int64_t(w + 1) * period + workers - 1) / workers) - share.first;
        share.ticket.store(run | (std::uint64_t(groups) * std::uint64_t(share.length) << kCountShift),
                           std::memory_order_release);
    }
    const std::uint64_t ticket = run | (std::uint64_t(count) << kCountShift);
    bool sleepers;
    {
        std::lock_guard lock(myMutex);
        myTicket.store(ticket, std::memory_order_release);
        sleepers = mySleepers > 0;
    }
    if (sleepers)
        myWake.notify_all();
    Work(0);
    // Items other workers hold: poll briefly, then sleep until the last one reports.
    for (int polls = 0; myDone.load(std::memory_order_acquire) != count && polls < 2048; ++polls)
        Relax();
    if (myDone.load(std::memory_order_acquire) != count) {
        std::unique_lock lock(myMutex);
        myFinished.wait(lock, [&] { return myDone.load(std::memory_order_acquire) == count; });
    }
    myBody = nullptr;
    if (myError)
        std::rethrow_exception(myError);
}

} // namespace ksn
