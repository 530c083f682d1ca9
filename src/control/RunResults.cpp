// After the sweeps: intensity and absorption maps of the stored slices, the report,
// and the z-curves.
#include "control/SimulationDriver.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "numerics/Vectorise.h"

#include <algorithm>
#include <cmath>

namespace ksn {

namespace {

constexpr size_t kMapBlock = 256, kMapLanes = 8;

// I(q) = |re(q)|^2 + |im(q)|^2, or I(q) += that with `add` (the next component).
KSN_VECTOR_CLONES void SquaredMagnitudes(double* __restrict blockI, const double* __restrict re,
                                         const double* __restrict im, size_t len, bool add)
{
    if (add)
        for (size_t q = 0; q < len; ++q)
            blockI[q] += re[q] * re[q] + im[q] * im[q];
    else
        for (size_t q = 0; q < len; ++q)
            blockI[q] = re[q] * re[q] + im[q] * im[q];
}

// For one block of points, with I the intensities on entry:
//   I_n = I (independent) or I n,   a = scale I kappa,
// added to the maps, and their sums in kMapLanes running sums each (lane l takes the
// points q = l mod kMapLanes in point order, the tail goes to lane 0): sums[0 .. 7] of I_n,
// sums[8 .. 15] of a. A map that holds nothing of this slice yet is written, not read:
// + 0.0 is what adding to it gives, and a new field's page is then touched once.
KSN_VECTOR_CLONES void MapBlock(const double* __restrict blockI, double* __restrict intensity,
                                double* __restrict absorption, const double* __restrict n,
                                const double* __restrict kappa, size_t len, double scale, bool independent,
                                bool mapsAreZero, double* __restrict sums)
{
    double blockIn[kMapBlock], blockA[kMapBlock];
    for (size_t q = 0; q < len; ++q) {
        const double I = blockI[q];
        blockA[q] = scale * I * kappa[q];
        blockIn[q] = independent ? I : I * n[q];
    }
    if (mapsAreZero) {
        for (size_t q = 0; q < len; ++q) {
            intensity[q] = 0.0 + blockIn[q];
            absorption[q] = 0.0 + blockA[q];
        }
    } else {
        for (size_t q = 0; q < len; ++q) {
            intensity[q] += blockIn[q];
            absorption[q] += blockA[q];
        }
    }
    double sumI[kMapLanes] = {}, sumA[kMapLanes] = {};
    size_t q = 0;
    for (; q + kMapLanes <= len; q += kMapLanes)
        for (size_t lane = 0; lane < kMapLanes; ++lane) {
            sumI[lane] += blockIn[q + lane];
            sumA[lane] += blockA[q + lane];
        }
    for (; q < len; ++q) {
        sumI[0] += blockIn[q];
        sumA[0] += blockA[q];
    }
    for (size_t lane = 0; lane < kMapLanes; ++lane) {
        sums[lane] = sumI[lane];
        sums[kMapLanes + lane] = sumA[lane];
    }
}

} // namespace

// For every stored slice z (store entry k = z/m) and point (ix, iy), with E the field
// there and n + i*kappa the scene's index (per point in double, totals in extended
// precision):
//   I   = |Ex|^2 + |Ey|^2 + |Ez|^2,   I_n = I (independent) or I*n,
//   a   = 4*pi*I*kappa/lambda * dz / (nx*ny)      (absorbed power per slice; lambda, dz in metres)
// added to the slice's maps, and to its totals when the slice's layer reports.
// `mapsAreZero`: the maps hold nothing of this slice yet (cleared by the step, or left
// for this call to write whole: SkipNextMapClear) and are written, not added to.
// Without reflection passes the run loop calls this for each slice as soon as it is
// stored (its field and, in large-scene mode, its index slice are then at hand);
// ComputeMaps does the slices left after the sweeps.
void TSimulationDriver::ComputeSliceMaps(size_t k, bool mapsAreZero)
{
    if (k >= myForwardStore.size() || !myForwardStore[k])
        return;
    if (k < myMapped.size())
        myMapped[k] = 1;
    TField* field = myForwardStore[k].get();
    const TGridParms& g = myConfig.grid;
    const TExtended lambda = myIncident ? myIncident->GetLambda() : 0.0;
    const TExtended pi = 3.14159265358979323846264338327950288L;
    const TExtended absorptionScale =
        lambda > 0 ? 4.0L * pi / lambda * g.ToMetres(g.dz) / g.nx / g.ny : 0.0L;
    const int z = int(k) * myStoreModulus;
    const bool report = myScene->GetLevelReport(z);
    myScene->GetLevelMeanN(z);
    const TComplexArray* index = myScene->GetLevel(z);
    if (!index || index->Nx() != g.nx || index->Ny() != g.ny || field->GetXSize() != g.nx ||
        field->GetYSize() != g.ny) {
        // Maps the step left uncleared (SkipNextMapClear) still hold another slice's values.
        if (mapsAreZero) {
            field->IntensityMap().Fill(0.0);
            field->AbsorptionMap().Fill({0.0, 0.0});
        }
        return;
    }
    // The components' element blocks (x fastest); a scalar field's E is the x component.
    const TComplexArray* components[3] = {};
    if (auto* scalar = dynamic_cast<TScalarEField*>(field)) {
        scalar->E().ToCartesian();
        components[0] = &scalar->E();
    } else if (auto* vector = dynamic_cast<TVectorEField*>(field)) {
        vector->EX().ToCartesian();
        vector->EY().ToCartesian();
        vector->EZ().ToCartesian();
        components[0] = &vector->EX();
        components[1] = &vector->EY();
        components[2] = &vector->EZ();
    }
    double* intensity = field->IntensityMap().Data();
    double* absorption = field->AbsorptionMap().Re();
    const double* n = index->Re();
    const double* kappa = index->Im();
    const bool independent = myConfig.independent;
    const double scale = double(absorptionScale);
    const size_t count = size_t(g.nx) * size_t(g.ny);
    // Per point in double (|E|^2 of stored doubles); the totals go through eight
    // partial sums per block of points into extended precision, so the loops vectorise,
    // blocks can go to the engine's threads, and the order of the sums is fixed.
    constexpr size_t kBlock = kMapBlock, kLanes = kMapLanes;
    const size_t blocks = (count + kBlock - 1) / kBlock;
    myBlockSums.assign(blocks * 2 * kLanes, 0.0);
    const auto mapBlock = [&](int item, int) {
        const size_t p0 = size_t(item) * kBlock;
        const size_t len = std::min(kBlock, count - p0);
        double blockI[kBlock];
        if (components[0]) {
            bool add = false;
            for (const TComplexArray* c : components)
                if (c) {
                    SquaredMagnitudes(blockI, c->Re() + p0, c->Im() + p0, len, add);
                    add = true;
                }
        } else {
            for (size_t q = 0; q < len; ++q) {
                const size_t p = p0 + q;
                const TCVec3 e = field->GetEVec(int(p % size_t(g.nx)), int(p / size_t(g.nx)));
                blockI[q] = e.x.re * e.x.re + e.x.im * e.x.im + e.y.re * e.y.re + e.y.im * e.y.im +
                            e.z.re * e.z.re + e.z.im * e.z.im;
            }
        }
        MapBlock(blockI, intensity + p0, absorption + p0, n + p0, kappa + p0, len, scale, independent, mapsAreZero,
                 myBlockSums.data() + size_t(item) * 2 * kLanes);
    };
    // GetEVec of a field of another kind is not known to be safe from several threads.
    if (myRunTeam && components[0])
        myRunTeam->Run(int(blocks), mapBlock);
    else
        for (size_t b = 0; b < blocks; ++b)
            mapBlock(int(b), 0);
    // The block sums also tell whether the slice left the range of doubles (a NaN or Inf
    // anywhere reaches its block's sum) and whether it holds any light (I_n > 0 where
    // I > 0, since Re n > 0): CheckResults reports that once for the run.
    TExtended totalIntensity = field->GetIntensity();
    TExtended totalAbsorption = field->GetAbsorption();
    for (size_t b = 0; b < blocks; ++b)
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const double sumI = myBlockSums[(2 * b) * kLanes + lane];
            const double sumA = myBlockSums[(2 * b + 1) * kLanes + lane];
            if (!std::isfinite(sumI) || !std::isfinite(sumA))
                myResultsNonFinite = true;
            else if (sumI != 0)
                myResultsNonZero = true;
            if (report) {
                totalIntensity += sumI;
                totalAbsorption += sumA;
            }
        }
    if (std::isfinite(double(totalIntensity)) && std::isfinite(double(totalAbsorption))) {
        field->SetIntensity(double(totalIntensity));
        field->SetAbsorption(double(totalAbsorption));
    } else {
        myResultsNonFinite = true;
    }
}

