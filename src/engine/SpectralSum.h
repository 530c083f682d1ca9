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
// then backward ones; false when the wave contributes nothing at the tuple. Such rules
// carry no local terms (kLocals = 0). Other rules are evaluated per wave and tuple
// through Evaluate, as in PointSum.h, with the same transforms and threads.
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
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

namespace ksn {

// The wave vector of one spectral element, in double (1/m): what linear coefficients read.
struct TWaveVector {
    double kx = 0, ky = 0, kt2 = 0;
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
    // wave number or slice thickness different from the previous call's clears the
    // coefficient cache.
    void Setup(const TSpectralGrid& grid, TWorkTeam* team);
    void SetCacheBudget(std::size_t bytes) { myCache.SetBudget(bytes); }
    TCoefficientCache& Cache() { return myCache; }
    const TCoefficientCache& Cache() const { return myCache; }

    // Transforms copies of the present inputs (null = absent), `components` per field;
    // both arrays must hold at least `components` entries. Arrays must be nx x ny of the grid.
    void TransformInputs(const TComplexArray* const* forward, const TComplexArray* const* backward, int components);

    const TSpectralGrid& Grid() const { return *myGrid; }
    const TFastFourier2D& Transform() const { return myFft; }
    int Components() const { return myComponents; }
    bool HasForward() const { return myHasForward; }
    bool HasBackward() const { return myHasBackward; }
    // Y of slot u (forward m: u = m; backward m: u = kMaxComponents + m), panel layout.
    const double* Spectrum(int u) const { return mySpectra[size_t(u)].Data(); }

