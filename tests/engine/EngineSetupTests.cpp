// Engine construction, step selection, the step contract and the small helpers.
#include "EngineTestSupport.h"
#include "engine/Fresnel.h"
#include "engine/PlaneWaveHelpers.h"
#include "engine/SpectralGrid.h"
#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace ksn;
using namespace ksn::test;

TEST(EngineSetup, ThreadCountDecidesMultithreading)
{
    const TBrelWaveOptics plain;
    EXPECT_FALSE(plain.IsMultithreaded());
    EXPECT_EQ(plain.GetThreadCount(), 0);
    EXPECT_EQ(plain.GetStepTime(), 0.0L);
    EXPECT_EQ(plain.GetSummation(), TSummation::automatic);

    const TBrelWaveOptics one(1);
    EXPECT_FALSE(one.IsMultithreaded()) << "a single worker is the single-threaded engine";
    EXPECT_EQ(one.GetThreadCount(), 1);

    const TBrelWaveOptics two(2);
    EXPECT_TRUE(two.IsMultithreaded());
    EXPECT_EQ(two.GetThreadCount(), 2);
}

TEST(EngineSetup, NegativeThreadCountIsRefused) { EXPECT_THROW(TBrelWaveOptics(-1), EGeneralError); }

TEST(EngineSetup, SelectionTableCoversEveryMethodThreadingAndAllComplex)
{
    struct TRow {
        TSimMethod method;
        const char* prop[4]; // (MT, AC) = (0,0), (0,1), (1,0), (1,1)
        const char* refl[4];
    };
    const TRow rows[] = {
        {TSimMethod::vwpm,
         {"PropagateVWPM", "PropagateVWPMAllComplex", "PropagateVWPMMT", "PropagateVWPMMTAllComplex"},
         {"ReflectVWPM", "ReflectVWPMAllComplex", "MT_nextVWR", "MT_nextVWRAllComplex"}},
        {TSimMethod::vbpmf,
         {"PropagateVBPMF", "PropagateVBPMFAllComplex", "PropagateVBPMF", "PropagateVBPMFAllComplex"},
         {"ReflectVBPM", "ReflectVBPMAllComplex", "ReflectVBPM", "ReflectVBPMAllComplex"}},
        {TSimMethod::vbpm,
         {"PropagateVBPM", "PropagateVBPMAllComplex", "PropagateVBPM", "PropagateVBPMAllComplex"},
         {"ReflectVBPM", "ReflectVBPMAllComplex", "ReflectVBPM", "ReflectVBPMAllComplex"}},
        {TSimMethod::swpm,
         {"PropagateSWPM", "PropagateSWPM", "PropagateSWPM", "PropagateSWPM"},
         {"ReflectSWPM", "ReflectSWPM", "ReflectSWPM", "ReflectSWPM"}},
        {TSimMethod::sbpm,
         {"PropagateSBPM", "PropagateSBPM", "PropagateSBPM", "PropagateSBPM"},
         {"ReflectSBPM", "ReflectSBPM", "ReflectSBPM", "ReflectSBPM"}},
        {TSimMethod::vwpmh,
         {"PropagateVWPMH", "PropagateVWPMHAllComplex", "PropagateVWPMHMT", "PropagateVWPMHMTAllComplex"},
         {"ReflectVWPM", "ReflectVWPMAllComplex", "MT_nextVWR", "MT_nextVWRAllComplex"}},
        {TSimMethod::swpmh,
         {"PropagateSWPMH", "PropagateSWPMH", "PropagateSWPMH", "PropagateSWPMH"},
         {"ReflectSWPM", "ReflectSWPM", "ReflectSWPM", "ReflectSWPM"}},
        {TSimMethod::vwpmhh,
         {"", "", "", ""},
         {"ReflectVWPM", "ReflectVWPMAllComplex", "MT_nextVWR", "MT_nextVWRAllComplex"}},
    };
    for (const TRow& row : rows) {
        for (int k = 0; k < 4; ++k) {
            const bool mt = k >= 2, ac = (k & 1) != 0;
            SCOPED_TRACE(std::string(SimMethodName(row.method)) + " MT=" + std::to_string(mt) +
                         " AC=" + std::to_string(ac));
            EXPECT_STREQ(PropagationStepName(SelectPropagationStep(row.method, mt, ac)), row.prop[k]);
            EXPECT_STREQ(ReflectionStepName(SelectReflectionStep(row.method, mt, ac)), row.refl[k]);
        }
    }
}

