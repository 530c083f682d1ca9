#pragma once
// The per-point rule of the scalar wave-propagation method: what plane wave w
// contributes at a point with real index n1 in the previous slice and n2 + i kappa2 in
// the current one, before the lateral phase e^{i (kx x + ky y)}.
//
//   kz2 = sqrt((n2 k0)^2 - kt^2)
//   t   = 1                                     if n1 == n2
//       = ts                                    if kt^2 == 0
//       = (ts + tp) / 2                         otherwise, kz1 = sqrt((n1 k0)^2 - kt^2)
//   a   = exp(-k0 kappa2 dz (n2 k0 / kz2))      absorption along the oblique path
//
//   forward only:   t A a   e^{i kz2 dz}
//   both:          (t A + B) a e^{i kz2 dz}
//   backward only:  t B                         (transmitted, not advanced along z)
//
// A plane wave that cannot propagate at the point (kz2^2 <= 0, or kz1^2 < 0 across an
// index step) contributes nothing there: its square root would be imaginary and the
// propagating-wave formulas would produce NaN. k0 is the vacuum wave number, dz the
// slice thickness in metres.
//
// The terms are linear in A and B, so the rule also gives them as coefficients for the
// tabulated grouped sum (SpectralSum.h): columns (A, B) of one row,
//   forward only: (t a, 0),  both: (t a, a),  phase kz2 dz;   backward only: (0, t), phase 0.
#include "engine/Fresnel.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/PointSum.h"
#include "engine/SpectralSum.h"

#include <cmath>

namespace ksn {

struct TScalarWPMRule {
    static constexpr int kComponents = 1;
    static constexpr int kLocals = 0;
    static constexpr int kInputs = 1;
    // The rule reads Re n1, Re n2 and Im n2 only.
    static constexpr TIndexParts kParts{true, false, true, true};

    TExtended k0 = 0;
    TExtended dz = 0;
    TStepMode mode = TStepMode::forwardOnly;

    int Variant() const { return int(mode); }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        R t, a;
        if (!Factors<R>(R(w.kt2), w.kt2 != 0.0L, n, t, a, phase))
            return false;
        if (mode == TStepMode::backwardOnly) {
            lateral[0] = t * Widen<R>(w.backward[0]);
            return true;
        }
        TComplexOf<R> amplitude = t * Widen<R>(w.forward[0]);
        if (mode == TStepMode::both)
            amplitude = amplitude + Widen<R>(w.backward[0]);
        lateral[0] = a * amplitude;
        return true;
    }

    // matrix = (coefficient of A, coefficient of B).
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* matrix, R& phase) const
    {
        R t, a;
        if (!Factors<R>(R(w.kt2), w.kt2 != 0.0, n, t, a, phase))
            return false;
        if (mode == TStepMode::backwardOnly) {
            matrix[0] = {};
            matrix[1] = {t, R(0)};
            return true;
        }
        matrix[0] = {t * a, R(0)};
        matrix[1] = mode == TStepMode::both ? TComplexOf<R>{a, R(0)} : TComplexOf<R>{};
        return true;
    }

private:
    // Transmission t, absorption a and phase of one wave at one tuple (formulas above);
    // the backward-only mode has neither absorption nor phase (a = 1, phase 0).
    template <class R>
    bool Factors(R kt2, bool oblique, const TIndexTuple& n, R& t, R& a, R& phase) const
    {
        const R k = R(k0);
        const R n1 = R(n.n1.re);
        const R n2 = R(n.n2.re);
        const R kappa2 = R(n.n2.im);
        const R kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (!(kz2sq > R(0)))
            return false;
        const R kz2 = std::sqrt(kz2sq);
        t = R(1);
        if (n1 != n2) {
            const R kz1sq = (n1 * k) * (n1 * k) - kt2;
            if (!(kz1sq >= R(0)))
                return false;
            const R kz1 = std::sqrt(kz1sq);
            const R ts = FresnelTsOf<R>(n1, n2, kz1, kz2);
            t = oblique ? (ts + FresnelTpOf<R>(n1, n2, kz1, kz2)) / R(2) : ts;
        }
        if (mode == TStepMode::backwardOnly) {
            a = R(1);
            phase = R(0);
            return true;
        }
        a = AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2);
        phase = kz2 * R(dz);
        return true;
    }
};

} // namespace ksn
