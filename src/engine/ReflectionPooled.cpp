// The pooled vector reflection steps MT_nextVWR and MT_nextVWRAllComplex: the rules of
// ReflectVWPM and ReflectVWPMAllComplex (ReflectionRules.h), spread over a work pool by
// output rows (when nx <= ny/2) or output columns (otherwise). Each worker call computes
// the complete result of its line, so workers write disjoint points and take no lock.
//
// The dispatcher does the per-step preparation once (checks, forward transform, plane
// waves, index tuples) and publishes the step's input in the engine; the workers only
// read it. On a homogeneous slice pair MT_nextVWR's worker index selects the spectral
// row (or column) of plane waves it reflects, and the dispatcher transforms the
// reflected spectrum back after the pool.
//
// Line sum. On output row r the point sum of PointSum.h,
//   out_m(c, r) = sum_w L_m(w; tau(c, r)) e^{i (kx x(c) + ky y(r))},
// is, for the points of one tuple tau, a one-dimensional centred inverse transform:
//   kx(j) x(c) = 2 pi j c / nx - pi j - pi c + pi nx/2, hence
//   out_m(c, r) = s (-1)^c  sum_j e^{2 pi i j c / nx} [ (-1)^j sum_{w in column j} L_m e^{i ky y(r)} ],
// s = e^{i pi nx/2} (-1 for nx = 2, else 1). One transform of length nx per tuple on
// the row serves all its points; a tuple with few points on the row is summed
// directly, in extended precision, exactly as the direct sum does. A column is the
// same with the axes exchanged.
#include "engine/BrelWaveOptics.h"
#include "config/Messages.h"
#include "engine/ReflectionRules.h"
#include "engine/StepGuards.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"
#include "pool/WorkPool.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ksn {

