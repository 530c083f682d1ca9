#include "numerics/ComplexArray.h"
#include "numerics/ComplexVector.h"
#include "numerics/RealArray.h"
#include "numerics/RealVector.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace ksn {
namespace {

using test::ErrorTextOf;

TEST(RealVector, RangeCheckHonoursBaseAndNamesIndex)
{
    TRealVector v(3);
    v.SetBase(1);
    v.Put(1, 10);
    v.Put(3, 30);
    EXPECT_EQ(v.Get(1), 10);
    EXPECT_EQ(v.Get(3), 30);
    EXPECT_EQ(v.Data()[0], 10); // element i lives at i - base
    v.rangeCheck = true;
    EXPECT_EQ(ErrorTextOf([&] { v.Get(0); }), "RealVector: Read beyond range: 0");
    EXPECT_EQ(ErrorTextOf([&] { v.Get(4); }), "RealVector: Read beyond range: 4");
    EXPECT_EQ(ErrorTextOf([&] { v.Get(-7); }), "RealVector: Read beyond range: -7");
    EXPECT_EQ(ErrorTextOf([&] { v.Get(3); }), "<no error>");
}

TEST(RealVector, SetLengthZeroesOnlyWhenCountChanges)
{
    TRealVector v(4);
    v.Put(2, 5);
    v.SetLength(4);
    EXPECT_EQ(v.Get(2), 5);
    v.SetLength(6);
    EXPECT_EQ(v.Count(), 6);
    EXPECT_EQ(v.Axis().points, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(v.Get(i), 0.0);
}

TEST(RealVector, MaxMinScanFromFirstElement)
{
    TRealVector v(4);
    const double values[] = {-2, 7, -9, 7};
    for (int i = 0; i < 4; ++i)
        v.Put(i, values[i]);
    EXPECT_EQ(v.Max(), 7);
    EXPECT_EQ(v.Min(), -9);
    TRealVector negative(3);
    for (int i = 0; i < 3; ++i)
        negative.Put(i, -1.0 - i);
    // All elements negative: the maximum is not the zero a wrong seed would give.
    EXPECT_EQ(negative.Max(), -1.0);
}

TEST(RealArray, RangeMessagesForEachAxisAndDirection)
{
    TRealArray a(4, 2);
    a.SetBase(1);
    a.rangeCheck = true;
    EXPECT_EQ(ErrorTextOf([&] { a.Put(0, 1, 1.0); }), "RealArray: Write x beyond range: 0");
    EXPECT_EQ(ErrorTextOf([&] { a.Put(1, 3, 1.0); }), "RealArray: Write y beyond range: 3");
    EXPECT_EQ(ErrorTextOf([&] { a.Get(5, 1); }), "RealArray: Read x beyond range: 5");
    EXPECT_EQ(ErrorTextOf([&] { a.Get(4, 0); }), "RealArray: Read y beyond range: 0");
    // The last valid element is accepted and stored at (x - base) + (y - base) * nx.
    a.Put(4, 2, 8.5);
    EXPECT_EQ(a.Data()[3 + 1 * 4], 8.5);
    EXPECT_EQ(a.Get(4, 2), 8.5);
}

TEST(RealArray, SetSizeKeepsBlockWhenUnchangedAndZeroesOtherwise)
{
    TRealArray a(4, 8);
    a.At(3, 7) = 2.0;
    a.SetSize(0, 4); // same value: nothing happens
    EXPECT_EQ(a.At(3, 7), 2.0);
    a.SetSize(1, 4);
    EXPECT_EQ(a.Nx(), 4);
    EXPECT_EQ(a.Ny(), 4);
    EXPECT_EQ(a.YAxis().points, 4);
    for (int i = 0; i < a.Count(); ++i)
        EXPECT_EQ(a.Data()[i], 0.0);
    // A dimension change that keeps nx*ny (possible only while the other one is 0)
    // keeps the (empty) block and still updates the axis.
    TRealArray e(0, 5);
    e.SetSize(1, 7);
    EXPECT_EQ(e.Count(), 0);
    EXPECT_EQ(e.YAxis().points, 7);
}

TEST(RealArray, AssignAndPreset)
{
    TRealArray src(3, 2);
    src.XAxis().SetScale(2.5);
    src.YAxis().SetCentred(false);
    const std::vector<double> block = {1, 2, 3, 4, 5, 6};
    src.Preset(block.data(), block.size());
    EXPECT_EQ(src.At(2, 0), 3);
    EXPECT_EQ(src.At(0, 1), 4); // row by row, x fastest
    EXPECT_EQ(src.Max(), 6);

    TRealArray dst(7, 7);
    dst.Assign(src);
    EXPECT_EQ(dst.Nx(), 3);
    EXPECT_EQ(dst.Ny(), 2);
    EXPECT_EQ(dst.At(1, 1), 5);
    EXPECT_EQ(dst.XAxis().scale, 2.5);
    EXPECT_FALSE(dst.YAxis().centred);

    const std::vector<double> wrong(5, 1.0);
    EXPECT_EQ(ErrorTextOf([&] { dst.Preset(wrong.data(), wrong.size()); }), "RealArray.Preset: Sizes don't match");
    EXPECT_EQ(dst.At(0, 0), 1); // a refused preset leaves the elements alone
}

TEST(ComplexVector, RangeMessagesAndComponentSwitching)
{
    TComplexVector v(2);
    v.rangeCheck = true;
    EXPECT_EQ(ErrorTextOf([&] { v.Put(2, Cmplx(1, 1)); }), "ComplexVector: write ix beyond range");
    EXPECT_EQ(ErrorTextOf([&] { v.Get(-1); }), "ComplexVector: read ix beyond range");

    v.Put(0, Cmplx(0, 2));
    v.Put(1, Cmplx(-3, 0));
    TRealVector& modulus = v.Component(2);
    EXPECT_TRUE(v.IsPolar());
    EXPECT_EQ(modulus.Get(0), 2);
    EXPECT_EQ(modulus.Get(1), 3);
    EXPECT_DOUBLE_EQ(v.Component(3).Get(0), std::numbers::pi / 2);
    // Resizing keeps the form; element access converts back to Cartesian.
    v.SetLength(2);
    EXPECT_TRUE(v.IsPolar());
    const TComplex back = v.Get(1);
    EXPECT_FALSE(v.IsPolar());
    EXPECT_NEAR(back.re, -3, 1e-15);
    EXPECT_NEAR(back.im, 0, 1e-15);
    EXPECT_EQ(v.Component(1).Get(0), 2.0);
    EXPECT_EQ(ErrorTextOf([&] { v.Component(4); }), "ComplexVector.Component: Invalid selector: 4");
}

TEST(ComplexArray, WriteRangeCheckAndUncheckedRead)
{
    TComplexArray a(2, 4);
    a.SetBase(1);
    a.rangeCheck = true;
    EXPECT_EQ(ErrorTextOf([&] { a.Put(3, 1, Cmplx(1, 0)); }), "ComplexArray: Write x beyond range: 3");
    EXPECT_EQ(ErrorTextOf([&] { a.Put(1, 0, Cmplx(1, 0)); }), "ComplexArray: Write y beyond range: 0");
    a.Put(2, 4, Cmplx(5, -6));
    EXPECT_EQ(a.Get(2, 4), Cmplx(5, -6));
    EXPECT_EQ(a.At(1, 3), Cmplx(5, -6));
}

TEST(ComplexArray, PolarConversionConventions)
{
    TComplexArray a(4, 1);
    a.SetAt(0, 0, Cmplx(0, 0));
    a.SetAt(1, 0, Cmplx(-1, 0.0));
    a.SetAt(2, 0, Cmplx(-1, -0.0));
    a.SetAt(3, 0, Cmplx(0, -2));
    const TRealArray& phase = a.Component(3);
    const TRealArray& modulus = a.FirstPart();
    EXPECT_EQ(modulus.At(0, 0), 0.0);
    EXPECT_EQ(phase.At(0, 0), 0.0);
    EXPECT_EQ(phase.At(1, 0), std::numbers::pi);
    EXPECT_EQ(phase.At(2, 0), std::numbers::pi); // (-pi, pi]: never -pi
    EXPECT_EQ(modulus.At(3, 0), 2.0);
    EXPECT_DOUBLE_EQ(phase.At(3, 0), -std::numbers::pi / 2);
    // ComponentData hands out the block of the requested quantity after switching.
    EXPECT_EQ(a.ComponentData(0), a.FirstPart().Data());
    EXPECT_FALSE(a.IsPolar());
    EXPECT_NEAR(a.At(3, 0).im, -2.0, 1e-15);
    EXPECT_EQ(ErrorTextOf([&] { a.Component(-1); }), "ComplexArray.Component: Invalid selector: -1");
}

TEST(ComplexArray, PolarRoundTripRestoresValues)
{
    TComplexArray a(16, 8);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-5, 5);
    std::vector<TComplex> ref;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            ref.push_back(Cmplx(u(rng), u(rng)));
            a.SetAt(x, y, ref.back());
        }
    a.ToPolar();
    a.ToPolar(); // a second call must not convert twice
    a.ToCartesian();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const TComplex want = ref[size_t(x + 16 * y)];
            EXPECT_NEAR(a.At(x, y).re, want.re, 1e-14);
            EXPECT_NEAR(a.At(x, y).im, want.im, 1e-14);
        }
}

