#pragma once
// The point sum of the steps (PointSum.h) at the transform floor and on every thread.
//
// Inputs. The step hands its input fields' components to TransformInputs, which
// transforms copies (the fields are not touched):
//   Y_u(j, i) = F[(-1)^(c+r) E_u](j, i),
// F the unscaled forward fast transform, u = forward component m (slot m) or backward
// component m (slot kMaxComponents + m). Y is the centred spectrum X of the field
// without the output modulation: X(j, i) = (-1)^(j+i) Y(j, i).
//
// Linear rules. Where a rule's lateral terms are linear in the input amplitudes,
//   L_m(w; tau) e^{i phi(w; tau)} = sum_u M_mu(w; tau) A_u(w) e^{i phi(w; tau)},
// with A_u = s X_u / N the plane-wave amplitudes (s the centred sign, N = nx ny), the
// output of one tuple's points is
//   out_m(c, r) = (-1)^(c+r) G[ sum_u K_mu Y_u ](c, r),   K_mu(w; tau) = M_mu e^{i phi} / N,
// G the unscaled inverse fast transform: the step's modulations (-1)^(j+i) cancel and
// so does s (s^2 = 1). K is the rule's whole coefficient, Fresnel factor, absorption
// and longitudinal phase, and depends on the wave and the tuple only, so it is
// tabulated once per run for each tuple (CoefficientCache.h) and a step costs one
// complex multiply-add per wave and input, one inverse transform per tuple and output
// component, and the gather. Such a rule declares
//   static constexpr int kInputs;          components per input field (1 .. kMaxComponents)
//   int Variant() const;                   distinguishes coefficient sets of one rule type
//                                          (a step mode, for instance)
//   template <class R> bool Coefficients(const TWaveVector& w, const TIndexTuple& tau,
//                                        TComplexOf<R>* M, R& phase) const;
// with M row-major, kComponents rows of 2 kInputs columns: forward components first,
// then backward ones; false when the wave contributes nothing at the tuple. The rule
// reads the first min(kInputs, transformed) components of each field: a step transforms
// only the components its rule reads in its configuration, and the columns of the others
// are zero.
//
// Local terms of linear rules. A linear rule may carry kLocals terms without lateral
// phase, the same at every point of a tuple, each a sum over the waves of either
//   a linear term      G_l(w; tau) = sum_u Q_lu(w; tau) A_u(w),   or
//   the flux term      f(w; tau)   = xx |L_0|^2 + 2 Re(xy L_0 L_1^*) + yy |L_1|^2,
// a Hermitian form of the wave's first two lateral terms (the transverse field), which
// the rule names kLocalFlux (-1: none). It gives Q and (xx, xy, yy) through
//   template <class R> bool Coefficients(w, tau, M, phase, TLocalCoefficients<R>* locals) const.
// Since A_u = s (-1)^(j+i) Y_u / N, a linear term is sum_u sum_w Q'_lu Y_u with
// Q' = s (-1)^(j+i) Q / N, tabulated beside K. A tuple's panel of component m holds
// P_m = s (-1)^(j+i) e^{i phi} L_m, of the modulus of L_m, and a Hermitian form does not
// see a common unit factor: the flux term is the form of the panels P_0, P_1 themselves.
// Both are summed per panel of the column pass, and the panels' partial sums are added
// in panel order.
//
// Adding. The grouped points receive their lateral terms by a store (the step has
// created or cleared its output), or by an addition where the targets ask for it
// (TSumTargets::accumulate: a reflection adds to the field it is given).
//
// Threads. Every stage is a list of items run on the engine's work team (WorkTeam.h):
// row blocks and panels of the transforms (numerics/FastFourier.h), coefficient panels,
// points of the direct sum. An item computes the same values whichever worker runs it,
// and items write disjoint memory (every point belongs to one tuple), so the result is
// the same, bit for bit, for any thread count.
#include "engine/CoefficientCache.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PointSum.h"
#include "engine/SpectralGrid.h"
#include "numerics/FastFourier.h"
#include "numerics/GeneralError.h"
#include "pool/WorkTeam.h"

#include <algorithm>
#include <cassert>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

