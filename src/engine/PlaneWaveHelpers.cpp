#include "engine/PlaneWaveHelpers.h"

namespace ksn {

namespace {

constexpr TExtended kNegligible = 1e-30L;

// Ez = -(a + b) / kz from the two products a = kx Ex, b = ky Ey, all in extended precision.
TComplex Transversal(TExtended aRe, TExtended aIm, TExtended kzRe, TExtended kzIm)
{
    // -(a) / kz = -a conj(kz) / |kz|^2
    const TExtended d = kzRe * kzRe + kzIm * kzIm;
    const TExtended re = -(aRe * kzRe + aIm * kzIm) / d;
    const TExtended im = -(aIm * kzRe - aRe * kzIm) / d;
    if (std::hypot(re, im) < kNegligible)
        return {0.0, 0.0};
    return {double(re), double(im)};
}

// kx Ex + ky Ey with complex kx, ky.
void Numerator(TComplex kx, TComplex ky, TComplex ex, TComplex ey, TExtended& re, TExtended& im)
{
    re = TExtended(kx.re) * ex.re - TExtended(kx.im) * ex.im + TExtended(ky.re) * ey.re -
         TExtended(ky.im) * ey.im;
    im = TExtended(kx.re) * ex.im + TExtended(kx.im) * ex.re + TExtended(ky.re) * ey.im +
         TExtended(ky.im) * ey.re;
}

} // namespace

TComplex LongitudinalEz(TExtended kx, TExtended ky, TComplex ex, TComplex ey, TExtended kz)
{
    if (kz == 0.0L)
        return {0.0, 0.0};
    return Transversal(kx * ex.re + ky * ey.re, kx * ex.im + ky * ey.im, kz, 0.0L);
}

TComplex LongitudinalEz(TComplex kx, TComplex ky, TComplex ex, TComplex ey, TExtended kz)
{
    if (kz <= 0.0L)
        return {0.0, 0.0};
    TExtended re, im;
    Numerator(kx, ky, ex, ey, re, im);
    return Transversal(re, im, kz, 0.0L);
}

TComplex LongitudinalEz(TComplex kx, TComplex ky, TComplex ex, TComplex ey, TComplex kz)
{
    if (CAbs(kz) == 0.0L)
        return {0.0, 0.0};
    TExtended re, im;
    Numerator(kx, ky, ex, ey, re, im);
    return Transversal(re, im, kz.re, kz.im);
}

TComplex LongitudinalEz(TExtended kx, TExtended ky, TComplex ex, TComplex ey, TComplex kz)
{
    if (CAbs(kz) == 0.0L)
        return {0.0, 0.0};
    return Transversal(kx * ex.re + ky * ey.re, kx * ex.im + ky * ey.im, kz.re, kz.im);
}

bool InModeRange(double nk, double dk, double k, int extraModes)
{
    if (!(dk > 0.0))
        return std::fabs(k) <= nk;
    return nk / dk + double(extraModes) >= std::fabs(k) / dk;
}

bool SumNonZero(TComplex a, TComplex b)
{
    return CAbs(a) != 0.0L && CAbs(b) != 0.0L && CAbs(CAdd(a, b)) != 0.0L;
}

TExtended AbsorptionFactor(TExtended k0, TExtended kappa2, TExtended dz, TExtended n2, TExtended kz2)
{
    return AbsorptionFactorOf(k0, kappa2, dz, n2, kz2);
}

} // namespace ksn
