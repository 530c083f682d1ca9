#pragma once
// The distinct local-index tuples of a slice pair. At an output point p a plane wave's
// contribution depends on p only through the indices there (n1 of the previous slice,
// n2 of the current slice) and the lateral phase; points that share a tuple share every
// per-point coefficient. This class numbers the distinct tuples, records the tuple of
// every point and lists the points of every tuple (row-major order within a tuple),
// also as runs: stretches of consecutive points of one row that share the tuple.
//
// The grouped sums read the runs only; the tuple of every point and the point lists,
// which the direct sums read, are written out of the runs on their first use after a
// build (a step of the grouped sum would otherwise write eight bytes per point for
// nothing).
#include "numerics/Complex.h"
#include "numerics/ComplexArray.h"
#include "pool/WorkTeam.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ksn {

struct TIndexTuple {
    TComplex n1; // previous slice, n + i kappa
    TComplex n2; // current slice
};

// Consecutive points first .. first+count-1 of one row.
struct TPointRun {
    std::int32_t first = 0;
    std::int32_t count = 0;
};

// Which parts of the indices a rule reads; the others are set to 0 so that points
// differing only there share a tuple.
struct TIndexParts {
    bool n1Re = true, n1Im = true, n2Re = true, n2Im = true;
};

class TIndexTuples {
public:
    // Both slices must be nx x ny of the grid. Throws EGeneralError ("Error in <where>. ...")
    // for a slice of the wrong size or one holding a non-finite value. With a team the
    // rows are scanned in blocks on its workers; tuples are numbered in the order they
    // first occur in raster order, so the result is the same for any team.
    // Each slice is scanned into runs of equal values along its rows, and the tuples'
    // runs are where the two slices' runs overlap. `previousIsLastCurrent`: `previous`
    // holds the level that was `current` in the last build, unchanged since (a sweep
    // from slice to slice); if it is the very array scanned then, its runs are reused
    // and only `current` is read.
    void Build(const TComplexArray& previous, const TComplexArray& current, int nx, int ny, TIndexParts parts,
               const std::string& where, TWorkTeam* team = nullptr, bool previousIsLastCurrent = false);

    // One tuple for the whole nx x ny grid, the reduction of (n1, n2): the homogeneous
    // spectral paths read the indices at point (0, 0) only. Throws EGeneralError for a
    // non-finite index.
    void BuildUniform(TComplex n1, TComplex n2, int nx, int ny, TIndexParts parts, const std::string& where);

    // The tuple of point (0, 0), reduced as Build would: the homogeneous fast paths use it.
    static TIndexTuple Reduce(TComplex n1, TComplex n2, TIndexParts parts);

    std::int32_t Count() const { return std::int32_t(myTuples.size()); }
    const TIndexTuple& Tuple(std::int32_t t) const { return myTuples[size_t(t)]; }
    const TIndexTuple& AtPoint(std::int32_t p) const { return myTuples[size_t(IdAt(p))]; }
    std::int32_t IdAt(std::int32_t p) const
    {
        ListPoints();
        return myIds[size_t(p)];
    }
    std::int32_t PointCount(std::int32_t t) const { return myOffsets[size_t(t) + 1] - myOffsets[size_t(t)]; }
    const std::int32_t* PointsOf(std::int32_t t) const
    {
        ListPoints();
        return myPoints.data() + myOffsets[size_t(t)];
    }
    std::int32_t RunCount(std::int32_t t) const { return myRunOffsets[size_t(t) + 1] - myRunOffsets[size_t(t)]; }
    const TPointRun* RunsOf(std::int32_t t) const { return myRuns.data() + myRunOffsets[size_t(t)]; }

private:
    struct TKeyHash {
        size_t operator()(const TIndexTuple& t) const;
    };
    struct TKeyEqual {
        bool operator()(const TIndexTuple& a, const TIndexTuple& b) const { return a.n1 == b.n1 && a.n2 == b.n2; }
    };
    using TLookup = std::unordered_map<TIndexTuple, std::int32_t, TKeyHash, TKeyEqual>;
    // The id of `key` among `tuples`, appended when new (a scan while they are few, then
    // `lookup`).
    static std::int32_t Find(const TIndexTuple& key, std::vector<TIndexTuple>& tuples, TLookup& lookup);
    // Runs of equal values (bit patterns) along rows r0 .. r1-1 of one slice. The blocks
    // of a build are filled at once, one per worker: each starts a cache line of its own
    // (with neighbours sharing one, every append would hand that line from core to core).
    struct alignas(64) TSliceBlock {
        std::vector<TPointRun> runs;
        std::vector<TComplex> values;        // of each run
        std::vector<std::int32_t> rowStart;  // first run of row r0 + k, r1 - r0 + 1 entries
    };
    void ScanSlice(const TComplexArray& slice, int nx, int r0, int r1, const std::string& where,
                   TSliceBlock& out) const;
    // One block of rows as scanned: its runs in raster order, with ids into its own tuples
    // (a cache line of its own, as above).
    struct alignas(64) TRowBlock {
        std::vector<TIndexTuple> tuples;
        TLookup lookup;
        std::vector<TPointRun> runs;
        std::vector<std::int32_t> ids;
        std::vector<std::int32_t> global; // global id of each of the block's tuples
    };
    // Writes myIds and myPoints from the runs once after a build; safe from several threads.
    void ListPoints() const
    {
        if (!myPointsListed.load(std::memory_order_acquire))
            ListPointsOnce();
    }
    void ListPointsOnce() const;
    // The tuples' runs of rows r0 .. r1-1 from both slices' runs there.
    void MergeRows(const TSliceBlock& previous, const TSliceBlock& current, int nx, int r0, int r1,
                   TIndexParts parts, TRowBlock& block) const;

    std::vector<TIndexTuple> myTuples;
    std::int32_t myCount = 0;                    // points of the grid
    mutable std::vector<std::int32_t> myIds;     // tuple of every point, p = c + r*nx
    std::vector<std::int32_t> myOffsets;         // points of tuple t: myPoints[myOffsets[t] .. myOffsets[t+1])
    mutable std::vector<std::int32_t> myPoints;
    mutable std::atomic<bool> myPointsListed{false};
    mutable std::mutex myListMutex;
    std::vector<std::int32_t> myFillRuns; // scratch of the counting sort
    std::vector<std::int32_t> myRunOffsets; // runs of tuple t: myRuns[myRunOffsets[t] .. myRunOffsets[t+1])
    std::vector<TPointRun> myRuns;
    std::vector<TPointRun> myRasterRuns;     // scratch: every run in raster order
    std::vector<std::int32_t> myRasterIds;   // scratch: the tuple of every raster run
    std::vector<TRowBlock> myBlocks;
    std::vector<TSliceBlock> myPreviousRuns, myCurrentRuns;
    const TComplexArray* myRunsOf = nullptr; // the slice of myCurrentRuns (null: none kept)
    int myRunsNx = 0, myRunsNy = 0;
    TLookup myLookup;
};

} // namespace ksn
