// The beam-propagation steps of TBrelWaveOptics (methods vbpmf, vbpm and sbpm).
//
// Split step. The field is carried across the slice as plane waves of the slice's
// reference medium N2 (the scene's mean index, complex), with the Fresnel transmission
// between the reference indices N1 and N2, and the deviation of the local index from
// the reference is then applied in real space:
//
//   spectral step, per plane wave (kx, ky), beta = k0 Re N:
//     kz2 = sqrt(beta2^2 - kt^2),  kz1 = sqrt(beta1^2 - kt^2)
//     T   = ts s s^T + tq p p^T  (transverse matrix: s and p transmission, identity
//           when Re N1 == Re N2), tq = 2 N1^2 kz2 / (N2^2 kz1 + N1^2 kz2)
//     P   = e^{i kz2 dz} exp(-k0 Im N2 dz beta2 / kz2)     (reference extinction along
//           the oblique path; with complex kz2: beta2 / |kz2|)
//     E'  = (T Ef + Eb) P,  Ez' = -(kx Ex' + ky Ey') / kz2  (transversality)
//   screen, per point, only when a forward field is given:
//     E'' = E' e^{i k0 dz (n2 - N2)} t,  t = 2 n1 / (n1 + n2) for vbpmf, 1 for vbpm
//           (the complex exponent carries the phase Re n2 - Re N2 and the extinction
//           Im n2 - Im N2 of the local index relative to the reference).
//
// k0 is the vacuum wave number, dz the slice thickness in metres, (kx, ky) the centred
// spectral grid of SpectralGrid.h. A backward field alone is transmitted by T only: no
// propagator and no screen.
//
// Energy flux: every written plane wave adds PlaneWaveFlux of its new transverse
// amplitudes. Those are the unscaled transform's amplitudes, N = nx ny times the plane
// wave's amplitude, so the sum is divided by N to give the flux the wave-propagation
// steps give for the same field. The flux map is a real-space map like theirs: every
// point carries the plane waves' flux per point (total / N) with the reference medium.
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
TCx Complex(TComplex a) { return Widen<TExtended>(a); }

// The transverse transmission matrix between the reference media (the s part ts, the
// p part tq expressed for the transverse field components):
//   Txx = (ts ky^2 + tq kx^2)/kt^2, Tyy = (ts kx^2 + tq ky^2)/kt^2, Txy = (tq - ts) kx ky/kt^2,
//   T = ts 1 at kt^2 = 0.
struct TTransmission {
    TCx xx{1, 0}, xy{0, 0}, yy{1, 0};
};

TTransmission TransmissionMatrix(TCx ts, TCx tq, TExtended kx, TExtended ky, TExtended kt2)
{
    if (kt2 == 0.0L)
        return {ts, {0, 0}, ts};
    const TExtended cx = kx * kx / kt2, cy = ky * ky / kt2, cxy = kx * ky / kt2;
    return {cy * ts + cx * tq, cxy * (tq + TExtended(-1) * ts), cx * ts + cy * tq};
}

// Screen factor of one point, e^{i k0 dz (n2 - N2)} t, t the local normal-incidence
// transmission 2 n1/(n1 + n2) (real parts only in the real-arithmetic forms). A point
// where n1 + n2 = 0 has no defined transmission; it keeps t = 1.
TCx ScreenFactor(TComplex n1, TComplex n2, TComplex refN2, TExtended k0dz, bool localFresnel, bool allComplex)
{
    const TExtended phase = (TExtended(n2.re) - refN2.re) * k0dz;
    const TExtended extinction = std::exp(-(TExtended(n2.im) - refN2.im) * k0dz);
    TCx factor = extinction * Phasor<TExtended>(phase);
    if (!localFresnel)
        return factor;
    if (allComplex) {
        const TCx sum = Complex(n1) + Complex(n2);
        if (reflection::Norm(sum) != 0.0L)
            factor = factor * reflection::Div<TExtended>(TExtended(2) * Complex(n1), sum);
    } else {
        const TExtended sum = TExtended(n1.re) + n2.re;
        if (sum != 0.0L)
            factor = (TExtended(2) * n1.re / sum) * factor;
    }
    return factor;
}

