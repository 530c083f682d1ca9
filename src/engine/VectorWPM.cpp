// The vector wave-propagation steps of TBrelWaveOptics (methods vwpm and vwpmh, each with
// an all-complex form) and their pooled forms.
//
// The input field is decomposed into plane waves by the centred forward transform of each
// component; every plane wave is carried to every output point with the local indices
// there (VectorWPMRule.h) and the contributions are summed point by point:
//
//   E'_m(x, y) = sum_w L_m(w; n1, n2) e^{i (kx x + ky y + phi)} + sum_w G_m(w; n1, n2),
//   flux(x, y) = sum_w f(w; n1, n2),          total flux = sum over the points,
//   amplitudes A_w = s X(j, i) / N,
//
// X being the transform's output and s its centred sign (SpectralGrid.h). The sum runs
// as the scalar step's does (SpectralSum.h): the inputs are transformed on copies (they
// are never changed), the grouped tuples read tabulated coefficients, and the work is
// spread over the engine's work team.
//
// The hybrid steps take the spectral path when both slices are homogeneous: the same
// rule at the tuple of point (0, 0) for the whole grid, which is the grouped sum of a
// single tuple covering the grid. Terms without lateral phase are then the same at every
// point, so the spectral path gives what the point path gives for the same slices, flux
// map and total included.
//
// The pooled forms are the same steps: every step already runs on the engine's threads.
// They differ in one point of the contract: given neither field, a pooled step still
// hands back a cleared (or new) output field and stores its step time.
#include "engine/BrelWaveOptics.h"
#include "engine/StepGuards.h"
#include "engine/VectorWPMRule.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <string>

namespace ksn {

namespace {

// Component m (x, y, z) of a field, in Cartesian form as the transforms read it.
TComplexArray& CartesianComponent(TVectorEField& field, int m)
{
    TComplexArray& a = m == 0 ? field.EX() : m == 1 ? field.EY() : field.EZ();
    a.ToCartesian();
    return a;
}

} // namespace

void TBrelWaveOptics::PropagateVWPM(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPM", false, false, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMAllComplex", true, false, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMH(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMH", false, true, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMHAllComplex", true, true, false}, in, output);
}

void TBrelWaveOptics::PropagateVWPMMT(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMMT", false, false, true}, in, output);
}

void TBrelWaveOptics::PropagateVWPMMTAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMMTAllComplex", true, false, true}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHMT(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMHMT", false, true, true}, in, output);
}

void TBrelWaveOptics::PropagateVWPMHMTAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorStep({"TBrelWaveOptics.PropagateVWPMHMTAllComplex", true, true, true}, in, output);
}

TVectorEField* TBrelWaveOptics::BeginVectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output,
                                                TVectorEField*& forward, TVectorEField*& backward, bool& stale)
{
    const std::string where(form.where);
    // Everything is checked before any field is touched.
    forward = stepguard::Vector(in.forward, where);
    backward = stepguard::Vector(in.backward, where);
    if (!in.grid)
        throw EGeneralError("Error in " + where + ". Called function with unassigned grid.");
    const TGridParms& grid = *in.grid;
    if (!in.previousSlice || !in.currentSlice)
        throw EGeneralError("Error in " + where + ". Called function with unassigned index slice.");
    const TComplexArray& previous = *in.previousSlice;
    const TComplexArray& current = *in.currentSlice;
    if (previous.Nx() != grid.nx || previous.Ny() != grid.ny || current.Nx() != grid.nx || current.Ny() != grid.ny ||
        previous.IsPolar() || current.IsPolar())
        throw EGeneralError("Error in " + where + ". Index slice does not match the grid.");
    stepguard::CheckFieldGrid(forward, grid, where);
    stepguard::CheckFieldGrid(backward, grid, where);
    if (output && (output.get() == in.forward || output.get() == in.backward))
        throw EGeneralError("Error in " + where + ". Output field is an input field.");
    TVectorEField* out = stepguard::Vector(output.get(), where);
    stepguard::CheckFieldGrid(out, grid, where);

    const TField* source = forward ? static_cast<TField*>(forward) : static_cast<TField*>(backward);
    if (source) {
        mySpectral.Setup(grid, source->GetLambda(), where);
        const TIndexParts parts = form.allComplex ? TVectorWPMAllComplexRule::kParts : TVectorWPMRule::kParts;
        if (form.hybrid && in.homogeneousPair) // one tuple, the indices at point (0, 0), for the whole grid
            myTuples.BuildUniform(previous.At(0, 0), current.At(0, 0), grid.nx, grid.ny, parts, where);
        else
            myTuples.Build(previous, current, grid.nx, grid.ny, parts, where, TeamFor(grid.nx, grid.ny),
                           in.continuesLastStep);
    }

    stale = output && source;
    if (!output) {
        auto created = std::make_shared<TVectorEField>(grid);
        out = created.get();
        output = std::move(created);
    } else if (stale) {
        out->ClearBesideOutputs(true);
    } else {
        out->ClearField();
    }
    if (source)
        out->CopyWaveQuantities(*source);
    return out;
}

