// The reflection steps of the wave-propagation methods: the field that the interface
// between the previous slice (n1) and the current slice (n2) reflects back into the
// previous slice, with the Fresnel coefficients taken point by point from the two index
// slices (ReflectionRules.h):
//
//   Er(x, y) = sum_w  R(w; n1(x, y), n2(x, y)) A_w e^{i (kx x + ky y)},  A_w = s X(j, i) / N,
//
// X being the forward field's centred transform and s its centred sign (SpectralGrid.h).
// The sum is the steps' point sum (direct, grouped or automatic, SpectralSum.h) on the
// engine's threads; the forward field is transformed on copies and never changed. On a
// homogeneous slice pair ReflectVWPM and MT_nextVWR take the spectral path: every plane
// wave is reflected once with the indices at point (0, 0), the grouped sum of a single
// tuple covering the grid.
//
// The reflection is added to the reflected field, which is created with the forward
// field's wave quantities when empty and otherwise neither cleared nor given new ones,
// except by MT_nextVWR, which clears it and gives it the forward field's wave
// quantities. The single-threaded steps do not touch the step time; the pooled ones
// (MT_nextVWR, MT_nextVWRAllComplex, the forms of a multithreaded engine) store it.
#include "engine/BrelWaveOptics.h"
#include "config/Messages.h"
#include "engine/ReflectionRules.h"
#include "engine/StepGuards.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <string>

