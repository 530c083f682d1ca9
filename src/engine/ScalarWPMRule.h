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
#include "engine/Fresnel.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/PointSum.h"

#include <cmath>

namespace ksn {

struct TScalarWPMRule {
    static constexpr int kComponents = 1;
    static constexpr int kLocals = 0;
    // The rule reads Re n1, Re n2 and Im n2 only.
    static constexpr TIndexParts kParts{true, false, true, true};

    TExtended k0 = 0;
    TExtended dz = 0;
    TStepMode mode = TStepMode::forwardOnly;

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        const R k = R(k0);
        const R kt2 = R(w.kt2);
        const R n1 = R(n.n1.re);
        const R n2 = R(n.n2.re);
        const R kappa2 = R(n.n2.im);
        const R kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (!(kz2sq > R(0)))
            return false;
        const R kz2 = std::sqrt(kz2sq);
        R t = R(1);
        if (n1 != n2) {
            const R kz1sq = (n1 * k) * (n1 * k) - kt2;
            if (!(kz1sq >= R(0)))
                return false;
            const R kz1 = std::sqrt(kz1sq);
            const R ts = FresnelTsOf<R>(n1, n2, kz1, kz2);
            t = w.kt2 != 0.0L ? (ts + FresnelTpOf<R>(n1, n2, kz1, kz2)) / R(2) : ts;
        }
        if (mode == TStepMode::backwardOnly) {
            lateral[0] = t * Widen<R>(w.backward[0]);
            phase = R(0);
            return true;
        }
        const R a = AbsorptionFactorOf<R>(k, kappa2, R(dz), n2, kz2);
        TComplexOf<R> amplitude = t * Widen<R>(w.forward[0]);
        if (mode == TStepMode::both)
            amplitude = amplitude + Widen<R>(w.backward[0]);
        lateral[0] = a * amplitude;
        phase = kz2 * R(dz);
        return true;
    }
};

} // namespace ksn
