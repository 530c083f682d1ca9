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
//
// The reflected terms are linear in the incident amplitudes, so each rule also gives
// them as coefficients for the tabulated grouped sum (SpectralSum.h): columns (Ax, Ay)
// of the forward field (A of a scalar one) and no backward columns; rows r, or Exr, Eyr
// (the matrix R) and Ezr = -(kx Exr + ky Eyr)/kz1 row by row (the direct sum's guard that
// sets an Ezr of modulus below 1e-30 to 0 has no coefficient form; it only ever removes
// rounding residue).
#include "engine/Fresnel.h"
#include "engine/IndexTuples.h"
#include "engine/KernelComplex.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/PointSum.h"
#include "engine/SpectralSum.h"

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
    static constexpr int kInputs = 1;
    static constexpr TIndexParts kParts{true, false, true, false};

    TExtended k0 = 0;

    int Variant() const { return 0; }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        R r;
        if (!Coefficient<R>(R(w.kt2), n, r))
            return false;
        lateral[0] = r * Widen<R>(w.forward[0]);
        phase = R(0);
        return true;
    }

    // M = (r, 0): the forward amplitude's column, none for a backward field.
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase) const
    {
        R r;
        if (!Coefficient<R>(R(w.kt2), n, r))
            return false;
        M[0] = {r, R(0)};
        phase = R(0);
        return true;
    }

private:
    template <class R>
    bool Coefficient(R kt2, const TIndexTuple& n, R& r) const
    {
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        if (n1 == n2)
            return false;
        const R k = R(k0);
        const R kz1sq = (n1 * k) * (n1 * k) - kt2, kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (kz1sq < R(0) || kz2sq < R(0))
            return false;
        const R kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
        const R rs = FresnelRsOf<R>(n1, n2, kz1, kz2);
        r = ScalarReflection<R>(rs, kt2 != R(0) ? FresnelRpOf<R>(n1, n2, kz1, kz2) : rs, kt2);
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
    static constexpr int kInputs = 2;
    static constexpr TIndexParts kParts{true, false, true, false};

    TExtended k0 = 0;
    bool evanescent = false;

    int Variant() const { return evanescent ? 1 : 0; }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        TReflectionMatrixOf<TComplexOf<R>> m;
        if (!Matrix<R>(R(w.kx), R(w.ky), R(w.kt2), n, m))
            return false;
        Reflect<R>(m, Widen<R>(w.forward[0]), Widen<R>(w.forward[1]), lateral[0], lateral[1]);
        phase = R(0);
        return true;
    }

    // Rows Exr, Eyr: R in the forward columns.
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase) const
    {
        TReflectionMatrixOf<TComplexOf<R>> m;
        if (!Matrix<R>(R(w.kx), R(w.ky), R(w.kt2), n, m))
            return false;
        M[0] = m.xx;
        M[1] = m.xy;
        M[2 * kInputs] = m.xy;
        M[2 * kInputs + 1] = m.yy;
        phase = R(0);
        return true;
    }

private:
    // R of the wave at the tuple, real coefficients held as complex ones.
    template <class R>
    bool Matrix(R kx, R ky, R kt2, const TIndexTuple& n, TReflectionMatrixOf<TComplexOf<R>>& m) const
    {
        const R n1 = R(n.n1.re), n2 = R(n.n2.re);
        if (n1 == n2)
            return false;
        const R k = R(k0);
        const R kz1sq = (n1 * k) * (n1 * k) - kt2, kz2sq = (n2 * k) * (n2 * k) - kt2;
        if (kz1sq > R(0) && kz2sq > R(0)) {
            const R kz1 = std::sqrt(kz1sq), kz2 = std::sqrt(kz2sq);
            const R rs = FresnelRsOf<R>(n1, n2, kz1, kz2);
            const R rp = kt2 != R(0) ? FresnelRpOf<R>(n1, n2, kz1, kz2) : rs;
            const TReflectionMatrixOf<R> real = ReflectionMatrix<R, R>(rs, rp, kx, ky, kt2);
            m = {{real.xx, R(0)}, {real.xy, R(0)}, {real.yy, R(0)}};
            return true;
        }
        if (evanescent && n1 > n2 && kz1sq > R(0) && kz2sq < R(0)) {
            using namespace reflection;
            const TComplexOf<R> kz1{std::sqrt(kz1sq), R(0)}, kz2{R(0), std::sqrt(-kz2sq)};
            const TComplexOf<R> rs = Rs<R>(kz1, kz2);
            const TComplexOf<R> rp = kt2 != R(0) ? Rp<R>({n1, R(0)}, {n2, R(0)}, kz1, kz2) : rs;
            m = ReflectionMatrix<R, TComplexOf<R>>(rs, rp, kx, ky, kt2);
            return true;
        }
        return false;
    }
};

