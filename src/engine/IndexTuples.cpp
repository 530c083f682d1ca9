#include "engine/IndexTuples.h"

#include "numerics/GeneralError.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace ksn {

namespace {

std::uint64_t Mix(std::uint64_t h, double v)
{
    // splitmix64 finaliser over the running hash and the value's bits.
    std::uint64_t z = h ^ (std::bit_cast<std::uint64_t>(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// True when the eight doubles at v all have the bit pattern `bits`: XOR with the pattern,
// OR-ed together two lanes at a time.
bool SameBits8(const double* v, std::uint64_t bits)
{
    using TLanes = std::uint64_t __attribute__((vector_size(16)));
    TLanes diff = {0, 0};
    const TLanes pattern = {bits, bits};
    for (int k = 0; k < 8; k += 2) {
        TLanes lanes;
        std::memcpy(&lanes, v + k, sizeof lanes);
        diff |= lanes ^ pattern;
    }
    return (diff[0] | diff[1]) == 0;
}

// Up to this many tuples are found by scanning; beyond, through the hash table.
constexpr size_t kLinearSearch = 8;

// Keeps a part or drops it; adding +0.0 turns -0.0 into +0.0, so equal values hash alike.
double Part(double v, bool keep) { return keep ? v + 0.0 : 0.0; }

} // namespace

size_t TIndexTuples::TKeyHash::operator()(const TIndexTuple& t) const
{
    std::uint64_t h = 0;
    h = Mix(h, t.n1.re);
    h = Mix(h, t.n1.im);
    h = Mix(h, t.n2.re);
    h = Mix(h, t.n2.im);
    return size_t(h);
}

TIndexTuple TIndexTuples::Reduce(TComplex n1, TComplex n2, TIndexParts parts)
{
    return {{Part(n1.re, parts.n1Re), Part(n1.im, parts.n1Im)}, {Part(n2.re, parts.n2Re), Part(n2.im, parts.n2Im)}};
}

std::int32_t TIndexTuples::Find(const TIndexTuple& key, std::vector<TIndexTuple>& tuples, TLookup& lookup)
{
    if (tuples.size() <= kLinearSearch) {
        // Few tuples so far (a handful of materials): a scan beats hashing.
        for (size_t t = 0; t < tuples.size(); ++t)
            if (TKeyEqual{}(key, tuples[t]))
                return std::int32_t(t);
        tuples.push_back(key);
        if (tuples.size() > kLinearSearch) // from now on the table
            for (size_t t = 0; t < tuples.size(); ++t)
                lookup.emplace(tuples[t], std::int32_t(t));
        return std::int32_t(tuples.size() - 1);
    }
    const auto [it, inserted] = lookup.try_emplace(key, std::int32_t(tuples.size()));
    if (inserted)
        tuples.push_back(key);
    return it->second;
}

// Runs of equal values along each row of rows r0 .. r1-1. Slices are mostly made of
// stretches of one material (layers, cores, claddings), so a run is extended eight
// points at a time by a branch-free comparison; a value equal to the run's first is
// finite, because that one was checked.
void TIndexTuples::ScanSlice(const TComplexArray& slice, int nx, int r0, int r1, const std::string& where,
                             TSliceBlock& out) const
{
    const double* re = slice.Re();
    const double* im = slice.Im();
    out.runs.clear();
    out.values.clear();
    out.rowStart.clear();
    for (int r = r0; r < r1; ++r) {
        out.rowStart.push_back(std::int32_t(out.runs.size()));
        const std::int32_t rowEnd = (r + 1) * nx;
        std::int32_t p = r * nx;
        while (p < rowEnd) {
            if (!std::isfinite(re[p]) || !std::isfinite(im[p]))
                throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
            // Equal bit patterns: stricter than ==, which only splits a run at a signed zero.
            const std::uint64_t ba = std::bit_cast<std::uint64_t>(re[p]), bb = std::bit_cast<std::uint64_t>(im[p]);
            std::int32_t q = p + 1;
            while (q + 8 <= rowEnd && SameBits8(re + q, ba) && SameBits8(im + q, bb))
                q += 8;
            while (q < rowEnd && std::bit_cast<std::uint64_t>(re[q]) == ba && std::bit_cast<std::uint64_t>(im[q]) == bb)
                ++q;
            out.runs.push_back({p, q - p});
            out.values.push_back({re[p], im[p]});
            p = q;
        }
    }
    out.rowStart.push_back(std::int32_t(out.runs.size()));
}

// Along each row the two slices' runs are walked together: every stretch where neither
// changes is one tuple. Each stretch's tuple is found once; points that differ only in
// parts the rule does not read continue the previous run (runs stay within one row).
void TIndexTuples::MergeRows(const TSliceBlock& previous, const TSliceBlock& current, int nx, int r0, int r1,
                             TIndexParts parts, TRowBlock& block) const
{
    block.tuples.clear();
    block.lookup.clear();
    block.runs.clear();
    block.ids.clear();
    for (int r = r0; r < r1; ++r) {
        std::int32_t a = previous.rowStart[size_t(r - r0)], b = current.rowStart[size_t(r - r0)];
        const std::int32_t rowEnd = (r + 1) * nx;
        std::int32_t p = r * nx;
        while (p < rowEnd) {
            const TPointRun& ra = previous.runs[size_t(a)];
            const TPointRun& rb = current.runs[size_t(b)];
            const std::int32_t endA = ra.first + ra.count, endB = rb.first + rb.count;
            const std::int32_t q = std::min(endA, endB);
            const TIndexTuple key = Reduce(previous.values[size_t(a)], current.values[size_t(b)], parts);
            const std::int32_t id = !block.ids.empty() && TKeyEqual{}(key, block.tuples[size_t(block.ids.back())])
                                        ? block.ids.back()
                                        : Find(key, block.tuples, block.lookup);
            if (!block.ids.empty() && block.ids.back() == id && block.runs.back().first / nx == r)
                block.runs.back().count += q - p;
            else {
                block.runs.push_back({p, q - p});
                block.ids.push_back(id);
            }
            p = q;
            a += endA == q ? 1 : 0;
            b += endB == q ? 1 : 0;
        }
    }
}

void TIndexTuples::Build(const TComplexArray& previous, const TComplexArray& current, int nx, int ny,
                         TIndexParts parts, const std::string& where, TWorkTeam* team, bool previousIsLastCurrent)
{
    if (previous.Nx() != nx || previous.Ny() != ny || current.Nx() != nx || current.Ny() != ny ||
        previous.IsPolar() || current.IsPolar())
        throw EGeneralError("Error in " + where + ". Index slice does not match the grid.");
    const std::int32_t count = nx * ny;
    // Pass 1: the runs of each block of rows, on the team's workers (one block per worker,
    // the rows a worker also transforms and gathers; one block without a team).
    const int blocks = team ? std::min(ny, team->ThreadCount()) : 1;
    if (myBlocks.size() < size_t(blocks))
        myBlocks.resize(size_t(blocks));
    const auto rowOf = [&](int b) { return int(std::int64_t(b) * ny / blocks); };
    // The previous slice's runs are those kept from the last build where it is the very
    // array scanned there as the current slice, in the same blocks.
    const bool reuse = previousIsLastCurrent && myRunsOf == &previous && myRunsNx == nx && myRunsNy == ny &&
                       myCurrentRuns.size() == size_t(blocks);
    if (reuse)
        std::swap(myPreviousRuns, myCurrentRuns);
    myRunsOf = nullptr;
    myPreviousRuns.resize(size_t(blocks));
    myCurrentRuns.resize(size_t(blocks));
    const auto scan = [&](int b, int) {
        const int r0 = rowOf(b), r1 = rowOf(b + 1);
        if (!reuse)
            ScanSlice(previous, nx, r0, r1, where, myPreviousRuns[size_t(b)]);
        ScanSlice(current, nx, r0, r1, where, myCurrentRuns[size_t(b)]);
        MergeRows(myPreviousRuns[size_t(b)], myCurrentRuns[size_t(b)], nx, r0, r1, parts, myBlocks[size_t(b)]);
    };
    if (team)
        team->Run(blocks, scan);
    else
        scan(0, 0);
    myRunsOf = &current;
    myRunsNx = nx;
    myRunsNy = ny;

    // The blocks' tuples numbered in block order (so in order of first occurrence), and
    // their runs joined: a run never crosses a row, so none continues across blocks.
    myTuples.clear();
    myLookup.clear();
    myRasterRuns.clear();
    myRasterIds.clear();
    for (int b = 0; b < blocks; ++b) {
        TRowBlock& block = myBlocks[size_t(b)];
        block.global.resize(block.tuples.size());
        for (size_t t = 0; t < block.tuples.size(); ++t)
            block.global[t] = Find(block.tuples[t], myTuples, myLookup);
        myRasterRuns.insert(myRasterRuns.end(), block.runs.begin(), block.runs.end());
        for (const std::int32_t id : block.ids)
            myRasterIds.push_back(block.global[size_t(id)]);
    }

    // Pass 2: counting sorts of the runs by tuple (stable, so row-major within a tuple).
    const size_t tuples = myTuples.size();
    myOffsets.assign(tuples + 1, 0);
    myRunOffsets.assign(tuples + 1, 0);
    for (size_t k = 0; k < myRasterRuns.size(); ++k) {
        myOffsets[size_t(myRasterIds[k]) + 1] += myRasterRuns[k].count;
        ++myRunOffsets[size_t(myRasterIds[k]) + 1];
    }
    for (size_t t = 0; t < tuples; ++t) {
        myOffsets[t + 1] += myOffsets[t];
        myRunOffsets[t + 1] += myRunOffsets[t];
    }
    myRuns.resize(myRasterRuns.size());
    std::vector<std::int32_t>& nextRun = myFillRuns;
    nextRun.assign(myRunOffsets.begin(), myRunOffsets.end() - 1);
    for (size_t k = 0; k < myRasterRuns.size(); ++k)
        myRuns[size_t(nextRun[size_t(myRasterIds[k])]++)] = myRasterRuns[k];
    myCount = count;
    myPointsListed.store(false, std::memory_order_release);
}

void TIndexTuples::ListPointsOnce() const
{
    std::lock_guard lock(myListMutex);
    if (myPointsListed.load(std::memory_order_relaxed))
        return;
    myIds.resize(size_t(myCount));
    myPoints.resize(size_t(myCount));
    // Tuple by tuple, its runs in row-major order: the points in that order.
    for (size_t t = 0; t + 1 < myRunOffsets.size(); ++t) {
        std::int32_t* to = myPoints.data() + myOffsets[t];
        for (std::int32_t k = myRunOffsets[t]; k < myRunOffsets[t + 1]; ++k) {
            const TPointRun run = myRuns[size_t(k)];
            std::fill_n(myIds.begin() + run.first, run.count, std::int32_t(t));
            for (std::int32_t q = 0; q < run.count; ++q)
                *to++ = run.first + q;
        }
    }
    myPointsListed.store(true, std::memory_order_release);
}

void TIndexTuples::BuildUniform(TComplex n1, TComplex n2, int nx, int ny, TIndexParts parts, const std::string& where)
{
    if (!std::isfinite(n1.re) || !std::isfinite(n1.im) || !std::isfinite(n2.re) || !std::isfinite(n2.im))
        throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
    const std::int32_t count = nx * ny;
    myLookup.clear();
    myRunsOf = nullptr;
    myTuples.assign(1, Reduce(n1, n2, parts));
    myOffsets.assign({0, count});
    myRunOffsets.assign({0, ny});
    myRuns.resize(size_t(ny));
    for (int r = 0; r < ny; ++r)
        myRuns[size_t(r)] = {r * nx, nx};
    myCount = count;
    myPointsListed.store(false, std::memory_order_release);
}

} // namespace ksn
