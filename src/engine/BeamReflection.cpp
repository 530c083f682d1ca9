// The reflection steps of the beam-propagation methods: the field that the interface
// between the previous and the current reference medium (N1, N2) reflects back into the
// previous slice, plane wave by plane wave in the spectral domain:
//
//   kz1 = sqrt(beta1^2 - kt^2), kz2 = sqrt(beta2^2 - kt^2),  beta = k0 Re N
//   vector:  (Exr, Eyr) = R (Ex, Ey) with R = rs s s^T - rp p p^T (ReflectionRules.h),
//            Ezr = -(kx Exr + ky Eyr) / kz1
//   scalar:  Er = r E,  r = (rs - rp)/2, rs at kt^2 = 0
//
// The reflection is added to the reflected field (created on the grid with the forward
// field's wave quantities when empty): an existing reflected field is taken to the
// spectral domain first, so that what it holds is kept. Real-arithmetic forms carry
// plane waves inside the vacuum light circle that propagate in both reference media
// (kz1^2 > 0, kz2^2 >= 0); the all-complex form carries every plane wave within the
// reference circle beta2 widened by the extra modes, with complex roots and the complex
// reference indices in rs and rp.
#include "engine/BrelWaveOptics.h"
#include "engine/Fresnel.h"
#include "engine/KernelComplex.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/ReflectionRules.h"
#include "engine/StepGuards.h"
#include "field/ScalarEField.h"
#include "field/VectorEField.h"
#include "numerics/GeneralError.h"

#include <cmath>
#include <string>

