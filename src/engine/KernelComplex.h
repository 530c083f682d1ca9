#pragma once
// Complex arithmetic for the propagation kernels, templated on the real type so that one
// per-point rule serves both summations: the direct reference in extended precision
// (long double) and the grouped sum in double. Plain inline operations on two reals:
// no NaN/inf recovery of std::complex's multiplication, no library calls.
#include "numerics/Complex.h"

#include <cmath>

namespace ksn {

template <class R>
struct TComplexOf {
    R re = 0;
    R im = 0;
};

template <class R>
inline TComplexOf<R> operator+(TComplexOf<R> a, TComplexOf<R> b)
{
    return {a.re + b.re, a.im + b.im};
}

template <class R>
inline TComplexOf<R> operator*(TComplexOf<R> a, TComplexOf<R> b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

template <class R>
inline TComplexOf<R> operator*(R s, TComplexOf<R> a)
{
    return {s * a.re, s * a.im};
}

// A stored double value widened to the kernel's real type.
template <class R>
inline TComplexOf<R> Widen(TComplex a)
{
    return {R(a.re), R(a.im)};
}

inline void SinCos(long double t, long double& s, long double& c) { ::sincosl(t, &s, &c); }
inline void SinCos(double t, double& s, double& c) { ::sincos(t, &s, &c); }

// e^{i t}
template <class R>
inline TComplexOf<R> Phasor(R t)
{
    R s, c;
    SinCos(t, s, c);
    return {c, s};
}

} // namespace ksn
