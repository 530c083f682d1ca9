#include "engine/SpectralSum.h"

#include "numerics/GeneralError.h"
#include "numerics/Vectorise.h"

#include <algorithm>
#include <string>
#include <utility>

namespace ksn {

namespace {

// out(q) = k(q) y(q), complex, element by element (interleaved re, im).
KSN_VECTOR_CLONES void MultiplyInto(double* __restrict out, const double* __restrict k, const double* __restrict y,
                                    std::size_t count)
{
    for (std::size_t q = 0; q < count; ++q) {
        const double kr = k[2 * q], ki = k[2 * q + 1], yr = y[2 * q], yi = y[2 * q + 1];
        out[2 * q] = kr * yr - ki * yi;
        out[2 * q + 1] = kr * yi + ki * yr;
    }
}

// out(q) += k(q) y(q)
KSN_VECTOR_CLONES void MultiplyAdd(double* __restrict out, const double* __restrict k, const double* __restrict y,
                                   std::size_t count)
{
    for (std::size_t q = 0; q < count; ++q) {
        const double kr = k[2 * q], ki = k[2 * q + 1], yr = y[2 * q], yi = y[2 * q + 1];
        out[2 * q] += kr * yr - ki * yi;
        out[2 * q + 1] += kr * yi + ki * yr;
    }
}

// work(c, r) = (-1)^(c+r) (re + i im)(c, r) for the rows first .. last-1 of an nx-wide grid.
KSN_VECTOR_CLONES void ModulatedCopy(double* __restrict work, const double* __restrict re,
                                     const double* __restrict im, int nx, int first, int last)
{
    for (int r = first; r < last; ++r) {
        const std::size_t row = std::size_t(r) * std::size_t(nx);
        for (int c = 0; c < nx; ++c) {
            const double s = ((c + r) & 1) ? -1.0 : 1.0;
            work[2 * (row + std::size_t(c))] = s * re[row + std::size_t(c)];
            work[2 * (row + std::size_t(c)) + 1] = s * im[row + std::size_t(c)];
        }
    }
}

// sum_q k(q) y(q), complex, in element order (a reduction in a fixed order: not vectorised).
TComplexOf<double> Dot(const double* __restrict k, const double* __restrict y, std::size_t count)
{
    double re = 0.0, im = 0.0;
    for (std::size_t q = 0; q < count; ++q) {
        const double kr = k[2 * q], ki = k[2 * q + 1], yr = y[2 * q], yi = y[2 * q + 1];
        re += kr * yr - ki * yi;
        im += kr * yi + ki * yr;
    }
    return {re, im};
}

// out(q) = (-1)^(q+parity) work(q) along one run (re and im split on the way out).
KSN_VECTOR_CLONES void SignedCopy(double* __restrict outRe, double* __restrict outIm, const double* __restrict work,
                                  std::int32_t count, std::int32_t parity)
{
    for (std::int32_t q = 0; q < count; ++q) {
        const double s = ((q + parity) & 1) ? -1.0 : 1.0;
        outRe[q] = s * work[2 * q];
        outIm[q] = s * work[2 * q + 1];
    }
}

// out(q) += (-1)^(q+parity) work(q) along one run.
KSN_VECTOR_CLONES void SignedAdd(double* __restrict outRe, double* __restrict outIm, const double* __restrict work,
                                 std::int32_t count, std::int32_t parity)
{
    for (std::int32_t q = 0; q < count; ++q) {
        const double s = ((q + parity) & 1) ? -1.0 : 1.0;
        outRe[q] += s * work[2 * q];
        outIm[q] += s * work[2 * q + 1];
    }
}

} // namespace

namespace spectral_sum_detail {

bool FillPanel(double* panel, const double* k, std::size_t stride, const TSpectralSum& sum, const TInputList& inputs,
               int b, std::uint32_t live)
{
    const std::size_t size = sum.Transform().PanelSize();
    const std::size_t base = 2 * std::size_t(b) * size;
    bool first = true;
    for (int u = 0; u < inputs.count; ++u) {
        if (!(live & (1u << u)))
            continue;
        const double* y = sum.Spectrum(inputs.slot[u]) + base;
        if (first)
            MultiplyInto(panel, k + 2 * std::size_t(u) * stride, y, size);
        else
            MultiplyAdd(panel, k + 2 * std::size_t(u) * stride, y, size);
        first = false;
    }
    return !first;
}

TComplexOf<double> LinearTermOfPanel(const double* k, std::size_t stride, const TSpectralSum& sum,
                                     const TInputList& inputs, int b, std::uint32_t live)
{
    const std::size_t size = sum.Transform().PanelSize();
    const std::size_t base = 2 * std::size_t(b) * size;
    TComplexOf<double> total{};
    for (int u = 0; u < inputs.count; ++u)
        if (live & (1u << u))
            total = total + Dot(k + 2 * std::size_t(u) * stride, sum.Spectrum(inputs.slot[u]) + base, size);
    return total;
}

// f = sum_q xx |p0|^2 + yy |p1|^2 + 2 Re(xy p0 p1^*),  p0 p1^* = (a c + b d) + i (b c - a d)
// for p0 = a + i b, p1 = c + i d. Four running sums, element q into sum q mod 4, added
// pairwise at the end: a fixed order the compiler may still vectorise.
KSN_VECTOR_CLONES double FluxOfPanel(const double* __restrict form, const double* __restrict p0,
                                     const double* __restrict p1, std::size_t count)
{
    double lane[4] = {};
    const auto term = [&](std::size_t q) {
        const double a = p0[2 * q], b = p0[2 * q + 1], c = p1[2 * q], d = p1[2 * q + 1];
        const double xx = form[4 * q], yy = form[4 * q + 1], xyr = form[4 * q + 2], xyi = form[4 * q + 3];
        return xx * (a * a + b * b) + yy * (c * c + d * d) + 2.0 * (xyr * (a * c + b * d) - xyi * (b * c - a * d));
    };
    std::size_t q = 0;
    for (; q + 4 <= count; q += 4)
        for (std::size_t l = 0; l < 4; ++l)
            lane[l] += term(q + l);
    for (; q < count; ++q)
        lane[q % 4] += term(q);
    return (lane[0] + lane[1]) + (lane[2] + lane[3]);
}

KSN_VECTOR_CLONES void ScaledCopy(double* __restrict out, const double* __restrict p, double scale, std::size_t count)
{
    for (std::size_t q = 0; q < 2 * count; ++q)
        out[q] = scale * p[q];
}

} // namespace spectral_sum_detail

void TSpectralSum::Setup(const TSpectralGrid& grid, TWorkTeam* team)
{
    myGrid = &grid;
    myTeam = team;
    if (grid.Nx() != myNx || grid.Ny() != myNy || grid.K0() != myK0 || grid.DZ() != myDZ || grid.DKx() != myDKx ||
        grid.DKy() != myDKy || grid.DX() != myDX || grid.DY() != myDY) {
        // Every table was computed for the old grid, wavelength, spacing (a flux's area
        // element) or slice thickness.
        myCache.Clear();
        myKept.clear();
        myFft.Setup(grid.Nx(), grid.Ny());
        myNx = grid.Nx();
        myNy = grid.Ny();
        myK0 = grid.K0();
        myDZ = grid.DZ();
        myDKx = grid.DKx();
        myDKy = grid.DKy();
        myDX = grid.DX();
        myDY = grid.DY();
        myPanelBatch = std::max(1, int(2048 / myFft.PanelSize()));
        myCarried = false;
    }
    const size_t workers = size_t(Workers());
    if (myScratch.size() < workers) {
        myPanels.resize(workers * kMaxComponents);
        myScratch.resize(workers);
    }
    for (size_t w = 0; w < workers * kMaxComponents; ++w)
        myPanels[w].Resize(myFft.PanelSize());
}

void TSpectralSum::RunItems(int count, int period, const TWorkTeam::TBody& body)
{
    if (myTeam) {
        myTeam->Run(count, period, body);
        return;
    }
    for (int item = 0; item < count; ++item)
        body(item, 0);
}

void TSpectralSum::TransformInputs(const TComplexArray* const* forward, const TComplexArray* const* backward,
                                   int components)
{
    if (components < 1 || components > kMaxComponents)
        throw EGeneralError("TSpectralSum: " + std::to_string(components) + " input components.");
    myCarried = false;
    myComponents = components;
    myHasForward = forward && forward[0];
    myHasBackward = backward && backward[0];
    const TComplexArray* source[2 * kMaxComponents] = {};
    int slots[2 * kMaxComponents];
    int present = 0;
    for (int m = 0; m < components; ++m) {
        if (myHasForward) {
            source[m] = forward[m];
            slots[present++] = m;
        }
        if (myHasBackward) {
            source[kMaxComponents + m] = backward[m];
            slots[present++] = kMaxComponents + m;
        }
    }
    const size_t count = size_t(myFft.Count());
    for (int s = 0; s < present; ++s) {
        const TComplexArray* a = source[slots[s]];
        if (!a || a->Nx() != myNx || a->Ny() != myNy || a->IsPolar())
            throw EGeneralError("TSpectralSum: input component does not match the grid.");
        mySpectra[slots[s]].Resize(count);
        myInputWork[slots[s]].Resize(count);
    }
    const int rowBlocks = myFft.RowBlocks(), rowBlock = myFft.RowBlock();
    const size_t panelSize = myFft.PanelSize();
    // Rows: work(c, r) = (-1)^(c+r) E(c, r), then the forward row transforms, per row block.
    RunItems(present * rowBlocks, rowBlocks, [&](int item, int) {
        const int u = slots[item / rowBlocks];
        const int block = item % rowBlocks;
        double* work = myInputWork[u].Data();
        ModulatedCopy(work, source[u]->Re(), source[u]->Im(), myNx, block * rowBlock, (block + 1) * rowBlock);
        myFft.Rows(work, +1, block);
    });
    // Columns: each panel into its place in the spectrum and transformed there.
    const int batches = PanelBatches();
    RunItems(present * batches, batches, [&](int item, int) {
        const int u = slots[item / batches];
        ForPanelsOf(item % batches, [&](int b) {
            double* panel = mySpectra[u].Data() + 2 * size_t(b) * panelSize;
            myFft.LoadPanel(myInputWork[u].Data(), b, panel);
            myFft.Columns(panel, +1);
        });
    });
}

void TSpectralSum::UseCarriedSpectrum()
{
    if (!myCarried)
        throw EGeneralError("TSpectralSum: no spectrum was kept.");
    std::swap(mySpectra[0], myCarry);
    myCarried = false;
    myComponents = 1;
    myHasForward = true;
    myHasBackward = false;
}

double* TSpectralSum::BeginCarry(bool carry)
{
    myCarried = false;
    if (!carry)
        return nullptr;
    myCarry.Resize(std::size_t(myFft.Count()));
    return myCarry.Data();
}

void TSpectralSum::DropEmptyWaves(int tested)
{
    if (tested >= myComponents)
        return;
    int slots[2 * kMaxComponents];
    int present = 0;
    for (int side = 0; side < 2; ++side)
        if (side == 0 ? myHasForward : myHasBackward)
            slots[present++] = side * kMaxComponents;
    const size_t size = myFft.PanelSize();
    // Element by element, panel by panel (the layout is the same for every slot).
    const auto dropIn = [&](int b) {
        for (size_t e = size_t(b) * size; e < size_t(b + 1) * size; ++e) {
            bool any = false;
            for (int s = 0; s < present && !any; ++s)
                for (int m = 0; m < tested; ++m) {
                    const double* y = mySpectra[slots[s] + m].Data() + 2 * e;
                    any = any || y[0] != 0.0 || y[1] != 0.0;
                }
            if (any)
                continue;
            for (int s = 0; s < present; ++s)
                for (int m = tested; m < myComponents; ++m) {
                    double* y = mySpectra[slots[s] + m].Data() + 2 * e;
                    y[0] = y[1] = 0.0;
                }
        }
    };
    RunItems(PanelBatches(), [&](int batch, int) { ForPanelsOf(batch, dropIn); });
}

void TSpectralSum::ZeroTargets(const TSumTargets& out, int components, int locals)
{
    const int blocks = myFft.RowBlocks();
    const std::size_t perBlock = std::size_t(myFft.RowBlock()) * std::size_t(myNx);
    double* targets[2 * (kMaxComponents + kMaxLocals)] = {};
    int count = 0;
    for (int m = 0; m < components; ++m) {
        targets[count++] = out.re[m];
        targets[count++] = out.im[m];
    }
    for (int l = 0; l < locals; ++l) {
        targets[count++] = out.localRe[l];
        targets[count++] = out.localIm[l];
    }
    RunItems(blocks, [&](int b, int) {
        for (int t = 0; t < count; ++t)
            if (targets[t])
                std::fill_n(targets[t] + std::size_t(b) * perBlock, perBlock, 0.0);
    });
}

TExtended TSpectralSum::Total(const double* values)
{
    const int blocks = myFft.RowBlocks();
    const std::size_t perBlock = std::size_t(myFft.RowBlock()) * std::size_t(myNx);
    myBlockTotals.assign(std::size_t(blocks), 0.0L);
    RunItems(blocks, [&](int b, int) {
        TExtended total = 0.0L;
        for (std::size_t p = std::size_t(b) * perBlock; p < std::size_t(b + 1) * perBlock; ++p)
            total += values[p];
        myBlockTotals[std::size_t(b)] = total;
    });
    TExtended total = 0.0L;
    for (const TExtended t : myBlockTotals)
        total += t;
    return total;
}

int TSpectralSum::GroupSize(int components, bool evaluated, int tuples)
{
    // One tuple on one worker: its work array stays in the caches from the column pass to
    // the row pass. On several, every group costs two team runs, each with its hand-overs
    // and a wait for the last item: a step's tuples go in one group where they number up
    // to four per worker (a 128 x 128 sphere run on two threads, mostly three tuples a
    // slice, took 2 % less time in paired runs in one process). Either way the work arrays
    // stay below 256 MiB.
    const size_t count = size_t(myFft.Count());
    const size_t perTuple = size_t(components) * count * 2 * sizeof(double) * (evaluated ? 2 : 1);
    const int byMemory = int(std::max<size_t>(1, (size_t(256) << 20) / std::max<size_t>(1, perTuple)));
    const int wanted = Workers() > 1 ? std::max(Workers(), std::min(tuples, 4 * Workers())) : 1;
    const int group = std::max(1, std::min(wanted, byMemory));
    if (myWork.size() < size_t(group) * kMaxComponents)
        myWork.resize(size_t(group) * kMaxComponents);
    if (evaluated && myEvaluated.size() < size_t(group) * kMaxComponents)
        myEvaluated.resize(size_t(group) * kMaxComponents);
    for (int g = 0; g < group; ++g)
        for (int m = 0; m < components; ++m) {
            myWork[size_t(g * kMaxComponents + m)].Resize(count);
            if (evaluated)
                myEvaluated[size_t(g * kMaxComponents + m)].Resize(count);
        }
    return group;
}

double* TSpectralSum::Evaluated(int g, int m) { return myEvaluated[size_t(g * kMaxComponents + m)].Data(); }

double* TSpectralSum::Scratch(int worker, std::size_t count)
{
    TComplexBuffer& b = myScratch[size_t(worker)];
    b.Resize(count);
    return b.Data();
}

std::pair<std::int32_t, std::int32_t> TSpectralSum::BlockRange(const TPointRun* runs, std::int32_t count,
                                                               int block) const
{
    const std::int32_t perBlock = myFft.RowBlock() * myNx;
    const auto before = [](const TPointRun& run, std::int32_t p) { return run.first < p; };
    const TPointRun* first = std::lower_bound(runs, runs + count, block * perBlock, before);
    const TPointRun* last = std::lower_bound(first, runs + count, (block + 1) * perBlock, before);
    return {std::int32_t(first - runs), std::int32_t(last - runs)};
}

// out(p) = (-1)^(c+r) work(p),   p = c + r nx, along each run (one row each). A stored
// value rather than an added one: the point's only lateral term, written into a target
// that held zero, so a new output's page is touched once, by the write. `add`: into a
// target that holds values of its own.
void TSpectralSum::Gather(const double* work, const TPointRun* runs, std::int32_t count, double* outRe, double* outIm,
                          bool add) const
{
    const int shift = myGrid->XShift();
    const std::int32_t mask = myNx - 1;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t first = runs[k].first;
        const std::int32_t parity = ((first & mask) + (first >> shift)) & 1;
        if (add)
            SignedAdd(outRe + first, outIm + first, work + 2 * size_t(first), runs[k].count, parity);
        else
            SignedCopy(outRe + first, outIm + first, work + 2 * size_t(first), runs[k].count, parity);
    }
}

} // namespace ksn
