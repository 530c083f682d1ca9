#pragma once
// The work pool's persistent form, for steps that split their work several times per
// slice (forward transform, coefficient tables, inverse transforms and gathers): the
// threads are started once, with the team, and wait between runs instead of being
// created for every run, which would cost more than a small grid's whole step.
//
// Run(count, body) calls body(item, worker) once for every item 0 .. count-1 and
// returns when all calls have ended. The caller is worker 0 and takes items itself; the
// other workers are the team's threads (1 .. ThreadCount()-1), which join a run when they
// are free and are never waited for otherwise (a thread the system has set aside does
// not hold the run up unless it holds an item). Items are handed out in increasing order
// to whichever worker asks, so which worker runs an item is not fixed: a body must compute the same result for an item whoever runs it (scratch is
// chosen by worker, results by item) and items must write disjoint memory. Then the
// results do not depend on the thread count.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ksn {

class TWorkTeam {
public:
    using TBody = std::function<void(int item, int worker)>;

    // threadCount >= 1 workers in all (the caller included); EGeneralError otherwise.
    explicit TWorkTeam(int threadCount);
    ~TWorkTeam();
    TWorkTeam(const TWorkTeam&) = delete;
    TWorkTeam& operator=(const TWorkTeam&) = delete;

    int ThreadCount() const { return int(myHelpers.size()) + 1; }

    // Runs every item; re-raises the first error a body raised (in item order among the
    // items that raised) after every worker has finished. Not reentrant: a body must not
    // call Run of the same team.
    void Run(int count, const TBody& body);

private:
    void Helper(int worker);
    void Work(int worker);

    std::vector<std::thread> myHelpers;
    std::mutex myMutex;
    std::condition_variable myWake;     // helpers sleeping between runs
    std::condition_variable myFinished; // the caller waiting for items others hold
    std::atomic<std::uint64_t> myTicket{0};
    std::atomic<int> myDone{0};
    std::uint64_t myRun = 0;
    int mySleepers = 0;
    const TBody* myBody = nullptr;
    bool myStop = false;
    std::mutex myErrorMutex;
    std::exception_ptr myError;
    int myErrorItem = 0;
};

} // namespace ksn
