#include "engine/IndexTuples.h"

#include "numerics/GeneralError.h"

#include <bit>
#include <cmath>

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
    // Pass 1: number the tuples. Neighbouring points mostly share a tuple (layers,
    // cores, claddings), so the previous point's raw indices are compared first: equal
    // values are finite (they were checked when first met) and give the same tuple.
    std::int32_t last = -1;
    double last1r = 0, last1i = 0, last2r = 0, last2i = 0;
    for (std::int32_t p = 0; p < count; ++p) {
        if (last >= 0 && r1[p] == last1r && i1[p] == last1i && r2[p] == last2r && i2[p] == last2i) {
            myIds[size_t(p)] = last;
            continue;
        }
        if (!std::isfinite(r1[p]) || !std::isfinite(i1[p]) || !std::isfinite(r2[p]) || !std::isfinite(i2[p]))
            throw EGeneralError("Error in " + where + ". Index slice holds a non-finite value.");
        last1r = r1[p];
        last1i = i1[p];
        last2r = r2[p];
        last2i = i2[p];
        const TIndexTuple key = Reduce({r1[p], i1[p]}, {r2[p], i2[p]}, parts);
        if (last >= 0 && TKeyEqual{}(key, myTuples[size_t(last)])) {
            myIds[size_t(p)] = last;
            continue;
        }
        const auto [it, inserted] = myLookup.try_emplace(key, std::int32_t(myTuples.size()));
        if (inserted)
            myTuples.push_back(key);
        last = it->second;
        myIds[size_t(p)] = last;
    }
    // Pass 2: counting sort of the points by tuple (stable, so row-major within a tuple).
    const size_t tuples = myTuples.size();
    myOffsets.assign(tuples + 1, 0);
    for (std::int32_t p = 0; p < count; ++p)
        ++myOffsets[size_t(myIds[size_t(p)]) + 1];
    for (size_t t = 0; t < tuples; ++t)
        myOffsets[t + 1] += myOffsets[t];
    myPoints.resize(size_t(count));
    std::vector<std::int32_t>& next = myFill;
    next.assign(myOffsets.begin(), myOffsets.end() - 1);
    for (std::int32_t p = 0; p < count; ++p)
        myPoints[size_t(next[size_t(myIds[size_t(p)])]++)] = p;
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
}

} // namespace ksn
