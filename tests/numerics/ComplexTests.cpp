#include "numerics/Complex.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace ksn {
namespace {

using test::ErrorTextOf;

constexpr double kPi = std::numbers::pi;

TEST(ComplexDivision, ZeroDivisorRaisesExactMessages)
{
    EXPECT_EQ(ErrorTextOf([] { CDiv(Cmplx(1, 1), Cmplx(0, 0)); }), "Complex Divide by Zero!");
    // A signed zero is still zero: |b|^2 == 0 exactly.
    EXPECT_EQ(ErrorTextOf([] { CDiv(Cmplx(1, 1), Cmplx(-0.0, -0.0)); }), "Complex Divide by Zero!");
    EXPECT_EQ(ErrorTextOf([] { CDivR(Cmplx(1, 1), 0.0L); }), "CDivR: Divide by Zero!");
    EXPECT_EQ(ErrorTextOf([] { CDivR(Cmplx(1, 1), -0.0L); }), "CDivR: Divide by Zero!");
}

TEST(ComplexDivision, KnownQuotients)
{
    const TComplex q = CDiv(Cmplx(1, 0), Cmplx(0, 2));
    EXPECT_EQ(q.re, 0.0);
    EXPECT_EQ(q.im, -0.5);
    // (1 + 2i)/(3 + 4i) = (1 + 2i)(3 - 4i)/25 = (11 + 2i)/25
    const TComplex r = CDiv(Cmplx(1, 2), Cmplx(3, 4));
    EXPECT_DOUBLE_EQ(r.re, 0.44);
    EXPECT_DOUBLE_EQ(r.im, 0.08);
    const TComplex s = CDivR(Cmplx(3, -6), 1.5L);
    EXPECT_EQ(s, Cmplx(2, -4));
    // A tiny but non-zero divisor is divided, not refused (no scaling, IEEE results).
    EXPECT_NO_THROW(CDiv(Cmplx(1, 0), Cmplx(1e-200, 0)));
}

TEST(ComplexArithmetic, ElementaryOperations)
{
    const TComplex a = Cmplx(1, 2), b = Cmplx(-3, 0.5);
    EXPECT_EQ(CAdd(a, b), Cmplx(-2, 2.5));
    EXPECT_EQ(CSub(a, b), Cmplx(4, 1.5));
    EXPECT_EQ(CAdd3(a, b, Cmplx(2, -2.5)), Cmplx(0, 0));
    EXPECT_EQ(CAddR(a, 2.0L), Cmplx(3, 2));
    EXPECT_EQ(CSubR(a, 2.0L), Cmplx(-1, 2));
    // (1 + 2i)(-3 + 0.5i) = -3 + 0.5i - 6i - 1 = -4 - 5.5i
    EXPECT_EQ(CMul(a, b), Cmplx(-4, -5.5));
    EXPECT_EQ(CMulR(a, -2.0L), Cmplx(-2, -4));
    EXPECT_EQ(CNeg(a), Cmplx(-1, -2));
    EXPECT_EQ(CConj(a), Cmplx(1, -2));
    EXPECT_EQ(CSqr(a), Cmplx(-3, 4));
    EXPECT_EQ(double(CAbs(Cmplx(3, -4))), 5.0);
    // Computed as a hypotenuse: no overflow for parts near the top of the double range.
    EXPECT_NEAR(double(CAbs(Cmplx(1e300, 1e300)) / 1e300L), std::sqrt(2.0), 1e-15);
}

TEST(ComplexArithmetic, ExtendedIntermediatesAvoidCancellation)
{
    // 1e16 + 1 is not a double, but carried in extended precision the sum minus 1e16
    // survives until the result is stored.
    const TComplex s = CAdd3(Cmplx(1e16, 0), Cmplx(1, 0), Cmplx(-1e16, 0));
    EXPECT_EQ(s.re, 1.0);
}

TEST(ComplexSqrt, BranchCutAndSignedZeros)
{
    // The negative real axis maps to +2i whatever the sign of the zero imaginary part.
    for (double zero : {0.0, -0.0}) {
        const TComplex r = CSqrt(Cmplx(-4, zero));
        EXPECT_EQ(r.re, 0.0) << "im = " << zero;
        EXPECT_EQ(r.im, 2.0) << "im = " << zero;
    }
    // Just below the cut the root jumps to the lower half plane.
    const TComplex below = CSqrt(Cmplx(-4, -1e-300));
    EXPECT_NEAR(below.im, -2.0, 1e-15);
    EXPECT_GE(below.re, 0.0);
    // Zero is returned unchanged, signs of zero included.
    const TComplex z = CSqrt(Cmplx(-0.0, -0.0));
    EXPECT_TRUE(std::signbit(z.re));
    EXPECT_TRUE(std::signbit(z.im));
    EXPECT_EQ(CSqrt(Cmplx(0, 0)), Cmplx(0, 0));
}

TEST(ComplexSqrt, KnownRootsAndSquareRoundTrip)
{
    EXPECT_EQ(CSqrt(Cmplx(3, 4)), Cmplx(2, 1));
    EXPECT_EQ(CSqrt(Cmplx(-3, -4)), Cmplx(1, -2));
    EXPECT_EQ(CSqrt(Cmplx(-3, 4)), Cmplx(1, 2));
    EXPECT_EQ(CSqrt(Cmplx(9, 0)), Cmplx(3, 0));

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-10, 10);
    for (int i = 0; i < 200; ++i) {
        const TComplex a = Cmplx(u(rng), u(rng));
        const TComplex r = CSqrt(a);
        EXPECT_GE(r.re, 0.0);
        const TComplex back = CSqr(r);
        const double scale = double(CAbs(a));
        EXPECT_NEAR(back.re, a.re, 1e-14 * scale) << a.re << " " << a.im;
        EXPECT_NEAR(back.im, a.im, 1e-14 * scale) << a.re << " " << a.im;
    }
}