TEST(EngineSetup, UnknownOrReservedMethodYieldsEmptySteps)
{
    TBrelWaveOptics engine;
    TGlobalParms global;
    global.simMethod = TSimMethod::vwpmhh;
    EXPECT_FALSE(engine.GetPropFunc(global)) << "vwpmhh has no propagation step";
    global.simMethod = static_cast<TSimMethod>(200);
    EXPECT_FALSE(engine.GetPropFunc(global));
    EXPECT_FALSE(engine.GetReflFunc(global));
    EXPECT_EQ(SelectPropagationStep(global.simMethod, true, true), TPropagationStepId::none);
    EXPECT_EQ(SelectReflectionStep(global.simMethod, true, true), TReflectionStepId::none);
}

TEST(EngineSetup, ScalarMethodsBindTheirStepsAndTakeExtraModes)
{
    TBrelWaveOptics engine;
    TGlobalParms global;
    global.extraModes = 3;
    global.simMethod = TSimMethod::swpm;
    EXPECT_TRUE(engine.GetPropFunc(global));
    EXPECT_EQ(engine.GetExtraModes(), 3);
    global.simMethod = TSimMethod::swpmh;
    global.extraModes = 5;
    EXPECT_TRUE(engine.GetPropFunc(global));
    EXPECT_EQ(engine.GetExtraModes(), 5);
    // InModeRange widens the index circle by the stored extra modes.
    EXPECT_TRUE(engine.InModeRange(10.0, 1.0, 15.0));
    EXPECT_FALSE(engine.InModeRange(10.0, 1.0, 15.5));
}

TEST(EngineSetup, StepWithoutFieldsTouchesNeitherOutputNorStepTime)
{
    TBrelWaveOptics engine;
    const TGridParms g = MakeGrid(4, 4);
    const TComplexArray n = UniformSlice(g, 1.0);
    const TPropagationStep step = StepOf(engine, TSimMethod::swpm, g);
    auto input = MakeField(g, kLambda, [](int, int) { return TCplx(1.0, 0.0); });
    Step(step, n, n, g, input.get());
    const TExtended time = engine.GetStepTime();
    EXPECT_GT(time, 0.0L) << "a step stores its duration";

    TFieldRef none;
    step(TStepInput{0, &n, {}, &n, {}, false, &g, nullptr, nullptr}, none);
    EXPECT_EQ(none, nullptr) << "no output field is created without an input";
    EXPECT_EQ(engine.GetStepTime(), time);

    TFieldRef existing = MakeField(g, kLambda, [](int c, int) { return TCplx(c, 1.0); });
    step(TStepInput{0, &n, {}, &n, {}, false, &g, nullptr, nullptr}, existing);
    EXPECT_EQ(Values(*existing)[3], TCplx(3.0, 1.0)) << "the output field is not cleared";
}

// ---------------------------------------------------------------------------------------
// Fresnel helpers

