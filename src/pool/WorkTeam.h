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
// not hold the run up unless it holds an item). Each worker takes its own share of the
// items first and then helps with the others' (below), so which worker runs an item is
// not fixed: a body must compute the same result for an item whoever runs it (scratch is
// chosen by worker, results by item) and items must write disjoint memory. Then the
// results do not depend on the thread count.
//
// Locality. Data one core has just written costs several times more to read on another
// core than on the same one (it travels between the cores' caches), and a step's
// stages hand their data on: the rows a worker transformed are the rows it gathers and
// maps. So every worker first runs the items it owns, and only then takes what is left
// of the others' (a late or slow worker holds nothing up). Run(count, period, body)
// numbers the items in groups of `period` (item = g * period + position) and gives
// worker w the positions [ceil(w P / T), ceil((w + 1) P / T)) of every group, P the
// period and T the thread count: stages over the same row blocks (or panels) then keep
// each block on one worker, whatever the number of groups.
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
    void Run(int count, const TBody& body) { Run(count, count, body); }
    // Items in groups of `period` positions (file comment); `period` must divide `count`.
    void Run(int count, int period, const TBody& body);

private:
    void Helper(int worker);
    void Work(int worker);
    // Claims the next item of worker v's share: the item, or -1 when the share is spent.
    int Claim(int v);

    // Per worker: run number (bits 48..63), items in the share (24..47), next (0..23).
    struct alignas(64) TShare {
        std::atomic<std::uint64_t> ticket{0};
        int first = 0;  // first position of the share in each group
        int length = 0; // positions per group
    };

    // The announcement of a run and its parameters, which the caller writes once per run
    // and the workers read, share a cache line of their own; the count of items done,
    // which the workers write, lies on another (on one line with the parameters it would
    // send that line between the cores at the claims after a worker reported).
    std::vector<std::thread> myHelpers;
    std::mutex myMutex;
    std::condition_variable myWake;     // helpers sleeping between runs
    std::condition_variable myFinished; // the caller waiting for items others hold
    alignas(64) std::atomic<std::uint64_t> myTicket{0};
    const TBody* myBody = nullptr;
    int myCount = 0;
    int myPeriod = 1;
    std::vector<TShare> myShares;
    alignas(64) std::atomic<int> myDone{0};
    alignas(64) std::uint64_t myRun = 0;
    int mySleepers = 0;
    bool myStop = false;
    std::mutex myErrorMutex;
    std::exception_ptr myError;
    int myErrorItem = 0;
};

} // namespace ksn
