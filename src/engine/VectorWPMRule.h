#pragma once
// The per-point rules of the vector wave-propagation method: what plane wave w (wave
// vector kx, ky, kt^2 = kx^2 + ky^2, amplitudes A of the forward and B of the backward
// field, already divided by N) contributes at a point with index n1 in the previous
// slice and n2 + i kappa2 in the current one, before the lateral phase e^{i (kx x + ky y)}.
// k0 is the vacuum wave number, dz the slice thickness in metres.
//
// Transverse transmission at the index step, for ts the s transmission and
// tq = 2 n1^2 kz2 / (n2^2 kz1 + n1^2 kz2) the p transmission of the transverse field:
//
//   T = | Txx Txy |   Txx = (tq kx^2 + ts ky^2)/kt^2,  Txy = Tyx = (tq - ts) kx ky/kt^2,
//       | Tyx Tyy |   Tyy = (tq ky^2 + ts kx^2)/kt^2;  T = ts I at kt^2 = 0 or tq = ts.
//
//   forward only:  (Ex', Ey') = T A P          backward only: (Ex', Ey') = T B e^{lateral}
//   both:          (Ex', Ey') = (T A + B) P    (the backward field is transmitted, not advanced)
//
//   P = e^{i kz2 dz} exp(-k0 kappa2 dz (n2 k0 / kz2))   propagation with oblique absorption,
//   Ez' = -(kx Ex' + ky Ey') / kz2                     transversality k . E = 0,
//   f   = PlaneWaveFlux(Ex', Ey', kz2, n2)             z energy flux of the plane wave.
//
// The flux carries no lateral phase (E and H share it), so it is a term the point sums
// add without one, as is the z component that some evanescent cases leave unpropagated.
// Each rule lists its outputs: three lateral components (Ex, Ey, Ez) and its local terms.
//
// Every term is linear in the amplitudes but the flux, which is a Hermitian form of
// (Ex', Ey'), so each rule also gives its terms as coefficients for the tabulated
// grouped sum (SpectralSum.h): matrix columns (Ax, Ay, Az, Bx, By, Bz) in the real-kz
// rule, (Ax, Ay, Bx, By) in the all-complex one, rows Ex', Ey' (T, identity for B, times
// the propagator), Ez' = -(kx Ex' + ky Ey')/kz2 row by row, the unpropagated Ez' as a
// linear local term, and the flux form. The direct sum's guard that sets an Ez' of modulus
// below 1e-30 to 0 has no coefficient form; it only ever removes rounding residue.
#include "engine/Fresnel.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/PointSum.h"
#include "engine/SpectralSum.h"
#include "field/VectorEField.h"

#include <cmath>