namespace {

// Cost estimate per tuple on a line, in units of one direct evaluation (as the point
// sum's plan): direct m K; line transform K cRule + C (n log2(n) cButterfly + n cPass) + m cGather.
constexpr double kRule = 0.1;
constexpr double kButterfly = 0.004;
constexpr double kPass = 0.02;
constexpr double kGather = 0.01;

// Per-thread scratch of the line sums: (tuple, position) pairs and the line spectra.
struct TLineScratch {
    std::vector<std::pair<std::int32_t, std::int32_t>> entries;
    std::vector<double> re[kMaxComponents];
    std::vector<double> im[kMaxComponents];
};

TLineScratch& LineScratch()
{
    thread_local TLineScratch scratch;
    return scratch;
}

template <class Rule>
void LineSum(const Rule& rule, TSummation strategy, const TSpectralGrid& grid, const std::vector<TPlaneWave>& waves,
             const TIndexTuples& tuples, const TInverseTransform2D& transform, bool row, std::int32_t index,
             const TSumTargets& out)
{
    constexpr int C = Rule::kComponents;
    static_assert(C >= 1 && C <= kMaxComponents && Rule::kLocals == 0);
    const int nx = grid.Nx(), ny = grid.Ny();
    const int n = row ? nx : ny;
    const int shift = grid.XShift();
    const std::int32_t mask = nx - 1;
    const TExtended* x = grid.X();
    const TExtended* y = grid.Y();
    const auto point = [&](std::int32_t q) { return row ? q + index * nx : index + q * nx; };

    TLineScratch& scratch = LineScratch();
    scratch.entries.clear();
    for (std::int32_t q = 0; q < n; ++q)
        scratch.entries.emplace_back(tuples.IdAt(point(q)), q);
    std::sort(scratch.entries.begin(), scratch.entries.end());
    for (int m = 0; m < C; ++m) {
        scratch.re[m].resize(size_t(n));
        scratch.im[m].resize(size_t(n));
    }

    const double waveCount = double(waves.size());
    const double transformCost = C * (n * std::log2(double(n)) * kButterfly + n * kPass);
    const double lineSign = n == 2 ? -1.0 : 1.0;
    TComplexOf<TExtended> lateralX[C];
    TComplexOf<double> lateralD[C];
    for (size_t a = 0; a < scratch.entries.size();) {
        size_t b = a;
        while (b < scratch.entries.size() && scratch.entries[b].first == scratch.entries[a].first)
            ++b;
        const TIndexTuple& tuple = tuples.Tuple(scratch.entries[a].first);
        const double m = double(b - a);
        const bool direct = strategy == TSummation::direct ||
                            (strategy == TSummation::automatic &&
                             m * waveCount <= waveCount * kRule + transformCost + m * kGather);
        if (direct) {
            // out_m(p) += L_m e^{i (kx x + ky y + phi)}, wave by wave as the direct sum.
            for (const TPlaneWave& w : waves) {
                TExtended phase = 0;
                if (!rule.template Evaluate<TExtended>(w, tuple, lateralX, phase, nullptr))
                    continue;
                for (size_t e = a; e < b; ++e) {
                    const std::int32_t p = point(scratch.entries[e].second);
                    const TComplexOf<TExtended> f =
                        Phasor<TExtended>(w.kx * x[p & mask] + w.ky * y[p >> shift] + phase);
                    for (int k = 0; k < C; ++k) {
                        const TComplexOf<TExtended> v = lateralX[k] * f;
                        out.re[k][p] = double(out.re[k][p] + v.re);
                        out.im[k][p] = double(out.im[k][p] + v.im);
                    }
                }
            }
        } else {
            // S_m(s) = sum over the waves of line index s of (-1)^s L_m e^{i (k_other u + phi)}.
            for (int k = 0; k < C; ++k) {
                std::fill_n(scratch.re[k].data(), n, 0.0);
                std::fill_n(scratch.im[k].data(), n, 0.0);
            }
            for (const TPlaneWave& w : waves) {
                double phase = 0;
                if (!rule.template Evaluate<double>(w, tuple, lateralD, phase, nullptr))
                    continue;
                const std::int32_t s = row ? w.j : w.i;
                const double other = row ? double(w.ky * y[index]) : double(w.kx * x[index]);
                const TComplexOf<double> f = ((s & 1) ? -1.0 : 1.0) * Phasor<double>(other + phase);
                for (int k = 0; k < C; ++k) {
                    const TComplexOf<double> v = lateralD[k] * f;
                    scratch.re[k][size_t(s)] += v.re;
                    scratch.im[k][size_t(s)] += v.im;
                }
            }
            for (int k = 0; k < C; ++k)
                transform.Run(scratch.re[k].data(), scratch.im[k].data());
            for (size_t e = a; e < b; ++e) {
                const std::int32_t q = scratch.entries[e].second;
                const std::int32_t p = point(q);
                const double f = (q & 1) ? -lineSign : lineSign;
                for (int k = 0; k < C; ++k) {
                    out.re[k][p] += f * scratch.re[k][size_t(q)];
                    out.im[k][p] += f * scratch.im[k][size_t(q)];
                }
            }
        }
        a = b;
    }
}

} // namespace

void TBrelWaveOptics::MT_nextVWR(const TStepInput& in, TFieldRef& reflected)
{
    PooledReflection("TBrelWaveOptics.MT_nextVWR", false, in, reflected);
}

void TBrelWaveOptics::MT_nextVWRAllComplex(const TStepInput& in, TFieldRef& reflected)
{
    PooledReflection("TBrelWaveOptics.MT_nextVWRAllComplex", true, in, reflected);
}

