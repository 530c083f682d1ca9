#pragma once
// Reflection of one plane wave at the interface between the previous slice (medium 1,
// where the light comes from and returns to) and the current slice (medium 2), and the
// per-point rules of the wave-propagation reflection steps for the point sum
// (PointSum.h).
//
// Transverse reflection matrix. With s = (-ky, kx)/kt perpendicular and p = (kx, ky)/kt
// parallel to the plane of incidence,
//
//   R = rs s s^T - rp p p^T :
//     Rxx = (rs ky^2 - rp kx^2) / kt^2,  Ryy = (rs kx^2 - rp ky^2) / kt^2,
//     Rxy = Ryx = -(rs + rp) kx ky / kt^2,                 R = rs 1 at kt^2 = 0.
//
// rp = (n2^2 kz1 - n1^2 kz2) / (n2^2 kz1 + n1^2 kz2) follows the convention in which
// rp = -rs at normal incidence; the minus sign in front of rp turns the transverse
// components of the reflected p wave back to that of the s wave, so that R tends to rs 1
// as kt -> 0 from every direction. A scalar field stands for an unpolarised mixture:
// r = (rs - rp)/2, and r = rs at kt^2 = 0.
//
// A reflected plane wave gets only the lateral phase e^{i (kx x + ky y)}: no propagation
// along z, no absorption.
#include "engine/Fresnel.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PointSum.h"

#include <cmath>

namespace ksn {

namespace reflection {

template <class R>
inline TComplexOf<R> Neg(TComplexOf<R> a)
{
    return {-a.re, -a.im};
}

template <class R>
inline TComplexOf<R> Sub(TComplexOf<R> a, TComplexOf<R> b)
{
    return {a.re - b.re, a.im - b.im};
}

template <class R>
inline R Norm(TComplexOf<R> a)
{
    return a.re * a.re + a.im * a.im;
}

// a / b for |b| != 0 (the callers test the denominator).
template <class R>
inline TComplexOf<R> Div(TComplexOf<R> a, TComplexOf<R> b)
{
    const R d = Norm(b);
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}

// Principal root of a real number: sqrt(q) for q >= 0, i sqrt(-q) otherwise.
template <class R>
inline TComplexOf<R> RootOf(R q)
{
    return q >= R(0) ? TComplexOf<R>{std::sqrt(q), R(0)} : TComplexOf<R>{R(0), std::sqrt(-q)};
}

template <class R>
inline TComplexOf<R> Square(TComplexOf<R> a)
{
    return a * a;
}

// rs = (kz1 - kz2) / (kz1 + kz2), 0 when the sum vanishes.
template <class R>
inline TComplexOf<R> Rs(TComplexOf<R> kz1, TComplexOf<R> kz2)
{
    const TComplexOf<R> sum = kz1 + kz2;
    return Norm(sum) == R(0) ? TComplexOf<R>{} : Div(Sub(kz1, kz2), sum);
}

// rp = (n2^2 kz1 - n1^2 kz2) / (n2^2 kz1 + n1^2 kz2), 0 when the denominator vanishes.
template <class R>
inline TComplexOf<R> Rp(TComplexOf<R> n1, TComplexOf<R> n2, TComplexOf<R> kz1, TComplexOf<R> kz2)
{
    const TComplexOf<R> a = Square(n2) * kz1;
    const TComplexOf<R> b = Square(n1) * kz2;
    const TComplexOf<R> denominator = a + b;
    return Norm(denominator) == R(0) ? TComplexOf<R>{} : Div(Sub(a, b), denominator);
}

inline TComplexOf<long double> Scale(long double s, TComplexOf<long double> a) { return s * a; }
inline TComplexOf<double> Scale(double s, TComplexOf<double> a) { return s * a; }
inline long double Scale(long double s, long double a) { return s * a; }
inline double Scale(double s, double a) { return s * a; }

} // namespace reflection

// R of the header with real or complex coefficients T over the real type R.
template <class T>
struct TReflectionMatrixOf {
    T xx{}, xy{}, yy{};
};

template <class R, class T>
inline TReflectionMatrixOf<T> ReflectionMatrix(T rs, T rp, R kx, R ky, R kt2)
{
    using reflection::Scale;
    if (kt2 == R(0))
        return {rs, T{}, rs};
    const R cx = kx * kx / kt2, cy = ky * ky / kt2, cxy = -(kx * ky) / kt2;
    return {Scale(cy, rs) + Scale(-cx, rp), Scale(cxy, rs) + Scale(cxy, rp), Scale(cx, rs) + Scale(-cy, rp)};
}

// Exr = Rxx Ex + Rxy Ey, Eyr = Ryx Ex + Ryy Ey (real or complex matrix elements T).
template <class R, class T>
inline void Reflect(const TReflectionMatrixOf<T>& m, TComplexOf<R> ex, TComplexOf<R> ey, TComplexOf<R>& exr,
                    TComplexOf<R>& eyr)
{
    exr = m.xx * ex + m.xy * ey;
    eyr = m.xy * ex + m.yy * ey;
}

// Scalar reflection coefficient of an unpolarised wave: (rs - rp)/2, rs at kt^2 = 0.
template <class R>
inline R ScalarReflection(R rs, R rp, R kt2)
{
    return kt2 == R(0) ? rs : (rs - rp) / R(2);
}

// ReflectSWPM: at a point with real indices n1 != n2, a plane wave propagating in both
// media (kz^2 = (n k0)^2 - kt^2 >= 0) is reflected with r of the header; a wave that
// cannot propagate in either medium reflects nothing there.
struct TScalarReflectionRule {
    static constexpr int kComponents = 1;
    static constexpr int kLocals = 0;
    static constexpr TIndexParts kParts{true, false, true, false};

