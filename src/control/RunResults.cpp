// After the sweeps: intensity and absorption maps of the stored slices, the report,
// and the z-curves.
#include "control/SimulationDriver.h"

#include "config/FloatText.h"
#include "config/Messages.h"

#include <cmath>

namespace ksn {

// For every stored slice z (store entry k = z/m) and point (ix, iy), with E the field
// there and n + i*kappa the scene's index:
//   I   = |Ex|^2 + |Ey|^2 + |Ez|^2,   I_n = I (independent) or I*n,
//   a   = 4*pi*I*kappa/lambda * dz / (nx*ny)      (absorbed power per slice; lambda, dz in metres)
// added to the slice's maps, and to its totals when the slice's layer reports.
void TSimulationDriver::ComputeMaps()
{
    const TGridParms& g = myConfig.grid;
    const bool independent = myConfig.independent;
    const TExtended lambda = myIncident ? myIncident->GetLambda() : 0.0;
    const TExtended pi = 3.14159265358979323846264338327950288L;
    const TExtended absorptionScale =
        lambda > 0 ? 4.0L * pi / lambda * g.ToMetres(g.dz) / g.nx / g.ny : 0.0L;
    myResultsNonFinite = false;
    myResultsNonZero = false;
    for (size_t k = 0; k < myForwardStore.size(); ++k) {
        TField* field = myForwardStore[k].get();
        if (!field)
            continue;
        const int z = int(k) * myStoreModulus;
        const bool report = myScene->GetLevelReport(z);
        myScene->GetLevelMeanN(z);
        const TComplexArray* index = myScene->GetLevel(z);
        if (!index || index->Nx() != g.nx || index->Ny() != g.ny)
            continue;
        TRealArray& intensity = field->IntensityMap();
        double* absorption = field->AbsorptionMap().Re();
        TExtended totalIntensity = field->GetIntensity();
        TExtended totalAbsorption = field->GetAbsorption();
        for (int iy = 0; iy < g.ny; ++iy)
            for (int ix = 0; ix < g.nx; ++ix) {
                const TCVec3 e = field->GetEVec(ix, iy);
                const TExtended I = TExtended(e.x.re) * e.x.re + TExtended(e.x.im) * e.x.im +
                                    TExtended(e.y.re) * e.y.re + TExtended(e.y.im) * e.y.im +
                                    TExtended(e.z.re) * e.z.re + TExtended(e.z.im) * e.z.im;
                if (!std::isfinite(double(I)))
                    myResultsNonFinite = true;
                else if (I != 0)
                    myResultsNonZero = true;
                const TComplex n = index->At(ix, iy);
                const TExtended In = independent ? I : I * n.re;
                const TExtended a = absorptionScale * I * n.im;
                intensity.At(ix, iy) += double(In);
                absorption[size_t(ix) + size_t(iy) * size_t(g.nx)] += double(a);
                if (report) {
                    totalIntensity += In;
                    totalAbsorption += a;
                }
            }
        // A non-finite total is reported once for the run (CheckResults), not per slice.
        if (std::isfinite(double(totalIntensity)) && std::isfinite(double(totalAbsorption))) {
            field->SetIntensity(double(totalIntensity));
            field->SetAbsorption(double(totalAbsorption));
        } else {
            myResultsNonFinite = true;
        }
    }
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
