#include "engine/Fresnel.h"

namespace ksn {

TExtended FresnelTs(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2)
{
    return FresnelTsOf(n1, n2, kz1, kz2);
}

TExtended FresnelTp(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2)
{
    return FresnelTpOf(n1, n2, kz1, kz2);
}

TExtended FresnelRs(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2)
{
    return FresnelRsOf(n1, n2, kz1, kz2);
}

TExtended FresnelRp(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2)
{
    return FresnelRpOf(n1, n2, kz1, kz2);
}

namespace {

const TComplex kZero{0.0, 0.0};
const TComplex kOne{1.0, 0.0};
const TComplex kTwo{2.0, 0.0};

TComplex Real(TExtended x) { return {double(x), 0.0}; }
bool IsZero(TComplex a) { return a.re == 0.0 && a.im == 0.0; }

// The coefficient formulas on complex indices; the real-index forms widen their indices.
// Callers have handled equal indices.

// ts = 2 kz1 / (kz1 + kz2)
TComplex Ts(TComplex kz1, TComplex kz2)
{
    const TComplex sum = CAdd(kz1, kz2);
    return CAbs(sum) == 0.0L ? kZero : CDiv(CMul(kTwo, kz1), sum);
}

// tp = 2 kz1 n1 n2 / (kz1 n2^2 + kz2 n1^2)
TComplex Tp(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    const TComplex denominator = CAdd(CMul(kz1, CSqr(n2)), CMul(kz2, CSqr(n1)));
    if (CAbs(denominator) == 0.0L)
        return kZero;
    return CDiv(CMul(CMul(kTwo, kz1), CMul(n1, n2)), denominator);
}

// rs = (kz1 - kz2) / (kz1 + kz2)
TComplex Rs(TComplex kz1, TComplex kz2)
{
    const TComplex sum = CAdd(kz1, kz2);
    return CAbs(sum) == 0.0L ? kZero : CDiv(CSub(kz1, kz2), sum);
}

// rp = (n2^2 kz1 - n1^2 kz2) / (n2^2 kz1 + n1^2 kz2)
TComplex Rp(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    const TComplex a = CMul(CSqr(n2), kz1);
    const TComplex b = CMul(CSqr(n1), kz2);
    const TComplex denominator = CAdd(a, b);
    return CAbs(denominator) == 0.0L ? kZero : CDiv(CSub(a, b), denominator);
}

} // namespace

TComplex FresnelTsC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kOne : Ts(kz1, kz2);
}

TComplex FresnelTsC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kOne : Ts(kz1, kz2);
}

TComplex FresnelTpC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kOne : Tp(Real(n1), Real(n2), kz1, kz2);
}

TComplex FresnelTpC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kOne : Tp(n1, n2, kz1, kz2);
}

TComplex FresnelRsC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2)
{
    if (n1 == n2)
        return kZero;
    return IsZero(kz2) ? kOne : Rs(kz1, kz2);
}

TComplex FresnelRsC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kZero : Rs(kz1, kz2);
}

TComplex FresnelRpC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2)
{
    if (n1 == n2)
        return kZero;
    return IsZero(kz2) ? CNeg(kOne) : Rp(Real(n1), Real(n2), kz1, kz2);
}

TComplex FresnelRpC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2)
{
    return n1 == n2 ? kZero : Rp(n1, n2, kz1, kz2);
}

} // namespace ksn
