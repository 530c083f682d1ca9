#pragma once
// The point-by-point plane-wave sum shared by every wave-propagation and reflection step.
//
// A step decomposes its input into plane waves w (spectral index (j, i), wave vector
// (kx, ky), amplitudes a_w) and writes at every output point p = (c, r):
//
//   out_m(p) = sum_w  L_m(w; tau(p)) e^{i (kx x(c) + ky y(r) + phi(w; tau(p)))}  +  sum_w  G_l(w; tau(p))
//
// where tau(p) is the local-index tuple at p (IndexTuples.h), L_m the rule's
// coefficients for output component m (Fresnel factor, absorption, amplitudes) with
// their longitudinal phase phi, and G_l terms that carry no lateral phase (a flux, or a
// component left unpropagated). The rule is written once (a class with a template
// member Evaluate<R>) and summed in two ways:
//
//  - direct: spectral loop outside, points inside, each term evaluated in extended
//    precision with its own phasor: the reference, of cost (nx ny)^2;
//  - grouped: for one tuple tau the lateral sum is a centred inverse transform,
//      sum_w C(w) e^{i (kx x + ky y)} = N s (-1)^(c+r) IFFT[(-1)^(j+i) C](c, r),
//    with C(w) = L(w; tau) e^{i phi}, N = nx ny, s the centred sign of SpectralGrid.h
//    and IFFT the unmodulated inverse transform scaled by 1/N (N IFFT is the unscaled
//    fast transform of numerics/FastFourier.h, in double). One transform per
//    distinct tuple and component serves all the tuple's points; G is summed once per
//    tuple. Evaluated in double.
//  - automatic: per tuple, whichever of the two a cost estimate finds cheaper.
//
// RunPointSum below is the plain form: the caller collects the plane waves and the rule
// is evaluated anew for every tuple of every step, on one thread. The steps use the
// form of SpectralSum.h, which keeps the coefficients of linear rules across slices,
// transforms on copies and spreads the work over the engine's threads.
//
// Rule requirements (see ScalarWPMRule.h for an instance):
//   static constexpr int kComponents;   lateral output components (1 .. kMaxComponents)
//   static constexpr int kLocals;       terms without lateral phase (0 .. kMaxLocals)
//   template <class R> bool Evaluate(const TPlaneWave&, const TIndexTuple&,
//                                    TComplexOf<R>* lateral, R& phase, TComplexOf<R>* local) const;
//   returning false when the wave contributes nothing at that tuple.
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/SpectralGrid.h"
#include "engine/StepMode.h"
#include "numerics/ComplexArray.h"
#include "numerics/FastFourier.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ksn {

enum class TSummation { automatic, direct, grouped };

const char* SummationName(TSummation s);

constexpr int kMaxComponents = 3;
constexpr int kMaxLocals = 2;

// One plane wave a step carries: spectral index, wave vector, and the amplitudes of the
// forward and the backward field (components in the step's order).
struct TPlaneWave {
    std::int32_t j = 0, i = 0;
    std::int32_t index = 0; // j + i*nx
    TExtended kx = 0, ky = 0, kt2 = 0;
    TComplex forward[kMaxComponents];
    TComplex backward[kMaxComponents];
};

// Collects the plane waves of a step in spectral order (row i outer, column j inner).
// forward/backward: the spectra of the present inputs (nComponents arrays each, or
// nullptr), already transformed. A wave is skipped when keep(kx, ky, kt2) is false or
// when its first `tested` components are all zero in every present input. Amplitudes
// are multiplied by `scale`.
template <class Keep>
void CollectPlaneWaves(const TSpectralGrid& grid, const TComplexArray* const* forward,
                       const TComplexArray* const* backward, int nComponents, int tested, double scale, Keep keep,
                       std::vector<TPlaneWave>& waves)
{
    waves.clear();
    const int nx = grid.Nx(), ny = grid.Ny();
    for (int i = 0; i < ny; ++i) {
        const TExtended ky = grid.Ky()[i];
        for (int j = 0; j < nx; ++j) {
            const TExtended kx = grid.Kx()[j];
            const TExtended kt2 = kx * kx + ky * ky;
            if (!keep(kx, ky, kt2))
                continue;
            TPlaneWave w;
            bool any = false;
            for (int m = 0; m < nComponents; ++m) {
                if (forward) {
                    const TComplex a = forward[m]->At(j, i);
                    any = any || (m < tested && (a.re != 0.0 || a.im != 0.0));
                    w.forward[m] = {a.re * scale, a.im * scale};
                }
                if (backward) {
                    const TComplex b = backward[m]->At(j, i);
                    any = any || (m < tested && (b.re != 0.0 || b.im != 0.0));
                    w.backward[m] = {b.re * scale, b.im * scale};
                }
            }
            if (!any)
                continue;
            w.j = j;
            w.i = i;
            w.index = j + i * nx;
            w.kx = kx;
            w.ky = ky;
            w.kt2 = kt2;
            waves.push_back(w);
        }
    }
}

