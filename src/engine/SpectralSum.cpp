#include "engine/SpectralSum.h"

#include "numerics/GeneralError.h"

#include <algorithm>
#include <string>

namespace ksn {

void TSpectralSum::Setup(const TSpectralGrid& grid, TWorkTeam* team)
{
    myGrid = &grid;
    myTeam = team;
    if (grid.Nx() != myNx || grid.Ny() != myNy || grid.K0() != myK0 || grid.DZ() != myDZ || grid.DKx() != myDKx ||
        grid.DKy() != myDKy) {
        // Every table was computed for the old grid, wavelength or slice thickness.
        myCache.Clear();
        myKept = -1;
        myFft.Setup(grid.Nx(), grid.Ny());
        myNx = grid.Nx();
        myNy = grid.Ny();
        myK0 = grid.K0();
        myDZ = grid.DZ();
        myDKx = grid.DKx();
        myDKy = grid.DKy();
    }
    const size_t workers = size_t(Workers());
    if (myPanels.size() < workers) {
        myPanels.resize(workers);
        myScratch.resize(workers);
    }
    for (size_t w = 0; w < workers; ++w)
        myPanels[w].Resize(myFft.PanelSize());
}

void TSpectralSum::RunItems(int count, const TWorkTeam::TBody& body)
{
    if (myTeam) {
        myTeam->Run(count, body);
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
    const int rowBlocks = myFft.RowBlocks(), rowBlock = myFft.RowBlock(), panels = myFft.Panels();
    const size_t panelSize = myFft.PanelSize();
    // Rows: work(c, r) = (-1)^(c+r) E(c, r), then the forward row transforms, per row block.
    RunItems(present * rowBlocks, [&](int item, int) {
        const int u = slots[item / rowBlocks];
        const int block = item % rowBlocks;
        const double* re = source[u]->Re();
        const double* im = source[u]->Im();
        double* work = myInputWork[u].Data();
        for (int r = block * rowBlock; r < (block + 1) * rowBlock; ++r) {
            const size_t row = size_t(r) * size_t(myNx);
            for (int c = 0; c < myNx; ++c) {
                const double s = ((c + r) & 1) ? -1.0 : 1.0;
                work[2 * (row + size_t(c))] = s * re[row + size_t(c)];
                work[2 * (row + size_t(c)) + 1] = s * im[row + size_t(c)];
            }
        }
        myFft.Rows(work, +1, block);
    });
    // Columns: each panel into its place in the spectrum and transformed there.
    RunItems(present * panels, [&](int item, int) {
        const int u = slots[item / panels];
        const int b = item % panels;
        double* panel = mySpectra[u].Data() + 2 * size_t(b) * panelSize;
        myFft.LoadPanel(myInputWork[u].Data(), b, panel);
        myFft.Columns(panel, +1);
    });
}

int TSpectralSum::GroupSize(int components, bool evaluated)
{
    // One tuple per worker, as long as the work arrays stay below 256 MiB.
    const size_t count = size_t(myFft.Count());
    const size_t perTuple = size_t(components) * count * 2 * sizeof(double) * (evaluated ? 2 : 1);
    const int byMemory = int(std::max<size_t>(1, (size_t(256) << 20) / std::max<size_t>(1, perTuple)));
    const int group = std::max(1, std::min(Workers(), byMemory));
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
// that held zero, so a new output's page is touched once, by the write.
void TSpectralSum::Gather(const double* work, const TPointRun* runs, std::int32_t count, double* outRe,
                          double* outIm) const
{
    const int shift = myGrid->XShift();
    const std::int32_t mask = myNx - 1;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t first = runs[k].first, end = first + runs[k].count;
        const std::int32_t parity = ((first & mask) + (first >> shift)) & 1;
        for (std::int32_t p = first; p < end; ++p) {
            const double s = ((p - first + parity) & 1) ? -1.0 : 1.0;
            outRe[p] = s * work[2 * size_t(p)];
            outIm[p] = s * work[2 * size_t(p) + 1];
        }
    }
}

} // namespace ksn