TEST(Fresnel, EqualIndicesTransmitOneAndReflectZeroAtAnyAngle)
{
    for (const TExtended kz : {1.0L, 0.3L, 0.0L}) {
        EXPECT_EQ(FresnelTs(1.5L, 1.5L, kz, 2.0L), 1.0L);
        EXPECT_EQ(FresnelTp(1.5L, 1.5L, kz, 2.0L), 1.0L);
        EXPECT_EQ(FresnelRs(1.5L, 1.5L, kz, 2.0L), 0.0L);
        EXPECT_EQ(FresnelRp(1.5L, 1.5L, kz, 2.0L), 0.0L);
    }
    const TComplex kz1{0.2, 0.5}, kz2{0.7, 0.0}, n{1.5, 0.01};
    EXPECT_EQ(FresnelTsC(n, n, kz1, kz2), TComplex(1.0, 0.0));
    EXPECT_EQ(FresnelTpC(n, n, kz1, kz2), TComplex(1.0, 0.0));
    EXPECT_EQ(FresnelRsC(n, n, kz1, kz2), TComplex(0.0, 0.0));
    EXPECT_EQ(FresnelRpC(n, n, kz1, kz2), TComplex(0.0, 0.0));
    EXPECT_EQ(FresnelTsC(1.5L, 1.5L, kz1, kz2), TComplex(1.0, 0.0));
    EXPECT_EQ(FresnelRpC(1.5L, 1.5L, kz1, kz2), TComplex(0.0, 0.0));
    // Equal real parts with different absorption are different complex indices.
    EXPECT_NE(FresnelTsC(TComplex{1.5, 0.0}, TComplex{1.5, 0.1}, kz1, kz2), TComplex(1.0, 0.0));
}

TEST(Fresnel, NormalIncidenceMatchesTextbookValues)
{
    // Air to glass at normal incidence, kz = n k0: t = 2 n1/(n1 + n2), r = (n1 - n2)/(n1 + n2)
    // (rp with the sign convention of the transverse field: (n2 - n1)/(n1 + n2)).
    const TExtended k0 = 3.0L;
    EXPECT_NEAR(double(FresnelTs(1.0L, 1.5L, k0, 1.5L * k0)), 0.8, 1e-15);
    EXPECT_NEAR(double(FresnelTp(1.0L, 1.5L, k0, 1.5L * k0)), 0.8, 1e-15);
    EXPECT_NEAR(double(FresnelRs(1.0L, 1.5L, k0, 1.5L * k0)), -0.2, 1e-15);
    EXPECT_NEAR(double(FresnelRp(1.0L, 1.5L, k0, 1.5L * k0)), 0.2, 1e-15);
}

TEST(Fresnel, StokesRelationsHoldForObliqueAndEvanescentWaves)
{
    // ts = 1 + rs and tp = (n1/n2)(1 + rp), real and complex.
    const TExtended n1 = 1.2L, n2 = 1.7L, kz1 = 0.8L, kz2 = 1.45L;
    EXPECT_NEAR(double(FresnelTs(n1, n2, kz1, kz2)), double(1.0L + FresnelRs(n1, n2, kz1, kz2)), 1e-15);
    EXPECT_NEAR(double(FresnelTp(n1, n2, kz1, kz2)), double(n1 / n2 * (1.0L + FresnelRp(n1, n2, kz1, kz2))),
                1e-15);
    const TComplex ckz1{0.8, 0.0}, ckz2{0.0, 0.6};
    const TComplex ts = FresnelTsC(n1, n2, ckz1, ckz2), rs = FresnelRsC(n1, n2, ckz1, ckz2);
    EXPECT_NEAR(ts.re, 1.0 + rs.re, 1e-15);
    EXPECT_NEAR(ts.im, rs.im, 1e-15);
    const TComplex tp = FresnelTpC(n1, n2, ckz1, ckz2), rp = FresnelRpC(n1, n2, ckz1, ckz2);
    EXPECT_NEAR(tp.re, double(n1 / n2) * (1.0 + rp.re), 1e-15);
    EXPECT_NEAR(tp.im, double(n1 / n2) * rp.im, 1e-15);
}

TEST(Fresnel, TotalInternalReflectionHasUnitModulus)
{
    // Glass to air beyond the critical angle: kz2 = i q, |rs| = |rp| = 1.
    const TComplex kz1{0.6, 0.0}, kz2{0.0, 0.9};
    EXPECT_NEAR(double(CAbs(FresnelRsC(1.5L, 1.0L, kz1, kz2))), 1.0, 1e-15);
    EXPECT_NEAR(double(CAbs(FresnelRpC(1.5L, 1.0L, kz1, kz2))), 1.0, 1e-15);
    EXPECT_NEAR(double(CAbs(FresnelRsC(TComplex{1.5, 0.0}, TComplex{1.0, 0.0}, kz1, kz2))), 1.0, 1e-15);
}