    // --- used by RunSpectralSum ---
    void RunItems(int count, const TWorkTeam::TBody& body);
    int Workers() const { return myTeam ? myTeam->ThreadCount() : 1; }
    // How many tuples are inverse-transformed together (one work array per tuple and
    // component, and one spectrum when the rule is evaluated per wave); sizes them.
    int GroupSize(int components, bool evaluated);
    double* Work(int g, int m) { return myWork[size_t(g * kMaxComponents + m)].Data(); }
    // Tuple spectra of rules evaluated per wave (panel layout), allocated on first use.
    double* Evaluated(int g, int m);
    double* Panel(int worker) { return myPanels[size_t(worker)].Data(); }
    double* Scratch(int worker, std::size_t count);
    TSumScratch& Plan() { return myPlan; }
    std::vector<TPlaneWave>& Waves() { return myWaves; }
    std::vector<TCoefficientTable*>& Tables() { return myTables; }
    std::vector<TComplexOf<double>>& LocalSums() { return myLocalSums; }
    // Kept plane waves of the grid (counted once per grid and keep rule).
    template <class Keep>
    std::int64_t KeptCount(Keep keep);
    // out(p) = (-1)^(c+r) work(p) for the points of the given runs.
    void Gather(const double* work, const TPointRun* runs, std::int32_t count, double* outRe, double* outIm) const;
    // First and one-past-last index into a tuple's row-major runs that lie in row block `block`.
    std::pair<std::int32_t, std::int32_t> BlockRange(const TPointRun* runs, std::int32_t count, int block) const;

private:
    const TSpectralGrid* myGrid = nullptr;
    TWorkTeam* myTeam = nullptr;
    TFastFourier2D myFft;
    int myNx = 0, myNy = 0;
    TExtended myK0 = 0, myDZ = 0, myDKx = 0, myDKy = 0;
    int myComponents = 0;
    bool myHasForward = false, myHasBackward = false;
    std::int64_t myKept = -1;
    TComplexBuffer mySpectra[2 * kMaxComponents];
    TComplexBuffer myInputWork[2 * kMaxComponents];
    std::vector<TComplexBuffer> myWork;
    std::vector<TComplexBuffer> myEvaluated;
    std::vector<TComplexBuffer> myPanels;
    std::vector<TComplexBuffer> myScratch;
    TCoefficientCache myCache;
    TSumScratch myPlan;
    std::vector<TPlaneWave> myWaves;
    std::vector<TCoefficientTable*> myTables;
    std::vector<TComplexOf<double>> myLocalSums;
};

template <class Keep>
std::int64_t TSpectralSum::KeptCount(Keep keep)
{
    if (myKept >= 0)
        return myKept;
    std::int64_t kept = 0;
    for (int i = 0; i < myNy; ++i)
        for (int j = 0; j < myNx; ++j) {
            const TExtended kx = myGrid->Kx()[j], ky = myGrid->Ky()[i];
            kept += keep(kx, ky, kx * kx + ky * ky) ? 1 : 0;
        }
    myKept = kept;
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
    for (int m = 0; m < inputs; ++m)
        if (sum.HasForward()) {
            list.slot[list.count] = m;
            list.column[list.count++] = m;
            list.mask |= 1 << m;
        }
    for (int m = 0; m < inputs; ++m)
        if (sum.HasBackward()) {
            list.slot[list.count] = kMaxComponents + m;
            list.column[list.count++] = inputs + m;
            list.mask |= 1 << (kMaxComponents + m);
        }
    return list;
}

// Coefficients K_mu = M_mu e^{i phi} / N of panel `b` for one tuple, into
// dest[(m count + u) stride + base + q], q the element's place in the panel; returns
// whether any is non-zero.
template <class Rule, class Keep>
bool CoefficientPanel(const Rule& rule, Keep keep, const TSpectralSum& sum, const TIndexTuple& tuple, int b,
                      const TInputList& inputs, double* dest, std::size_t stride, std::size_t base)
{
    constexpr int C = Rule::kComponents;
    constexpr int columns = 2 * Rule::kInputs;
    const TSpectralGrid& grid = sum.Grid();
    const TFastFourier2D& fft = sum.Transform();
    const int width = fft.PanelWidth();
    const std::size_t size = fft.PanelSize();
    const double inverseN = 1.0 / double(grid.Count());
    bool live = false;
    TComplexOf<double> matrix[C * columns];
    for (std::size_t q = 0; q < size; ++q) {
        const int j = b * width + int(q % std::size_t(width));
        const int i = int(q / std::size_t(width));
        const TExtended kx = grid.Kx()[j], ky = grid.Ky()[i];
        const TExtended kt2 = kx * kx + ky * ky;
        double phase = 0;
        bool contributes = keep(kx, ky, kt2);
        if (contributes) {
            std::fill_n(matrix, C * columns, TComplexOf<double>{});
            contributes = rule.template Coefficients<double>(TWaveVector{double(kx), double(ky), double(kt2)}, tuple,
                                                             matrix, phase);
        }
        const TComplexOf<double> e = inverseN * Phasor<double>(phase);
        for (int m = 0; m < C; ++m)
            for (int u = 0; u < inputs.count; ++u) {
                double* k = dest + 2 * ((std::size_t(m) * std::size_t(inputs.count) + std::size_t(u)) * stride + base + q);
                if (!contributes) {
                    k[0] = k[1] = 0.0;
                    continue;
                }
                const TComplexOf<double> v = matrix[m * columns + inputs.column[u]] * e;
                k[0] = v.re;
                k[1] = v.im;
                live = live || v.re != 0.0 || v.im != 0.0;
            }
    }
    return live;
}

// panel(q) = sum_u K_mu(q) Y_u(panel b, q), K read at k + 2 (u stride) + 2 q.
void FillPanel(double* panel, const double* k, std::size_t stride, const TSpectralSum& sum, const TInputList& inputs,
               int b);

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
// zeros (the step has created or cleared its output): every point receives its lateral
// terms from one summation only, so grouped points are stored and direct ones added.
// keep(kx, ky, kt2) selects the plane waves the step carries; it must be the same for
// every call with one rule type and variant on one grid.
template <class Rule, class Keep>
void RunSpectralSum(const Rule& rule, Keep keep, TSummation strategy, TSpectralSum& sum, const TIndexTuples& tuples,
                    const TSumTargets& out)
{
    using namespace spectral_sum_detail;
    constexpr int C = Rule::kComponents;
    constexpr int L = Rule::kLocals;
    constexpr bool linear = TLinearRule<Rule>;
    static_assert(C >= 1 && C <= kMaxComponents && L >= 0 && L <= kMaxLocals);
    if constexpr (linear)
        static_assert(L == 0 && Rule::kInputs >= 1 && Rule::kInputs <= kMaxComponents,
                      "a rule with tabulated coefficients has no local terms");
    if (!sum.HasForward() && !sum.HasBackward())
        return;
    const std::int64_t kept = sum.KeptCount(keep);
    if (kept == 0)
        return;
    const TSpectralGrid& grid = sum.Grid();
    const TFastFourier2D& fft = sum.Transform();
    TSumScratch& plan = sum.Plan();
    plan.Plan(strategy, tuples, kept, C, grid, linear);

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
        return;

    const int panels = fft.Panels();
    const int rowBlocks = fft.RowBlocks();
    const std::size_t count = std::size_t(fft.Count());
    const std::size_t panelSize = fft.PanelSize();
    std::vector<TCoefficientTable*>& tables = sum.Tables();
    tables.assign(grouped.size(), nullptr);
    TInputList inputs;
    if constexpr (linear) {
        if (Rule::kInputs > sum.Components())
            throw EGeneralError("TSpectralSum: the rule reads " + std::to_string(Rule::kInputs) +
                                " input components, " + std::to_string(sum.Components()) + " were transformed.");
        inputs = PresentInputs(sum, Rule::kInputs);
        // Tables of this step's tuples; new ones are filled panel by panel on all workers.
        TCoefficientCache& cache = sum.Cache();
        cache.BeginStep();
        const std::size_t values = std::size_t(C) * std::size_t(inputs.count) * count;
        std::vector<std::int32_t> fresh;
        for (std::size_t k = 0; k < grouped.size(); ++k) {
            const TCoefficientKey key{tuples.Tuple(grouped[k]), typeid(Rule).hash_code(), rule.Variant(), inputs.mask};
            tables[k] = cache.Acquire(key, values, panels);
            if (tables[k] && !tables[k]->filled)
                fresh.push_back(std::int32_t(k));
        }
        sum.RunItems(int(fresh.size()) * panels, [&](int item, int) {
            const std::size_t k = std::size_t(fresh[std::size_t(item / panels)]);
            const int b = item % panels;
            tables[k]->livePanels[std::size_t(b)] =
                CoefficientPanel(rule, keep, sum, tuples.Tuple(grouped[k]), b, inputs, tables[k]->values.Data(), count,
                                 std::size_t(b) * panelSize)
                    ? 1
                    : 0;
        });
        for (const std::int32_t k : fresh)
            tables[std::size_t(k)]->filled = true;
    }

    const int group = sum.GroupSize(C, !linear);
    std::vector<TComplexOf<double>>& localSums = sum.LocalSums();
    localSums.assign(std::size_t(group) * std::size_t(L + 1), {});
    for (std::size_t g0 = 0; g0 < grouped.size(); g0 += std::size_t(group)) {
        const int members = int(std::min(grouped.size() - g0, std::size_t(group)));
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
        // Columns: fill a panel, inverse column transforms, store it in the tuple's
        // natural-layout work array. A panel without coefficients stores zeros.
        sum.RunItems(members * C * panels, [&](int item, int worker) {
            const int g = item / (C * panels);
            const int m = (item / panels) % C;
            const int b = item % panels;
            double* panel = sum.Panel(worker);
            double* work = sum.Work(g, m);
            bool live = true;
            if constexpr (linear) {
                const TCoefficientTable* table = tables[g0 + std::size_t(g)];
                const double* k = nullptr;
                std::size_t stride = 0;
                if (table) {
                    live = table->livePanels[std::size_t(b)] != 0;
                    k = table->values.Data() + 2 * ((std::size_t(m) * std::size_t(inputs.count)) * count +
                                                    std::size_t(b) * panelSize);
                    stride = count;
                } else {
                    // Beyond the cache's budget: this panel's coefficients on the fly.
                    double* scratch = sum.Scratch(worker, std::size_t(C) * std::size_t(inputs.count) * panelSize);
                    live = CoefficientPanel(rule, keep, sum, tuples.Tuple(grouped[g0 + std::size_t(g)]), b, inputs,
                                            scratch, panelSize, 0);
                    k = scratch + 2 * std::size_t(m) * std::size_t(inputs.count) * panelSize;
                    stride = panelSize;
                }
                if (live)
                    FillPanel(panel, k, stride, sum, inputs, b);
            } else {
                std::memcpy(panel, sum.Evaluated(g, m) + 2 * std::size_t(b) * panelSize,
                            2 * panelSize * sizeof(double));
            }
            if (!live) {
                std::fill_n(panel, 2 * panelSize, 0.0);
            } else {
                fft.Columns(panel, -1);
            }
            fft.StorePanel(panel, b, work);
        });
        // Rows: inverse row transforms and the gather of the tuple's points, per row
        // block; a block without points of the tuple needs neither.
        sum.RunItems(members * rowBlocks, [&](int item, int) {
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
                sum.Gather(work, runs + first, last - first, out.re[m], out.im[m]);
            }
            for (int l = 0; l < L; ++l) {
                const TComplexOf<double> v = localSums[std::size_t(g) * std::size_t(L + 1) + std::size_t(l)];
                for (std::int32_t k = first; k < last; ++k)
                    for (std::int32_t p = runs[k].first; p < runs[k].first + runs[k].count; ++p) {
                        out.localRe[l][p] += v.re;
                        out.localIm[l][p] += v.im;
                    }
            }
        });
    }
}

} // namespace ksn
