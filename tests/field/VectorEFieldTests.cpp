// The vector E-field: polarisation, beam shapes, media and the energy flux.
#include "field/VectorEField.h"

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
constexpr double kK0 = 2 * kPi / 1e-6; // vacuum wave number at 1 micrometre

double Phase(TComplex c) { return std::atan2(c.im, c.re); }

bool AllFinite(TVectorEField& f)
{
    for (int y = 0; y < f.GetYSize(); ++y)
        for (int x = 0; x < f.GetXSize(); ++x) {
            const TCVec3 e = f.GetEVec(x, y);
            for (const TComplex c : {e.x, e.y, e.z})
                if (!std::isfinite(c.re) || !std::isfinite(c.im))
                    return false;
        }
    return true;
}

TEST(VectorEField, NormalPlaneWavePolarisations)
{
    TVectorEField p(MicronGrid(4, 4), PlaneWave());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(p.GetEX(x, y), (TComplex{1.0, 0.0}));
            EXPECT_EQ(p.GetEY(x, y), (TComplex{0.0, 0.0}));
            EXPECT_EQ(p.GetEZ(x, y), (TComplex{0.0, 0.0}));
        }

    TFieldOptions s = PlaneWave();
    s.psi = 90.0; // cos(90 deg) is 6e-17, below the threshold: EX exactly 0
    TVectorEField sf(MicronGrid(4, 4), s);
    EXPECT_EQ(sf.GetEX(2, 1), (TComplex{0.0, 0.0}));
    EXPECT_NEAR(sf.GetEY(2, 1).re, 1.0, 1e-15);

    TFieldOptions c = PlaneWave();
    c.psi = 45.0;
    c.delta = 90.0; // circular: EX = -i/sqrt(2), EY = 1/sqrt(2)
    TVectorEField cf(MicronGrid(4, 4), c);
    EXPECT_NEAR(cf.GetEX(0, 3).re, 0.0, 1e-15);
    EXPECT_NEAR(cf.GetEX(0, 3).im, -std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(cf.GetEY(0, 3).re, std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(cf.GetEY(0, 3).im, 0.0, 1e-15);
}

TEST(VectorEField, TiltedPolarisationIsTransverseToTheWaveVector)
{
    TFieldOptions w = PlaneWave(2.0);
    w.theta = 35.0;
    w.rho = 20.0;
    w.psi = 30.0;
    w.delta = 40.0;
    TVectorEField f(MicronGrid(4, 4), w);
    const TCVec3 e = f.GetEVec(2, 2);
    const double t = 35 * kPi / 180, r = 20 * kPi / 180;
    const double k[3] = {std::sin(t) * std::cos(r), std::sin(t) * std::sin(r), std::cos(t)};
    // k . E = 0 and |E| = A.
    EXPECT_NEAR(k[0] * e.x.re + k[1] * e.y.re + k[2] * e.z.re, 0.0, 1e-14);
    EXPECT_NEAR(k[0] * e.x.im + k[1] * e.y.im + k[2] * e.z.im, 0.0, 1e-14);
    const double norm2 = double(CAbs(e.x) * CAbs(e.x) + CAbs(e.y) * CAbs(e.y) + CAbs(e.z) * CAbs(e.z));
    EXPECT_NEAR(norm2, 4.0, 1e-13);
}

TEST(VectorEField, GaussianFallsToExpMinusPiAtSigmaFromTheCentrePixel)
{
    TFieldOptions w = PlaneWave();
    w.shape = TBeamShape::gaussian;
    w.sigmaX = w.sigmaY = 1.0;
    TVectorEField f(MicronGrid(16, 16), w);
    EXPECT_EQ(f.GetEX(8, 8), (TComplex{1.0, 0.0}));
    for (const auto& [x, y] : {std::pair{12, 8}, {4, 8}, {8, 12}, {8, 4}})
        EXPECT_NEAR(f.GetEX(x, y).re, std::exp(-kPi), 1e-15) << x << "," << y;
}

TEST(VectorEField, DiracIsOneOnlyAtTheCentreOrItsShiftedPixel)
{
    TFieldOptions w = PlaneWave();
    w.shape = TBeamShape::dirac;
    TVectorEField f(MicronGrid(8, 8), w);
    w.shiftX = -0.5;
    w.shiftY = 0.75;
    TVectorEField g(MicronGrid(8, 8), w);
    int ones = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool centre = x == 4 && y == 4, shifted = x == 2 && y == 7;
            EXPECT_EQ(f.GetEX(x, y).re, centre ? 1.0 : 0.0);
            EXPECT_EQ(g.GetEX(x, y).re, shifted ? 1.0 : 0.0);
            ones += centre;
        }
    EXPECT_EQ(ones, 1);
}

