#pragma once
// The point-by-point plane-wave sum of PointSum.h spread over the threads of a work pool,
// for the pooled steps. The same rule, the same plan and the same results as RunPointSum
// (up to the order in which the per-tuple local terms are added).
//
//  - direct points: split by output rows or columns (LinePoints); the row or column
//    worker of the step runs DirectSum over the points of its line. Every point sums the
//    plane waves in spectral order, so the values do not depend on the split.
//  - grouped tuples, a batch of tuples at a time:
//      1. spectra: one work item per spectral row (or column) evaluates the rule for the
//         plane waves of that line at every tuple of the batch and writes the line of each
//         tuple's spectra; its local terms go to a partial sum of its own;
//      2. transforms: one work item per (tuple, component) runs the inverse transform and
//         gathers the result at the tuple's points;
//      3. the partial local sums are added in line order and written to the tuple's points
//         on the calling thread.
//    Work items write disjoint memory: spectrum lines, different tuples' points or
//    different components; nothing is locked.
#include "engine/PointSum.h"
#include "engine/SpectralTransform.h"
#include "pool/WorkPool.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ksn {

// Scratch of the pooled grouped sum, kept from step to step.
class TPooledSumScratch {
public:
    // Spectra of `tuples` tuples x `components` components, each of `count` points.
    void Reserve(int tuples, int components, std::int32_t count)
    {
        const size_t size = size_t(tuples) * size_t(components) * size_t(count);
        if (myRe.size() < size) {
            myRe.resize(size);
            myIm.resize(size);
        }
        myCount = count;
        myComponents = components;
    }
    double* Re(int tuple, int m) { return myRe.data() + Offset(tuple, m); }
    double* Im(int tuple, int m) { return myIm.data() + Offset(tuple, m); }

    // Plane wave at spectral index j + i nx (position in `waves`), or -1.
    void IndexWaves(const std::vector<TPlaneWave>& waves, std::int32_t count)
    {
        myWaveAt.assign(size_t(count), -1);
        for (size_t w = 0; w < waves.size(); ++w)
            myWaveAt[size_t(waves[w].index)] = std::int32_t(w);
    }
    const std::vector<std::int32_t>& WaveAt() const { return myWaveAt; }

    std::vector<TComplexOf<double>>& Partials() { return myPartials; }
    TInverseTransform2D& Transform() { return myTransform; }

private:
    size_t Offset(int tuple, int m) const
    {
        return (size_t(tuple) * size_t(myComponents) + size_t(m)) * size_t(myCount);
    }

    std::int32_t myCount = 0;
    int myComponents = 0;
    std::vector<double> myRe, myIm;
    std::vector<std::int32_t> myWaveAt;
    std::vector<TComplexOf<double>> myPartials;
    TInverseTransform2D myTransform;
};

// Centred FFT with `sign` of every array, one array per work item: what TField::Fourier
// does to a field's arrays one after another. Arrays that a failed pool run left
// untransformed are transformed on the calling thread before the error leaves, so every
// array has been transformed either way.
inline void PooledTransform(TWorkPool& pool, const std::vector<TComplexArray*>& arrays, int sign)
{
    if (arrays.empty())
        return;
    std::vector<char> done(arrays.size(), 0);
    try {
        pool.Run(0, std::int32_t(arrays.size()) - 1, [&](std::int32_t k) {
            arrays[size_t(k)]->FFT(sign);
            done[size_t(k)] = 1;
        });
    } catch (...) {
        for (size_t k = 0; k < arrays.size(); ++k)
            if (!done[k])
                arrays[k]->FFT(sign);
        throw;
    }
}

// Tuples per batch: enough (tuple, component) transforms to keep every thread busy, no
// more spectra than about 256 MiB.
inline int PooledBatchSize(int threads, int components, std::int32_t count)
{
    const double perTuple = double(components) * double(count) * 2.0 * sizeof(double);
    const int byMemory = std::max(1, int(256.0 * 1024.0 * 1024.0 / perTuple));
    return std::max(1, std::min(threads, byMemory));
}

// The listed points split by output row (byRows) or column: lines[l] = the points of line l.
inline void LinePoints(const std::vector<std::int32_t>& points, int nx, int ny, bool byRows,
                       std::vector<std::vector<std::int32_t>>& lines)
{
    lines.resize(size_t(byRows ? ny : nx));
    for (auto& line : lines)
        line.clear();
    int shift = 0;
    while ((1 << shift) < nx)
        ++shift;
    const std::int32_t mask = nx - 1;
    for (const std::int32_t p : points)
        lines[size_t(byRows ? (p >> shift) : (p & mask))].push_back(p);
}

