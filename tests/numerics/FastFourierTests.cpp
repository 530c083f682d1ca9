// The fast transform (FFTW) against the reference transform and the explicit sums.
#include "numerics/ComplexArray.h"
#include "numerics/FastFourier.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace ksn {
namespace {

using test::ErrorTextOf;

TComplexArray RandomArray(int nx, int ny, unsigned seed)
{
    TComplexArray a(nx, ny);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x)
            a.SetAt(x, y, Cmplx(u(rng), u(rng)));
    return a;
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

struct TShape {
    int nx, ny;
};

// One row or column, axes of length 2 (where the centred sum changes sign), squares and
// oblongs both ways; 64 x 64 and 32 x 128 use more than one row block and panel.
const TShape kShapes[] = {{1, 1}, {2, 1}, {1, 2}, {1, 64}, {64, 1}, {2, 32}, {32, 2}, {2, 2},
                          {16, 16}, {64, 64}, {32, 128}, {128, 8}};

TEST(FastFourier, CentredTransformMatchesTheReferenceOnEveryShape)
{
    for (const TShape s : kShapes)
        for (const int sign : {+1, -1}) {
            const TComplexArray input = RandomArray(s.nx, s.ny, unsigned(s.nx * 131 + s.ny));
            TComplexArray reference = input, fast = input;
            reference.FFT(sign);
            FastCentredFFT(fast, sign);
            EXPECT_LE(MaxDiff(fast, reference), 1e-12 * MaxAbs(reference))
                << s.nx << " x " << s.ny << " sign " << sign;
        }
}

TEST(FastFourier, RoundTripRestoresTheArrayAndDeltaAtTheCentreIsFlat)
{
    for (const TShape s : kShapes) {
        const TComplexArray input = RandomArray(s.nx, s.ny, 7);
        TComplexArray a = input;
        FastCentredFFT(a, +1);
        FastCentredFFT(a, -1);
        EXPECT_LE(MaxDiff(a, input), 1e-14 * MaxAbs(input)) << s.nx << " x " << s.ny;
    }
    // A unit impulse at the centred origin (nx/2, ny/2) has a flat spectrum of 1.
    TComplexArray delta(16, 8);
    delta.SetAt(8, 4, {1.0, 0.0});
    FastCentredFFT(delta, +1);
    for (int i = 0; i < delta.Count(); ++i) {
        EXPECT_NEAR(delta.Re()[i], 1.0, 1e-15) << i;
        EXPECT_NEAR(delta.Im()[i], 0.0, 1e-15) << i;
    }
}

// The unscaled composed transform, in place on interleaved values:
//   a'(c, r) = sum_{i,j} a(j, i) e^{-sign 2 pi i (j c/nx + i r/ny)}.
TEST(FastFourier, ComposedTransformIsTheExplicitSum)
{
    using TCplx = std::complex<long double>;
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    for (const TShape s : {TShape{1, 1}, TShape{2, 1}, TShape{1, 8}, TShape{8, 4}, TShape{4, 32}, TShape{32, 16}})
        for (const int sign : {+1, -1}) {
            const size_t n = size_t(s.nx) * size_t(s.ny);
            TFastFourier2D transform;
            transform.Setup(s.nx, s.ny);
            TComplexBuffer data(n), panel(transform.PanelSize());
            std::vector<TCplx> input(n);
            for (size_t p = 0; p < n; ++p) {
                input[p] = TCplx(std::sin(1.3L * p + 0.2L), std::cos(0.7L * p * p - 1.0L));
                data.Data()[2 * p] = double(input[p].real());
                data.Data()[2 * p + 1] = double(input[p].imag());
            }
            transform.Run(data.Data(), sign, panel.Data());
            double worst = 0, norm = 0;
            for (int r = 0; r < s.ny; ++r)
                for (int c = 0; c < s.nx; ++c) {
                    TCplx sum = 0;
                    for (int i = 0; i < s.ny; ++i)
                        for (int j = 0; j < s.nx; ++j)
                            sum += input[size_t(j + i * s.nx)] *
                                   std::polar(1.0L, -sign * twoPi * (TCplx::value_type(j * c) / s.nx +
                                                                     TCplx::value_type(i * r) / s.ny));
                    const size_t p = size_t(c + r * s.nx);
                    worst = std::max(worst, double(std::abs(TCplx(data.Data()[2 * p], data.Data()[2 * p + 1]) - sum)));
                    norm = std::max(norm, double(std::abs(sum)));
                }
            EXPECT_LE(worst, 1e-13 * norm) << s.nx << " x " << s.ny << " sign " << sign;
        }
}

TEST(FastFourier, PanelLayoutHoldsEachColumnBlockSideBySide)
{
    TFastFourier2D transform;
    transform.Setup(64, 4);
    ASSERT_EQ(transform.Panels() * transform.PanelWidth(), 64);
    const size_t n = 64 * 4;
    TComplexBuffer data(n), panel(transform.PanelSize()), back(n);
    for (size_t p = 0; p < 2 * n; ++p)
        data.Data()[p] = double(p);
    std::fill_n(back.Data(), 2 * n, -1.0);
    for (int b = 0; b < transform.Panels(); ++b) {
        transform.LoadPanel(data.Data(), b, panel.Data());
        for (int i = 0; i < 4; ++i)
            for (int jj = 0; jj < transform.PanelWidth(); ++jj) {
                const int j = b * transform.PanelWidth() + jj;
                const size_t inPanel = transform.PanelOffset(j, i) - size_t(b) * transform.PanelSize();
                ASSERT_EQ(panel.Data()[2 * inPanel], data.Data()[2 * size_t(j + 64 * i)]) << j << ", " << i;
            }
        transform.StorePanel(panel.Data(), b, back.Data());
    }
    for (size_t p = 0; p < 2 * n; ++p)
        ASSERT_EQ(back.Data()[p], data.Data()[p]) << p;
}

TEST(FastFourier, RefusalsAndUncentredAxesFollowTheReference)
{
    TComplexArray odd = RandomArray(6, 4, 3);
    const TComplexArray before = odd;
    EXPECT_EQ(ErrorTextOf([&] { FastCentredFFT(odd, 1); }), "ComplexArray.FFT: Size is not a power of two: 6 x 4");
    EXPECT_EQ(MaxDiff(odd, before), 0.0) << "a refused transform leaves the data";
    TComplexArray badSign = RandomArray(4, 4, 3);
    EXPECT_EQ(ErrorTextOf([&] { FastCentredFFT(badSign, 2); }), "ComplexArray.FFT: Sign must be +1 or -1: 2");
    TFastFourier2D transform;
    EXPECT_EQ(ErrorTextOf([&] { transform.Setup(12, 4); }), "FastFourier: Size is not a power of two: 12 x 4");

    // An array with an uncentred axis is transformed exactly as the reference does it.
    TComplexArray a = RandomArray(8, 4, 11);
    a.XAxis().SetCentred(false);
    TComplexArray reference = a;
    reference.FFT(+1);
    FastCentredFFT(a, +1);
    EXPECT_EQ(MaxDiff(a, reference), 0.0);
}

} // namespace
} // namespace ksn
