#include "numerics/ComplexArray.h"
#include "numerics/FFT12.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace ksn {
namespace {

using test::ErrorTextOf;

void FillRandom(TComplexArray& a, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int y = 0; y < a.Ny(); ++y)
        for (int x = 0; x < a.Nx(); ++x)
            a.SetAt(x, y, Cmplx(u(rng), u(rng)));
}

double MaxAbs(const TComplexArray& a)
{
    double m = 0;
    for (int i = 0; i < a.Count(); ++i)
        m = std::max(m, std::hypot(a.Re()[i], a.Im()[i]));
    return m;
}

double MaxDiff(const TComplexArray& a, const TComplexArray& b)
{
    double m = 0;
    for (int i = 0; i < a.Count(); ++i)
        m = std::max(m, std::hypot(a.Re()[i] - b.Re()[i], a.Im()[i] - b.Im()[i]));
    return m;
}

// Direct centred DFT, O(N^2) per axis, in extended precision:
//   X[kx, ky] = s * sum x[jx, jy] e^(-sign 2 pi i ((jx - nx/2)(kx - nx/2)/nx + (jy - ny/2)(ky - ny/2)/ny))
// with s = 1 forward and 1/(nx ny) inverse. N/2 is the integer half, so an axis of
// length 1 contributes the identity.
TComplexArray DirectCentredDft(const TComplexArray& in, int sign)
{
    const int nx = in.Nx(), ny = in.Ny();
    TComplexArray out(nx, ny);
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    const long double scale = sign < 0 ? 1.0L / ((long double)nx * ny) : 1.0L;
    for (int ky = 0; ky < ny; ++ky)
        for (int kx = 0; kx < nx; ++kx) {
            long double sr = 0, si = 0;
            for (int jy = 0; jy < ny; ++jy)
                for (int jx = 0; jx < nx; ++jx) {
                    const long double phase =
                        -sign * twoPi *
                        ((long double)(jx - nx / 2) * (kx - nx / 2) / nx + (long double)(jy - ny / 2) * (ky - ny / 2) / ny);
                    const long double c = std::cos(phase), s = std::sin(phase);
                    const TComplex v = in.At(jx, jy);
                    sr += v.re * c - v.im * s;
                    si += v.re * s + v.im * c;
                }
            out.SetAt(kx, ky, Cmplx(double(sr * scale), double(si * scale)));
        }
    return out;
}

TEST(FFT, ForwardInverseRestoresEveryPowerOfTwoSize)
{
    for (int nx = 1; nx <= 512; nx *= 2)
        for (int ny = 1; ny <= 512; ny *= 2) {
            TComplexArray a(nx, ny);
            FillRandom(a, unsigned(nx * 1000 + ny));
            const TComplexArray original = a;
            a.FFT(+1);
            a.FFT(-1);
            const double rel = MaxDiff(a, original) / MaxAbs(original);
            EXPECT_LE(rel, 1e-12) << nx << " x " << ny;
        }
}

TEST(FFT, CentredTransformEqualsDirectDft)
{
    struct TCase {
        int nx, ny;
    };
    for (const TCase c : {TCase{8, 8}, TCase{16, 4}, TCase{4, 16}, TCase{8, 1}})
        for (int sign : {+1, -1}) {
            TComplexArray a(c.nx, c.ny);
            FillRandom(a, unsigned(c.nx + 31 * c.ny));
            const TComplexArray want = DirectCentredDft(a, sign);
            a.FFT(sign);
            EXPECT_LE(MaxDiff(a, want), 1e-12 * std::max(1.0, MaxAbs(want)))
                << c.nx << " x " << c.ny << " sign " << sign;
        }
}