namespace ksn {

namespace vectorkernel {

template <class R>
inline TComplexOf<R> Sub(TComplexOf<R> a, TComplexOf<R> b)
{
    return {a.re - b.re, a.im - b.im};
}

template <class R>
inline R Abs(TComplexOf<R> a)
{
    return std::hypot(a.re, a.im);
}

template <class R>
inline bool IsZero(TComplexOf<R> a)
{
    return a.re == R(0) && a.im == R(0);
}

// a / b; the callers have excluded b = 0.
template <class R>
inline TComplexOf<R> Div(TComplexOf<R> a, TComplexOf<R> b)
{
    const R d = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}

template <class R>
inline TComplexOf<R> Real(R x)
{
    return {x, R(0)};
}

// Principal square root of a real number: sqrt(x) for x > 0, i sqrt(-x) otherwise, so
// that an evanescent wave gets a positive imaginary kz and decays along +z.
template <class R>
inline TComplexOf<R> RootOf(R x)
{
    return x > R(0) ? TComplexOf<R>{std::sqrt(x), R(0)} : TComplexOf<R>{R(0), std::sqrt(-x)};
}

// Ez = -(kx Ex + ky Ey) / kz; 0 when kz = 0, and a result of modulus below 1e-30 is 0.
template <class R>
inline TComplexOf<R> TransverseEz(R kx, R ky, TComplexOf<R> ex, TComplexOf<R> ey, TComplexOf<R> kz)
{
    if (IsZero(kz))
        return {};
    const TComplexOf<R> numerator = kx * ex + ky * ey;
    const TComplexOf<R> ez = Div(TComplexOf<R>{-numerator.re, -numerator.im}, kz);
    return Abs(ez) < R(1e-30) ? TComplexOf<R>{} : ez;
}

// ts = 2 kz1 / (kz1 + kz2) with complex kz; 0 when the sum vanishes. Equal indices
// (handled by the callers) give 1.
template <class R>
inline TComplexOf<R> TsC(TComplexOf<R> kz1, TComplexOf<R> kz2)
{
    const TComplexOf<R> sum = kz1 + kz2;
    return IsZero(sum) ? TComplexOf<R>{} : Div(R(2) * kz1, sum);
}

// tq = 2 n1^2 kz2 / (n2^2 kz1 + n1^2 kz2); 0 when the denominator vanishes.
template <class R>
inline TComplexOf<R> TqC(TComplexOf<R> n1, TComplexOf<R> n2, TComplexOf<R> kz1, TComplexOf<R> kz2)
{
    const TComplexOf<R> n1Sq = n1 * n1;
    const TComplexOf<R> denominator = (n2 * n2) * kz1 + n1Sq * kz2;
    return IsZero(denominator) ? TComplexOf<R>{} : Div(R(2) * (n1Sq * kz2), denominator);
}

// The transverse transmission matrix (formula in the file comment), symmetric.
template <class R>
struct TTransverseMatrix {
    TComplexOf<R> xx, xy, yy;
};

template <class R>
inline bool IsDiagonal(TComplexOf<R> ts, TComplexOf<R> tq, R kt2)
{
    return kt2 == R(0) || (ts.re == tq.re && ts.im == tq.im);
}

template <class R>
inline TTransverseMatrix<R> TransmissionMatrix(TComplexOf<R> ts, TComplexOf<R> tq, R kx, R ky, R kt2)
{
    if (IsDiagonal(ts, tq, kt2))
        return {ts, {}, ts};
    const R cx = kx * kx / kt2, cy = ky * ky / kt2, cxy = kx * ky / kt2;
    return {cx * tq + cy * ts, cxy * Sub(tq, ts), cy * tq + cx * ts};
}

// The transverse transmission matrix applied to (ax, ay).
template <class R>
inline void Transmit(TComplexOf<R> ts, TComplexOf<R> tq, R kx, R ky, R kt2, TComplexOf<R> ax, TComplexOf<R> ay,
                     TComplexOf<R>& ex, TComplexOf<R>& ey)
{
    if (IsDiagonal(ts, tq, kt2)) {
        ex = ts * ax;
        ey = ts * ay;
        return;
    }
    const TTransverseMatrix<R> t = TransmissionMatrix(ts, tq, kx, ky, kt2);
    ex = t.xx * ax + t.xy * ay;
    ey = t.xy * ax + t.yy * ay;
}

// Coefficient rows of a vector rule with K input components per field (SpectralSum.h:
// row m of M at M + m 2K; forward component c in column c, backward in K + c).
// Rows Ex', Ey' = T applied to the field starting at column `source`.
template <class R, int K>
inline void SetTransmission(TComplexOf<R>* M, const TTransverseMatrix<R>& t, int source)
{
    M[source] = t.xx;
    M[source + 1] = t.xy;
    M[2 * K + source] = t.xy;
    M[2 * K + source + 1] = t.yy;
}

// Both mode: the backward field joins Ex', Ey' untransmitted.
template <class R, int K>
inline void AddBackward(TComplexOf<R>* M)
{
    M[K].re += R(1);
    M[2 * K + K + 1].re += R(1);
}

// Rows Ex', Ey' times the propagator's factor.
template <class R, int K>
inline void ScaleTransverse(TComplexOf<R>* M, R factor)
{
    for (int c = 0; c < 4 * K; ++c)
        M[c] = factor * M[c];
}

// Row Ez' = -(kx Ex' + ky Ey') / kz, column by column; zero when kz = 0.
template <class R, int K>
inline void LongitudinalRow(TComplexOf<R>* M, R kx, R ky, TComplexOf<R> kz)
{
    if (IsZero(kz))
        return;
    for (int c = 0; c < 2 * K; ++c) {
        const TComplexOf<R> numerator = kx * M[c] + ky * M[2 * K + c];
        M[4 * K + c] = Div(TComplexOf<R>{-numerator.re, -numerator.im}, kz);
    }
}

// z flux of a plane wave with transverse amplitudes (ex, ey) in a medium of real index
// n, through the output field's PlaneWaveFlux; 0 without a field.
template <class R>
inline R Flux(const TVectorEField* field, TExtended kx, TExtended ky, TComplexOf<R> ex, TComplexOf<R> ey, R kz,
              TExtended k0, R n)
{
    if (!field)
        return R(0);
    const TComplex exd{double(ex.re), double(ex.im)}, eyd{double(ey.re), double(ey.im)};
    return R(field->PlaneWaveFlux({double(kx), 0.0}, {double(ky), 0.0}, eyd, exd, TExtended(kz), ky, kx, k0,
                                  TExtended(n)));
}

// The vector field's plane-wave flux (TVectorEField::PlaneWaveFlux, dA |Ex Hy^* - Ey Hx^*|
// with H = k x E / k0 and Ez from transversality) is a Hermitian form of the transverse
// amplitudes, positive for kz > 0:
//   f = g ((kx^2 + kz^2) |Ex|^2 + 2 kx ky Re(Ex Ey^*) + (ky^2 + kz^2) |Ey|^2),  g = dA / (k0 kz),
//   f = dA |n| (|Ex|^2 + |Ey|^2) at kx = ky = 0,   0 for kz <= 0 (or k0 <= 0 off the axis).
// The grouped sum tabulates these coefficients; the direct sum calls the field's function,
// so every comparison of the two summations checks one against the other.
template <class R>
inline void FluxForm(const TVectorEField* field, TExtended kx, TExtended ky, R kz, TExtended k0, R n,
                     TLocalCoefficients<R>& form)
{
    if (!field || !(kz > R(0)))
        return;
    const R area = R(field->GetDA());
    if (kx == 0.0L && ky == 0.0L) {
        form.xx = form.yy = area * std::abs(n);
        return;
    }
    if (!(k0 > 0.0L))
        return;
    const R g = area / (R(k0) * kz), x = R(kx), y = R(ky);
    form.xx = g * (x * x + kz * kz);
    form.yy = g * (y * y + kz * kz);
    form.xy = {g * x * y, R(0)};
}

} // namespace vectorkernel

// PropagateVWPM and PropagateVWPMH: real longitudinal wave numbers, evanescent waves as
// special cases under the evanescent switch.
//
// Propagating case, kz1^2 = (n1 k0)^2 - kt^2 > 0 and kz2^2 = (n2 k0)^2 - kt^2 > 0: the file
// comment with ts = FresnelTs(n1, n2, kz1, kz2) (1 for n1 = n2).
//
// Otherwise, only with the switch on and kz1^2 >= 0, kz2^2 >= 0 or n1 = n2, with
// kz = sqrt(kz^2) or i sqrt(-kz^2) and (Ax, Ay, Az) the forward amplitudes (the backward
// ones in backward-only mode):
//   index step, n1 < n2 and kz1^2 < 0 < kz2^2 (an evanescent wave becomes propagating),
//   n1 > n2 and kz1^2 > 0 > kz2^2 (total internal reflection), or kz1^2 < 0, kz2^2 = 0
//   and kappa2 = 0 (grazing): the transmission T of the file comment with the complex
//   coefficients ts = 2 kz1/(kz1 + kz2) and tq, i.e. the Fresnel transmission of the p
//   and s parts with the wave's own complex kz on either side (tq = 0 at kz2 = 0), and
//   Ez' by transversality with the complex kz2 (0 at kz2 = 0);
//   n1 = n2: Ex' = Ax, Ey' = Ay, and Ez' = Az is added without lateral phase;
//   any other index step: nothing.
// Then the propagator by the sign of kz2^2: > 0 as P above; = 0: 0 when kappa2 != 0,
// else 1; < 0: exp(-sqrt(-kz2^2) dz); times the lateral phase, applied to Ex' (+ Bx) and
// Ey' (+ By). Backward-only mode uses the lateral phase alone, for every component. No
// flux is counted for these waves.
//
// kz1^2 and kz2^2 are formed in extended precision in both summations, so that the case a
// plane wave falls into never depends on the summation.
struct TVectorWPMRule {
    static constexpr int kComponents = 3; // Ex, Ey, Ez
    static constexpr int kLocals = 2;
    static constexpr int kLocalEz = 0;   // Ez' left without lateral phase
    static constexpr int kLocalFlux = 1; // z energy flux (real part)
    static constexpr int kInputs = 3;    // Ex, Ey, Ez of each field
    // The rule reads Re n1, Re n2 and Im n2 only.
    static constexpr TIndexParts kParts{true, false, true, true};