void TBrelWaveOptics::SumVectorStep(const TVectorForm& form, const TStepInput& in, TVectorEField* forward,
                                    TVectorEField* backward, TVectorEField& output, bool stale)
{
    const TStepMode mode = in.Mode();
    const TExtended k0 = mySpectral.K0();
    const TVectorWPMRule rule{k0, mySpectral.DZ(), mode, in.grid->evanescent, &output};
    const TVectorWPMAllComplexRule complexRule{
        k0, mySpectral.DZ(), mySpectral.DKx(), mySpectral.DKy(), myExtraModes, mode, &output};

    // The components the rule reads: Ez only in the evanescent cases of the real-kz rule.
    const int components = form.allComplex ? complexRule.InputsRead() : rule.InputsRead();
    const TComplexArray* forwardInput[3] = {};
    const TComplexArray* backwardInput[3] = {};
    for (int m = 0; m < components; ++m) {
        if (forward)
            forwardInput[m] = &CartesianComponent(*forward, m);
        if (backward)
            backwardInput[m] = &CartesianComponent(*backward, m);
    }
    mySum.Setup(mySpectral, TeamFor(mySpectral.Nx(), mySpectral.Ny()));
    mySum.TransformInputs(forwardInput, backwardInput, components);
    // A plane wave whose transverse amplitudes are zero in every input is not carried,
    // whatever its Ez.
    mySum.DropEmptyWaves(2);

    const TSummation summation = form.hybrid && in.homogeneousPair ? TSummation::grouped : mySummation;
    TComplexArray& flux = output.EnergyFluxMap();
    if (form.allComplex) {
        // Plane waves below the sampling limit of each axis: kx < pi/dx, ky < pi/dy.
        const TExtended dx = mySpectral.DX(), dy = mySpectral.DY();
        const auto keep = [dx, dy](TExtended kx, TExtended ky, TExtended) {
            constexpr TExtended pi = kTwoPi / 2.0L;
            return !(dx != 0.0L && kx >= pi / dx) && !(dy != 0.0L && ky >= pi / dy);
        };
        RunSpectralSum(complexRule, keep, summation, mySum, myTuples,
                       VectorTargets<TVectorWPMAllComplexRule>(output.EX(), output.EY(), output.EZ(), flux, !stale));
    } else {
        const auto keep = [](TExtended, TExtended, TExtended) { return true; };
        RunSpectralSum(rule, keep, summation, mySum, myTuples,
                       VectorTargets<TVectorWPMRule>(output.EX(), output.EY(), output.EZ(), flux, !stale));
    }
    // The total energy flux: the flux map summed over the points.
    output.SetEnergyFlux(double(mySum.Total(flux.Re())));
}

void TBrelWaveOptics::VectorStep(const TVectorForm& form, const TStepInput& in, TFieldRef& output)
{
    myTimer->Start();
    if (!in.forward && !in.backward && !form.pooled)
        return;
    TVectorEField* forward = nullptr;
    TVectorEField* backward = nullptr;
    bool stale = false;
    TVectorEField* out = BeginVectorStep(form, in, output, forward, backward, stale);
    if (forward || backward)
        SumVectorStep(form, in, forward, backward, *out, stale);
    StoreStepTime();
}

} // namespace ksn