TEST(Fresnel, VanishingDenominatorsAndGrazingWavesGiveFiniteValues)
{
    EXPECT_EQ(FresnelTs(1.0L, 1.5L, 0.0L, 0.0L), 0.0L);
    EXPECT_EQ(FresnelTp(1.0L, 1.5L, 0.0L, 0.0L), 0.0L);
    EXPECT_EQ(FresnelRp(1.0L, 1.5L, 0.0L, 0.0L), 0.0L);
    EXPECT_EQ(FresnelRs(1.0L, 1.5L, 0.7L, 0.0L), 1.0L) << "kz2 = 0 reflects totally";
    EXPECT_EQ(FresnelRs(1.0L, 1.5L, 0.7L, -0.7L), 0.0L) << "kz1 + kz2 = 0";
    const TComplex zero{0.0, 0.0}, kz1{0.7, 0.0};
    EXPECT_EQ(FresnelRsC(1.0L, 1.5L, kz1, zero), TComplex(1.0, 0.0));
    EXPECT_EQ(FresnelRpC(1.0L, 1.5L, kz1, zero), TComplex(-1.0, 0.0));
    EXPECT_EQ(FresnelTsC(1.0L, 1.5L, zero, zero), zero);
    EXPECT_EQ(FresnelTpC(TComplex{1.0, 0.0}, TComplex{1.5, 0.0}, zero, zero), zero);
    EXPECT_EQ(FresnelRsC(TComplex{1.0, 0.0}, TComplex{1.5, 0.0}, kz1, CNeg(kz1)), zero);
}

// ---------------------------------------------------------------------------------------
// Longitudinal component, mode range, non-zero sums, absorption

TEST(PlaneWaveHelpers, LongitudinalEzMakesEveryFormTransverse)
{
    const TComplex ex{0.3, -0.2}, ey{-0.1, 0.7};
    const auto dot = [&](TComplex kx, TComplex ky, TComplex kz, TComplex ez) {
        return CAbs(CAdd3(CMul(kx, ex), CMul(ky, ey), CMul(kz, ez)));
    };
    const TExtended kx = 0.4L, ky = -0.25L, kz = 0.9L;
    const TComplex ckx{0.4, 0.1}, cky{-0.25, 0.05}, ckz{0.9, 0.2};
    const TComplex rkx{double(kx), 0}, rky{double(ky), 0}, rkz{double(kz), 0};
    EXPECT_LT(dot(rkx, rky, rkz, LongitudinalEz(kx, ky, ex, ey, kz)), 1e-15);
    EXPECT_LT(dot(ckx, cky, rkz, LongitudinalEz(ckx, cky, ex, ey, kz)), 1e-15);
    EXPECT_LT(dot(ckx, cky, ckz, LongitudinalEz(ckx, cky, ex, ey, ckz)), 1e-15);
    EXPECT_LT(dot(rkx, rky, ckz, LongitudinalEz(kx, ky, ex, ey, ckz)), 1e-15);
}

TEST(PlaneWaveHelpers, LongitudinalEzZeroCases)
{
    const TComplex ex{1.0, 0.0}, ey{0.5, 0.5}, kx{0.4, 0.0}, ky{0.1, 0.0}, zero{0.0, 0.0};
    EXPECT_EQ(LongitudinalEz(0.4L, 0.1L, ex, ey, 0.0L), zero);
    EXPECT_NE(LongitudinalEz(0.4L, 0.1L, ex, ey, -0.5L), zero) << "the real-kx form only tests kz = 0";
    EXPECT_EQ(LongitudinalEz(kx, ky, ex, ey, -0.5L), zero) << "the complex-kx form needs kz > 0";
    EXPECT_EQ(LongitudinalEz(kx, ky, ex, ey, zero), zero);
    EXPECT_EQ(LongitudinalEz(0.4L, 0.1L, ex, ey, zero), zero);
    // A result below 1e-30 is exactly 0.
    EXPECT_EQ(LongitudinalEz(1e-20L, 0.0L, TComplex{1e-12, 0.0}, zero, 1.0L), zero);
}