    TExtended k0 = 0;
    TExtended dz = 0;
    TStepMode mode = TStepMode::forwardOnly;
    bool evanescent = false;
    const TVectorEField* fluxField = nullptr; // PlaneWaveFlux of this field; no flux when null

    // Ez of the inputs is read only by the evanescent cases.
    int InputsRead() const { return evanescent ? 3 : 2; }
    int Variant() const { return int(mode) | (evanescent ? 4 : 0) | (fluxField ? 8 : 0); }

    // The terms as coefficients (file comment), in the cases of Evaluate.
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase,
                      TLocalCoefficients<R>* locals = nullptr) const
    {
        const TExtended kz1Sq = (TExtended(n.n1.re) * k0) * (TExtended(n.n1.re) * k0) - w.kt2;
        const TExtended kz2Sq = (TExtended(n.n2.re) * k0) * (TExtended(n.n2.re) * k0) - w.kt2;
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        if (kz1Sq > 0.0L && kz2Sq > 0.0L)
            return PropagatingCoefficients<R>(w, n1, n2, R(n.n2.im), R(kz1Sq), R(kz2Sq), M, phase, locals);
        if (!evanescent || !(kz1Sq >= 0.0L || kz2Sq >= 0.0L || n1 == n2))
            return false;
        return EvanescentCoefficients<R>(w, n1, n2, R(n.n2.im), kz1Sq, kz2Sq, M, phase, locals);
    }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* local) const
    {
        using namespace vectorkernel;
        const TExtended kz1Sq = (TExtended(n.n1.re) * k0) * (TExtended(n.n1.re) * k0) - w.kt2;
        const TExtended kz2Sq = (TExtended(n.n2.re) * k0) * (TExtended(n.n2.re) * k0) - w.kt2;
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        local[kLocalEz] = {};
        local[kLocalFlux] = {};
        if (kz1Sq > 0.0L && kz2Sq > 0.0L)
            return Propagating<R>(w, n1, n2, R(n.n2.im), R(kz1Sq), R(kz2Sq), lateral, phase, local);
        if (!evanescent || !(kz1Sq >= 0.0L || kz2Sq >= 0.0L || n1 == n2))
            return false;
        return Evanescent<R>(w, n1, n2, R(n.n2.im), kz1Sq, kz2Sq, lateral, phase, local);
    }