namespace ksn {

// The wave vector of one spectral element (1/m), in extended precision as the plane
// waves of the direct sum carry it, so that a rule deciding its case by the sign of
// (n k0)^2 - kt^2 decides it alike in both summations.
struct TWaveVector {
    TExtended kx = 0, ky = 0, kt2 = 0;
};

// The local terms of one wave at one tuple for a linear rule (file comment): the
// coefficients Q_lu of the linear terms (row l: the term's index, columns as M) and the
// flux form (xx, xy, yy) of the term kLocalFlux.
template <class R>
struct TLocalCoefficients {
    TComplexOf<R> linear[kMaxLocals][2 * kMaxComponents] = {};
    R xx = 0, yy = 0;
    TComplexOf<R> xy = {};
};

template <class Rule>
concept TLinearRule = requires(const Rule& rule, const TWaveVector& w, const TIndexTuple& tau,
                               TComplexOf<double>* matrix, double& phase) {
    { Rule::kInputs } -> std::convertible_to<int>;
    { rule.Variant() } -> std::convertible_to<int>;
    { rule.template Coefficients<double>(w, tau, matrix, phase) } -> std::same_as<bool>;
};

class TSpectralSum {
public:
    // Per step: the grid's transform, the work team (null = one thread). A grid, vacuum
    // wave number, spacing or slice thickness different from the previous call's clears
    // the coefficient cache.
    void Setup(const TSpectralGrid& grid, TWorkTeam* team);
    void SetCacheBudget(std::size_t bytes) { myCache.SetBudget(bytes); }
    TCoefficientCache& Cache() { return myCache; }
    const TCoefficientCache& Cache() const { return myCache; }

    // Transforms copies of the present inputs (null = absent), `components` per field;
    // both arrays must hold at least `components` entries. Arrays must be nx x ny of the grid.
    void TransformInputs(const TComplexArray* const* forward, const TComplexArray* const* backward, int components);
    // The input spectrum of a step whose forward field is the output of the last sum,
    // where that sum kept it (TSumTargets::carry): its one grouped tuple covered every
    // point, so the output is out = (-1)^(c+r) G[P] for the tuple's spectrum P and its
    // input spectrum is F[(-1)^(c+r) out] = F G P = N P, N = nx ny (a power of two: an
    // exact scaling), with no forward transform. Any other sum, transform of inputs or
    // change of grid drops it.
    bool HasCarriedSpectrum() const { return myCarried; }
    // As TransformInputs of that output alone, forward, one component.
    void UseCarriedSpectrum();
    // Zeroes every component of the waves whose first `tested` components are zero in
    // every present input: a step that skips such a wave, whatever its other components
    // hold, then reads nothing of it in either summation.
    void DropEmptyWaves(int tested);

    // Zeroes the first `components` lateral and `locals` local blocks of `out`, row block
    // by row block on the team.
    void ZeroTargets(const TSumTargets& out, int components, int locals);

    // Sum of nx ny values (one per point), in extended precision per row block and the
    // blocks' sums added in block order: the same bits on any thread count.
    TExtended Total(const double* values);

    const TSpectralGrid& Grid() const { return *myGrid; }
    const TFastFourier2D& Transform() const { return myFft; }
    int Components() const { return myComponents; }
    bool HasForward() const { return myHasForward; }
    bool HasBackward() const { return myHasBackward; }
    // Y of slot u (forward m: u = m; backward m: u = kMaxComponents + m), panel layout.
    const double* Spectrum(int u) const { return mySpectra[size_t(u)].Data(); }