// Multiplies every point of the arrays by its screen factor.
void ApplyScreen(const TStepInput& in, TExtended k0dz, bool localFresnel, bool allComplex, TComplexArray* const* arrays,
                 int count)
{
    const int nx = in.grid->nx, ny = in.grid->ny;
    for (int r = 0; r < ny; ++r)
        for (int c = 0; c < nx; ++c) {
            const TCx f = ScreenFactor(in.previousSlice->At(c, r), in.currentSlice->At(c, r), in.currentRefN, k0dz,
                                       localFresnel, allComplex);
            for (int m = 0; m < count; ++m)
                arrays[m]->SetAt(c, r, Narrow(f * Complex(arrays[m]->At(c, r))));
        }
}

} // namespace

void TBrelWaveOptics::PropagateVBPMF(const TStepInput& in, TFieldRef& output)
{
    VectorBeamStep("TBrelWaveOptics.PropagateVBPMF", true, false, in, output);
}

void TBrelWaveOptics::PropagateVBPMFAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorBeamStep("TBrelWaveOptics.PropagateVBPMFAllComplex", true, true, in, output);
}

void TBrelWaveOptics::PropagateVBPM(const TStepInput& in, TFieldRef& output)
{
    VectorBeamStep("TBrelWaveOptics.PropagateVBPM", false, false, in, output);
}

void TBrelWaveOptics::PropagateVBPMAllComplex(const TStepInput& in, TFieldRef& output)
{
    VectorBeamStep("TBrelWaveOptics.PropagateVBPMAllComplex", false, true, in, output);
}