private:
    template <class R>
    bool PropagatingCoefficients(const TWaveVector& w, R n1, R n2, R kappa2, R kz1Sq, R kz2Sq, TComplexOf<R>* M,
                                 R& phase, TLocalCoefficients<R>* locals) const
    {
        using namespace vectorkernel;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const R kz1 = std::sqrt(kz1Sq), kz2 = std::sqrt(kz2Sq);
        R ts = R(1), tq = R(1);
        if (n1 != n2) {
            ts = FresnelTsOf<R>(n1, n2, kz1, kz2);
            tq = R(2) * n1 * n1 * kz2 / (n2 * n2 * kz1 + n1 * n1 * kz2);
        }
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        SetTransmission<R, kInputs>(M, TransmissionMatrix<R>(Real(ts), Real(tq), kx, ky, kt2),
                                    backwardOnly ? kInputs : 0);
        if (mode == TStepMode::both)
            AddBackward<R, kInputs>(M);
        phase = R(0);
        if (!backwardOnly) {
            ScaleTransverse<R, kInputs>(M, AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2));
            phase = kz2 * R(dz);
        }
        LongitudinalRow<R, kInputs>(M, kx, ky, Real(kz2));
        if (locals)
            FluxForm<R>(fluxField, w.kx, w.ky, kz2, k0, n2, *locals);
        return true;
    }

    template <class R>
    bool EvanescentCoefficients(const TWaveVector& w, R n1, R n2, R kappa2, TExtended kz1Sq, TExtended kz2Sq,
                                TComplexOf<R>* M, R& phase, TLocalCoefficients<R>* locals) const
    {
        using namespace vectorkernel;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const TComplexOf<R> kz1 = RootOf<R>(R(kz1Sq)), kz2 = RootOf<R>(R(kz2Sq));
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        const int source = backwardOnly ? kInputs : 0;
        const bool sameIndex = n1 == n2;
        if (sameIndex) {
            SetTransmission<R, kInputs>(M, {Real(R(1)), {}, Real(R(1))}, source);
        } else if ((n1 < n2 && kz1Sq < 0.0L && kz2Sq > 0.0L) || (n1 > n2 && kz1Sq > 0.0L && kz2Sq < 0.0L) ||
                   (kz1Sq < 0.0L && kz2Sq == 0.0L && kappa2 == R(0))) {
            SetTransmission<R, kInputs>(
                M, TransmissionMatrix<R>(TsC<R>(kz1, kz2), TqC<R>(Real(n1), Real(n2), kz1, kz2), kx, ky, kt2), source);
        } else {
            return false;
        }
        phase = R(0);
        constexpr int ez = 2 * 2 * kInputs; // row Ez'
        if (backwardOnly) {
            if (sameIndex)
                M[ez + source + 2] = Real(R(1)); // Bz, with the lateral phase
            else
                LongitudinalRow<R, kInputs>(M, kx, ky, kz2);
            return true;
        }
        if (mode == TStepMode::both)
            AddBackward<R, kInputs>(M);
        R factor = R(1);
        if (kz2Sq > 0.0L) {
            factor = AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2.re);
            phase = kz2.re * R(dz);
        } else if (kz2Sq == 0.0L) {
            factor = kappa2 != R(0) ? R(0) : R(1);
        } else {
            factor = std::exp(-kz2.im * R(dz));
        }
        ScaleTransverse<R, kInputs>(M, factor);
        if (sameIndex) {
            if (locals)
                locals->linear[kLocalEz][2] = Real(R(1)); // Az, left unpropagated
        } else {
            LongitudinalRow<R, kInputs>(M, kx, ky, kz2);
        }
        return true;
    }

    template <class R>
    bool Propagating(const TPlaneWave& w, R n1, R n2, R kappa2, R kz1Sq, R kz2Sq, TComplexOf<R>* lateral, R& phase,
                     TComplexOf<R>* local) const
    {
        using namespace vectorkernel;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const R kz1 = std::sqrt(kz1Sq), kz2 = std::sqrt(kz2Sq);
        R ts = R(1), tq = R(1);
        if (n1 != n2) {
            ts = FresnelTsOf<R>(n1, n2, kz1, kz2);
            tq = R(2) * n1 * n1 * kz2 / (n2 * n2 * kz1 + n1 * n1 * kz2);
        }
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        const TComplex* a = backwardOnly ? w.backward : w.forward;
        TComplexOf<R> ex, ey;
        Transmit<R>(Real(ts), Real(tq), kx, ky, kt2, Widen<R>(a[0]), Widen<R>(a[1]), ex, ey);
        if (mode == TStepMode::both) {
            ex = ex + Widen<R>(w.backward[0]);
            ey = ey + Widen<R>(w.backward[1]);
        }
        phase = R(0);
        if (!backwardOnly) {
            const R absorption = AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2);
            ex = absorption * ex;
            ey = absorption * ey;
            phase = kz2 * R(dz);
        }
        lateral[0] = ex;
        lateral[1] = ey;
        lateral[2] = TransverseEz<R>(kx, ky, ex, ey, Real(kz2));
        local[kLocalFlux].re = Flux<R>(fluxField, w.kx, w.ky, ex, ey, kz2, k0, n2);
        return true;
    }

    template <class R>
    bool Evanescent(const TPlaneWave& w, R n1, R n2, R kappa2, TExtended kz1Sq, TExtended kz2Sq,
                    TComplexOf<R>* lateral, R& phase, TComplexOf<R>* local) const
    {
        using namespace vectorkernel;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const TComplexOf<R> kz1 = RootOf<R>(R(kz1Sq)), kz2 = RootOf<R>(R(kz2Sq));
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        const TComplex* a = backwardOnly ? w.backward : w.forward;
        const TComplexOf<R> ax = Widen<R>(a[0]), ay = Widen<R>(a[1]);
        TComplexOf<R> ex, ey;
        const bool sameIndex = n1 == n2;
        if (sameIndex) {
            ex = ax;
            ey = ay;
        } else if ((n1 < n2 && kz1Sq < 0.0L && kz2Sq > 0.0L) || (n1 > n2 && kz1Sq > 0.0L && kz2Sq < 0.0L) ||
                   (kz1Sq < 0.0L && kz2Sq == 0.0L && kappa2 == R(0))) {
            Transmit<R>(TsC<R>(kz1, kz2), TqC<R>(Real(n1), Real(n2), kz1, kz2), kx, ky, kt2, ax, ay, ex, ey);
        } else {
            return false;
        }
        phase = R(0);
        if (backwardOnly) {
            lateral[0] = ex;
            lateral[1] = ey;
            lateral[2] = sameIndex ? Widen<R>(a[2]) : TransverseEz<R>(kx, ky, ex, ey, kz2);
            return true;
        }
        if (mode == TStepMode::both) {
            ex = ex + Widen<R>(w.backward[0]);
            ey = ey + Widen<R>(w.backward[1]);
        }
        R factor = R(1);
        if (kz2Sq > 0.0L) {
            factor = AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2.re);
            phase = kz2.re * R(dz);
        } else if (kz2Sq == 0.0L) {
            factor = kappa2 != R(0) ? R(0) : R(1);
        } else {
            factor = std::exp(-kz2.im * R(dz));
        }
        lateral[0] = factor * ex;
        lateral[1] = factor * ey;
        if (sameIndex) {
            lateral[2] = {};
            local[kLocalEz] = Widen<R>(a[2]);
        } else {
            lateral[2] = TransverseEz<R>(kx, ky, lateral[0], lateral[1], kz2);
        }
        return true;
    }
};