TEST(ComplexExp, ExpAndExpIAndPhasor)
{
    const TComplex e = CExpI(Cmplx(kPi / 2, 0));
    EXPECT_NEAR(e.re, 0.0, 1e-16);
    EXPECT_DOUBLE_EQ(e.im, 1.0);
    // e^(i * i) = e^-1
    const TComplex d = CExpI(Cmplx(0, 1));
    EXPECT_DOUBLE_EQ(d.re, std::exp(-1.0));
    EXPECT_EQ(d.im, 0.0);
    // Euler: e^(ln 2 + i pi) = -2
    const TComplex m = CExp(Cmplx(std::log(2.0), kPi));
    EXPECT_DOUBLE_EQ(m.re, -2.0);
    EXPECT_NEAR(m.im, 0.0, 1e-15);
    const TComplex p = CPhasor(kPi / 3);
    EXPECT_DOUBLE_EQ(p.re, 0.5);
    EXPECT_DOUBLE_EQ(p.im, std::sqrt(3.0) / 2);
}

TEST(ComplexVectors, DotHasNoConjugation)
{
    const TCVec3 u = CVec3(Cmplx(0, 1), Cmplx(0, 0), Cmplx(0, 0));
    EXPECT_EQ(CVec3Dot(u, u), Cmplx(-1, 0));
    // (1 + i, 2, -i) . (2, i, 3) = 2 + 2i + 2i - 3i = 2 + i
    const TCVec3 a = CVec3(Cmplx(1, 1), Cmplx(2, 0), Cmplx(0, -1));
    const TCVec3 b = CVec3(Cmplx(2, 0), Cmplx(0, 1), Cmplx(3, 0));
    EXPECT_EQ(CVec3Dot(a, b), Cmplx(2, 1));
    const TVec3 v = Vec3Scale(Vec3(1, -2, 0.5), 4.0L);
    EXPECT_EQ(v.x, 4.0);
    EXPECT_EQ(v.y, -8.0);
    EXPECT_EQ(v.z, 2.0);
}

TEST(ComplexHelpers, SignAndPrincipalPhase)
{
    EXPECT_EQ(Sign(-0.0L), 0.0L);
    EXPECT_EQ(Sign(0.0L), 0.0L);
    EXPECT_EQ(Sign(-1e-300L), -1.0L);
    EXPECT_EQ(Sign(5.0L), 1.0L);
    EXPECT_EQ(Sign(TExtended(NAN)), 0.0L);
    // Phases lie in (-pi, pi]: the negative real axis is +pi for both zeros.
    EXPECT_EQ(PrincipalPhase(-1, 0.0), kPi);
    EXPECT_EQ(PrincipalPhase(-1, -0.0), kPi);
    EXPECT_EQ(PrincipalPhase(0, 0), 0.0);
    EXPECT_DOUBLE_EQ(PrincipalPhase(0, -2), -kPi / 2);
}

} // namespace
} // namespace ksn
