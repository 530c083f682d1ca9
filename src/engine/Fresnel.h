#pragma once
// Fresnel coefficients of a plane wave at the interface between the previous slice
// (medium 1, incidence) and the current slice (medium 2). Every helper takes
// (n1, n2, kz1, kz2) in this order: the indices of the two media and the longitudinal
// wave numbers kz = sqrt((n k0)^2 - kt^2) there. "Equal indices" means n1 == n2 exactly
// (for complex indices both parts), and then transmission is exactly 1 and reflection
// exactly 0 whatever the angle.
//
//   ts = 2 kz1 / (kz1 + kz2)                      rs = (kz1 - kz2) / (kz1 + kz2)
//   tp = 2 kz1 n1 n2 / (kz1 n2^2 + kz2 n1^2)      rp = (n2^2 kz1 - n1^2 kz2) / (n2^2 kz1 + n1^2 kz2)
//
// A vanishing denominator gives 0 instead of a division by zero.
#include "numerics/Complex.h"

namespace ksn {

// Real forms, templated on the real type: the kernels instantiate them in long double
// (direct summation) and double (grouped summation).
template <class R>
inline R FresnelTsOf(R n1, R n2, R kz1, R kz2)
{
    if (n1 == n2)
        return R(1);
    const R sum = kz1 + kz2;
    return sum == R(0) ? R(0) : R(2) * kz1 / sum;
}

template <class R>
inline R FresnelTpOf(R n1, R n2, R kz1, R kz2)
{
    if (n1 == n2)
        return R(1);
    const R denominator = kz1 * n2 * n2 + kz2 * n1 * n1;
    return denominator == R(0) ? R(0) : R(2) * kz1 * n1 * n2 / denominator;
}

template <class R>
inline R FresnelRsOf(R n1, R n2, R kz1, R kz2)
{
    if (n1 == n2)
        return R(0);
    if (kz2 == R(0))
        return R(1);
    const R sum = kz1 + kz2;
    return sum == R(0) ? R(0) : (kz1 - kz2) / sum;
}

template <class R>
inline R FresnelRpOf(R n1, R n2, R kz1, R kz2)
{
    if (n1 == n2)
        return R(0);
    const R a = n2 * n2 * kz1;
    const R b = n1 * n1 * kz2;
    const R denominator = a + b;
    return denominator == R(0) ? R(0) : (a - b) / denominator;
}

// The engine's real helpers, in extended precision.
TExtended FresnelTs(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2);
TExtended FresnelTp(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2);
TExtended FresnelRs(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2);
TExtended FresnelRp(TExtended n1, TExtended n2, TExtended kz1, TExtended kz2);

// Complex longitudinal wave numbers (evanescent waves: kz = i|kz|), with real or complex
// indices. Results of modulus-zero denominators are 0. In the real-index forms a
// vanishing kz2 (grazing incidence) reflects totally: rs = 1, rp = -1.
TComplex FresnelTsC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2);
TComplex FresnelTsC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2);
TComplex FresnelTpC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2);
TComplex FresnelTpC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2);
TComplex FresnelRsC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2);
TComplex FresnelRsC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2);
TComplex FresnelRpC(TExtended n1, TExtended n2, TComplex kz1, TComplex kz2);
TComplex FresnelRpC(TComplex n1, TComplex n2, TComplex kz1, TComplex kz2);

} // namespace ksn