namespace ksn {

namespace {

using TCx = TComplexOf<TExtended>;

bool IsZero(TComplex a) { return a.re == 0.0 && a.im == 0.0; }
TComplex Narrow(TCx a) { return {double(a.re), double(a.im)}; }
TComplex Plus(TComplex a, TComplex b) { return {a.re + b.re, a.im + b.im}; }

[[noreturn]] void NoForwardField(const std::string& caller)
{
    throw EGeneralError("Error in " + caller + ". Called function with unassigned Field (i.e. <nil>).");
}

} // namespace

void TBrelWaveOptics::ReflectVBPM(const TStepInput& in, TFieldRef& reflected)
{
    VectorBeamReflection("TBrelWaveOptics.ReflectVBPM", false, in, reflected);
}

void TBrelWaveOptics::ReflectVBPMAllComplex(const TStepInput& in, TFieldRef& reflected)
{
    VectorBeamReflection("TBrelWaveOptics.ReflectVBPMAllComplex", true, in, reflected);
}

void TBrelWaveOptics::VectorBeamReflection(const char* where, bool allComplex, const TStepInput& in,
                                           TFieldRef& reflected)
{
    myTimer->Start();
    const std::string caller(where);
    if (!in.forward)
        NoForwardField(caller);
    TVectorEField* forward = stepguard::Vector(in.forward, caller);
    stepguard::CheckSlices(in, caller);
    const TGridParms& grid = *in.grid;
    mySpectral.Setup(grid, forward->GetLambda(), caller);
    stepguard::CheckFieldGrid(forward, grid, caller);
    stepguard::CheckNotInput(reflected, in, caller);
    TVectorEField* out = stepguard::Vector(reflected.get(), caller);
    stepguard::CheckFieldGrid(out, grid, caller);
    if (!reflected) {
        auto created = std::make_shared<TVectorEField>(grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }

    const TExtended k0 = mySpectral.K0();
    const TComplex N1 = in.previousRefN, N2 = in.currentRefN;
    const TExtended beta1 = k0 * N1.re, beta2 = k0 * N2.re;
    {
        const stepguard::TSpectralInputs spectra(forward, out);
        for (int i = 0; i < mySpectral.Ny(); ++i) {
            const TExtended ky = mySpectral.Ky()[i];
            for (int j = 0; j < mySpectral.Nx(); ++j) {
                const TExtended kx = mySpectral.Kx()[j];
                const TExtended kt2 = kx * kx + ky * ky;
                if (allComplex) {
                    if (!InModeRange(double(beta2), double(mySpectral.DKx()), double(kx)) ||
                        !InModeRange(double(beta2), double(mySpectral.DKy()), double(ky)))
                        continue;
                } else if (!(k0 * k0 - kt2 > 0.0L)) {
                    continue;
                }
                const TCx ex = Widen<TExtended>(forward->EX().At(j, i));
                const TCx ey = Widen<TExtended>(forward->EY().At(j, i));
                if (IsZero(Narrow(ex)) && IsZero(Narrow(ey)))
                    continue;
                TCx exr, eyr;
                TComplex ezr;
                if (allComplex) {
                    const TComplex kz1 = Narrow(reflection::RootOf<TExtended>(beta1 * beta1 - kt2));
                    const TComplex kz2 = Narrow(reflection::RootOf<TExtended>(beta2 * beta2 - kt2));
                    if (!SumNonZero(kz1, kz2))
                        continue;
                    const TCx rs = Widen<TExtended>(FresnelRsC(N1, N2, kz1, kz2));
                    const TCx rp = kt2 != 0.0L ? Widen<TExtended>(FresnelRpC(N1, N2, kz1, kz2)) : rs;
                    Reflect<TExtended>(ReflectionMatrix<TExtended, TCx>(rs, rp, kx, ky, kt2), ex, ey, exr, eyr);
                    // Only a wave propagating in the previous medium has a longitudinal part.
                    ezr = kz1.re > 0.0 && kz1.im == 0.0 ? LongitudinalEz(kx, ky, Narrow(exr), Narrow(eyr), TExtended(kz1.re))
                                                        : TComplex{};
                } else {
                    const TExtended kz1sq = beta1 * beta1 - kt2, kz2sq = beta2 * beta2 - kt2;
                    if (!(kz1sq > 0.0L) || kz2sq < 0.0L)
                        continue;
                    const TExtended kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
                    const TExtended rs = FresnelRs(N1.re, N2.re, kz1, kz2);
                    const TExtended rp = kt2 != 0.0L ? FresnelRp(N1.re, N2.re, kz1, kz2) : rs;
                    Reflect<TExtended>(ReflectionMatrix<TExtended, TExtended>(rs, rp, kx, ky, kt2), ex, ey, exr, eyr);
                    ezr = LongitudinalEz(kx, ky, Narrow(exr), Narrow(eyr), kz1);
                }
                out->SetEX(j, i, Plus(out->EX().At(j, i), Narrow(exr)));
                out->SetEY(j, i, Plus(out->EY().At(j, i), Narrow(eyr)));
                out->SetEZ(j, i, Plus(out->EZ().At(j, i), ezr));
            }
        }
    }
    StoreStepTime();
}

void TBrelWaveOptics::ReflectSBPM(const TStepInput& in, TFieldRef& reflected)
{
    myTimer->Start();
    const std::string caller("TBrelWaveOptics.ReflectSBPM");
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
    if (!reflected) {
        auto created = std::make_shared<TScalarEField>(grid);
        created->CopyWaveQuantities(*forward);
        out = created.get();
        reflected = std::move(created);
    }

    const TExtended k0 = mySpectral.K0();
    const TExtended n1 = in.previousRefN.re, n2 = in.currentRefN.re;
    {
        const stepguard::TSpectralInputs spectra(forward, out);
        for (int i = 0; i < mySpectral.Ny() && n1 != n2; ++i) {
            const TExtended ky = mySpectral.Ky()[i];
            for (int j = 0; j < mySpectral.Nx(); ++j) {
                const TExtended kx = mySpectral.Kx()[j];
                const TExtended kt2 = kx * kx + ky * ky;
                const TComplex e = forward->E().At(j, i);
                if (IsZero(e) || !(k0 * k0 - kt2 > 0.0L))
                    continue;
                const TExtended kz1sq = (n1 * k0) * (n1 * k0) - kt2, kz2sq = (n2 * k0) * (n2 * k0) - kt2;
                if (kz1sq < 0.0L || kz2sq < 0.0L)
                    continue;
                const TExtended kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
                const TExtended rs = FresnelRs(n1, n2, kz1, kz2);
                const TExtended r = ScalarReflection<TExtended>(rs, kt2 != 0.0L ? FresnelRp(n1, n2, kz1, kz2) : rs, kt2);
                out->SetE(j, i, Plus(out->E().At(j, i), Narrow(r * Widen<TExtended>(e))));
            }
        }
    }
    StoreStepTime();
}

} // namespace ksn