TEST(VectorEField, SettersZeroValuesAtOrBelowTheThreshold)
{
    TRecordingSink sink;
    TVectorEField f(MicronGrid(4, 4));
    f.SetEX(1, 1, {1e-16, 0.0});
    f.SetEY(1, 1, {0.0, 1e-15});
    f.SetEZ(1, 1, {2e-15, 0.0});
    EXPECT_EQ(f.GetEX(1, 1), (TComplex{0.0, 0.0}));
    EXPECT_EQ(f.GetEY(1, 1), (TComplex{0.0, 0.0}));
    EXPECT_EQ(f.GetEZ(1, 1), (TComplex{2e-15, 0.0}));
    EXPECT_TRUE(sink.messages.empty());
    f.SetEY(4, 0, {});
    f.GetEZ(0, 4);
    f.SetEVec(-1, 0, {});
    const std::vector<std::string> expected{"Cannot set Ey[4,0]", "Cannot get Ez[0,4]", "Cannot set EVec[-1,0]"};
    EXPECT_EQ(sink.messages, expected);
}

TEST(VectorEField, TwoAddBeamsDoubleTheFieldAndAmplitudeSum)
{
    TFieldOptions w = PlaneWave(0.75);
    w.theta = 15.0;
    w.psi = 30.0;
    TVectorEField once(MicronGrid(8, 4), w);
    TVectorEField twice(MicronGrid(8, 4));
    EXPECT_TRUE(twice.AddBeam(twice.Grid(), w, nullptr));
    EXPECT_TRUE(twice.AddBeam(twice.Grid(), w, nullptr));
    EXPECT_EQ(double(twice.GetAmplitudeSum()), 1.5);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_DOUBLE_EQ(twice.GetEX(x, y).im, 2 * once.GetEX(x, y).im);
            EXPECT_DOUBLE_EQ(twice.GetEZ(x, y).re, 2 * once.GetEZ(x, y).re);
        }
}

TEST(VectorEField, TiltedBeamHasThePhaseGradientOfItsWaveVector)
{
    TFieldOptions w = PlaneWave();
    w.theta = 30.0;
    TVectorEField f(MicronGrid(16, 4), w);
    const double step = kK0 * 0.5 * 0.25e-6; // kx dx u
    for (int x = 0; x + 1 < 16; ++x) {
        const TComplex a = f.GetEX(x, 1), b = f.GetEX(x + 1, 1);
        EXPECT_NEAR(std::remainder(Phase(b) - Phase(a) - step, 2 * kPi), 0.0, 1e-12);
    }
    EXPECT_NEAR(Phase(f.GetEX(8, 0)), 0.0, 1e-15); // x = 0 at column nx/2
}

TEST(VectorEField, BeamInAMediumUsesTheLocalWaveNumber)
{
    TComplexArray glass(8, 8);
    glass.Fill({1.5, 0.01});
    TFieldOptions w = PlaneWave();
    w.shiftZ = 0.1; // z = -0.1 um: phase -n k0 0.1 um at normal incidence
    TVectorEField f(MicronGrid(8, 8));
    ASSERT_TRUE(f.AddBeam(f.Grid(), w, &glass));
    EXPECT_NEAR(Phase(f.GetEX(3, 5)), -1.5 * kK0 * 0.1e-6, 1e-12);

    w.theta = 30.0; // kz = sqrt((1.5 k0)^2 - (0.5 k0)^2) = sqrt(2) k0
    TVectorEField t(MicronGrid(8, 8));
    ASSERT_TRUE(t.AddBeam(t.Grid(), w, &glass));
    EXPECT_NEAR(std::remainder(Phase(t.GetEX(4, 2)) + std::sqrt(2.0) * kK0 * 0.1e-6, 2 * kPi), 0.0, 1e-12);
}