    TExtended k0 = 0;

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        if (n1 == n2)
            return false;
        const R k = R(k0), kt2 = R(w.kt2);
        const R kz1sq = (n1 * k) * (n1 * k) - kt2, kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (kz1sq < R(0) || kz2sq < R(0))
            return false;
        const R kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
        const R rs = FresnelRsOf<R>(n1, n2, kz1, kz2);
        const R r = ScalarReflection<R>(rs, kt2 != R(0) ? FresnelRpOf<R>(n1, n2, kz1, kz2) : rs, kt2);
        lateral[0] = r * Widen<R>(w.forward[0]);
        phase = R(0);
        return true;
    }
};

// ReflectVWPM: real indices n1 != n2 at the point.
//  - kz1^2 > 0 and kz2^2 > 0: real rs, rp;
//  - with the evanescent switch on, n1 > n2, kz1^2 > 0, kz2^2 < 0 (total internal
//    reflection): kz2 = i sqrt(-kz2^2), complex rs and rp of modulus 1;
//  - otherwise nothing.
// Components: Exr, Eyr. The reflected Ez is left untouched (zero in a new field).
struct TVectorReflectionRule {
    static constexpr int kComponents = 2;
    static constexpr int kLocals = 0;
    static constexpr TIndexParts kParts{true, false, true, false};

    TExtended k0 = 0;
    bool evanescent = false;

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        if (n1 == n2)
            return false;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const R kz1sq = (n1 * k) * (n1 * k) - kt2, kz2sq = (n2 * k) * (n2 * k) - kt2;
        const TComplexOf<R> ex = Widen<R>(w.forward[0]), ey = Widen<R>(w.forward[1]);
        phase = R(0);
        if (kz1sq > R(0) && kz2sq > R(0)) {
            const R kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
            const R rs = FresnelRsOf<R>(n1, n2, kz1, kz2);
            const R rp = kt2 != R(0) ? FresnelRpOf<R>(n1, n2, kz1, kz2) : rs;
            Reflect<R>(ReflectionMatrix<R, R>(rs, rp, kx, ky, kt2), ex, ey, lateral[0], lateral[1]);
            return true;
        }
        if (evanescent && n1 > n2 && kz1sq > R(0) && kz2sq < R(0)) {
            using namespace reflection;
            const TComplexOf<R> kz1{std::sqrt(kz1sq), R(0)}, kz2{R(0), std::sqrt(-kz2sq)};
            const TComplexOf<R> rs = Rs<R>(kz1, kz2);
            const TComplexOf<R> rp = kt2 != R(0) ? Rp<R>({n1, R(0)}, {n2, R(0)}, kz1, kz2) : rs;
            Reflect<R>(ReflectionMatrix<R, TComplexOf<R>>(rs, rp, kx, ky, kt2), ex, ey, lateral[0], lateral[1]);
            return true;
        }
        return false;
    }
};

// ReflectVWPMAllComplex: complex longitudinal wave numbers for every plane wave,
//   kz1 = sqrt((Re n1 k0)^2 - kt^2), kz2 = sqrt((Re n2 k0)^2 - kt^2)   (principal roots),
// complex indices in rs and rp, only where Re n1 != Re n2 and |kz1|, |kz2|, |kz1 + kz2|
// are non-zero. Components Exr, Eyr and Ezr = -(kx Exr + ky Eyr)/kz1 (transversality
// with kz1; a result of modulus below 1e-30 is 0).
struct TVectorReflectionAllComplexRule {
    static constexpr int kComponents = 3;
    static constexpr int kLocals = 0;
    static constexpr TIndexParts kParts{true, true, true, true};

    TExtended k0 = 0;

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        using namespace reflection;
        if (n.n1.re == n.n2.re)
            return false;
        const R k = R(k0), kx = R(w.kx), ky = R(w.ky), kt2 = R(w.kt2);
        const TComplexOf<R> n1 = Widen<R>(n.n1), n2 = Widen<R>(n.n2);
        const TComplexOf<R> kz1 = RootOf<R>((n1.re * k) * (n1.re * k) - kt2);
        const TComplexOf<R> kz2 = RootOf<R>((n2.re * k) * (n2.re * k) - kt2);
        if (Norm(kz1) == R(0) || Norm(kz2) == R(0) || Norm(kz1 + kz2) == R(0))
            return false;
        const TComplexOf<R> rs = Rs<R>(kz1, kz2);
        const TComplexOf<R> rp = kt2 != R(0) ? Rp<R>(n1, n2, kz1, kz2) : rs;
        TComplexOf<R> exr, eyr;
        Reflect<R>(ReflectionMatrix<R, TComplexOf<R>>(rs, rp, kx, ky, kt2), Widen<R>(w.forward[0]),
                   Widen<R>(w.forward[1]), exr, eyr);
        TComplexOf<R> ezr = Div<R>(Neg<R>(kx * exr + ky * eyr), kz1);
        if (std::hypot(ezr.re, ezr.im) < R(1e-30))
            ezr = {};
        lateral[0] = exr;
        lateral[1] = eyr;
        lateral[2] = ezr;
        phase = R(0);
        return true;
    }
};

} // namespace ksn