namespace ksn {

namespace {

[[noreturn]] void NoForwardField(const std::string& caller)
{
    throw EGeneralError("Error in " + caller + ". Called function with unassigned Field (i.e. <nil>).");
}

// Targets that add to the given arrays (brought to Cartesian form).
TSumTargets AddTo(TComplexArray* const* arrays, int count)
{
    TSumTargets targets;
    targets.accumulate = true;
    for (int m = 0; m < count; ++m) {
        arrays[m]->ToCartesian();
        targets.re[m] = arrays[m]->Re();
        targets.im[m] = arrays[m]->Im();
    }
    return targets;
}

} // namespace

// Plane waves inside the vacuum light circle (k0^2 > kt^2) are reflected by the
// scalar step.
void TBrelWaveOptics::ReflectSWPM(const TStepInput& in, TFieldRef& reflected)
{
    const std::string caller("TBrelWaveOptics.ReflectSWPM");
    if (!in.forward)
        NoForwardField(caller);
    TScalarEField* forward = stepguard::Scalar(in.forward, caller);
    stepguard::CheckSlices(in, caller);
    const TGridParms& grid = *in.grid;
    mySpectral.Setup(grid, forward->GetLambda(), caller);
    stepguard::CheckFieldGrid(forward, grid, caller);
    stepguard::CheckNotInput(reflected, in, caller);
    TScalarEField* out = stepguard::Scalar(reflected.get(), caller);
    stepguard::CheckFieldGrid(out, grid, caller);
    myTuples.Build(*in.previousSlice, *in.currentSlice, grid.nx, grid.ny, TScalarReflectionRule::kParts, caller,
                   TeamFor(grid.nx, grid.ny));
    if (!reflected) {
        auto created = std::make_shared<TScalarEField>(grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }

    forward->E().ToCartesian();
    mySum.Setup(mySpectral, TeamFor(mySpectral.Nx(), mySpectral.Ny()));
    const TComplexArray* amplitudes[1] = {&forward->E()};
    mySum.TransformInputs(amplitudes, nullptr, 1);
    const TExtended k0 = mySpectral.K0();
    const auto keep = [k0](TExtended, TExtended, TExtended kt2) { return k0 * k0 - kt2 > 0.0L; };
    TComplexArray* targets[1] = {&out->E()};
    RunSpectralSum(TScalarReflectionRule{k0}, keep, mySummation, mySum, myTuples, AddTo(targets, 1));
}

TVectorEField* TBrelWaveOptics::CheckVectorReflection(const std::string& caller, bool allComplex, bool spectral,
                                                      const TStepInput& in, const TFieldRef& reflected)
{
    if (!in.forward)
        NoForwardField(caller);
    TVectorEField* forward = stepguard::Vector(in.forward, caller);
    stepguard::CheckSlices(in, caller);
    const TGridParms& grid = *in.grid;
    mySpectral.Setup(grid, forward->GetLambda(), caller);
    stepguard::CheckFieldGrid(forward, grid, caller);
    stepguard::CheckNotInput(reflected, in, caller);
    stepguard::CheckFieldGrid(stepguard::Vector(reflected.get(), caller), grid, caller);
    const TIndexParts parts = allComplex ? TVectorReflectionAllComplexRule::kParts : TVectorReflectionRule::kParts;
    if (spectral)
        myTuples.BuildUniform(in.previousSlice->At(0, 0), in.currentSlice->At(0, 0), grid.nx, grid.ny, parts, caller);
    else
        myTuples.Build(*in.previousSlice, *in.currentSlice, grid.nx, grid.ny, parts, caller, TeamFor(grid.nx, grid.ny));
    return forward;
}

// ReflectVWPM reads every plane wave with a non-zero Ex or Ey (its rule decides where it
// propagates); ReflectVWPMAllComplex those within the vacuum circle widened by the extra
// modes along each axis (its rule's test).
void TBrelWaveOptics::SumVectorReflection(bool allComplex, bool spectral, const TStepInput& in,
                                          TVectorEField& forward, TVectorEField& reflected)
{
    forward.EX().ToCartesian();
    forward.EY().ToCartesian();
    mySum.Setup(mySpectral, TeamFor(mySpectral.Nx(), mySpectral.Ny()));
    const TComplexArray* amplitudes[2] = {&forward.EX(), &forward.EY()};
    mySum.TransformInputs(amplitudes, nullptr, 2);
    const auto keep = [](TExtended, TExtended, TExtended) { return true; };
    const TSummation summation = spectral ? TSummation::grouped : mySummation;
    TComplexArray* arrays[3] = {&reflected.EX(), &reflected.EY(), &reflected.EZ()};
    if (allComplex) {
        const TVectorReflectionAllComplexRule rule{mySpectral.K0(), mySpectral.DKx(), mySpectral.DKy(), myExtraModes};
        RunSpectralSum(rule, keep, summation, mySum, myTuples, AddTo(arrays, 3));
    } else {
        // The reflected Ez is left untouched (zero in a new field).
        const TVectorReflectionRule rule{mySpectral.K0(), in.grid->evanescent};
        RunSpectralSum(rule, keep, summation, mySum, myTuples, AddTo(arrays, 2));
    }
}

void TBrelWaveOptics::ReflectVWPM(const TStepInput& in, TFieldRef& reflected)
{
    const std::string caller("TBrelWaveOptics.ReflectVWPM");
    const bool spectral = in.homogeneousPair;
    TVectorEField* forward = CheckVectorReflection(caller, false, spectral, in, reflected);
    TVectorEField* out = stepguard::Vector(reflected.get(), caller);
    if (!reflected) {
        auto created = std::make_shared<TVectorEField>(*in.grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }
    SumVectorReflection(false, spectral, in, *forward, *out);
}

void TBrelWaveOptics::ReflectVWPMAllComplex(const TStepInput& in, TFieldRef& reflected)
{
    const std::string caller("TBrelWaveOptics.ReflectVWPMAllComplex");
    TVectorEField* forward = CheckVectorReflection(caller, true, false, in, reflected);
    TVectorEField* out = stepguard::Vector(reflected.get(), caller);
    if (!reflected) {
        auto created = std::make_shared<TVectorEField>(*in.grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }
    SumVectorReflection(true, false, in, *forward, *out);
}

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
    SumVectorReflection(allComplex, spectral, in, *forward, *out);
    StoreStepTime();
}

} // namespace ksn