// PropagateVWPMAllComplex and PropagateVWPMHAllComplex: complex longitudinal wave numbers
// for every plane wave inside the mode range, so evanescent waves decay uniformly:
//
//   carried at the point only when InModeRange(Re n2 k0, dkx, kx) and (.., dky, ky),
//   kz = sqrt((Re n k0)^2 - kt^2) (principal root), and SumNonZero(kz1, kz2);
//   ts = FresnelTsC(n1, n2, kz1, kz2) with the complex indices (1 for Re n1 = Re n2),
//   tq with the complex indices, T as in the file comment;
//   P = e^{i kz2 dz} exp(-k0 kappa2 dz (Re n2 k0 / |kz2|)),  kappa2 = Im n2,
//   Ez' by transversality with complex kz2, f = PlaneWaveFlux with Re kz2 (0 for an
//   evanescent wave).
struct TVectorWPMAllComplexRule {
    static constexpr int kComponents = 3; // Ex, Ey, Ez
    static constexpr int kLocals = 1;
    static constexpr int kLocalEz = -1;  // every component carries the lateral phase
    static constexpr int kLocalFlux = 0; // z energy flux (real part)
    static constexpr int kInputs = 2;    // Ex, Ey of each field
    static constexpr TIndexParts kParts{true, true, true, true};