TEST(VectorEField, TiltInAMediumThatCannotCarryItGivesAnEvanescentPixel)
{
    TRecordingSink sink;
    TComplexArray thin(8, 8);
    thin.Fill({0.5, 0.0}); // n k0 = 0.5 k0 < kx = sin(60 deg) k0
    TFieldOptions w = PlaneWave();
    w.theta = 60.0;
    w.shiftZ = 0.05;
    TVectorEField f(MicronGrid(8, 8));
    ASSERT_TRUE(f.AddBeam(f.Grid(), w, &thin));
    EXPECT_TRUE(AllFinite(f));
    // Principal root kz = i kappa, kappa = k0 sqrt(sin^2 60 - 0.25): e^{i kz z} = e^{kappa shiftZ u}.
    const double kappa = kK0 * std::sqrt(0.75 - 0.25);
    const double px = std::cos(60 * kPi / 180); // |Px| = cos(theta)
    EXPECT_NEAR(double(CAbs(f.GetEX(4, 4))), px * std::exp(kappa * 0.05e-6), 1e-12);
    EXPECT_TRUE(sink.messages.empty());

    // A growth beyond the representable range is refused pixel by pixel, never inf or NaN.
    w.shiftZ = 1e4;
    TVectorEField g(MicronGrid(8, 8));
    g.AddBeam(g.Grid(), w, &thin);
    EXPECT_TRUE(AllFinite(g));
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST(VectorEField, MismatchedIndexArrayIsRefused)
{
    TRecordingSink sink;
    TComplexArray small(4, 4);
    small.Fill({1.0, 0.0});
    TVectorEField f(MicronGrid(8, 8), PlaneWave());
    EXPECT_FALSE(f.AddBeam(f.Grid(), PlaneWave(), &small));
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(f.GetEX(7, 7), (TComplex{1.0, 0.0}));
    EXPECT_EQ(double(f.GetAmplitudeSum()), 1.0);
}

TEST(VectorEField, RegenerateFollowsTheSteppedWaveList)
{
    TVectorEField f(MicronGrid(4, 4), PlaneWave(1.0));
    TParmsVariation v;
    v.num = 0, v.steps = 2, v.parm = TParms::amplitude, v.first = {1.0, 0.0}, v.delta = {1.0, 0.0};
    f.SetParm(0, v);
    f.ResetVariation();
    ASSERT_TRUE(f.StepVariation());
    f.SetAbsorp(-1, -1, 1.0);
    f.Regenerate(nullptr);
    EXPECT_EQ(f.GetEX(1, 2), (TComplex{2.0, 0.0}));
    EXPECT_EQ(f.GetAbsorp(1, 2), 0.0); // regeneration clears the maps
    EXPECT_EQ(double(f.GetAmplitudeSum()), 2.0);
}

TEST(VectorEField, PlaneWaveFluxKnownValues)
{
    TGridParms unit = MicronGrid(2, 2, 1.0, 1.0);
    unit.scaleFactor = 1.0; // dA = 1
    const TVectorEField f(unit);
    ASSERT_EQ(double(f.GetDA()), 1.0);
    // Normal incidence, n = 1: H = (-Ey, Ex); Ex Hy* - Ey Hx* = 1 + |i|^2 = 2.
    EXPECT_DOUBLE_EQ(double(f.PlaneWaveFlux({}, {}, {0, 1}, {1, 0}, 1.0L, 0, 0, 1.0L, 1.0L)), 2.0);
    EXPECT_EQ(double(f.PlaneWaveFlux({}, {}, {0, 1}, {1, 0}, 0.0L, 0, 0, 1.0L, 1.0L)), 0.0);

    // Oblique incidence in vacuum: S_z = (kz/k0) |E|^2 with Ez from transversality.
    const double k0 = 2.0, kx = 1.2, kz = std::sqrt(k0 * k0 - kx * kx);
    const double sPol = double(f.PlaneWaveFlux({kx, 0}, {}, {0.5, 0}, {}, kz, 0, kx, k0, 1.0L));
    EXPECT_NEAR(sPol, kz / k0 * 0.25, 1e-15);
    const double ez = kx * 0.5 / kz; // |Ez| for Ex = 0.5
    const double pPol = double(f.PlaneWaveFlux({kx, 0}, {}, {}, {0.5, 0}, kz, 0, kx, k0, 1.0L));
    EXPECT_NEAR(pPol, kz / k0 * (0.25 + ez * ez), 1e-15);
}

TEST(VectorEField, EnergyFluxOfAZeroFieldIsZeroAndLeavesItUnchanged)
{
    TRecordingSink sink;
    TVectorEField f(MicronGrid(8, 8));
    f.SetLambda(1e-6);
    f.SetEFlux(2, 2, 0.5);
    EXPECT_EQ(double(f.ComputeEnergyFlux(nullptr)), 0.0);
    EXPECT_EQ(f.GetEnergyFlux(), 0.0);
    EXPECT_EQ(f.GetEFlux(2, 2), 0.5);
    EXPECT_EQ(f.GetEX(3, 3), (TComplex{0.0, 0.0}));
    EXPECT_TRUE(sink.messages.empty());
}

TEST(VectorEField, EnergyFluxOfPlaneWavesMatchesTheAnalyticValue)
{
    const TGridParms grid = MicronGrid(16, 8); // area 4 um x 2 um
    const double area = 4e-6 * 2e-6;
    // Normal incidence, amplitude 2, uniform glass n = 1.5: flux = area * n k0 * A^2.
    TVectorEField normal(grid, PlaneWave(2.0));
    TComplexArray glass(16, 8);
    glass.Fill({1.5, 0.0});
    const TComplexArray before = normal.EX();
    const double flux = double(normal.ComputeEnergyFlux(&glass));
    EXPECT_NEAR(flux / (area * 1.5 * kK0 * 4.0), 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(normal.GetEnergyFlux(), flux);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(normal.EX().At(x, y), before.At(x, y)); // exactly unchanged

    // A tilt onto a grid frequency: sin(theta) = lambda / Lx = 1/4, so kx = 2 pi / Lx and the
    // vacuum flux is area * kz * A^2 with kz = k0 cos(theta).
    TFieldOptions w = PlaneWave(1.0);
    w.angular = TAngular::rad;
    w.theta = std::asin(0.25);
    w.psi = 0.3;
    TVectorEField tilted(grid, w);
    const double tiltedFlux = double(tilted.ComputeEnergyFlux(nullptr));
    EXPECT_NEAR(tiltedFlux / (area * kK0 * std::sqrt(1 - 0.0625)), 1.0, 1e-10);

    // Half the slice in vacuum, half in glass: the pixel-weighted mean of n kz.
    TComplexArray half(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            half.SetAt(x, y, {x < 8 ? 1.0 : 1.5, 0.0});
    const double mixed = double(normal.ComputeEnergyFlux(&half));
    EXPECT_NEAR(mixed / (area * 1.25 * kK0 * 4.0), 1.0, 1e-12);
}

TEST(VectorEField, EnergyFluxWithoutWavelengthOrOnABadGridIsRefused)
{
    TRecordingSink sink;
    TVectorEField f(MicronGrid(8, 8), PlaneWave());
    f.SetLambda(0.0);
    EXPECT_EQ(double(f.ComputeEnergyFlux(nullptr)), 0.0);
    TVectorEField odd(MicronGrid(6, 6), PlaneWave());
    EXPECT_EQ(double(odd.ComputeEnergyFlux(nullptr)), 0.0);
    EXPECT_EQ(sink.messages.size(), 2u);
    EXPECT_TRUE(sink.HasMessage("TField.Fourier :: Cannot FFT TComplexArray."));
}

} // namespace
} // namespace ksn