    // --- used by RunSpectralSum ---
    // Items on the team, in groups of `period` that share their data stage to stage
    // (WorkTeam.h): item g * period + b works on row block (or panel batch) b.
    void RunItems(int count, int period, const TWorkTeam::TBody& body);
    void RunItems(int count, const TWorkTeam::TBody& body) { RunItems(count, count, body); }
    // Panels are handed out in batches of consecutive panels of at least some 2048
    // values: a thin grid's panels (16 values on a one-row grid) would cost more to hand
    // out than to compute. Panels per batch, and the batches covering the grid.
    int PanelBatch() const { return myPanelBatch; }
    int PanelBatches() const { return (myFft.Panels() + myPanelBatch - 1) / myPanelBatch; }
    // Calls body(b) for the panels of batch `batch`, in panel order.
    template <class Body>
    void ForPanelsOf(int batch, Body body) const
    {
        const int last = std::min(myFft.Panels(), (batch + 1) * myPanelBatch);
        for (int b = batch * myPanelBatch; b < last; ++b)
            body(b);
    }
    int Workers() const { return myTeam ? myTeam->ThreadCount() : 1; }
    // How many of a step's `tuples` are inverse-transformed together (one work array per
    // tuple and component, and one spectrum when the rule is evaluated per wave); sizes them.
    int GroupSize(int components, bool evaluated, int tuples);
    double* Work(int g, int m) { return myWork[size_t(g * kMaxComponents + m)].Data(); }
    // Tuple spectra of rules evaluated per wave (panel layout), allocated on first use.
    double* Evaluated(int g, int m);
    // One panel per worker and output component.
    double* Panel(int worker, int m) { return myPanels[size_t(worker * kMaxComponents + m)].Data(); }
    double* Scratch(int worker, std::size_t count);
    // Begins keeping the spectrum of this sum's output (null: it is not kept); panel b
    // of it is N times the tuple's panel b, and the sum ends with EndCarry.
    double* BeginCarry(bool carry);
    void EndCarry(bool carried) { myCarried = carried; }
    TSumScratch& Plan() { return myPlan; }
    std::vector<TPlaneWave>& Waves() { return myWaves; }
    std::vector<TCoefficientTable*>& Tables() { return myTables; }
    std::vector<TComplexOf<double>>& LocalSums() { return myLocalSums; }
    // Per tuple, panel and local term: the panel's share of the term.
    std::vector<TComplexOf<double>>& Partials() { return myPartials; }
    // Per tuple of a group and row block: whether the block holds points of the tuple.
    std::vector<std::uint8_t>& BlockUse() { return myBlockUse; }
    // Kept plane waves of the grid, counted once per grid and keep rule (a keep rule
    // depends on the grid only: its type identifies it).
    template <class Keep>
    std::int64_t KeptCount(Keep keep);
    // out(p) = (-1)^(c+r) work(p) (or out(p) += with `add`) for the points of the given runs.
    void Gather(const double* work, const TPointRun* runs, std::int32_t count, double* outRe, double* outIm,
                bool add) const;
    // First and one-past-last index into a tuple's row-major runs that lie in row block `block`.
    std::pair<std::int32_t, std::int32_t> BlockRange(const TPointRun* runs, std::int32_t count, int block) const;

private:
    const TSpectralGrid* myGrid = nullptr;
    TWorkTeam* myTeam = nullptr;
    TFastFourier2D myFft;
    int myNx = 0, myNy = 0, myPanelBatch = 1;
    TExtended myK0 = 0, myDZ = 0, myDKx = 0, myDKy = 0, myDX = 0, myDY = 0;
    int myComponents = 0;
    bool myHasForward = false, myHasBackward = false;
    std::vector<std::pair<std::type_index, std::int64_t>> myKept; // (keep rule type, count)
    TComplexBuffer mySpectra[2 * kMaxComponents];
    TComplexBuffer myInputWork[2 * kMaxComponents];
    TComplexBuffer myCarry;
    bool myCarried = false;
    std::vector<TComplexBuffer> myWork;
    std::vector<TComplexBuffer> myEvaluated;
    std::vector<TComplexBuffer> myPanels;
    std::vector<TComplexBuffer> myScratch;
    TCoefficientCache myCache;
    TSumScratch myPlan;
    std::vector<TPlaneWave> myWaves;
    std::vector<TCoefficientTable*> myTables;
    std::vector<TComplexOf<double>> myLocalSums;
    std::vector<TComplexOf<double>> myPartials;
    std::vector<TExtended> myBlockTotals;
    std::vector<std::uint8_t> myBlockUse;
};

template <class Keep>
std::int64_t TSpectralSum::KeptCount(Keep keep)
{
    const std::type_index rule(typeid(Keep));
    for (const auto& [known, count] : myKept)
        if (known == rule)
            return count;
    std::int64_t kept = 0;
    for (int i = 0; i < myNy; ++i)
        for (int j = 0; j < myNx; ++j) {
            const TExtended kx = myGrid->Kx()[j], ky = myGrid->Ky()[i];
            kept += keep(kx, ky, kx * kx + ky * ky) ? 1 : 0;
        }
    myKept.emplace_back(rule, kept);
    return kept;
}

namespace spectral_sum_detail {

// The plane waves of the present inputs in spectral order (row i outer, column j
// inner) with their amplitudes A = s (-1)^(j+i) Y / N, for the direct sum and for rules
// evaluated per wave. A wave is left out when keep(kx, ky, kt2) is false or when all
// its components are zero in every present input.
template <class Keep>
void CollectWaves(TSpectralSum& sum, Keep keep)
{
    const TSpectralGrid& grid = sum.Grid();
    const TFastFourier2D& fft = sum.Transform();
    std::vector<TPlaneWave>& waves = sum.Waves();
    waves.clear();
    const int nx = grid.Nx(), ny = grid.Ny(), components = sum.Components();
    const double scale = grid.CentredSign() / double(grid.Count());
    for (int i = 0; i < ny; ++i) {
        const TExtended ky = grid.Ky()[i];
        for (int j = 0; j < nx; ++j) {
            const TExtended kx = grid.Kx()[j];
            const TExtended kt2 = kx * kx + ky * ky;
            if (!keep(kx, ky, kt2))
                continue;
            const double f = ((j + i) & 1) ? -scale : scale;
            const std::size_t at = 2 * fft.PanelOffset(j, i);
            TPlaneWave w;
            bool any = false;
            for (int m = 0; m < components; ++m) {
                if (sum.HasForward()) {
                    const double* y = sum.Spectrum(m) + at;
                    any = any || y[0] != 0.0 || y[1] != 0.0;
                    w.forward[m] = {f * y[0], f * y[1]};
                }
                if (sum.HasBackward()) {
                    const double* y = sum.Spectrum(kMaxComponents + m) + at;
                    any = any || y[0] != 0.0 || y[1] != 0.0;
                    w.backward[m] = {f * y[0], f * y[1]};
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

// Which input slots are present, in coefficient-column order, and their columns in the
// rule's matrix (forward component m: column m; backward: kInputs + m).
struct TInputList {
    int count = 0;
    int mask = 0;
    int slot[2 * kMaxComponents] = {};
    int column[2 * kMaxComponents] = {};
};

inline TInputList PresentInputs(const TSpectralSum& sum, int inputs)
{
    TInputList list;
    const int read = std::min(inputs, sum.Components());
    for (int m = 0; m < read; ++m)
        if (sum.HasForward()) {
            list.slot[list.count] = m;
            list.column[list.count++] = m;
            list.mask |= 1 << m;
        }
    for (int m = 0; m < read; ++m)
        if (sum.HasBackward()) {
            list.slot[list.count] = kMaxComponents + m;
            list.column[list.count++] = inputs + m;
            list.mask |= 1 << (kMaxComponents + m);
        }
    return list;
}

// The flux term of a rule, -1 without one.
template <class Rule>
constexpr int FluxTerm()
{
    if constexpr (Rule::kLocals > 0)
        return Rule::kLocalFlux;
    else
        return -1;
}

// Where a linear rule's coefficients for one tuple lie, `stride` elements per block (a
// whole table: the grid's count; one panel computed on the fly: the panel's size), in
// complex values: block (row, u) of K_mu (row m < kComponents) or Q'_lu (row
// kComponents + k for the k-th linear local term) at (row P + u) stride, P present
// inputs; then the flux form, two values per element, (xx, yy) and xy, at
// rows P stride + 2 e. Bit row P + u of a panel's mask says that block holds a non-zero
// value in the panel, bit kFormBit the form.
struct TTableLayout {
    int rows = 0;
    int inputs = 0;
    bool form = false;
    std::size_t Values(std::size_t stride) const
    {
        return (std::size_t(rows) * std::size_t(inputs) + (form ? 2 : 0)) * stride;
    }
    std::size_t Block(int row, int u, std::size_t stride) const
    {
        return (std::size_t(row) * std::size_t(inputs) + std::size_t(u)) * stride;
    }
    std::size_t Form(std::size_t stride) const { return std::size_t(rows) * std::size_t(inputs) * stride; }
    std::uint32_t RowMask(std::uint32_t mask, int row) const
    {
        return (mask >> (row * inputs)) & ((1u << inputs) - 1u);
    }
};
constexpr std::uint32_t kFormBit = 1u << 31;

template <class Rule>
TTableLayout LayoutOf(const TInputList& inputs)
{
    constexpr int flux = FluxTerm<Rule>();
    return {Rule::kComponents + Rule::kLocals - (flux >= 0 ? 1 : 0), inputs.count, flux >= 0};
}

// Coefficients of panel `b` for one tuple, K_mu = M_mu e^{i phi} / N and the local
// terms' Q' and form, into `dest` at `base` + q (q the element's place in the panel) of
// every block; returns the panel's mask of blocks with a non-zero value.
template <class Rule, class Keep>
std::uint32_t CoefficientPanel(const Rule& rule, Keep keep, const TSpectralSum& sum, const TIndexTuple& tuple, int b,
                               const TInputList& inputs, const TTableLayout& layout, double* dest, std::size_t stride,
                               std::size_t base)
{
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    constexpr int columns = 2 * Rule::kInputs;
    constexpr int flux = FluxTerm<Rule>();
    const TSpectralGrid& grid = sum.Grid();
    const TFastFourier2D& fft = sum.Transform();
    const int width = fft.PanelWidth();
    const std::size_t size = fft.PanelSize();
    const double inverseN = 1.0 / double(grid.Count());
    const double signedInverseN = grid.CentredSign() * inverseN;
    const int P = inputs.count;
    std::uint32_t live = 0;
    TComplexOf<double> matrix[C * columns];
    TLocalCoefficients<double> locals;
    // Stores v at element q of block (row, u).
    const auto put = [&](int row, int u, std::size_t q, TComplexOf<double> v) {
        double* k = dest + 2 * (layout.Block(row, u, stride) + base + q);
        k[0] = v.re;
        k[1] = v.im;
        if (v.re != 0.0 || v.im != 0.0)
            live |= 1u << (row * P + u);
    };
    for (std::size_t q = 0; q < size; ++q) {
        const int j = b * width + int(q % std::size_t(width));
        const int i = int(q / std::size_t(width));
        const TExtended kx = grid.Kx()[j], ky = grid.Ky()[i];
        const TExtended kt2 = kx * kx + ky * ky;
        double phase = 0;
        bool contributes = keep(kx, ky, kt2);
        if (contributes) {
            std::fill_n(matrix, C * columns, TComplexOf<double>{});
            if constexpr (L > 0) {
                locals = {};
                contributes = rule.template Coefficients<double>(TWaveVector{kx, ky, kt2}, tuple, matrix, phase,
                                                                 &locals);
            } else {
                contributes = rule.template Coefficients<double>(TWaveVector{kx, ky, kt2}, tuple, matrix, phase);
            }
        }
#ifndef NDEBUG
        // The columns of components the step did not transform must be zero.
        for (int m = 0; contributes && m < C; ++m)
            for (int c = 0; c < columns; ++c)
                assert(c % Rule::kInputs < sum.Components() ||
                       (matrix[m * columns + c].re == 0.0 && matrix[m * columns + c].im == 0.0));
#endif
        const TComplexOf<double> e = inverseN * Phasor<double>(phase);
        for (int m = 0; m < C; ++m)
            for (int u = 0; u < P; ++u)
                put(m, u, q, contributes ? matrix[m * columns + inputs.column[u]] * e : TComplexOf<double>{});
        if constexpr (L > 0) {
            const double f = ((j + i) & 1) ? -signedInverseN : signedInverseN;
            int row = C;
            for (int l = 0; l < L; ++l) {
                if (l == flux)
                    continue;
                for (int u = 0; u < P; ++u)
                    put(row, u, q, contributes ? f * locals.linear[l][inputs.column[u]] : TComplexOf<double>{});
                ++row;
            }
            if (layout.form) {
                double* x = dest + 2 * (layout.Form(stride) + 2 * (base + q));
                x[0] = contributes ? locals.xx : 0.0;
                x[1] = contributes ? locals.yy : 0.0;
                x[2] = contributes ? locals.xy.re : 0.0;
                x[3] = contributes ? locals.xy.im : 0.0;
                if (x[0] != 0.0 || x[1] != 0.0 || x[2] != 0.0 || x[3] != 0.0)
                    live |= kFormBit;
            }
        }
    }
    return live;
}

// panel(q) = sum_u K_mu(q) Y_u(panel b, q) over the inputs u of `live` (bit u), K of
// input u read at k + 2 u stride + 2 q; false (panel untouched) when none is live.
bool FillPanel(double* panel, const double* k, std::size_t stride, const TSpectralSum& sum, const TInputList& inputs,
               int b, std::uint32_t live);

// A linear local term's share of panel b: sum_u sum_q Q'_u(q) Y_u(panel b, q), Q' read
// as K in FillPanel.
TComplexOf<double> LinearTermOfPanel(const double* k, std::size_t stride, const TSpectralSum& sum,
                                     const TInputList& inputs, int b, std::uint32_t live);

// The flux term's share of one panel:
//   sum_q xx |p0|^2 + yy |p1|^2 + 2 Re(xy p0 p1^*),   form = (xx, yy, Re xy, Im xy) per element.
double FluxOfPanel(const double* form, const double* p0, const double* p1, std::size_t count);

// out(q) = scale p(q), complex, `count` values.
void ScaledCopy(double* out, const double* p, double scale, std::size_t count);

// Spectrum of one tuple by evaluating the rule per wave (rules without coefficients):
//   S_m(w) = s (-1)^(j+i) L_m(w; tau) e^{i phi},   into `spectrum` (panel layout),
// and the tuple's local terms summed over the waves into `locals`.
template <class Rule>
void EvaluatedSpectrum(const Rule& rule, TSpectralSum& sum, const TIndexTuple& tuple, double* const* spectrum,
                       TComplexOf<double>* locals)
{
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    const TFastFourier2D& fft = sum.Transform();
    const double s = sum.Grid().CentredSign();
    for (int m = 0; m < C; ++m)
        std::fill_n(spectrum[m], 2 * std::size_t(fft.Count()), 0.0);
    for (int l = 0; l < L; ++l)
        locals[l] = {};
    TComplexOf<double> lateral[C];
    TComplexOf<double> local[L + 1];
    for (const TPlaneWave& w : sum.Waves()) {
        double phase = 0;
        if (!rule.template Evaluate<double>(w, tuple, lateral, phase, local))
            continue;
        const double f = ((w.j + w.i) & 1) ? -s : s;
        const TComplexOf<double> e = f * Phasor<double>(phase);
        const std::size_t at = 2 * fft.PanelOffset(w.j, w.i);
        for (int m = 0; m < C; ++m) {
            const TComplexOf<double> v = lateral[m] * e;
            spectrum[m][at] = v.re;
            spectrum[m][at + 1] = v.im;
        }
        for (int l = 0; l < L; ++l)
            locals[l] = locals[l] + local[l];
    }
}

} // namespace spectral_sum_detail

// One step's sum: plans direct and grouped tuples (PointSum.h), sums the direct points
// in extended precision and the grouped tuples as above into `out`, which must hold
// zeros unless out.accumulate is set (the step has created or cleared its output): every
// point receives its lateral terms from one summation only, so grouped points are
// stored and direct ones added. keep(kx, ky, kt2) selects the plane waves the step
// carries; it must depend on the grid only, and be the same for every call with one rule
// type and variant on one grid.
template <class Rule, class Keep>
void RunSpectralSum(const Rule& rule, Keep keep, TSummation strategy, TSpectralSum& sum, const TIndexTuples& tuples,
                    const TSumTargets& out)
{
    using namespace spectral_sum_detail;
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    constexpr bool linear = TLinearRule<Rule>;
    static_assert(C >= 1 && C <= kMaxComponents && L >= 0 && L <= kMaxLocals);
    if constexpr (linear) {
        static_assert(Rule::kInputs >= 1 && Rule::kInputs <= kMaxComponents);
        static_assert(FluxTerm<Rule>() < L && (FluxTerm<Rule>() < 0 || C >= 2),
                      "the flux term is a form of the first two lateral terms");
    }
    // Targets with stale values are written whole: the grouped tuples' points by a
    // store; everything first zeroed wherever some point would not be stored (direct
    // points add, an empty sum writes nothing).
    bool zeroed = out.zeroed || out.accumulate;
    sum.EndCarry(false);
    const auto zeroTargets = [&] {
        if (!zeroed)
            sum.ZeroTargets(out, C, L);
        zeroed = true;
    };
    if (!sum.HasForward() && !sum.HasBackward())
        return zeroTargets();
    const std::int64_t kept = sum.KeptCount(keep);
    if (kept == 0)
        return zeroTargets();
    const TSpectralGrid& grid = sum.Grid();
    const TFastFourier2D& fft = sum.Transform();
    TSumScratch& plan = sum.Plan();
    plan.Plan(strategy, tuples, kept, C, grid, linear);
    if (!plan.DirectPoints().empty())
        zeroTargets();

    if (!plan.DirectPoints().empty() || !linear)
        CollectWaves(sum, keep);
    // Direct points in chunks; each point sums the waves in spectral order.
    const std::vector<std::int32_t>& direct = plan.DirectPoints();
    if (!direct.empty() && !sum.Waves().empty()) {
        constexpr std::size_t chunk = 16;
        const int items = int((direct.size() + chunk - 1) / chunk);
        sum.RunItems(items, [&](int item, int) {
            const std::size_t first = std::size_t(item) * chunk;
            DirectSumRange(rule, grid, sum.Waves(), tuples, direct.data() + first,
                           std::min(chunk, direct.size() - first), out);
        });
    }
    const std::vector<std::int32_t>& grouped = plan.Grouped();
    if (grouped.empty() || (!linear && sum.Waves().empty()))
        return zeroTargets();
    // A local term is stored into stale targets, unless it shares its block with a
    // lateral component, which the gather has just stored (added to, then).
    bool storeLocal[L + 1] = {};
    for (int l = 0; l < L; ++l) {
        storeLocal[l] = !zeroed;
        for (int m = 0; m < C; ++m)
            storeLocal[l] = storeLocal[l] && out.localRe[l] != out.re[m] && out.localIm[l] != out.im[m];
    }

    const int panels = fft.Panels();
    const int rowBlocks = fft.RowBlocks();
    const std::size_t count = std::size_t(fft.Count());
    const std::size_t panelSize = fft.PanelSize();
    std::vector<TCoefficientTable*>& tables = sum.Tables();
    tables.assign(grouped.size(), nullptr);
    TInputList inputs;
    TTableLayout layout;
    if constexpr (linear) {
        inputs = PresentInputs(sum, Rule::kInputs);
        layout = LayoutOf<Rule>(inputs);
        // At most (kMaxComponents + kMaxLocals) x 2 kMaxComponents = 30 blocks: one mask bit each.
        assert(layout.rows * layout.inputs <= 31);
        // Tables of this step's tuples; new ones are filled panel by panel on all workers.
        TCoefficientCache& cache = sum.Cache();
        cache.BeginStep();
        const std::size_t values = layout.Values(count);
        std::vector<std::int32_t> fresh;
        for (std::size_t k = 0; k < grouped.size(); ++k) {
            const TCoefficientKey key{tuples.Tuple(grouped[k]), typeid(Rule).hash_code(), rule.Variant(), inputs.mask};
            // A tuple on a sixteenth of the grid or more is the bulk of a layer: its table
            // at once; a smaller one's when it recurs.
            const bool bulk = std::int64_t(tuples.PointCount(grouped[k])) * 16 >= std::int64_t(count);
            tables[k] = cache.Acquire(key, values, panels, bulk);
            if (tables[k] && !tables[k]->filled)
                fresh.push_back(std::int32_t(k));
        }
        const int batches = sum.PanelBatches();
        sum.RunItems(int(fresh.size()) * batches, batches, [&](int item, int) {
            const std::size_t k = std::size_t(fresh[std::size_t(item / batches)]);
            sum.ForPanelsOf(item % batches, [&](int b) {
                tables[k]->livePanels[std::size_t(b)] =
                    CoefficientPanel(rule, keep, sum, tuples.Tuple(grouped[k]), b, inputs, layout,
                                     tables[k]->values.Data(), count, std::size_t(b) * panelSize);
            });
        });
        for (const std::int32_t k : fresh)
            tables[std::size_t(k)]->filled = true;
    }

    // The output's spectrum is kept where one grouped tuple gives every point its
    // only term: out = (-1)^(c+r) G[P].
    const bool carry = linear && C == 1 && L == 0 && out.carry && !out.accumulate && plan.DirectPoints().empty() &&
                       grouped.size() == 1 && std::size_t(tuples.PointCount(grouped[0])) == count;
    double* const carried = sum.BeginCarry(carry);
    const double carryScale = double(count);

    const int group = sum.GroupSize(C, !linear, int(grouped.size()));
    std::vector<TComplexOf<double>>& localSums = sum.LocalSums();
    localSums.assign(std::size_t(group) * std::size_t(L + 1), {});
    std::vector<TComplexOf<double>>& partials = sum.Partials();
    if constexpr (linear && L > 0)
        partials.assign(std::size_t(group) * std::size_t(panels) * std::size_t(L), {});
    const std::int32_t rowBlockPoints = fft.RowBlock() * fft.Nx();
    std::vector<std::uint8_t>& blockUse = sum.BlockUse();
    for (std::size_t g0 = 0; g0 < grouped.size(); g0 += std::size_t(group)) {
        const int members = int(std::min(grouped.size() - g0, std::size_t(group)));
        // The row blocks each tuple has points in: only their rows of the column pass's
        // result are stored and transformed by the row pass.
        blockUse.assign(std::size_t(members) * std::size_t(rowBlocks), 0);
        for (int g = 0; g < members; ++g) {
            const std::int32_t t = grouped[g0 + std::size_t(g)];
            const TPointRun* runs = tuples.RunsOf(t);
            for (std::int32_t k = 0; k < tuples.RunCount(t); ++k)
                blockUse[std::size_t(g) * std::size_t(rowBlocks) + std::size_t(runs[k].first / rowBlockPoints)] = 1;
        }
        // Panel b of tuple g into its work array, the rows of the used blocks only.
        const auto storePanel = [&](const double* panel, int g, int b, double* work) {
            const std::uint8_t* use = blockUse.data() + std::size_t(g) * std::size_t(rowBlocks);
            for (int first = 0; first < rowBlocks;) {
                if (!use[first]) {
                    ++first;
                    continue;
                }
                int last = first + 1;
                while (last < rowBlocks && use[last])
                    ++last;
                fft.StorePanel(panel, b, work, first * fft.RowBlock(), last * fft.RowBlock());
                first = last;
            }
        };
        if constexpr (!linear) {
            // Tuple spectra by the rule, one tuple per item.
            sum.RunItems(members, [&](int g, int) {
                double* spectrum[C];
                for (int m = 0; m < C; ++m)
                    spectrum[m] = sum.Evaluated(g, m);
                EvaluatedSpectrum(rule, sum, tuples.Tuple(grouped[g0 + std::size_t(g)]), spectrum,
                                  localSums.data() + std::size_t(g) * std::size_t(L + 1));
            });
        }
        // Columns, per tuple and panel: every component's panel filled (from the
        // coefficients and the input spectra, or from the evaluated spectrum), the
        // panel's share of the local terms, the inverse column transforms, and each panel
        // stored in the tuple's natural-layout work array. A panel without coefficients
        // stores zeros.
        const auto columns = [&](int g, int b, int worker) {
            if constexpr (linear) {
                const TCoefficientTable* table = tables[g0 + std::size_t(g)];
                const double* values = nullptr;
                std::size_t stride = 0, base = 0;
                std::uint32_t mask = 0;
                if (table) {
                    values = table->values.Data();
                    stride = count;
                    base = std::size_t(b) * panelSize;
                    mask = table->livePanels[std::size_t(b)];
                } else {
                    // Beyond the cache's budget: this panel's coefficients on the fly.
                    double* scratch = sum.Scratch(worker, layout.Values(panelSize));
                    mask = CoefficientPanel(rule, keep, sum, tuples.Tuple(grouped[g0 + std::size_t(g)]), b, inputs,
                                            layout, scratch, panelSize, 0);
                    values = scratch;
                    stride = panelSize;
                }
                double* panel[C];
                bool live[C];
                for (int m = 0; m < C; ++m) {
                    panel[m] = sum.Panel(worker, m);
                    live[m] = FillPanel(panel[m], values + 2 * (layout.Block(m, 0, stride) + base), stride, sum,
                                        inputs, b, layout.RowMask(mask, m));
                    if (!live[m])
                        std::fill_n(panel[m], 2 * panelSize, 0.0);
                }
                if (carried)
                    ScaledCopy(carried + 2 * std::size_t(b) * panelSize, panel[0], carryScale, panelSize);
                if constexpr (L > 0) {
                    TComplexOf<double>* share =
                        partials.data() + (std::size_t(g) * std::size_t(panels) + std::size_t(b)) * std::size_t(L);
                    int row = C;
                    for (int l = 0; l < L; ++l) {
                        if (l == FluxTerm<Rule>()) {
                            share[l] = {(mask & kFormBit) ? FluxOfPanel(values + 2 * (layout.Form(stride) + 2 * base),
                                                                        panel[0], panel[1], panelSize)
                                                          : 0.0,
                                        0.0};
                            continue;
                        }
                        share[l] = LinearTermOfPanel(values + 2 * (layout.Block(row, 0, stride) + base), stride, sum,
                                                     inputs, b, layout.RowMask(mask, row));
                        ++row;
                    }
                }
                for (int m = 0; m < C; ++m) {
                    if (live[m])
                        fft.Columns(panel[m], -1);
                    storePanel(panel[m], g, b, sum.Work(g, m));
                }
            } else {
                double* panel = sum.Panel(worker, 0);
                for (int m = 0; m < C; ++m) {
                    std::memcpy(panel, sum.Evaluated(g, m) + 2 * std::size_t(b) * panelSize,
                                2 * panelSize * sizeof(double));
                    fft.Columns(panel, -1);
                    storePanel(panel, g, b, sum.Work(g, m));
                }
            }
        };
        const int batches = sum.PanelBatches();
        sum.RunItems(members * batches, batches, [&](int item, int worker) {
            sum.ForPanelsOf(item % batches, [&](int b) { columns(item / batches, b, worker); });
        });
        if constexpr (linear && L > 0) {
            // The panels' shares in panel order: the same sum whichever worker ran a panel.
            for (int g = 0; g < members; ++g)
                for (int l = 0; l < L; ++l) {
                    TComplexOf<double> total{};
                    for (int b = 0; b < panels; ++b)
                        total = total + partials[(std::size_t(g) * std::size_t(panels) + std::size_t(b)) *
                                                     std::size_t(L) +
                                                 std::size_t(l)];
                    localSums[std::size_t(g) * std::size_t(L + 1) + std::size_t(l)] = total;
                }
        }
        // Rows: inverse row transforms and the gather of the tuple's points, per row
        // block; a block without points of the tuple needs neither. The rows are
        // transformed in place although only the gather reads them: a line the column
        // pass stored from another core and this one only read would stay shared here,
        // and the next store into it would first have to invalidate this copy, about
        // four times slower than taking over a line modified here
        // (bench/pool/handover_bench); a copy of the rows measured slower on two threads.
        sum.RunItems(members * rowBlocks, rowBlocks, [&](int item, int) {
            const int g = item / rowBlocks;
            const int block = item % rowBlocks;
            const std::int32_t t = grouped[g0 + std::size_t(g)];
            const TPointRun* runs = tuples.RunsOf(t);
            const auto [first, last] = sum.BlockRange(runs, tuples.RunCount(t), block);
            if (first == last)
                return;
            // A tuple on few rows of the block (a rim, a thin guide) has those rows
            // transformed one by one.
            int rows = 0;
            for (std::int32_t k = first, previous = -1; k < last; ++k)
                if (const std::int32_t r = runs[k].first / grid.Nx(); r != previous) {
                    ++rows;
                    previous = r;
                }
            const bool sparse = 2 * rows <= fft.RowBlock();
            for (int m = 0; m < C; ++m) {
                double* work = sum.Work(g, m);
                if (sparse) {
                    for (std::int32_t k = first, previous = -1; k < last; ++k)
                        if (const std::int32_t r = runs[k].first / grid.Nx(); r != previous) {
                            fft.Row(work, -1, r);
                            previous = r;
                        }
                } else {
                    fft.Rows(work, -1, block);
                }
                sum.Gather(work, runs + first, last - first, out.re[m], out.im[m], out.accumulate);
            }
            for (int l = 0; l < L; ++l) {
                const TComplexOf<double> v = localSums[std::size_t(g) * std::size_t(L + 1) + std::size_t(l)];
                double* re = out.localRe[l];
                double* im = out.localIm[l];
                for (std::int32_t k = first; k < last; ++k) {
                    const std::int32_t end = runs[k].first + runs[k].count;
                    if (storeLocal[l]) {
                        std::fill(re + runs[k].first, re + end, v.re);
                        std::fill(im + runs[k].first, im + end, v.im);
                    } else {
                        for (std::int32_t p = runs[k].first; p < end; ++p) {
                            re[p] += v.re;
                            im[p] += v.im;
                        }
                    }
                }
            }
        });
    }
    sum.EndCarry(carry);
}

} // namespace ksn
