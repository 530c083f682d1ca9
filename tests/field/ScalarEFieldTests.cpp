// The scalar E-field: accessors and the scalar beam generator.
#include "field/ScalarEField.h"

#include "field/FieldTestGrids.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksn {
namespace {

using test::MicronGrid;
using test::PlaneWave;
using test::TRecordingSink;

constexpr double kPi = 3.141592653589793;

double Phase(TComplex c) { return std::atan2(c.im, c.re); }

TEST(ScalarEField, AccessorsStandForTheXComponent)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(4, 4));
    f.SetE(1, 2, {1e-16, 0.0}); // no small-value threshold on E
    EXPECT_EQ(f.GetE(1, 2), (TComplex{1e-16, 0.0}));
    f.SetEX(0, 0, {2.0, 3.0});
    EXPECT_EQ(f.GetE(0, 0), (TComplex{2.0, 3.0}));
    EXPECT_EQ(f.GetEY(0, 0), (TComplex{0.0, 0.0}));
    EXPECT_EQ(f.GetEVec(0, 0).x, (TComplex{2.0, 3.0}));
    EXPECT_TRUE(sink.messages.empty());

    f.SetEVec(3, 3, {{1.0, 0.0}, {0.0, 0.5}, {0.0, 0.0}});
    EXPECT_EQ(f.GetE(3, 3), (TComplex{1.0, 0.0}));
    EXPECT_EQ(sink.messages, std::vector<std::string>{"Attention! Assignment of vector field component to scalar "
                                                      "field instance! y- and z-component will be lost!"});
    f.GetE(4, 0);
    f.SetE(0, -1, {});
    EXPECT_TRUE(sink.HasMessage("Cannot get E[4,0]"));
    EXPECT_TRUE(sink.HasMessage("Cannot set E[0,-1]"));
}

TEST(ScalarEField, AmplitudeFactorIsTheWaveAmplitudeWhateverThePolarisation)
{
    TFieldOptions w = PlaneWave(2.5);
    w.psi = 90.0; // would zero a first-component factor
    w.rho = 30.0;
    const TScalarEField f(MicronGrid(4, 4), w);
    EXPECT_EQ(f.E().At(2, 1), (TComplex{2.5, 0.0}));
    EXPECT_EQ(double(f.GetAmplitudeSum()), 2.5);
}

TEST(ScalarEField, GaussianIsCentredBetweenMiddlePixelsAndFallsToExpMinusPiAtSigma)
{
    TFieldOptions w = PlaneWave();
    w.shape = TBeamShape::gaussian;
    w.sigmaX = w.sigmaY = 1.0;
    // Odd grid: the centre (nx-1)/2 is a pixel.
    TScalarEField odd(MicronGrid(9, 9), w);
    EXPECT_NEAR(odd.E().At(4, 4).re, 1.0, 1e-15);
    EXPECT_NEAR(odd.E().At(8, 4).re, std::exp(-kPi), 1e-15);
    EXPECT_NEAR(odd.E().At(4, 0).re, std::exp(-kPi), 1e-15);
    // Even grid: symmetric about the point between pixels 3 and 4.
    TScalarEField even(MicronGrid(8, 8), w);
    EXPECT_NEAR(even.E().At(3, 5).re, even.E().At(4, 2).re, 1e-15);
    EXPECT_NEAR(even.E().At(0, 3).re, even.E().At(7, 4).re, 1e-15);
}

TEST(ScalarEField, ShiftsMoveTheBeamAndShiftZEntersThePhase)
{
    TFieldOptions w = PlaneWave();
    w.shape = TBeamShape::gaussian;
    w.sigmaX = w.sigmaY = 1.0;
    w.shiftX = 0.5;  // two pixels
    w.shiftY = -0.25; // one pixel
    const TScalarEField shifted(MicronGrid(9, 9), w);
    EXPECT_NEAR(shifted.E().At(6, 3).re, 1.0, 1e-15);

    TFieldOptions p = PlaneWave(1.0);
    p.shiftZ = 0.125; // an eighth of the wavelength: phase -k0 * shiftZ = -pi/4
    const TScalarEField f(MicronGrid(4, 4), p);
    EXPECT_NEAR(Phase(f.E().At(1, 3)), -kPi / 4, 1e-12);
    EXPECT_NEAR(CAbs(f.E().At(1, 3)), 1.0, 1e-15);
}