TEST(PlaneWaveHelpers, InModeRangeAndSumNonZero)
{
    EXPECT_TRUE(InModeRange(10.0, 1.0, 10.0, 0));
    EXPECT_TRUE(InModeRange(10.0, 1.0, -10.0, 0));
    EXPECT_FALSE(InModeRange(10.0, 1.0, 10.5, 0));
    EXPECT_TRUE(InModeRange(10.0, 1.0, 10.5, 1));
    EXPECT_TRUE(InModeRange(10.0, 0.0, 10.0, 4)) << "a zero step falls back to |k| <= nk without NaN";
    EXPECT_FALSE(InModeRange(10.0, 0.0, 10.5, 4));

    EXPECT_TRUE(SumNonZero({1.0, 0.0}, {0.0, 1.0}));
    EXPECT_FALSE(SumNonZero({1.0, 0.5}, {-1.0, -0.5}));
    EXPECT_FALSE(SumNonZero({0.0, 0.0}, {1.0, 0.0}));
    EXPECT_FALSE(SumNonZero({1.0, 0.0}, {0.0, 0.0}));
}

TEST(PlaneWaveHelpers, AbsorptionFactorFollowsTheObliquePath)
{
    const TExtended k0 = 2.0L * kPi / kLambda, dz = 1e-7L, kappa = 0.01L, n = 1.5L;
    EXPECT_EQ(AbsorptionFactor(k0, 0.0L, dz, n, 0.3L * k0), 1.0L);
    EXPECT_NEAR(double(AbsorptionFactor(k0, kappa, dz, n, n * k0)), std::exp(-double(k0 * kappa * dz)), 1e-15);
    // At 60 degrees the path is twice as long.
    EXPECT_NEAR(double(AbsorptionFactor(k0, kappa, dz, n, 0.5L * n * k0)), std::exp(-2.0 * double(k0 * kappa * dz)),
                1e-15);
    EXPECT_EQ(AbsorptionFactor(k0, kappa, dz, n, 0.0L), 0.0L) << "no propagation along z: absorbed, not NaN";
}

// ---------------------------------------------------------------------------------------
// Spectral grid

TEST(SpectralGrid, WaveNumbersAndCoordinatesAreCentred)
{
    TSpectralGrid s;
    s.Setup(MakeGrid(8, 1, 0.5, 0.5, 0.25), kLambda, "Test");
    const double dX = 0.5e-6;
    EXPECT_NEAR(double(s.K0()), 2.0 * kPi / kLambda, 1e-6);
    EXPECT_EQ(s.Kx()[4], 0.0L);
    EXPECT_NEAR(double(s.Kx()[0]), -4.0 * 2.0 * kPi / (8 * dX), 1e-3);
    EXPECT_NEAR(double(s.X()[0]), -4.0 * dX, 1e-20);
    EXPECT_NEAR(double(s.DZ()), 0.25e-6, 1e-20);
    // An axis of one point collapses: kx = 0, L = 1, and the point lies at -d/2.
    EXPECT_EQ(s.Ky()[0], 0.0L);
    EXPECT_EQ(s.Ly(), 1.0L);
    EXPECT_NEAR(double(s.Y()[0]), -0.5 * dX, 1e-20);
}

TEST(SpectralGrid, CentredSignIsNegativeForOneAxisOfLengthTwo)
{
    TSpectralGrid s;
    const std::pair<int, int> sizes[] = {{2, 8}, {8, 2}, {2, 2}, {1, 1}, {4, 4}, {2, 1}};
    const double expected[] = {-1, -1, 1, 1, 1, -1};
    for (size_t k = 0; k < 6; ++k) {
        s.Setup(MakeGrid(sizes[k].first, sizes[k].second), kLambda, "Test");
        EXPECT_EQ(s.CentredSign(), expected[k]) << sizes[k].first << " x " << sizes[k].second;
    }
}

