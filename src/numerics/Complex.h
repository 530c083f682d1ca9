#pragma once
// Complex and 3-vector arithmetic. Every field value, refractive index n + i*kappa and
// propagation factor is a TComplex. Intermediates are carried in extended precision
// (long double, the 80-bit x87 format on x86-64) and rounded to double when stored.

namespace ksn {

using TExtended = long double;

struct TComplex {
    double re = 0.0;
    double im = 0.0;
};

struct TVec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

struct TCVec3 {
    TComplex x, y, z;
};

inline bool operator==(const TComplex& a, const TComplex& b) { return a.re == b.re && a.im == b.im; }
inline bool operator!=(const TComplex& a, const TComplex& b) { return !(a == b); }

TComplex Cmplx(double re, double im);
TComplex CAdd(TComplex a, TComplex b);
TComplex CAdd3(TComplex a, TComplex b, TComplex c);
TComplex CAddR(TComplex a, TExtended x);
TComplex CSub(TComplex a, TComplex b);
TComplex CSubR(TComplex a, TExtended x);
TComplex CMul(TComplex a, TComplex b);
TComplex CMulR(TComplex a, TExtended x);
// Throws EGeneralError "Complex Divide by Zero!" when |b|^2 == 0 exactly.
TComplex CDiv(TComplex a, TComplex b);
// Throws EGeneralError "CDivR: Divide by Zero!" when x == 0 (also -0).
TComplex CDivR(TComplex a, TExtended x);
TComplex CNeg(TComplex a);
TComplex CConj(TComplex a);
TExtended CAbs(TComplex a);
TComplex CSqr(TComplex a);
TComplex CSqrt(TComplex a);
TComplex CExp(TComplex a);
TComplex CExpI(TComplex a);
TComplex CPhasor(TExtended t);
TExtended Sign(TExtended x);
// Phase of re + i*im in (-pi, pi]: atan2 except that the negative real axis gives +pi
// also for a negative zero imaginary part (atan2 would give -pi there).
double PrincipalPhase(double re, double im);

TVec3 Vec3(double x, double y, double z);
TVec3 Vec3Scale(TVec3 v, TExtended s);
TCVec3 CVec3(TComplex x, TComplex y, TComplex z);
TComplex CVec3Dot(const TCVec3& u, const TCVec3& v);

} // namespace ksn