TEST(ScalarEField, TiltedBeamHasThePhaseGradientOfItsWaveVector)
{
    TFieldOptions w = PlaneWave();
    w.theta = 10.0;
    w.rho = 90.0; // tilt along y
    const TScalarEField f(MicronGrid(4, 8), w);
    const double step = 2 * kPi / 1e-6 * std::sin(10 * kPi / 180) * 0.25e-6; // ky dy u
    for (int iy = 0; iy + 1 < 8; ++iy) {
        const TComplex a = f.E().At(0, iy), b = f.E().At(0, iy + 1);
        const TComplex ratio{a.re * b.re + a.im * b.im, a.re * b.im - a.im * b.re}; // b conj(a)
        EXPECT_NEAR(Phase(ratio), step, 1e-12);
        EXPECT_NEAR(Phase(f.E().At(0, iy)), Phase(f.E().At(3, iy)), 1e-12); // no phase along x
    }
}

TEST(ScalarEField, AddBeamAndRegenerateSumTheWaveList)
{
    TScalarEField f(MicronGrid(4, 4));
    EXPECT_TRUE(f.AddBeam(f.Grid(), PlaneWave(1.0), nullptr));
    EXPECT_TRUE(f.AddBeam(f.Grid(), PlaneWave(1.0), nullptr));
    EXPECT_EQ(f.GetE(2, 2), (TComplex{2.0, 0.0}));
    EXPECT_EQ(double(f.GetAmplitudeSum()), 2.0);

    TScalarEField g(MicronGrid(4, 4), PlaneWave(1.0));
    g.Replace(1, PlaneWave(0.5));
    g.SetE(0, 0, {9.0, 9.0});
    g.Regenerate(nullptr);
    EXPECT_EQ(g.GetE(0, 0), (TComplex{1.5, 0.0}));
    EXPECT_EQ(double(g.GetAmplitudeSum()), 1.5); // not the sum of every generation so far
}

TEST(ScalarEField, InvalidWavesAreRefusedAndLeaveTheFieldUnchanged)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(4, 4), PlaneWave(1.0));
    TFieldOptions noLambda = PlaneWave();
    noLambda.lambda = 0.0;
    TFieldOptions noWidth = PlaneWave();
    noWidth.shape = TBeamShape::gaussian;
    noWidth.sigmaX = 1.0; // sigmaY = 0 on a grid with four rows
    TFieldOptions nanAngle = PlaneWave();
    nanAngle.theta = std::nan("");
    EXPECT_FALSE(f.AddBeam(f.Grid(), noLambda, nullptr));
    EXPECT_FALSE(f.AddBeam(f.Grid(), noWidth, nullptr));
    EXPECT_FALSE(f.AddBeam(f.Grid(), nanAngle, nullptr));
    EXPECT_FALSE(f.AddBeam(MicronGrid(8, 4), PlaneWave(), nullptr));
    EXPECT_EQ(sink.messages.size(), 4u);
    EXPECT_EQ(f.GetE(1, 1), (TComplex{1.0, 0.0}));
    EXPECT_EQ(double(f.GetAmplitudeSum()), 1.0);

    // One row has no extent along y: a zero sigmaY means no envelope there.
    TScalarEField line(MicronGrid(8, 1), noWidth);
    EXPECT_EQ(sink.messages.size(), 4u);
    EXPECT_NEAR(line.E().At(0, 0).re, std::exp(-kPi * 0.875 * 0.875), 1e-15);
}

} // namespace
} // namespace ksn