// Where a point sum adds its results: split re/im blocks of nx*ny doubles, x fastest.
// Local terms may point at the same blocks as lateral components. `accumulate`: the
// grouped sum of SpectralSum.h adds to the blocks' values instead of storing into
// blocks that hold zeros. `zeroed` false: the blocks hold stale values, and that sum
// writes every element of every block (it zeroes them first only where it does not
// store every point itself), so the step need not clear its output beforehand.
// `carry`: where one grouped tuple covers every point, the sum keeps the spectrum of
// its output for the next step (TSpectralSum::UseCarriedSpectrum).
struct TSumTargets {
    double* re[kMaxComponents] = {};
    double* im[kMaxComponents] = {};
    double* localRe[kMaxLocals] = {};
    double* localIm[kMaxLocals] = {};
    bool accumulate = false;
    bool zeroed = true;
    bool carry = false;
};

// Scratch of the grouped sum and the summation plan, reused from step to step so that
// no step allocates once the grid size is settled.
class TSumScratch {
public:
    // Splits the tuples between the two summations: grouped tuples in Grouped(), the
    // points of the direct tuples in DirectPoints() (all points in row-major order for
    // TSummation::direct, the reference order). `cachedCoefficients`: the grouped sum
    // reads tabulated coefficients instead of evaluating the rule per wave.
    void Plan(TSummation strategy, const TIndexTuples& tuples, std::int64_t waveCount, int components,
              const TSpectralGrid& grid, bool cachedCoefficients = false);
    const std::vector<std::int32_t>& Grouped() const { return myGrouped; }
    const std::vector<std::int32_t>& DirectPoints() const { return myDirectPoints; }

    // Interleaved spectrum blocks for `components` transforms on the grid's transform.
    void Reserve(int components, int nx, int ny);
    double* Spectrum(int m) { return mySpectrum[size_t(m)].Data(); }
    double* Panel() { return myPanel.Data(); }
    const TFastFourier2D& Transform() const { return myTransform; }

private:
    std::vector<std::int32_t> myGrouped;
    std::vector<std::int32_t> myDirectPoints;
    TComplexBuffer mySpectrum[kMaxComponents];
    TComplexBuffer myPanel;
    TFastFourier2D myTransform;
};

// Direct summation over the listed points: for every wave in spectral order, for every
// point, in extended precision
//   out_m(p) += L_m(w; tau(p)) e^{i (kx x + ky y + phi)},   out_l(p) += G_l(w; tau(p)).
// DirectSumRange sums `count` points from `pts`; points of different calls may be
// summed concurrently (each point's sum runs over the waves in the same order).
template <class Rule>
void DirectSumRange(const Rule& rule, const TSpectralGrid& grid, const std::vector<TPlaneWave>& waves,
                    const TIndexTuples& tuples, const std::int32_t* pts, size_t count, const TSumTargets& out)
{
    using R = TExtended;
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    static_assert(C >= 1 && C <= kMaxComponents && L >= 0 && L <= kMaxLocals);
    const int shift = grid.XShift();
    const std::int32_t mask = grid.Nx() - 1;
    const TExtended* x = grid.X();
    const TExtended* y = grid.Y();
    TComplexOf<R> lateral[C];
    TComplexOf<R> local[L + 1];
    for (const TPlaneWave& w : waves) {
        for (size_t q = 0; q < count; ++q) {
            const std::int32_t p = pts[q];
            R phase = 0;
            if (!rule.template Evaluate<R>(w, tuples.AtPoint(p), lateral, phase, local))
                continue;
            const TComplexOf<R> e = Phasor<R>(w.kx * x[p & mask] + w.ky * y[p >> shift] + phase);
            for (int m = 0; m < C; ++m) {
                const TComplexOf<R> v = lateral[m] * e;
                out.re[m][p] = double(out.re[m][p] + v.re);
                out.im[m][p] = double(out.im[m][p] + v.im);
            }
            for (int l = 0; l < L; ++l) {
                out.localRe[l][p] = double(out.localRe[l][p] + local[l].re);
                out.localIm[l][p] = double(out.localIm[l][p] + local[l].im);
            }
        }
    }
}