    TExtended k0 = 0;
    TExtended dz = 0;
    TExtended dkx = 0, dky = 0; // spectral steps 2 pi / Lx, 2 pi / Ly
    int extraModes = 0;
    TStepMode mode = TStepMode::forwardOnly;
    const TVectorEField* fluxField = nullptr;

    int InputsRead() const { return kInputs; }
    int Variant() const { return int(mode) | (fluxField ? 4 : 0) | (extraModes << 3); }

    // The terms as coefficients (file comment), in the cases of Evaluate.
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase,
                      TLocalCoefficients<R>* locals = nullptr) const
    {
        using namespace vectorkernel;
        TComplexOf<R> kz1, kz2, ts, tq;
        if (!Transmission<R>(w.kx, w.ky, w.kt2, n, kz1, kz2, ts, tq))
            return false;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        SetTransmission<R, kInputs>(M, TransmissionMatrix<R>(ts, tq, kx, ky, kt2), backwardOnly ? kInputs : 0);
        if (mode == TStepMode::both)
            AddBackward<R, kInputs>(M);
        phase = R(0);
        if (!backwardOnly) {
            ScaleTransverse<R, kInputs>(M, Propagator<R>(k, R(n.n2.re), R(n.n2.im), kz2));
            phase = kz2.re * R(dz);
        }
        LongitudinalRow<R, kInputs>(M, kx, ky, kz2);
        if (locals)
            FluxForm<R>(fluxField, w.kx, w.ky, kz2.re, k0, R(n.n2.re), *locals);
        return true;
    }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* local) const
    {
        using namespace vectorkernel;
        local[kLocalFlux] = {};
        TComplexOf<R> kz1, kz2, ts, tq;
        if (!Transmission<R>(w.kx, w.ky, w.kt2, n, kz1, kz2, ts, tq))
            return false;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const bool backwardOnly = mode == TStepMode::backwardOnly;
        const TComplex* a = backwardOnly ? w.backward : w.forward;
        TComplexOf<R> ex, ey;
        Transmit<R>(ts, tq, kx, ky, kt2, Widen<R>(a[0]), Widen<R>(a[1]), ex, ey);
        if (mode == TStepMode::both) {
            ex = ex + Widen<R>(w.backward[0]);
            ey = ey + Widen<R>(w.backward[1]);
        }
        phase = R(0);
        if (!backwardOnly) {
            const R factor = Propagator<R>(k, R(n.n2.re), R(n.n2.im), kz2);
            ex = factor * ex;
            ey = factor * ey;
            phase = kz2.re * R(dz);
        }
        lateral[0] = ex;
        lateral[1] = ey;
        lateral[2] = TransverseEz<R>(kx, ky, ex, ey, kz2);
        local[kLocalFlux].re = Flux<R>(fluxField, w.kx, w.ky, ex, ey, kz2.re, k0, R(n.n2.re));
        return true;
    }