// MT_nextVWR clears the reflected field (or creates it) and gives it the forward field's
// wave quantities; without a forward field it shows its message and leaves the cleared
// field. MT_nextVWRAllComplex requires a forward field and adds to an existing
// reflected field as ReflectVWPMAllComplex does.
void TBrelWaveOptics::PooledReflection(const char* where, bool allComplex, const TStepInput& in,
                                       TFieldRef& reflected)
{
    myTimer->Start();
    const std::string caller(where);
    if (!allComplex && !in.forward) {
        if (!in.grid)
            throw EGeneralError("Error in " + caller + ". Called function with unassigned grid.");
        TVectorEField* out = stepguard::Vector(reflected.get(), caller);
        stepguard::CheckFieldGrid(out, *in.grid, caller);
        if (out)
            out->ClearField();
        else
            reflected = std::make_shared<TVectorEField>(*in.grid);
        ShowMessage("Error in TBrelWaveOptics.MT_nextVWR. Called function with unassigned Field (i.e. <nil>).");
        StoreStepTime();
        return;
    }

    const bool spectral = !allComplex && in.homogeneousPair;
    TVectorEField* forward = CheckVectorReflection(caller, allComplex, spectral, in, reflected);
    TVectorEField* out = stepguard::Vector(reflected.get(), caller);
    if (!out) {
        auto created = std::make_shared<TVectorEField>(*in.grid);
        out = created.get();
        reflected = std::move(created);
        out->CopyWaveQuantities(*forward);
    } else if (!allComplex) {
        out->ClearField();
        out->CopyWaveQuantities(*forward);
    }

    const int nx = in.grid->nx, ny = in.grid->ny;
    const bool rows = double(nx) <= double(ny) / 2.0;
    {
        const stepguard::TSpectralInputs spectrum(forward, nullptr);
        CollectReflectionWaves(allComplex, spectral, *forward);
        myLineTransform.Setup(rows ? nx : ny, 1);

        // Published for the workers until the pool has finished, also on an error.
        struct TPublication {
            TBrelWaveOptics& engine;
            ~TPublication()
            {
                engine.myReflectionInput = nullptr;
                engine.myReflectedField = nullptr;
            }
        } publication{*this};
        myReflectionInput = &in;
        myReflectedField = out;
        myReflectionAllComplex = allComplex;
        myReflectionSpectral = spectral;
        TComplexArray* arrays[3] = {&out->EX(), &out->EY(), &out->EZ()};
        myReflectionTargets = TSumTargets{};
        for (int m = 0; m < (allComplex ? 3 : 2); ++m) {
            myReflectionTargets.re[m] = arrays[m]->Re();
            myReflectionTargets.im[m] = arrays[m]->Im();
        }

        // The run's thread blocks here; a front end stays responsive by running the core
        // off its window thread, so the wait serves no events.
        TWorkPool pool(std::max<std::int32_t>(1, myThreadCount));
        if (rows)
            pool.Run(0, ny - 1,
                     allComplex ? TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::ReflectionRowWorkerAllComplex, this))
                                : TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::ReflectionRowWorker, this)));
        else
            pool.Run(0, nx - 1,
                     allComplex
                         ? TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::ReflectionColumnWorkerAllComplex, this))
                         : TWorkPool::TWorker(std::bind_front(&TBrelWaveOptics::ReflectionColumnWorker, this)));
    }
    if (spectral)
        out->Fourier(-1);
    StoreStepTime();
}

void TBrelWaveOptics::ReflectionRowWorker(std::int32_t r) { ReflectionLine(true, r); }
void TBrelWaveOptics::ReflectionColumnWorker(std::int32_t c) { ReflectionLine(false, c); }
void TBrelWaveOptics::ReflectionRowWorkerAllComplex(std::int32_t r) { ReflectionLine(true, r); }
void TBrelWaveOptics::ReflectionColumnWorkerAllComplex(std::int32_t c) { ReflectionLine(false, c); }

void TBrelWaveOptics::ReflectionLine(bool row, std::int32_t index)
{
    const TStepInput* in = myReflectionInput;
    if (!in || !in->forward || !myReflectedField)
        return;
    if (myReflectionAllComplex) {
        LineSum(TVectorReflectionAllComplexRule{mySpectral.K0()}, mySummation, mySpectral, myWaves, myTuples,
                myLineTransform, row, index, myReflectionTargets);
        return;
    }
    const TVectorReflectionRule rule{mySpectral.K0(), in->grid->evanescent};
    if (!myReflectionSpectral) {
        LineSum(rule, mySummation, mySpectral, myWaves, myTuples, myLineTransform, row, index, myReflectionTargets);
        return;
    }
    // Homogeneous pair: the plane waves of spectral row (column) `index`, reflected with
    // the indices at point (0, 0) and written at their own spectral index.
    const TIndexTuple tuple =
        TIndexTuples::Reduce(in->previousSlice->At(0, 0), in->currentSlice->At(0, 0), TVectorReflectionRule::kParts);
    TComplexOf<TExtended> lateral[2];
    for (const TPlaneWave& w : myWaves) {
        if ((row ? w.i : w.j) != index)
            continue;
        TExtended phase = 0.0L;
        if (!rule.Evaluate<TExtended>(w, tuple, lateral, phase, nullptr))
            continue;
        for (int m = 0; m < 2; ++m) {
            double& re = myReflectionTargets.re[m][w.index];
            double& im = myReflectionTargets.im[m][w.index];
            re = double(re + lateral[m].re);
            im = double(im + lateral[m].im);
        }
    }
}

} // namespace ksn