TEST(FFT, AxisOfLengthTwoGivesNegatedCentredDft)
{
    // e^(-i pi N/2) is -1 for N = 2: each axis of length 2 flips the sign once.
    struct TCase {
        int nx, ny;
        double factor;
    };
    for (const TCase c : {TCase{2, 8, -1.0}, TCase{8, 2, -1.0}, TCase{2, 2, 1.0}, TCase{2, 1, -1.0}}) {
        TComplexArray a(c.nx, c.ny);
        FillRandom(a, 5);
        TComplexArray want = DirectCentredDft(a, +1);
        for (int i = 0; i < want.Count(); ++i) {
            want.Re()[i] *= c.factor;
            want.Im()[i] *= c.factor;
        }
        a.FFT(+1);
        EXPECT_LE(MaxDiff(a, want), 1e-13 * MaxAbs(want)) << c.nx << " x " << c.ny;
    }
}

TEST(FFT, ParsevalHoldsForUnscaledForward)
{
    // sum |X|^2 = nx ny sum |x|^2
    TComplexArray a(64, 32);
    FillRandom(a, 99);
    long double before = 0, after = 0;
    for (int i = 0; i < a.Count(); ++i)
        before += (long double)a.Re()[i] * a.Re()[i] + (long double)a.Im()[i] * a.Im()[i];
    a.FFT(+1);
    for (int i = 0; i < a.Count(); ++i)
        after += (long double)a.Re()[i] * a.Re()[i] + (long double)a.Im()[i] * a.Im()[i];
    EXPECT_NEAR(double(after / (64.0L * 32.0L * before)), 1.0, 1e-13);
}

TEST(FFT, ConstantAndDeltaFields)
{
    TComplexArray c(8, 8);
    c.Fill(Cmplx(1, 0));
    c.FFT(+1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const double want = (x == 4 && y == 4) ? 64.0 : 0.0;
            EXPECT_NEAR(c.At(x, y).re, want, 1e-13) << x << "," << y;
            EXPECT_NEAR(c.At(x, y).im, 0.0, 1e-13) << x << "," << y;
        }
    c.FFT(-1);
    for (int i = 0; i < 64; ++i) {
        EXPECT_NEAR(c.Re()[i], 1.0, 1e-15);
        EXPECT_NEAR(c.Im()[i], 0.0, 1e-15);
    }

    // A unit impulse at the centred origin has a flat spectrum.
    TComplexArray d(8, 8);
    d.SetAt(4, 4, Cmplx(1, 0));
    d.FFT(+1);
    for (int i = 0; i < 64; ++i) {
        EXPECT_NEAR(d.Re()[i], 1.0, 1e-15);
        EXPECT_NEAR(d.Im()[i], 0.0, 1e-15);
    }

    // An impulse at index (0, 0), half a grid from the origin, alternates in sign.
    TComplexArray e(8, 8);
    e.SetAt(0, 0, Cmplx(1, 0));
    e.FFT(+1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_NEAR(e.At(x, y).re, ((x + y) % 2 == 0) ? 1.0 : -1.0, 1e-15) << x << "," << y;
            EXPECT_NEAR(e.At(x, y).im, 0.0, 1e-15);
        }
}

TEST(FFT, SingleRowIsTransformedAlongXOnly)
{
    TComplexArray a(8, 1);
    a.SetAt(0, 0, Cmplx(1, 0));
    a.FFT(+1);
    // Modulation (-1)^x alone: impulse at x = 0 gives (-1)^k.
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(a.At(k, 0).re, (k % 2 == 0) ? 1.0 : -1.0, 1e-15) << k;
    // One column (nx = 1): the row pass is the identity, the column pass does the work.
    TComplexArray col(1, 8);
    col.SetAt(0, 4, Cmplx(2, 0));
    col.FFT(+1);
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(col.At(0, k).re, 2.0, 1e-15) << k;
}

TEST(FFT, PolarInputIsConvertedFirst)
{
    TComplexArray cart(8, 4);
    FillRandom(cart, 3);
    TComplexArray polar = cart;
    polar.ToPolar();
    cart.FFT(+1);
    polar.FFT(+1);
    EXPECT_FALSE(polar.IsPolar());
    EXPECT_LE(MaxDiff(polar, cart), 1e-13 * MaxAbs(cart));
}