void TSimulationDriver::ComputeMaps()
{
    for (size_t k = 0; k < myForwardStore.size(); ++k)
        if (k >= myMapped.size() || !myMapped[k])
            ComputeSliceMaps(k, false);
}

bool TSimulationDriver::CheckResults()
{
    if (myResultsNonFinite) {
        ShowMessage("The results are not finite: the field or its intensity left the range of doubles during the "
                    "run (a gain layer with negative kappa over a long path?). Nothing is reported as a result.");
        return false;
    }
    if (myResultsNonZero || myForwardStore.empty() || !myIncident)
        return true;
    // Zero everywhere in every stored slice: only right when the incident field is zero.
    const TGridParms& g = myConfig.grid;
    for (int iy = 0; iy < g.ny; ++iy)
        for (int ix = 0; ix < g.nx; ++ix) {
            const TCVec3 e = myIncident->GetEVec(ix, iy);
            if (e.x.re != 0 || e.x.im != 0 || e.y.re != 0 || e.y.im != 0 || e.z.re != 0 || e.z.im != 0) {
                ShowMessage("The field vanished: every stored slice is zero although the incident field is not "
                            "(no plane wave of the incident field can propagate on this grid).");
                return false;
            }
        }
    return true;
}

void TSimulationDriver::WriteReport()
{
    const auto text = [](TExtended v) { return FormatReal(double(v)); };
    Log("---------------- Begin-Report ------------------ ");
    Log("Overall time    : " + text(myStats.overallMs));
    Log("min time / iter : " + text(myStats.minStepMs) + " @" + std::to_string(myStats.minStepSlice));
    Log("max time / iter : " + text(myStats.maxStepMs) + " @" + std::to_string(myStats.maxStepSlice));
    Log("time / last iter: " + text(myStats.lastStepMs) + " @" + std::to_string(myStats.lastSlice));
    Log("---------------- Absorption --------------------- ");
    Log("Absorption      : " + text(myTotalAbsorption));
    Log("---------------- End-Report --------------------- ");
}

std::vector<TZCurvePoint> TSimulationDriver::ZCurves()
{
    std::vector<TZCurvePoint> points;
    double flux0 = 0;
    if (!myForwardStore.empty() && myForwardStore[0])
        flux0 = myForwardStore[0]->GetEnergyFlux();
    for (size_t k = 0; k < myForwardStore.size(); ++k) {
        const TField* f = myForwardStore[k].get();
        TZCurvePoint pt;
        pt.slice = int(k) * myStoreModulus;
        pt.z = pt.slice * myConfig.grid.dz;
        if (f) {
            pt.intensity = f->GetIntensity();
            pt.absorption = f->GetAbsorption();
            pt.energyFlux = flux0 != 0 ? f->GetEnergyFlux() / flux0 : f->GetEnergyFlux();
        }
        points.push_back(pt);
    }
    return points;
}

} // namespace ksn