// Grouped summation of the listed tuples on the pool (formula in PointSum.h). The pool
// runs spectral rows when byRows, else spectral columns.
template <class Rule>
void PooledGroupedSum(TWorkPool& pool, bool byRows, const Rule& rule, const TSpectralGrid& grid,
                      const std::vector<TPlaneWave>& waves, const TIndexTuples& tuples,
                      const std::vector<std::int32_t>& grouped, TPooledSumScratch& scratch, const TSumTargets& out)
{
    using R = double;
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    static_assert(C >= 1 && C <= kMaxComponents && L >= 0 && L <= kMaxLocals);
    if (waves.empty() || grouped.empty())
        return;
    const int nx = grid.Nx(), ny = grid.Ny();
    const std::int32_t count = grid.Count();
    const int shift = grid.XShift();
    const std::int32_t mask = nx - 1;
    const double scale = grid.CentredSign();
    const int lines = byRows ? ny : nx;
    const int batch = PooledBatchSize(pool.ThreadCount(), C, count);
    scratch.Reserve(batch, C, count);
    scratch.IndexWaves(waves, count);
    scratch.Transform().Setup(nx, ny);
    std::vector<TComplexOf<R>>& partials = scratch.Partials();
    partials.assign(size_t(batch) * size_t(lines) * size_t(L + 1), TComplexOf<R>{});
    const std::int32_t* waveAt = scratch.WaveAt().data();

    for (size_t first = 0; first < grouped.size(); first += size_t(batch)) {
        const int inBatch = int(std::min(grouped.size() - first, size_t(batch)));
        const std::int32_t* batchTuples = grouped.data() + first;

        // 1. Spectra of the batch, line by line:
        //    C_m(j, i) = (-1)^(j+i) L_m(w; tau) e^{i phi(w; tau)}.
        pool.Run(0, lines - 1, [&](std::int32_t line) {
            TComplexOf<R> lateral[C];
            TComplexOf<R> local[L + 1];
            const int length = byRows ? nx : ny;
            for (int b = 0; b < inBatch; ++b) {
                const TIndexTuple& tuple = tuples.Tuple(batchTuples[b]);
                TComplexOf<R>* partial = partials.data() + (size_t(b) * size_t(lines) + size_t(line)) * size_t(L + 1);
                for (int l = 0; l < L; ++l)
                    partial[l] = {};
                for (int k = 0; k < length; ++k) {
                    const std::int32_t p = byRows ? k + (line << shift) : line + (k << shift);
                    double* re[C];
                    double* im[C];
                    for (int m = 0; m < C; ++m) {
                        re[m] = scratch.Re(b, m) + p;
                        im[m] = scratch.Im(b, m) + p;
                        *re[m] = 0.0;
                        *im[m] = 0.0;
                    }
                    const std::int32_t w = waveAt[p];
                    if (w < 0)
                        continue;
                    const TPlaneWave& wave = waves[size_t(w)];
                    R phase = 0;
                    if (!rule.template Evaluate<R>(wave, tuple, lateral, phase, local))
                        continue;
                    const R parity = ((wave.j + wave.i) & 1) ? -1.0 : 1.0;
                    const TComplexOf<R> e = parity * Phasor<R>(phase);
                    for (int m = 0; m < C; ++m) {
                        const TComplexOf<R> v = lateral[m] * e;
                        *re[m] = v.re;
                        *im[m] = v.im;
                    }
                    for (int l = 0; l < L; ++l)
                        partial[l] = partial[l] + local[l];
                }
            }
        });

        // 2. Unscaled inverse transform of every (tuple, component), gathered at the
        //    tuple's points: out_m(p) += s (-1)^(c+r) (N IFFT_m)(p).
        pool.Run(0, inBatch * C - 1, [&](std::int32_t item) {
            const int b = item / C, m = item % C;
            double* re = scratch.Re(b, m);
            double* im = scratch.Im(b, m);
            scratch.Transform().Run(re, im);
            const std::int32_t* pts = tuples.PointsOf(batchTuples[b]);
            const std::int32_t n = tuples.PointCount(batchTuples[b]);
            double* outRe = out.re[m];
            double* outIm = out.im[m];
            for (std::int32_t q = 0; q < n; ++q) {
                const std::int32_t p = pts[q];
                const double f = (((p & mask) + (p >> shift)) & 1) ? -scale : scale;
                outRe[p] += f * re[p];
                outIm[p] += f * im[p];
            }
        });

        // 3. Local terms, line partials added in line order: out_l(p) += G_l.
        for (int b = 0; b < inBatch; ++b) {
            TComplexOf<R> sum[L + 1];
            for (int line = 0; line < lines; ++line) {
                const TComplexOf<R>* partial =
                    partials.data() + (size_t(b) * size_t(lines) + size_t(line)) * size_t(L + 1);
                for (int l = 0; l < L; ++l)
                    sum[l] = sum[l] + partial[l];
            }
            const std::int32_t* pts = tuples.PointsOf(batchTuples[b]);
            const std::int32_t n = tuples.PointCount(batchTuples[b]);
            for (int l = 0; l < L; ++l)
                for (std::int32_t q = 0; q < n; ++q) {
                    out.localRe[l][pts[q]] += sum[l].re;
                    out.localIm[l][pts[q]] += sum[l].im;
                }
        }
    }
}

} // namespace ksn