TEST(ComplexArray, AssignCopiesFormBaseAndAxes)
{
    TComplexArray src(2, 2);
    src.SetAt(1, 0, Cmplx(3, 4));
    src.SetBase(-1);
    src.XAxis().SetSpectral(true);
    src.ToPolar();
    TComplexArray dst(8, 8);
    dst.Assign(src);
    EXPECT_TRUE(dst.IsPolar());
    EXPECT_EQ(dst.Base(), -1);
    EXPECT_EQ(dst.SecondPart().Base(), -1);
    EXPECT_EQ(dst.Nx(), 2);
    EXPECT_TRUE(dst.XAxis().spectral);
    EXPECT_EQ(dst.FirstPart().At(1, 0), 5.0);
    EXPECT_NEAR(dst.Get(0, -1).re, 3.0, 1e-15); // element (1, 0) counted from the base -1
    EXPECT_FALSE(dst.IsPolar());
}

TEST(ComplexArray, SetSizeResizesBothPartsAndKeepsForm)
{
    TComplexArray a(4, 4);
    a.ToPolar();
    a.SetSize(0, 8);
    EXPECT_EQ(a.Nx(), 8);
    EXPECT_EQ(a.SecondPart().Nx(), 8);
    EXPECT_EQ(a.Count(), 32);
    EXPECT_TRUE(a.IsPolar());
}

TEST(ComplexArray, GetRowAndColumnCopyAndCheckBase)
{
    TComplexArray a(3, 2);
    a.SetBase(1);
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 3; ++x)
            a.Put(x, y, Cmplx(x, 10 * y));
    TComplexVector row;
    row.SetBase(1);
    a.GetRow(2, row);
    ASSERT_EQ(row.Count(), 3);
    EXPECT_EQ(row.Get(3), Cmplx(3, 20));
    TComplexVector column;
    column.SetBase(1);
    a.GetColumn(3, column);
    ASSERT_EQ(column.Count(), 2);
    EXPECT_EQ(column.Get(1), Cmplx(3, 10));
    EXPECT_EQ(column.Get(2), Cmplx(3, 20));

    TComplexVector zeroBased(5);
    EXPECT_EQ(ErrorTextOf([&] { a.GetRow(1, zeroBased); }), "GetColumn: different base");
    EXPECT_EQ(ErrorTextOf([&] { a.GetColumn(1, zeroBased); }), "GetColumn: different base");
    EXPECT_EQ(zeroBased.Count(), 5); // refused before resizing
}

} // namespace
} // namespace ksn
