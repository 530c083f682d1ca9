#pragma once
// Per-plane-wave coefficient tables of the grouped sum, kept across slices. A table
// belongs to one local-index tuple and holds, for every spectral element w of the grid,
// the linear coefficients that turn the input spectra into that tuple's output spectra
// (SpectralSum.h): Fresnel transmission, absorption along the oblique path and the
// longitudinal phase, and those of the tuple's local terms (an unpropagated component,
// the energy flux). Scenes repeat a handful of tuples over hundreds of slices (a
// core and its cladding), so each table is computed once per run and reused whenever
// its tuple recurs.
//
// The cache holds at most Budget() bytes and evicts the least recently used table.
// Tables acquired in the current step are never evicted during it; when the budget
// cannot hold a new table beside them, Acquire returns none and the caller computes
// the coefficients on the fly for that step.
//
// A table is made at once for a tuple the caller expects to recur (one covering a large
// part of the grid: the bulk of a layer), otherwise the second time its tuple is met. A
// graded index brings hundreds of tuples of a few points each that never come back;
// tables for them would cost fresh memory (page faults) and evict tables that do recur.
// At the first meeting Acquire returns none and the caller computes on the fly.
#include "engine/IndexTuples.h"
#include "numerics/FastFourier.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ksn {

// What a table depends on besides the grid: the tuple, the rule (its type and the
// variant it reports, e.g. which inputs a step mode carries) and which inputs are present.
struct TCoefficientKey {
    TIndexTuple tuple;
    std::size_t rule = 0;
    int variant = 0;
    int inputs = 0; // bit mask of the present inputs
    bool operator==(const TCoefficientKey& o) const
    {
        return tuple.n1 == o.tuple.n1 && tuple.n2 == o.tuple.n2 && rule == o.rule && variant == o.variant &&
               inputs == o.inputs;
    }
};

struct TCoefficientTable {
    TComplexBuffer values;                 // complex coefficients, layout chosen by the caller
    std::vector<std::uint32_t> livePanels; // per transform panel: which blocks of the caller's
                                           // layout hold a non-zero coefficient (bit mask)
    bool filled = false;
};

class TCoefficientCache {
public:
    void SetBudget(std::size_t bytes) { myBudget = bytes; }
    std::size_t Budget() const { return myBudget; }

    // Forgets every table (the grid, wavelength or slice thickness changed).
    void Clear();
    // Starts a step: tables acquired from now on are kept until the next call.
    void BeginStep() { ++myStep; }

    // The table of `key` sized for `count` complex values and `panels` panels, or null
    // at the first meeting of a key that is not `eager` and when the budget cannot hold
    // it. A new table has filled == false.
    TCoefficientTable* Acquire(const TCoefficientKey& key, std::size_t count, int panels, bool eager = true);

    std::size_t Bytes() const { return myBytes; }
    std::size_t Tables() const { return myEntries.size(); }
    std::uint64_t Hits() const { return myHits; }
    std::uint64_t Misses() const { return myMisses; }
    std::uint64_t Evictions() const { return myEvictions; }

private:
    struct TKeyHash {
        std::size_t operator()(const TCoefficientKey& k) const;
    };
    struct TEntry {
        TCoefficientKey key;
        TCoefficientTable table;
        std::uint64_t step = 0;
    };

    std::size_t myBudget = std::size_t(256) << 20;
    std::size_t myBytes = 0;
    std::uint64_t myStep = 0;
    std::uint64_t myHits = 0, myMisses = 0, myEvictions = 0;
    std::list<TEntry> myEntries; // most recently used first
    std::unordered_map<TCoefficientKey, std::list<TEntry>::iterator, TKeyHash> myIndex;
    std::unordered_set<TCoefficientKey, TKeyHash> myMet; // keys met once, without a table
};

} // namespace ksn