template <class Rule>
void DirectSum(const Rule& rule, const TSpectralGrid& grid, const std::vector<TPlaneWave>& waves,
               const TIndexTuples& tuples, const std::vector<std::int32_t>& points, const TSumTargets& out)
{
    DirectSumRange(rule, grid, waves, tuples, points.data(), points.size(), out);
}

// Grouped summation of the listed tuples (formula in the header comment), in double.
template <class Rule>
void GroupedSum(const Rule& rule, const TSpectralGrid& grid, const std::vector<TPlaneWave>& waves,
                const TIndexTuples& tuples, const std::vector<std::int32_t>& grouped, TSumScratch& scratch,
                const TSumTargets& out)
{
    using R = double;
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    static_assert(C >= 1 && C <= kMaxComponents && L >= 0 && L <= kMaxLocals);
    const int nx = grid.Nx(), ny = grid.Ny();
    const std::int32_t count = grid.Count();
    const int shift = grid.XShift();
    const std::int32_t mask = nx - 1;
    const double scale = grid.CentredSign();
    scratch.Reserve(C, nx, ny);
    TComplexOf<R> lateral[C];
    TComplexOf<R> local[L + 1];
    for (const std::int32_t t : grouped) {
        const TIndexTuple& tuple = tuples.Tuple(t);
        for (int m = 0; m < C; ++m)
            std::fill_n(scratch.Spectrum(m), 2 * size_t(count), 0.0);
        TComplexOf<R> localSum[L + 1];
        // Spectrum of the tuple: C_m(j, i) = (-1)^(j+i) L_m(w; tau) e^{i phi(w; tau)}.
        for (const TPlaneWave& w : waves) {
            R phase = 0;
            if (!rule.template Evaluate<R>(w, tuple, lateral, phase, local))
                continue;
            const R parity = ((w.j + w.i) & 1) ? -1.0 : 1.0;
            const TComplexOf<R> e = parity * Phasor<R>(phase);
            for (int m = 0; m < C; ++m) {
                const TComplexOf<R> v = lateral[m] * e;
                scratch.Spectrum(m)[2 * size_t(w.index)] = v.re;
                scratch.Spectrum(m)[2 * size_t(w.index) + 1] = v.im;
            }
            for (int l = 0; l < L; ++l)
                localSum[l] = localSum[l] + local[l];
        }
        // Unscaled inverse transform: N IFFT.
        for (int m = 0; m < C; ++m)
            scratch.Transform().Run(scratch.Spectrum(m), -1, scratch.Panel());
        // Gather at the tuple's points: out_m(p) += s (-1)^(c+r) (N IFFT_m)(p); out_l(p) += G_l.
        const std::int32_t* pts = tuples.PointsOf(t);
        const std::int32_t n = tuples.PointCount(t);
        for (int m = 0; m < C; ++m) {
            const double* v = scratch.Spectrum(m);
            double* outRe = out.re[m];
            double* outIm = out.im[m];
            for (std::int32_t q = 0; q < n; ++q) {
                const std::int32_t p = pts[q];
                const double f = (((p & mask) + (p >> shift)) & 1) ? -scale : scale;
                outRe[p] += f * v[2 * size_t(p)];
                outIm[p] += f * v[2 * size_t(p) + 1];
            }
        }
        for (int l = 0; l < L; ++l) {
            for (std::int32_t q = 0; q < n; ++q) {
                out.localRe[l][pts[q]] += localSum[l].re;
                out.localIm[l][pts[q]] += localSum[l].im;
            }
        }
    }
}

// Plans and runs the sum of one step with the given strategy.
template <class Rule>
void RunPointSum(const Rule& rule, TSummation strategy, const TSpectralGrid& grid,
                 const std::vector<TPlaneWave>& waves, const TIndexTuples& tuples, TSumScratch& scratch,
                 const TSumTargets& out)
{
    if (waves.empty())
        return;
    scratch.Plan(strategy, tuples, std::int64_t(waves.size()), Rule::kComponents, grid);
    if (!scratch.DirectPoints().empty())
        DirectSum(rule, grid, waves, tuples, scratch.DirectPoints(), out);
    if (!scratch.Grouped().empty())
        GroupedSum(rule, grid, waves, tuples, scratch.Grouped(), scratch, out);
}

} // namespace ksn