private:
    // The mode-range and non-zero tests, kz1, kz2 and the transmission coefficients of
    // one wave at one tuple; false when the wave is not carried there.
    template <class R>
    bool Transmission(TExtended kx, TExtended ky, TExtended kt2, const TIndexTuple& n, TComplexOf<R>& kz1,
                      TComplexOf<R>& kz2, TComplexOf<R>& ts, TComplexOf<R>& tq) const
    {
        using namespace vectorkernel;
        const TExtended nk2 = TExtended(n.n2.re) * k0;
        if (!InModeRange(double(nk2), double(dkx), double(kx), extraModes) ||
            !InModeRange(double(nk2), double(dky), double(ky), extraModes))
            return false;
        const TExtended nk1 = TExtended(n.n1.re) * k0;
        kz1 = RootOf<R>(R(nk1 * nk1 - kt2));
        kz2 = RootOf<R>(R(nk2 * nk2 - kt2));
        if (IsZero(kz1) || IsZero(kz2) || IsZero(kz1 + kz2))
            return false;
        const TComplexOf<R> n1{R(n.n1.re), R(n.n1.im)}, n2{R(n.n2.re), R(n.n2.im)};
        const bool equal = n.n1.re == n.n2.re && n.n1.im == n.n2.im;
        ts = n.n1.re != n.n2.re ? TsC<R>(kz1, kz2) : Real(R(1));
        tq = equal ? Real(R(1)) : TqC<R>(n1, n2, kz1, kz2);
        return true;
    }

    // e^{i kz2 dz} = e^{i Re kz2 dz} e^{-Im kz2 dz}: the factor e^{-Im kz2 dz}, times the
    // absorption exp(-k0 kappa2 dz (Re n2 k0 / |kz2|)) in an absorbing medium.
    template <class R>
    R Propagator(R k, R n2, R kappa2, TComplexOf<R> kz2) const
    {
        using namespace vectorkernel;
        R factor = std::exp(-kz2.im * R(dz));
        if (kappa2 != R(0))
            factor *= std::exp(-k * kappa2 * R(dz) * (n2 * k / Abs(kz2)));
        return factor;
    }
};

// Where a vector rule's sums go: Ex, Ey, Ez of the output and its energy-flux map (real
// part; the imaginary part receives zeros). A left-unpropagated Ez adds into Ez.
// `zeroed`: the arrays hold zeros (else the sum overwrites them).
template <class Rule>
TSumTargets VectorTargets(TComplexArray& ex, TComplexArray& ey, TComplexArray& ez, TComplexArray& flux, bool zeroed)
{
    TSumTargets t;
    t.zeroed = zeroed;
    t.re[0] = ex.Re();
    t.im[0] = ex.Im();
    t.re[1] = ey.Re();
    t.im[1] = ey.Im();
    t.re[2] = ez.Re();
    t.im[2] = ez.Im();
    if constexpr (Rule::kLocalEz >= 0) {
        t.localRe[Rule::kLocalEz] = ez.Re();
        t.localIm[Rule::kLocalEz] = ez.Im();
    }
    t.localRe[Rule::kLocalFlux] = flux.Re();
    t.localIm[Rule::kLocalFlux] = flux.Im();
    return t;
}

} // namespace ksn
