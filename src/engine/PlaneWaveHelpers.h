#pragma once
// Small per-plane-wave helpers shared by the wave-propagation steps: the longitudinal
// field component by transversality, the mode-range test, the non-zero-sum test and the
// absorption along an oblique path.
#include "numerics/Complex.h"

#include <cmath>

namespace ksn {

// Transversality k . E = 0 gives the z component of a plane wave:
//   Ez = -(kx Ex + ky Ey) / kz.
// Four forms by the type of the wave-vector components; a result of modulus below 1e-30
// is replaced by exactly 0.
// Real kx, ky and real kz: 0 when kz == 0.
TComplex LongitudinalEz(TExtended kx, TExtended ky, TComplex ex, TComplex ey, TExtended kz);
// Complex kx, ky and real kz: 0 when kz <= 0 (no propagating wave).
TComplex LongitudinalEz(TComplex kx, TComplex ky, TComplex ex, TComplex ey, TExtended kz);
// Complex kx, ky and complex kz: 0 when |kz| == 0.
TComplex LongitudinalEz(TComplex kx, TComplex ky, TComplex ex, TComplex ey, TComplex kz);
// Real kx, ky and complex kz: 0 when |kz| == 0.
TComplex LongitudinalEz(TExtended kx, TExtended ky, TComplex ex, TComplex ey, TComplex kz);

// A spectral component k is carried when it lies within the index circle nk widened by
// extraModes spectral steps dk: nk/dk + extraModes >= |k|/dk (all as doubles). A
// non-positive step cannot widen anything: then the test is |k| <= nk.
bool InModeRange(double nk, double dk, double k, int extraModes);

// |a| != 0, |b| != 0 and |a + b| != 0: the sum kz1 + kz2 of a Fresnel coefficient can
// be divided by.
bool SumNonZero(TComplex a, TComplex b);

// Attenuation of a propagating plane wave over one slice along its oblique path:
//   exp(-k0 kappa2 dz (n2 k0 / kz2)),
// n2 k0 / kz2 = 1/cos(theta) being the path lengthening. Exactly 1 in a lossless medium;
// a wave that does not propagate along z (kz2 <= 0) in an absorbing medium is absorbed
// completely (0), never NaN.
template <class R>
inline R AbsorptionFactorOf(R k0, R kappa2, R dz, R n2, R kz2)
{
    if (kappa2 == R(0))
        return R(1);
    if (!(kz2 > R(0)))
        return R(0);
    return std::exp(-k0 * kappa2 * dz * (n2 * k0 / kz2));
}

TExtended AbsorptionFactor(TExtended k0, TExtended kappa2, TExtended dz, TExtended n2, TExtended kz2);

} // namespace ksn