// Real-arithmetic forms: only plane waves inside the vacuum light circle (k0^2 > kt^2)
// that propagate in both reference media (beta^2 > kt^2) are carried; a reference index
// with Re N < 1 drops the components beyond its own circle instead of taking the root
// of a negative number.
// All-complex forms: kz = principal root of beta^2 - kt^2 (evanescent components decay
// through Im kz2), for every component within the vacuum circle widened by the extra
// modes along each axis and with |kz1|, |kz2|, |kz1 + kz2| non-zero.
void TBrelWaveOptics::VectorBeamStep(const char* where, bool localFresnel, bool allComplex, const TStepInput& in,
                                     TFieldRef& output)
{
    myTimer->Start();
    if (!in.forward && !in.backward)
        return;
    const std::string caller(where);
    TVectorEField* forward = stepguard::Vector(in.forward, caller);
    TVectorEField* backward = stepguard::Vector(in.backward, caller);
    stepguard::CheckSlices(in, caller);
    const TGridParms& grid = *in.grid;
    const TField& source = forward ? static_cast<const TField&>(*forward) : *backward;
    mySpectral.Setup(grid, source.GetLambda(), caller);
    stepguard::CheckFieldGrid(forward, grid, caller);
    stepguard::CheckFieldGrid(backward, grid, caller);
    stepguard::CheckNotInput(output, in, caller);
    TVectorEField* out = stepguard::Vector(output.get(), caller);
    stepguard::CheckFieldGrid(out, grid, caller);

    if (!output) {
        auto created = std::make_shared<TVectorEField>(grid);
        out = created.get();
        output = std::move(created);
    } else {
        out->ClearField();
    }
    out->CopyWaveQuantities(source);

    const TStepMode mode = in.Mode();
    const TExtended k0 = mySpectral.K0(), dz = mySpectral.DZ();
    const TComplex N1 = in.previousRefN, N2 = in.currentRefN;
    const TExtended beta1 = k0 * N1.re, beta2 = k0 * N2.re;
    const bool step = N1.re != N2.re;
    const TExtended count = mySpectral.Count();
    TExtended flux = 0.0L;
    {
        const stepguard::TSpectralInputs spectra(forward, backward);
        for (int i = 0; i < mySpectral.Ny(); ++i) {
            const TExtended ky = mySpectral.Ky()[i];
            for (int j = 0; j < mySpectral.Nx(); ++j) {
                const TExtended kx = mySpectral.Kx()[j];
                const TExtended kt2 = kx * kx + ky * ky;
                TCx kz1, kz2;
                if (allComplex) {
                    kz1 = reflection::RootOf<TExtended>(beta1 * beta1 - kt2);
                    kz2 = reflection::RootOf<TExtended>(beta2 * beta2 - kt2);
                    if (!InModeRange(double(k0), double(mySpectral.DKx()), double(kx)) ||
                        !InModeRange(double(k0), double(mySpectral.DKy()), double(ky)) ||
                        !SumNonZero(Narrow(kz1), Narrow(kz2)))
                        continue;
                } else {
                    if (!(k0 * k0 - kt2 > 0.0L))
                        continue;
                }
                const TComplex exf = forward ? forward->EX().At(j, i) : TComplex{};
                const TComplex eyf = forward ? forward->EY().At(j, i) : TComplex{};
                const TComplex exb = backward ? backward->EX().At(j, i) : TComplex{};
                const TComplex eyb = backward ? backward->EY().At(j, i) : TComplex{};
                if (IsZero(exf) && IsZero(eyf) && IsZero(exb) && IsZero(eyb))
                    continue;

                // Transmission between the reference media and the propagator.
                TTransmission t;
                TCx propagator;
                if (allComplex) {
                    if (step) {
                        const TCx n1 = Complex(N1), n2 = Complex(N2);
                        const TCx ts = Complex(FresnelTsC(N1, N2, Narrow(kz1), Narrow(kz2)));
                        // tq = 2 N1^2 kz2 / (N2^2 kz1 + N1^2 kz2)
                        const TCx denominator = n2 * n2 * kz1 + n1 * n1 * kz2;
                        const TCx tq = reflection::Norm(denominator) == 0.0L
                                           ? TCx{}
                                           : reflection::Div<TExtended>(TExtended(2) * (n1 * n1 * kz2), denominator);
                        t = TransmissionMatrix(ts, kt2 != 0.0L ? tq : ts, kx, ky, kt2);
                    }
                    // e^{i kz2 dz} exp(-(beta2/|kz2|) Im N2 k0 dz)
                    const TExtended oblique = beta2 / std::hypot(kz2.re, kz2.im);
                    const TExtended extinction = N2.im == 0.0 ? 1.0L : std::exp(-oblique * N2.im * k0 * dz);
                    propagator = (extinction * std::exp(-kz2.im * dz)) * Phasor<TExtended>(kz2.re * dz);
                } else {
                    const TExtended kz2sq = beta2 * beta2 - kt2;
                    if (!(kz2sq > 0.0L))
                        continue;
                    kz2 = {std::sqrt(kz2sq), 0.0L};
                    if (step) {
                        const TExtended kz1sq = beta1 * beta1 - kt2;
                        if (!(kz1sq > 0.0L))
                            continue;
                        kz1 = {std::sqrt(kz1sq), 0.0L};
                        const TExtended n1 = N1.re, n2 = N2.re;
                        const TExtended ts = FresnelTs(n1, n2, kz1.re, kz2.re);
                        const TExtended denominator = n2 * n2 * kz1.re + n1 * n1 * kz2.re;
                        const TExtended tq = denominator == 0.0L ? 0.0L : 2.0L * n1 * n1 * kz2.re / denominator;
                        t = TransmissionMatrix({ts, 0}, {kt2 != 0.0L ? tq : ts, 0}, kx, ky, kt2);
                    }
                    propagator = AbsorptionFactorOf<TExtended>(k0, N2.im, dz, N2.re, kz2.re) *
                                 Phasor<TExtended>(kz2.re * dz);
                }

                TCx ex, ey;
                if (mode == TStepMode::backwardOnly) {
                    ex = t.xx * Complex(exb) + t.xy * Complex(eyb);
                    ey = t.xy * Complex(exb) + t.yy * Complex(eyb);
                } else {
                    ex = t.xx * Complex(exf) + t.xy * Complex(eyf);
                    ey = t.xy * Complex(exf) + t.yy * Complex(eyf);
                    if (mode == TStepMode::both) {
                        ex = ex + Complex(exb);
                        ey = ey + Complex(eyb);
                    }
                    ex = ex * propagator;
                    ey = ey * propagator;
                }
                const TComplex exNew = Narrow(ex), eyNew = Narrow(ey);
                const TComplex ezNew = allComplex ? LongitudinalEz(kx, ky, exNew, eyNew, Narrow(kz2))
                                                  : LongitudinalEz(kx, ky, exNew, eyNew, kz2.re);
                out->SetEX(j, i, exNew);
                out->SetEY(j, i, eyNew);
                out->SetEZ(j, i, ezNew);
                flux += out->PlaneWaveFlux({double(kx), 0.0}, {double(ky), 0.0}, eyNew, exNew, kz2.re, ky, kx, k0,
                                           N2.re);
            }
        }
        out->Fourier(-1);
        if (forward) {
            TComplexArray* arrays[3] = {&out->EX(), &out->EY(), &out->EZ()};
            // The all-complex vbpmf keeps t = 1 on a homogeneous pair, as the real form
            // does: the reference transmission is then already the local one.
            ApplyScreen(in, k0 * dz, localFresnel && !in.homogeneousPair, allComplex, arrays, 3);
        }
    }
    flux /= count;
    out->EnergyFluxMap().Fill({double(flux / count), 0.0});
    out->SetEnergyFlux(double(flux));
    StoreStepTime();
}