TEST(SpectralGrid, BadWavelengthsAreRefused)
{
    TSpectralGrid s;
    const auto refuses = [&](const TGridParms& g, double lambda, const std::string& text) {
        try {
            s.Setup(g, lambda, "TBrelWaveOptics.PropagateSWPM");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const EGeneralError& e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("Error in TBrelWaveOptics.PropagateSWPM. ", 0), 0u);
        }
    };
    refuses(MakeGrid(8, 8), 0.0, "Invalid wavelength");
    refuses(MakeGrid(8, 8), -1e-6, "Invalid wavelength");
    // A zero spacing along an axis of one point is harmless.
    EXPECT_NO_THROW(s.Setup(MakeGrid(8, 1, 0.5, 0.0), kLambda, "Test"));
}

// ---------------------------------------------------------------------------------------
// Index tuples

TEST(IndexTuples, PointsSharingTheReadIndexPartsShareATuple)
{
    const TGridParms g = MakeGrid(4, 2);
    // Previous slice: absorption varies but the scalar rule does not read Im n1.
    const TComplexArray previous = MakeSlice(g, [](int c, int) { return TCplx(1.5, 0.01 * c); });
    const TComplexArray current = MakeSlice(g, [](int c, int r) {
        if (c == 0 && r == 0)
            return TCplx(-0.0 + 1.5, -0.0);
        return c < 2 ? TCplx(1.5, 0.0) : TCplx(1.6, 0.02);
    });
    TIndexTuples all, scalar;
    all.Build(previous, current, 4, 2, TIndexParts{}, "Test");
    scalar.Build(previous, current, 4, 2, TIndexParts{true, false, true, true}, "Test");
    EXPECT_EQ(all.Count(), 4);    // one per previous-slice column; -0 and +0 absorption coincide
    EXPECT_EQ(scalar.Count(), 2); // Im n1 is not read: two materials remain
    ASSERT_EQ(scalar.PointCount(scalar.IdAt(0)), 4);
    const std::int32_t* pts = scalar.PointsOf(scalar.IdAt(0));
    EXPECT_EQ(pts[0], 0);
    EXPECT_EQ(pts[1], 1);
    EXPECT_EQ(pts[2], 4);
    EXPECT_EQ(pts[3], 5);
    EXPECT_EQ(scalar.AtPoint(7).n2.im, 0.02);
    EXPECT_EQ(scalar.AtPoint(7).n1.im, 0.0);
}

TEST(IndexTuples, ASweepReusingThePreviousSliceRunsListsExactlyAsFreshBuilds)
{
    // Slice to slice on a 12 x 5 grid (three workers, uneven rows): the runs kept of each
    // current slice serve the next build; a different array, even one that claims to
    // continue, is scanned afresh, and so is everything after a refused slice.
    const TGridParms g = MakeGrid(12, 5);
    std::vector<TComplexArray> slices;
    for (int z = 0; z < 4; ++z)
        slices.push_back(MakeSlice(g, [z](int c, int r) {
            return (c - 6) * (c - 6) + 4 * (r - 2) * (r - 2) < 4 * z + 3 ? TCplx(1.6, 0.01 * z) : TCplx(1.5, 0.0);
        }));
    const TComplexArray other = MakeSlice(g, [](int c, int) { return TCplx(c < 5 ? 1.7 : 1.5, 0.0); });
    TComplexArray bad = slices[2];
    bad.SetAt(11, 4, {1.5, std::nan("")});
    TWorkTeam team(3);
    TIndexTuples swept;
    const auto expectSame = [&](const TComplexArray& previous, const TComplexArray& current, const char* what) {
        TIndexTuples fresh;
        fresh.Build(previous, current, 12, 5, TIndexParts{}, "Test");
        ASSERT_EQ(swept.Count(), fresh.Count()) << what;
        for (std::int32_t t = 0; t < fresh.Count(); ++t) {
            EXPECT_EQ(swept.Tuple(t).n1, fresh.Tuple(t).n1) << what;
            EXPECT_EQ(swept.Tuple(t).n2, fresh.Tuple(t).n2) << what;
            ASSERT_EQ(swept.RunCount(t), fresh.RunCount(t)) << what;
            for (std::int32_t k = 0; k < fresh.RunCount(t); ++k) {
                EXPECT_EQ(swept.RunsOf(t)[k].first, fresh.RunsOf(t)[k].first) << what;
                EXPECT_EQ(swept.RunsOf(t)[k].count, fresh.RunsOf(t)[k].count) << what;
            }
        }
    };
    swept.Build(slices[0], slices[1], 12, 5, TIndexParts{}, "Test", &team, true);
    expectSame(slices[0], slices[1], "first build");
    swept.Build(slices[1], slices[2], 12, 5, TIndexParts{}, "Test", &team, true);
    expectSame(slices[1], slices[2], "continued");
    swept.Build(other, slices[3], 12, 5, TIndexParts{}, "Test", &team, true);
    expectSame(other, slices[3], "another array");
    EXPECT_THROW(swept.Build(slices[3], bad, 12, 5, TIndexParts{}, "Test", &team, true), EGeneralError);
    EXPECT_THROW(swept.Build(bad, slices[3], 12, 5, TIndexParts{}, "Test", &team, true), EGeneralError)
        << "a refused slice is not taken as scanned";
    swept.Build(slices[2], slices[3], 12, 5, TIndexParts{}, "Test", &team, true);
    expectSame(slices[2], slices[3], "after a refusal");
}