// ReflectVWPMAllComplex: plane waves within the vacuum circle widened by the extra modes
// along each axis, InModeRange(k0, dkx, kx) and InModeRange(k0, dky, ky), each with
// complex longitudinal wave numbers,
//   kz1 = sqrt((Re n1 k0)^2 - kt^2), kz2 = sqrt((Re n2 k0)^2 - kt^2)   (principal roots),
// complex indices in rs and rp, only where Re n1 != Re n2 and |kz1|, |kz2|, |kz1 + kz2|
// are non-zero. Components Exr, Eyr and Ezr = -(kx Exr + ky Eyr)/kz1 (transversality
// with kz1; a result of modulus below 1e-30 is 0).
struct TVectorReflectionAllComplexRule {
    static constexpr int kComponents = 3;
    static constexpr int kLocals = 0;
    static constexpr int kInputs = 2;
    static constexpr TIndexParts kParts{true, true, true, true};

    TExtended k0 = 0;
    TExtended dkx = 0, dky = 0; // spectral steps 2 pi / Lx, 2 pi / Ly
    int extraModes = 0;

    int Variant() const { return extraModes; }

    template <class R>
    bool Evaluate(const TPlaneWave& w, const TIndexTuple& n, TComplexOf<R>* lateral, R& phase,
                  TComplexOf<R>* /*local*/) const
    {
        using namespace reflection;
        TReflectionMatrixOf<TComplexOf<R>> m;
        TComplexOf<R> kz1;
        const R kx = R(w.kx), ky = R(w.ky);
        if (!Matrix<R>(kx, ky, R(w.kt2), n, m, kz1))
            return false;
        TComplexOf<R> exr, eyr;
        Reflect<R>(m, Widen<R>(w.forward[0]), Widen<R>(w.forward[1]), exr, eyr);
        TComplexOf<R> ezr = Div<R>(Neg<R>(kx * exr + ky * eyr), kz1);
        if (std::hypot(ezr.re, ezr.im) < R(1e-30))
            ezr = {};
        lateral[0] = exr;
        lateral[1] = eyr;
        lateral[2] = ezr;
        phase = R(0);
        return true;
    }

    // Rows Exr, Eyr: R in the forward columns; row Ezr = -(kx Exr + ky Eyr)/kz1.
    template <class R>
    bool Coefficients(const TWaveVector& w, const TIndexTuple& n, TComplexOf<R>* M, R& phase) const
    {
        using namespace reflection;
        TReflectionMatrixOf<TComplexOf<R>> m;
        TComplexOf<R> kz1;
        const R kx = R(w.kx), ky = R(w.ky);
        if (!Matrix<R>(kx, ky, R(w.kt2), n, m, kz1))
            return false;
        constexpr int columns = 2 * kInputs;
        M[0] = m.xx;
        M[1] = m.xy;
        M[columns] = m.xy;
        M[columns + 1] = m.yy;
        for (int c = 0; c < 2; ++c)
            M[2 * columns + c] = Div<R>(Neg<R>(kx * M[c] + ky * M[columns + c]), kz1);
        phase = R(0);
        return true;
    }

private:
    // R of the wave at the tuple and kz1; false where nothing is reflected.
    template <class R>
    bool Matrix(R kx, R ky, R kt2, const TIndexTuple& n, TReflectionMatrixOf<TComplexOf<R>>& m,
                TComplexOf<R>& kz1) const
    {
        using namespace reflection;
        if (!InModeRange(double(k0), double(dkx), double(kx), extraModes) ||
            !InModeRange(double(k0), double(dky), double(ky), extraModes) || n.n1.re == n.n2.re)
            return false;
        const R k = R(k0);
        const TComplexOf<R> n1 = Widen<R>(n.n1), n2 = Widen<R>(n.n2);
        kz1 = RootOf<R>((n1.re * k) * (n1.re * k) - kt2);
        const TComplexOf<R> kz2 = RootOf<R>((n2.re * k) * (n2.re * k) - kt2);
        if (Norm(kz1) == R(0) || Norm(kz2) == R(0) || Norm(kz1 + kz2) == R(0))
            return false;
        const TComplexOf<R> rs = Rs<R>(kz1, kz2);
        const TComplexOf<R> rp = kt2 != R(0) ? Rp<R>(n1, n2, kz1, kz2) : rs;
        m = ReflectionMatrix<R, TComplexOf<R>>(rs, rp, kx, ky, kt2);
        return true;
    }
};

} // namespace ksn