TEST(FFT, NonPowerOfTwoSizeIsRefusedAndDataKept)
{
    TComplexArray a(6, 4);
    a.SetAt(1, 1, Cmplx(3, 0));
    EXPECT_EQ(ErrorTextOf([&] { a.FFT(+1); }), "ComplexArray.FFT: Size is not a power of two: 6 x 4");
    EXPECT_EQ(a.At(1, 1), Cmplx(3, 0));
    EXPECT_EQ(a.At(0, 0), Cmplx(0, 0));
    TComplexArray b(4, 12);
    b.ToPolar();
    EXPECT_NE(ErrorTextOf([&] { b.FFT(-1); }), "<no error>");
    EXPECT_TRUE(b.IsPolar()); // not even the form is switched
    TComplexArray c(4, 4);
    c.SetAt(2, 2, Cmplx(1, 0));
    EXPECT_EQ(ErrorTextOf([&] { c.FFT(0); }), "ComplexArray.FFT: Sign must be +1 or -1: 0");
    EXPECT_EQ(c.At(2, 2), Cmplx(1, 0));

    std::vector<double> re(3, 1.0), im(3, 0.0);
    EXPECT_EQ(ErrorTextOf([&] { FFT1D(re.data(), im.data(), 3, +1); }), "FFT1D: Length is not a power of two: 3");
    EXPECT_EQ(ErrorTextOf([&] { FFTColumns(re.data(), im.data(), 1, +1, 3); }),
              "FFTColumns: Length is not a power of two: 3");
    EXPECT_EQ(ErrorTextOf([&] { FFT1D(re.data(), im.data(), 2, 2); }), "FFT1D: Sign must be +1 or -1: 2");
    EXPECT_EQ(re[1], 1.0);
}

TEST(FFT, OneDimensionalKernelMatchesPlainDft)
{
    // sign +1: X[k] = sum x[j] e^(-2 pi i jk/n), unscaled, no centring.
    const int n = 16;
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> re(n), im(n);
    for (int i = 0; i < n; ++i) {
        re[size_t(i)] = u(rng);
        im[size_t(i)] = u(rng);
    }
    const std::vector<double> r0 = re, i0 = im;
    FFT1D(re.data(), im.data(), n, +1);
    for (int k = 0; k < n; ++k) {
        long double sr = 0, si = 0;
        for (int j = 0; j < n; ++j) {
            const long double ph = -2.0L * std::numbers::pi_v<long double> * j * k / n;
            sr += r0[size_t(j)] * std::cos(ph) - i0[size_t(j)] * std::sin(ph);
            si += r0[size_t(j)] * std::sin(ph) + i0[size_t(j)] * std::cos(ph);
        }
        EXPECT_NEAR(re[size_t(k)], double(sr), 1e-13) << k;
        EXPECT_NEAR(im[size_t(k)], double(si), 1e-13) << k;
    }
}

TEST(FFT, ColumnPassAgreesWithOneDimensionalKernelPerColumn)
{
    const int nx = 5, ny = 32; // any nx: the column pass sweeps whole rows
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> re(size_t(nx * ny)), im(size_t(nx * ny));
    for (size_t i = 0; i < re.size(); ++i) {
        re[i] = u(rng);
        im[i] = u(rng);
    }
    for (int sign : {+1, -1}) {
        std::vector<double> cr = re, ci = im;
        FFTColumns(cr.data(), ci.data(), nx, sign, ny);
        for (int x = 0; x < nx; ++x) {
            std::vector<double> sr(ny), si(ny);
            for (int y = 0; y < ny; ++y) {
                sr[size_t(y)] = re[size_t(x + y * nx)];
                si[size_t(y)] = im[size_t(x + y * nx)];
            }
            FFT1D(sr.data(), si.data(), ny, sign);
            for (int y = 0; y < ny; ++y) {
                EXPECT_EQ(cr[size_t(x + y * nx)], sr[size_t(y)]) << x << "," << y;
                EXPECT_EQ(ci[size_t(x + y * nx)], si[size_t(y)]) << x << "," << y;
            }
        }
    }
}

} // namespace
} // namespace ksn
