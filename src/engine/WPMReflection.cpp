// The reflection steps of the wave-propagation methods: the field that the interface
// between the previous slice (n1) and the current slice (n2) reflects back into the
// previous slice, with the Fresnel coefficients taken point by point from the two index
// slices (ReflectionRules.h):
//
//   Er(x, y) = sum_w  R(w; n1(x, y), n2(x, y)) A_w e^{i (kx x + ky y)},  A_w = s X(j, i) / N,
//
// X being the forward field's centred transform and s its centred sign (SpectralGrid.h).
// The sum is the shared point sum (direct, grouped or automatic, PointSum.h). On a
// homogeneous slice pair ReflectVWPM takes the spectral path instead: every plane wave
// is reflected once with the indices at point (0, 0) and one inverse transform gives
// the field.
//
// The reflection is added to the reflected field, which is created with the forward
// field's wave quantities when empty and otherwise neither cleared nor given new ones.
// The single-threaded steps do not touch the step time.
#include "engine/BrelWaveOptics.h"
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

TComplex Plus(TComplex a, TComplexOf<TExtended> b) { return {double(a.re + b.re), double(a.im + b.im)}; }

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
    myTuples.Build(*in.previousSlice, *in.currentSlice, grid.nx, grid.ny, TScalarReflectionRule::kParts, caller);
    if (!reflected) {
        auto created = std::make_shared<TScalarEField>(grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }

    const stepguard::TSpectralInputs spectrum(forward, nullptr);
    const TExtended k0 = mySpectral.K0();
    const TComplexArray* amplitudes[1] = {&forward->E()};
    CollectPlaneWaves(mySpectral, amplitudes, nullptr, 1, 1, mySpectral.CentredSign() / double(mySpectral.Count()),
                      [k0](TExtended, TExtended, TExtended kt2) { return k0 * k0 - kt2 > 0.0L; }, myWaves);
    TSumTargets targets;
    targets.re[0] = out->E().Re();
    targets.im[0] = out->E().Im();
    RunPointSum(TScalarReflectionRule{k0}, mySummation, mySpectral, myWaves, myTuples, myScratch, targets);
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
    if (!spectral)
        myTuples.Build(*in.previousSlice, *in.currentSlice, grid.nx, grid.ny,
                       allComplex ? TVectorReflectionAllComplexRule::kParts : TVectorReflectionRule::kParts, caller);
    return forward;
}

// ReflectVWPM reads every plane wave with a non-zero Ex or Ey (its rule decides where it
// propagates); ReflectVWPMAllComplex those within the vacuum circle widened by the extra
// modes along each axis. Amplitudes are divided by N on the point path only.
void TBrelWaveOptics::CollectReflectionWaves(bool allComplex, bool spectral, const TVectorEField& forward)
{
    const TComplexArray* amplitudes[2] = {&forward.EX(), &forward.EY()};
    const double scale = spectral ? 1.0 : mySpectral.CentredSign() / double(mySpectral.Count());
    const double k0 = double(mySpectral.K0());
    const double dkx = double(mySpectral.DKx()), dky = double(mySpectral.DKy());
    if (allComplex)
        CollectPlaneWaves(mySpectral, amplitudes, nullptr, 2, 2, scale,
                          [&](TExtended kx, TExtended ky, TExtended) {
                              return InModeRange(k0, dkx, double(kx)) && InModeRange(k0, dky, double(ky));
                          },
                          myWaves);
    else
        CollectPlaneWaves(mySpectral, amplitudes, nullptr, 2, 2, scale,
                          [](TExtended, TExtended, TExtended) { return true; }, myWaves);
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

    const TVectorReflectionRule rule{mySpectral.K0(), in.grid->evanescent};
    // On the spectral path the reflected field is spectral inside the scope too.
    const stepguard::TSpectralInputs spectra(forward, spectral ? out : nullptr);
    CollectReflectionWaves(false, spectral, *forward);
    if (spectral) {
        const TIndexTuple tuple = TIndexTuples::Reduce(in.previousSlice->At(0, 0), in.currentSlice->At(0, 0),
                                                       TVectorReflectionRule::kParts);
        TComplexOf<TExtended> lateral[2];
        for (const TPlaneWave& w : myWaves) {
            TExtended phase = 0.0L;
            if (!rule.Evaluate<TExtended>(w, tuple, lateral, phase, nullptr))
                continue;
            out->EX().SetAt(w.j, w.i, Plus(out->EX().At(w.j, w.i), lateral[0]));
            out->EY().SetAt(w.j, w.i, Plus(out->EY().At(w.j, w.i), lateral[1]));
        }
        return;
    }
    TSumTargets targets;
    targets.re[0] = out->EX().Re();
    targets.im[0] = out->EX().Im();
    targets.re[1] = out->EY().Re();
    targets.im[1] = out->EY().Im();
    RunPointSum(rule, mySummation, mySpectral, myWaves, myTuples, myScratch, targets);
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

    const stepguard::TSpectralInputs spectrum(forward, nullptr);
    CollectReflectionWaves(true, false, *forward);
    TSumTargets targets;
    TComplexArray* arrays[3] = {&out->EX(), &out->EY(), &out->EZ()};
    for (int m = 0; m < 3; ++m) {
        targets.re[m] = arrays[m]->Re();
        targets.im[m] = arrays[m]->Im();
    }
    RunPointSum(TVectorReflectionAllComplexRule{mySpectral.K0()}, mySummation, mySpectral, myWaves, myTuples,
                myScratch, targets);
}

} // namespace ksn