// sbpm: the scalar split step. No Fresnel factor in the spectral step; the screen
// always carries the local normal-incidence transmission t = 2 Re n1 / (Re n1 + Re n2):
//   E' = (Ef + Eb) e^{i kz dz} exp(-k0 Im N2 dz beta2/kz),  kz = sqrt(beta2^2 - kt^2),
//   E'' = E' e^{i (Re n2 - Re N2) k0 dz} exp(-(Im n2 - Im N2) k0 dz) t.
void TBrelWaveOptics::PropagateSBPM(const TStepInput& in, TFieldRef& output)
{
    myTimer->Start();
    if (!in.forward && !in.backward)
        return;
    const std::string caller("TBrelWaveOptics.PropagateSBPM");
    TScalarEField* forward = stepguard::Scalar(in.forward, caller);
    TScalarEField* backward = stepguard::Scalar(in.backward, caller);
    stepguard::CheckSlices(in, caller);
    const TGridParms& grid = *in.grid;
    const TField& source = forward ? static_cast<const TField&>(*forward) : *backward;
    mySpectral.Setup(grid, source.GetLambda(), caller);
    stepguard::CheckFieldGrid(forward, grid, caller);
    stepguard::CheckFieldGrid(backward, grid, caller);
    stepguard::CheckNotInput(output, in, caller);
    TScalarEField* out = stepguard::Scalar(output.get(), caller);
    stepguard::CheckFieldGrid(out, grid, caller);

    if (!output) {
        auto created = std::make_shared<TScalarEField>(grid);
        out = created.get();
        output = std::move(created);
    } else {
        out->ClearField();
    }
    out->CopyWaveQuantities(source);

    const TStepMode mode = in.Mode();
    const TExtended k0 = mySpectral.K0(), dz = mySpectral.DZ();
    const TComplex N2 = in.currentRefN;
    const TExtended beta2 = k0 * N2.re;
    {
        const stepguard::TSpectralInputs spectra(forward, backward);
        for (int i = 0; i < mySpectral.Ny(); ++i) {
            const TExtended ky = mySpectral.Ky()[i];
            for (int j = 0; j < mySpectral.Nx(); ++j) {
                const TExtended kx = mySpectral.Kx()[j];
                const TExtended kt2 = kx * kx + ky * ky;
                if (!(k0 * k0 - kt2 > 0.0L))
                    continue;
                const TComplex ef = forward ? forward->E().At(j, i) : TComplex{};
                const TComplex eb = backward ? backward->E().At(j, i) : TComplex{};
                if (IsZero(ef) && IsZero(eb))
                    continue;
                const TExtended kzsq = beta2 * beta2 - kt2;
                if (!(kzsq > 0.0L))
                    continue;
                const TExtended kz = std::sqrt(kzsq);
                TCx e;
                if (mode == TStepMode::backwardOnly) {
                    e = Complex(eb);
                } else {
                    const TCx p = AbsorptionFactorOf<TExtended>(k0, N2.im, dz, N2.re, kz) * Phasor<TExtended>(kz * dz);
                    e = (Complex(ef) + Complex(eb)) * p;
                }
                out->SetE(j, i, Narrow(e));
            }
        }
        out->Fourier(-1);
        if (forward) {
            TComplexArray* arrays[1] = {&out->E()};
            ApplyScreen(in, k0 * dz, true, false, arrays, 1);
        }
    }
    StoreStepTime();
}

} // namespace ksn
