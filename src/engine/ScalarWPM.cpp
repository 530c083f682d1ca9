// The scalar wave-propagation steps of TBrelWaveOptics (methods swpm and swpmh).
//
// The input field is decomposed into plane waves by the centred forward transform;
// every plane wave is carried to every output point with the local indices there
// (ScalarWPMRule.h) and the contributions are summed point by point (PointSum.h):
//
//   E'(x, y) = sum_w  t(w; n1, n2) A_w a(w; n2, kappa2) e^{i (kx x + ky y + kz2 dz)},
//   A_w = s X(j, i) / N,
//
// X being the transform's output and s its centred sign (SpectralGrid.h). Only plane
// waves inside the vacuum light circle (kt^2 < k0^2) are kept, whatever the index.
//
// The hybrid step replaces the sum by the spectral path when both slices are
// homogeneous: the output spectrum is the rule at the tuple of point (0, 0) times the
// amplitude, and one inverse transform gives the field. That is the grouped sum of a
// single tuple covering the whole grid, so it runs as one.
//
// The inputs are transformed on copies (SpectralSum.h) and are never changed.
#include "engine/BrelWaveOptics.h"
#include "engine/ScalarWPMRule.h"
#include "engine/StepGuards.h"
#include "field/ScalarEField.h"
#include "numerics/GeneralError.h"

#include <cmath>
#include <string>

namespace ksn {

void TBrelWaveOptics::PropagateSWPM(const TStepInput& in, TFieldRef& output)
{
    ScalarStep("TBrelWaveOptics.PropagateSWPM", false, in, output);
}

void TBrelWaveOptics::PropagateSWPMH(const TStepInput& in, TFieldRef& output)
{
    ScalarStep("TBrelWaveOptics.PropagateSWPMH", in.homogeneousPair, in, output);
}

void TBrelWaveOptics::ScalarStep(const char* where, bool spectral, const TStepInput& stepIn, TFieldRef& output)
{
    TField* const forward = stepIn.forward;
    TField* const backward = stepIn.backward;
    const TComplexArray* const previousSlice = stepIn.previousSlice;
    const TComplexArray* const currentSlice = stepIn.currentSlice;
    const TGridParms* const grid = stepIn.grid;
    myTimer->Start();
    if (!forward && !backward)
        return;

    // Everything is checked before any field is touched.
    const std::string caller(where);
    TScalarEField* in = stepguard::Scalar(forward, caller);
    TScalarEField* back = stepguard::Scalar(backward, caller);
    if (!grid)
        throw EGeneralError("Error in " + caller + ". Called function with unassigned grid.");
    if (!previousSlice || !currentSlice)
        throw EGeneralError("Error in " + caller + ". Called function with unassigned index slice.");
    const TField& source = forward ? *forward : *backward;
    mySpectral.Setup(*grid, source.GetLambda(), caller);
    stepguard::CheckFieldGrid(in, *grid, caller);
    stepguard::CheckFieldGrid(back, *grid, caller);
    if (!spectral) {
        myTuples.Build(*previousSlice, *currentSlice, grid->nx, grid->ny, TScalarWPMRule::kParts, caller,
                       TeamFor(grid->nx, grid->ny), stepIn.continuesLastStep);
    } else if (previousSlice->Nx() != grid->nx || previousSlice->Ny() != grid->ny ||
               currentSlice->Nx() != grid->nx || currentSlice->Ny() != grid->ny || previousSlice->IsPolar() ||
               currentSlice->IsPolar()) {
        throw EGeneralError("Error in " + caller + ". Index slice does not match the grid.");
    } else {
        // Homogeneous pair: one tuple, the indices at point (0, 0), for the whole grid.
        myTuples.BuildUniform(previousSlice->At(0, 0), currentSlice->At(0, 0), grid->nx, grid->ny,
                              TScalarWPMRule::kParts, caller);
    }
    if (output && (output.get() == forward || output.get() == backward))
        throw EGeneralError("Error in " + caller + ". Output field is an input field.");
    TScalarEField* out = stepguard::Scalar(output.get(), caller);
    stepguard::CheckFieldGrid(out, *grid, caller);

    // A reused output keeps its old field: the sum below writes every point of it.
    const bool stale = bool(output);
    if (!output) {
        auto created = std::make_shared<TScalarEField>(*grid);
        out = created.get();
        output = std::move(created);
    } else {
        out->ClearBesideOutputs(false);
    }
    out->CopyWaveQuantities(source);

    if (in)
        in->E().ToCartesian();
    if (back)
        back->E().ToCartesian();
    mySum.Setup(mySpectral, TeamFor(grid->nx, grid->ny));
    // The field this step wrote last, arriving unchanged: its spectrum, where the sum
    // kept it, is this step's input spectrum.
    if (in && !back && stepIn.continuesLastStep && forward == myCarriedOutput && mySum.HasCarriedSpectrum()) {
        mySum.UseCarriedSpectrum();
    } else {
        const TComplexArray* forwardInput[1] = {in ? &in->E() : nullptr};
        const TComplexArray* backwardInput[1] = {back ? &back->E() : nullptr};
        mySum.TransformInputs(forwardInput, backwardInput, 1);
    }
    myCarriedOutput = nullptr;
    const TExtended k0 = mySpectral.K0();
    // Plane waves inside the vacuum light circle: k0^2 - kt^2 > 0.
    const auto keep = [k0](TExtended, TExtended, TExtended kt2) { return k0 * k0 - kt2 > 0.0L; };
    const TScalarWPMRule rule{k0, mySpectral.DZ(), stepIn.Mode()};
    TComplexArray& e = out->E();
    TSumTargets targets;
    targets.re[0] = e.Re();
    targets.im[0] = e.Im();
    targets.zeroed = !stale;
    targets.carry = true;
    RunSpectralSum(rule, keep, spectral ? TSummation::grouped : mySummation, mySum, myTuples, targets);
    if (mySum.HasCarriedSpectrum())
        myCarriedOutput = out;
    StoreStepTime();
}

} // namespace ksn
