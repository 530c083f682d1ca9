#include "numerics/Complex.h"

#include "numerics/GeneralError.h"

#include <cmath>
#include <numbers>

namespace ksn {

TComplex Cmplx(double re, double im) { return {re, im}; }

TComplex CAdd(TComplex a, TComplex b) { return {a.re + b.re, a.im + b.im}; }

TComplex CAdd3(TComplex a, TComplex b, TComplex c)
{
    const TExtended re = (TExtended(a.re) + b.re) + c.re;
    const TExtended im = (TExtended(a.im) + b.im) + c.im;
    return {double(re), double(im)};
}

TComplex CAddR(TComplex a, TExtended x) { return {double(x + a.re), a.im}; }
TComplex CSub(TComplex a, TComplex b) { return {a.re - b.re, a.im - b.im}; }
TComplex CSubR(TComplex a, TExtended x) { return {double(a.re - x), a.im}; }

TComplex CMul(TComplex a, TComplex b)
{
    const TExtended re = TExtended(a.re) * b.re - TExtended(a.im) * b.im;
    const TExtended im = TExtended(a.re) * b.im + TExtended(b.re) * a.im;
    return {double(re), double(im)};
}

TComplex CMulR(TComplex a, TExtended x) { return {double(x * a.re), double(x * a.im)}; }

// a/b = (a.re*b.re + a.im*b.im, b.re*a.im - a.re*b.im) / |b|^2, no overflow scaling.
TComplex CDiv(TComplex a, TComplex b)
{
    const TExtended d = TExtended(b.re) * b.re + TExtended(b.im) * b.im;
    if (d == 0.0L)
        throw EGeneralError("Complex Divide by Zero!");
    const TExtended re = (TExtended(a.re) * b.re + TExtended(a.im) * b.im) / d;
    const TExtended im = (TExtended(b.re) * a.im - TExtended(a.re) * b.im) / d;
    return {double(re), double(im)};
}

TComplex CDivR(TComplex a, TExtended x)
{
    if (x == 0.0L)
        throw EGeneralError("CDivR: Divide by Zero!");
    return {double(a.re / x), double(a.im / x)};
}

TComplex CNeg(TComplex a) { return {-a.re, -a.im}; }
TComplex CConj(TComplex a) { return {a.re, -a.im}; }
TExtended CAbs(TComplex a) { return std::hypot(TExtended(a.re), TExtended(a.im)); }

TComplex CSqr(TComplex a)
{
    const TExtended re = TExtended(a.re) * a.re - TExtended(a.im) * a.im;
    const TExtended im = 2.0L * a.re * a.im;
    return {double(re), double(im)};
}

// Principal root: r = |a|, w = sqrt((r + |re|)/2). re >= 0: (w, im/(2w));
// re < 0: (|im|/(2w), +-w with the sign of im, +w for im = -0). Real part never negative.
TComplex CSqrt(TComplex a)
{
    const TExtended r = std::hypot(TExtended(a.im), TExtended(a.re));
    if (r == 0.0L)
        return a;
    const TExtended w = std::sqrt((r + std::fabs(TExtended(a.re))) * 0.5L);
    if (a.re >= 0.0)
        return {double(w), double(a.im / (2.0L * w))};
    return {double(std::fabs(TExtended(a.im)) / (2.0L * w)), double(a.im >= 0.0 ? w : -w)};
}

TComplex CExp(TComplex a)
{
    const TExtended e = std::exp(TExtended(a.re));
    return {double(e * std::cos(TExtended(a.im))), double(e * std::sin(TExtended(a.im)))};
}

// e^(i*a) = e^(-a.im + i*a.re)
TComplex CExpI(TComplex a) { return CExp({-a.im, a.re}); }

TComplex CPhasor(TExtended t)
{
#if defined(__GLIBC__)
    // One x87 operation yields both, as the phase factors e^(i k dz) want.
    long double s = 0, c = 0;
    ::sincosl(t, &s, &c);
    return {double(c), double(s)};
#else
    return {double(std::cos(t)), double(std::sin(t))};
#endif
}

TExtended Sign(TExtended x) { return x > 0 ? 1.0L : (x < 0 ? -1.0L : 0.0L); }

double PrincipalPhase(double re, double im)
{
    const double p = std::atan2(im, re);
    return p == -std::numbers::pi ? std::numbers::pi : p;
}

TVec3 Vec3(double x, double y, double z) { return {x, y, z}; }
TVec3 Vec3Scale(TVec3 v, TExtended s) { return {double(s * v.x), double(s * v.y), double(s * v.z)}; }
TCVec3 CVec3(TComplex x, TComplex y, TComplex z) { return {x, y, z}; }

// Bilinear (not Hermitian) product u.v.
TComplex CVec3Dot(const TCVec3& u, const TCVec3& v)
{
    return CAdd3(CMul(u.x, v.x), CMul(u.y, v.y), CMul(u.z, v.z));
}

} // namespace ksn