TEST(IndexTuples, NonFiniteIndexOrWrongSizeIsRefused)
{
    const TGridParms g = MakeGrid(4, 4);
    const TComplexArray good = UniformSlice(g, 1.5);
    TComplexArray bad = UniformSlice(g, 1.5);
    bad.SetAt(2, 3, {std::nan(""), 0.0});
    TIndexTuples t;
    EXPECT_THROW(t.Build(good, bad, 4, 4, TIndexParts{}, "Test"), EGeneralError);
    EXPECT_THROW(t.Build(good, good, 8, 4, TIndexParts{}, "Test"), EGeneralError);
    TWorkTeam team(3);
    EXPECT_THROW(t.Build(good, bad, 4, 4, TIndexParts{}, "Test", &team), EGeneralError);
}

TEST(IndexTuples, RowBlocksOnATeamNumberAndListExactlyAsOneScan)
{
    // 16 x 7: rows split unevenly between workers; a dozen tuples (beyond the scan of a
    // few), some first met in later blocks, one (the background) met in every block.
    const TGridParms g = MakeGrid(16, 7);
    const TComplexArray previous = MakeSlice(g, [](int c, int r) { return TCplx(1.4 + 0.01 * ((c * r) % 5), 0.0); });
    const TComplexArray current =
        MakeSlice(g, [](int c, int r) { return r > 3 && c > 8 ? TCplx(1.6, 0.001 * r) : TCplx(1.4, 0.0); });
    TIndexTuples one;
    one.Build(previous, current, 16, 7, TIndexParts{}, "Test");
    ASSERT_GT(one.Count(), 8);
    for (const int threads : {2, 3, 4, 8}) {
        TWorkTeam team(threads);
        TIndexTuples split;
        split.Build(previous, current, 16, 7, TIndexParts{}, "Test", &team);
        ASSERT_EQ(split.Count(), one.Count()) << threads;
        for (std::int32_t t = 0; t < one.Count(); ++t) {
            EXPECT_EQ(split.Tuple(t).n1, one.Tuple(t).n1) << threads;
            EXPECT_EQ(split.Tuple(t).n2, one.Tuple(t).n2) << threads;
            ASSERT_EQ(split.PointCount(t), one.PointCount(t)) << threads;
            ASSERT_EQ(split.RunCount(t), one.RunCount(t)) << threads;
            EXPECT_TRUE(std::equal(one.PointsOf(t), one.PointsOf(t) + one.PointCount(t), split.PointsOf(t)));
            for (std::int32_t k = 0; k < one.RunCount(t); ++k) {
                EXPECT_EQ(split.RunsOf(t)[k].first, one.RunsOf(t)[k].first) << threads;
                EXPECT_EQ(split.RunsOf(t)[k].count, one.RunsOf(t)[k].count) << threads;
            }
        }
        for (std::int32_t p = 0; p < 16 * 7; ++p)
            EXPECT_EQ(split.IdAt(p), one.IdAt(p)) << threads << " point " << p;
    }
}
