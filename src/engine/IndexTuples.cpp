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

void TIndexTuples::Build(const TComplexArray& previous, const TComplexArray& current, int nx, int ny,
                         TIndexParts parts, const std::string& where)
{
    if (previous.Nx() != nx || previous.Ny() != ny || current.Nx() != nx || current.Ny() != ny ||
        previous.IsPolar() || current.IsPolar())
        throw EGeneralError("Error in " + where + ". Index slice does not match the grid.");
    const std::int32_t count = nx * ny;
    const double* r1 = previous.Re();
    const double* i1 = previous.Im();
    const double* r2 = current.Re();
    const double* i2 = current.Im();

    myTuples.clear();
    myLookup.clear();
    myIds.resize(size_t(count));
    myRasterRuns.clear();
    myRasterIds.clear();
    // Pass 1: runs of equal raw indices along each row. Slices are mostly made of
    // stretches of one material (layers, cores, claddings), so a run is extended eight
    // points at a time by a branch-free comparison; a value equal to the run's first is
    // finite, because that one was checked. Each run's tuple is found once.
    for (int r = 0; r < ny; ++r) {
        const std::int32_t rowEnd = (r + 1) * nx;
        std::int32_t p = r * nx;
        while (p < rowEnd) {
            if (!std::isfinite(r1[p]) || !std::isfinite(i1[p]) || !std::isfinite(r2[p]) || !std::isfinite(i2[p]))
                throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
            const double a = r1[p], b = i1[p], c = r2[p], d = i2[p];
            // Equal bit patterns: stricter than ==, which only splits a run at a signed zero.
            const std::uint64_t ba = std::bit_cast<std::uint64_t>(a), bb = std::bit_cast<std::uint64_t>(b),
                                bc = std::bit_cast<std::uint64_t>(c), bd = std::bit_cast<std::uint64_t>(d);
            const auto differs = [&](std::int32_t k) {
                return (std::bit_cast<std::uint64_t>(r1[k]) ^ ba) | (std::bit_cast<std::uint64_t>(i1[k]) ^ bb) |
                       (std::bit_cast<std::uint64_t>(r2[k]) ^ bc) | (std::bit_cast<std::uint64_t>(i2[k]) ^ bd);
            };
            std::int32_t q = p + 1;
            while (q + 8 <= rowEnd && SameBits8(r1 + q, ba) && SameBits8(i1 + q, bb) && SameBits8(r2 + q, bc) &&
                   SameBits8(i2 + q, bd))
                q += 8;
            while (q < rowEnd && differs(q) == 0)
                ++q;
            const TIndexTuple key = Reduce({a, b}, {c, d}, parts);
            std::int32_t id = -1;
            if (!myRasterIds.empty() && TKeyEqual{}(key, myTuples[size_t(myRasterIds.back())])) {
                id = myRasterIds.back();
            } else if (myTuples.size() <= kLinearSearch) {
                // Few tuples so far (a handful of materials): a scan beats hashing.
                for (size_t t = 0; t < myTuples.size() && id < 0; ++t)
                    if (TKeyEqual{}(key, myTuples[t]))
                        id = std::int32_t(t);
                if (id < 0) {
                    id = std::int32_t(myTuples.size());
                    myTuples.push_back(key);
                    if (myTuples.size() > kLinearSearch) // from now on the table
                        for (size_t t = 0; t < myTuples.size(); ++t)
                            myLookup.emplace(myTuples[t], std::int32_t(t));
                }
            } else {
                const auto [it, inserted] = myLookup.try_emplace(key, std::int32_t(myTuples.size()));
                if (inserted)
                    myTuples.push_back(key);
                id = it->second;
            }
            // Runs stay within one row; points that differ only in parts the rule does
            // not read continue the previous run.
            if (!myRasterIds.empty() && myRasterIds.back() == id && myRasterRuns.back().first / nx == r)
                myRasterRuns.back().count += q - p;
            else {
                myRasterRuns.push_back({p, q - p});
                myRasterIds.push_back(id);
            }
            std::fill(myIds.begin() + p, myIds.begin() + q, id);
            p = q;
        }
    }
    // Pass 2: counting sorts of the runs and the points by tuple (stable, so row-major
    // within a tuple).
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
    myPoints.resize(size_t(count));
    myRuns.resize(myRasterRuns.size());
    std::vector<std::int32_t>& next = myFill;
    next.assign(myOffsets.begin(), myOffsets.end() - 1);
    std::vector<std::int32_t>& nextRun = myFillRuns;
    nextRun.assign(myRunOffsets.begin(), myRunOffsets.end() - 1);
    for (size_t k = 0; k < myRasterRuns.size(); ++k) {
        const size_t t = size_t(myRasterIds[k]);
        const TPointRun run = myRasterRuns[k];
        myRuns[size_t(nextRun[t]++)] = run;
        std::int32_t* to = myPoints.data() + next[t];
        for (std::int32_t q = 0; q < run.count; ++q)
            to[q] = run.first + q;
        next[t] += run.count;
    }
}

void TIndexTuples::BuildUniform(TComplex n1, TComplex n2, int nx, int ny, TIndexParts parts, const std::string& where)
{
    if (!std::isfinite(n1.re) || !std::isfinite(n1.im) || !std::isfinite(n2.re) || !std::isfinite(n2.im))
        throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
    const std::int32_t count = nx * ny;
    myLookup.clear();
    myTuples.assign(1, Reduce(n1, n2, parts));
    myIds.assign(size_t(count), 0);
    myOffsets.assign({0, count});
    myPoints.resize(size_t(count));
    for (std::int32_t p = 0; p < count; ++p)
        myPoints[size_t(p)] = p;
    myRunOffsets.assign({0, ny});
    myRuns.resize(size_t(ny));
    for (int r = 0; r < ny; ++r)
        myRuns[size_t(r)] = {r * nx, nx};
}

} // namespace ksn
