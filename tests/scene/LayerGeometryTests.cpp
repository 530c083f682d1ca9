// Geometry of every layer type: where the structure is, its index values, the mirror
// symmetry of the quadrant frame, the level mean; and the agreement of the two modes.
#include "SceneTestSupport.h"
#include "support/RecordingSink.h"

#include "scene/LayerFrames.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksn {
namespace {

using test::CountValue;
using test::DirectMean;
using test::Layer;
using test::MakeScene;
using test::SceneGrid;

const TComplex kCore{1.5, 0.0};
const TComplex kClad{1.0, 0.0};

// Mean of a slice with `inside` points of kCore and the rest kClad.
double TwoValueMean(int inside, int total) { return (inside * 1.5 + (total - inside) * 1.0) / total; }

void ExpectMirrorSymmetric(const TComplexArray& s, const std::string& what)
{
    for (int iy = 0; iy < s.Ny(); ++iy)
        for (int ix = 0; ix < s.Nx(); ++ix) {
            ASSERT_EQ(s.At(ix, iy), s.At(s.Nx() - 1 - ix, iy)) << what << " at " << ix << "," << iy;
            ASSERT_EQ(s.At(ix, iy), s.At(ix, s.Ny() - 1 - iy)) << what << " at " << ix << "," << iy;
        }
}

TEST(HomogLayer, EveryPointAndTheMeanAreNSubjectExactly)
{
    const TComplex n{1.337, 0.0123};
    for (bool large : {false, true}) {
        auto scene = MakeScene(SceneGrid(6, 5, 3), {Layer(TLayerType::Homog, 0, 3, n)}, large);
        const TComplexArray& s = *scene->GetLevel(1);
        EXPECT_EQ(CountValue(s, n), 30);
        EXPECT_EQ(scene->GetLevelMeanN(1), n); // exactly, not a rounded average
        EXPECT_TRUE(scene->IsHomogLevel(1));
    }
}

TEST(NoneLayer, HoldsNSubjectAndIsFlaggedHomogeneous)
{
    test::TRecordingSink sink;
    TLayerParms none = Layer(TLayerType::None, 0, 2, {1.0, 0.0});
    auto system = MakeScene(SceneGrid(4, 4, 2), {none}, false);
    EXPECT_EQ(system->HomogVecLength(), 2);
    EXPECT_TRUE(system->IsHomogLevel(1));
    EXPECT_EQ(CountValue(*system->GetLevel(1), {1.0, 0.0}), 16);
    // Large scene: no per-slice geometry; reported once, and the slot holds the same index.
    auto large = MakeScene(SceneGrid(4, 4, 2), {none}, true);
    EXPECT_EQ(CountValue(*large->GetLevel(0), {1.0, 0.0}), 16);
    EXPECT_EQ(CountValue(*large->GetLevel(1), {1.0, 0.0}), 16);
    EXPECT_EQ(sink.messages, std::vector<std::string>{"Unsupported Layertype found in TBrelScenes.CalcLevel()."});
}

TEST(SphereLayer, CapInFrontOfTheCentrePlane)
{
    // Centre at z = 5 (zStart + thickness), radius 5. Level 4: dz' = 1, inside where
    // a^2 + b^2 <= 24 for the offsets a, b = 1..8: 13 quadrant points, 52 in the slice.
    TLayerParms sphere = Layer(TLayerType::Sphere, 0, 5, kCore, kClad);
    sphere.Radius = 5;
    auto scene = MakeScene(SceneGrid(16, 16, 5), {sphere}, false);
    const TComplexArray& s4 = *scene->GetLevel(4);
    EXPECT_EQ(CountValue(s4, kCore), 52);
    EXPECT_EQ(s4.At(7, 7), kCore);  // offsets (-1, -1)
    EXPECT_EQ(s4.At(8, 8), kCore);  // its mirror image
    EXPECT_EQ(s4.At(3, 8), kClad);  // offsets (-5, -1): 1 + 25 + 1 > 25
    EXPECT_NEAR(scene->GetLevelMeanN(4).re, TwoValueMean(52, 256), 1e-15);
    EXPECT_FALSE(scene->IsHomogLevel(4));
    ExpectMirrorSymmetric(s4, "sphere");
    // Level 0 lies on the sphere's surface at the axis, which is never sampled.
    EXPECT_EQ(CountValue(*scene->GetLevel(0), kCore), 0);
}

TEST(SphereLayer, RectUsesTheSmallerOffsetAsLateralTerm)
{
    // rect: rho^2 = (max(x, y))^2 on the negative offsets = min(|x|, |y|)^2; inside where
    // min(a, b) <= 4: 64 - 16 quadrant points.
    TLayerParms sphere = Layer(TLayerType::Sphere, 0, 5, kCore, kClad);
    sphere.Radius = 5;
    sphere.shape = TXSectShape::rect;
    auto scene = MakeScene(SceneGrid(16, 16, 5), {sphere}, false);
    EXPECT_EQ(CountValue(*scene->GetLevel(4), kCore), 4 * 48);
}

TEST(WguideLayer, GradedCoreOnTheAxis)
{
    // Diam 6, circ: inside where a^2 + b^2 <= 9 (a, b = 1, 2): 4 quadrant points.
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 4, {1.46, 0.0}, {1.45, 0.0});
    guide.DiamIn = guide.DiamOut = 6;
    guide.deltaN = {0.01, 0.001};
    auto scene = MakeScene(SceneGrid(16, 16, 4), {guide}, false);
    const TComplexArray& s = *scene->GetLevel(2);
    // n = nSubject + d*deltaN at d = sqrt(2) and d = sqrt(8).
    EXPECT_NEAR(s.At(7, 7).re, 1.46 + std::sqrt(2.0) * 0.01, 1e-15);
    EXPECT_NEAR(s.At(7, 7).im, std::sqrt(2.0) * 0.001, 1e-16);
    EXPECT_NEAR(s.At(6, 9).re, 1.46 + std::sqrt(8.0) * 0.01, 1e-15);
    EXPECT_EQ(s.At(5, 8), (TComplex{1.45, 0.0})); // d = sqrt(10) > 3
    EXPECT_EQ(CountValue(s, {1.45, 0.0}), 256 - 16);
    EXPECT_NEAR(scene->GetLevelMeanN(2).re, DirectMean(s).re, 1e-15);
    EXPECT_NEAR(scene->GetLevelMeanN(2).im, DirectMean(s).im, 1e-16);
    ExpectMirrorSymmetric(s, "wguide");
}

TEST(WguideLayer, OffAxisGuideGetsItsMirrorImage)
{
    // X0 = -4, rect, Diam 2: the guide at x = -4 (column 4) and its image at column 11.
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 2, kCore, kClad);
    guide.X0 = -4;
    guide.DiamIn = 2;
    guide.shape = TXSectShape::rect;
    auto scene = MakeScene(SceneGrid(16, 16, 2), {guide}, false);
    const TComplexArray& s = *scene->GetLevel(0);
    EXPECT_EQ(s.At(4, 7), kCore);
    EXPECT_EQ(s.At(11, 8), kCore);
    EXPECT_EQ(s.At(7, 7), kClad);
    EXPECT_EQ(s.At(4, 5), kClad); // y = -3 beyond the half width
    EXPECT_EQ(CountValue(s, kCore), 4 * 3); // x' in {-1, 0, 1}, y = -1
}

TEST(WguideLayer, PositiveX0LiesOutsideTheEvaluatedQuadrant)
{
    // x' = x - X0 with x <= -1 and X0 = 3 gives |x'| >= 4: no guide at all. A pair of
    // guides at x = +-3 is written X0 = -3.
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 1, kCore, kClad);
    guide.X0 = 3;
    guide.DiamIn = 2;
    guide.shape = TXSectShape::rect;
    auto scene = MakeScene(SceneGrid(16, 16, 1), {guide}, false);
    EXPECT_EQ(CountValue(*scene->GetLevel(0), kCore), 0);
    guide.X0 = -3;
    scene = MakeScene(SceneGrid(16, 16, 1), {guide}, false);
    EXPECT_EQ(scene->GetLevel(0)->At(5, 7), kCore);  // x = -3
    EXPECT_EQ(scene->GetLevel(0)->At(10, 7), kCore); // its image
}

TEST(LinSymSplitterLayer, ArmsMoveApartLinearly)
{
    // Arm centre at x = X0 - gradientX*w = -0.5*w, radius 1 (rect), nx = 32, ny = 8.
    TLayerParms splitter = Layer(TLayerType::LinSymSplitter, 0, 16, kCore, kClad);
    splitter.gradientX = 0.5;
    splitter.DiamIn = splitter.DiamOut = 2;
    splitter.shape = TXSectShape::rect;
    splitter.deltaN = {0.02, 0.0};
    auto scene = MakeScene(SceneGrid(32, 8, 16), {splitter}, false);
    const TComplexArray& first = *scene->GetLevel(0);
    // w = 0: centre 0; x = -1 (column 15) at d = 1 = R: n = nSubject + deltaN.
    EXPECT_NEAR(first.At(15, 3).re, 1.52, 1e-15);
    EXPECT_EQ(first.At(14, 3), kClad);
    const TComplexArray& mid = *scene->GetLevel(8);
    // w = 8: centre -4 (column 12) and its image (column 19); y = -1 puts them at d = R.
    EXPECT_NEAR(mid.At(12, 3).re, 1.52, 1e-15);
    EXPECT_EQ(mid.At(19, 4), mid.At(12, 3));
    EXPECT_EQ(mid.At(15, 3), kClad);
    ExpectMirrorSymmetric(mid, "splitter");
    EXPECT_NEAR(scene->GetLevelMeanN(8).re, DirectMean(mid).re, 1e-15);
}

TEST(LinSymSplitterLayer, DiameterGrowsFromDiamInToDiamOut)
{
    TLayerParms splitter = Layer(TLayerType::LinSymSplitter, 0, 10, kCore, kClad);
    splitter.DiamIn = 2;
    splitter.DiamOut = 12; // D = 2 + w: radius 1 at w = 0, 5 at w = 8
    splitter.shape = TXSectShape::rect;
    auto scene = MakeScene(SceneGrid(16, 16, 10), {splitter}, false);
    EXPECT_EQ(scene->GetLevel(0)->At(7, 7), kCore);
    EXPECT_EQ(scene->GetLevel(0)->At(6, 7), kClad);
    EXPECT_EQ(CountValue(*scene->GetLevel(8), kCore), 100); // |x|, |y| <= 5: 10 x 10
}

TEST(ExpSymSplitterLayer, ArmCentreFollowsTheExponentialLaw)
{
    // Metres (s = 1). Arm centre c_x = Xin - (Xout - Xin)*E with E = (1 - e^w)/(1 - e^L);
    // Xin = -2, Xout = 4 moves it from x = -2 towards x = -8.
    TLayerParms splitter = Layer(TLayerType::ExpSymSplitter, 0, 8, kCore, kClad);
    splitter.Xin = -2;
    splitter.Xout = 4;
    splitter.Yin = splitter.Yout = 0;
    splitter.DiamIn = splitter.DiamOut = 4;
    auto scene = MakeScene(SceneGrid(32, 16, 8), {splitter}, false);
    // Level 0: centre (-2, 0); (x, y) = (-2, -1) lies at d = 1: nSubject + (nSpace - nSubject)*1/4.
    const TComplexArray& first = *scene->GetLevel(0);
    EXPECT_NEAR(first.At(14, 7).re, 1.5 - 0.5 / 4, 1e-15);
    EXPECT_EQ(first.At(10, 7), kClad); // x = -6
    const double e = (1 - std::exp(7.0)) / (1 - std::exp(8.0));
    const double cx = -2 - 6 * e;
    const int column = 16 + int(std::lround(cx));
    const TComplexArray& last = *scene->GetLevel(7);
    EXPECT_LT(last.At(column, 7).re, 1.5);
    EXPECT_GT(last.At(column, 7).re, 1.25);
    EXPECT_EQ(last.At(15, 7), kClad);  // x = -1 is left behind
    EXPECT_EQ(last.At(31 - column, 8), last.At(column, 7)); // mirror image
}

TEST(ExpTaperLayer, RadiusHalvesEveryHalfWidthDownToDiamOut)
{
    // r = 4 at w = 0, 2 at w = 4, then 1 (= DiamOut/2) from w = 8 on.
    TLayerParms taper = Layer(TLayerType::ExpTaper, 0, 16, kCore, kClad);
    taper.DiamIn = 8;
    taper.DiamOut = 2;
    taper.expHalfWidth = 4;
    auto scene = MakeScene(SceneGrid(16, 16, 16), {taper}, false);
    EXPECT_EQ(CountValue(*scene->GetLevel(0), kCore), 32); // a^2 + b^2 <= 16: 8 points
    EXPECT_EQ(CountValue(*scene->GetLevel(4), kCore), 4);  // a^2 + b^2 <= 4: (1, 1)
    EXPECT_EQ(CountValue(*scene->GetLevel(12), kCore), 0); // r = 1 < sqrt(2)
    taper.shape = TXSectShape::rect;
    scene = MakeScene(SceneGrid(16, 16, 16), {taper}, false);
    EXPECT_EQ(CountValue(*scene->GetLevel(12), kCore), 4); // max(a, b) <= 1
}

TEST(ExpTaperLayer, DiamOutNotBelowDiamInKeepsTheRadiusConstant)
{
    TLayerParms taper = Layer(TLayerType::ExpTaper, 0, 12, kCore, kClad);
    taper.DiamIn = 2;
    taper.DiamOut = 6;
    taper.expHalfWidth = 2;
    auto scene = MakeScene(SceneGrid(16, 16, 12), {taper}, false);
    for (int iz = 0; iz < 12; ++iz)
        EXPECT_EQ(CountValue(*scene->GetLevel(iz), kCore), 16) << iz; // a^2 + b^2 <= 9
}

TLayerParms CrossedGrating()
{
    TLayerParms g = Layer(TLayerType::Grating, 0, 4, kCore, kClad);
    g.PitchX = g.PitchY = 8;
    g.WidthX = g.WidthY = 2;
    g.height = 2;
    return g;
}

TEST(GratingLayer, BuildFillsTheLastHeightWithCrossedBars)
{
    auto scene = MakeScene(SceneGrid(16, 16, 4), {CrossedGrating()}, false);
    // Levels 0 and 1 lie more than `height` before the layer's end.
    EXPECT_EQ(CountValue(*scene->GetLevel(0), kClad), 256);
    EXPECT_EQ(CountValue(*scene->GetLevel(1), kClad), 256);
    const TComplexArray& s = *scene->GetLevel(3);
    // Bars where x mod 8 or y mod 8 is 0 or 7 (within WidthX/2 of a period boundary).
    EXPECT_EQ(s.At(0, 3), kCore);
    EXPECT_EQ(s.At(7, 3), kCore);
    EXPECT_EQ(s.At(3, 8), kCore);
    EXPECT_EQ(s.At(3, 3), kClad);
    EXPECT_EQ(CountValue(s, kCore), 256 - 144); // 12 x 12 points off every bar
    EXPECT_NEAR(scene->GetLevelMeanN(3).re, TwoValueMean(112, 256), 1e-15);
}

TEST(GratingLayer, BuildBarsAreInterruptedByTheSeparations)
{
    TLayerParms g = CrossedGrating();
    g.YSep = 4; // gap where y mod 8 is 2..5 interrupts the bars running along y
    auto scene = MakeScene(SceneGrid(16, 16, 4), {g}, false);
    const TComplexArray& s = *scene->GetLevel(3);
    EXPECT_EQ(s.At(0, 3), kClad);
    EXPECT_EQ(s.At(0, 1), kCore);
    EXPECT_EQ(s.At(3, 0), kCore); // bars along x are not interrupted by YSep
}

TEST(GratingLayer, PerSliceFillsTheFirstHeightWithTeeth)
{
    auto scene = MakeScene(SceneGrid(16, 16, 4), {CrossedGrating()}, true);
    // circ: nSubject in the tooth r_x <= 2, r_y <= 2 (3 x 3 points per 8 x 8 period).
    for (int iz = 0; iz <= 2; ++iz)
        EXPECT_EQ(CountValue(*scene->GetLevel(iz), kCore), 4 * 9) << iz;
    EXPECT_EQ(scene->GetLevel(0)->At(10, 2), kCore);
    EXPECT_EQ(scene->GetLevel(0)->At(3, 2), kClad);
    EXPECT_EQ(CountValue(*scene->GetLevel(3), kClad), 256); // beyond the first height
    TLayerParms rect = CrossedGrating();
    rect.shape = TXSectShape::rect;
    scene = MakeScene(SceneGrid(16, 16, 4), {rect}, true);
    EXPECT_EQ(CountValue(*scene->GetLevel(1), kClad), 36);
    EXPECT_NEAR(scene->GetLevelMeanN(1).re, TwoValueMean(220, 256), 1e-15);
}

TEST(GratingLayer, ZeroPitchAndUnknownShapeDoNotCrash)
{
    test::TRecordingSink sink;
    TLayerParms g = CrossedGrating();
    g.PitchX = 0;
    g.shape = TXSectShape(255); // repeats the previous value: nSpace from the start
    auto large = MakeScene(SceneGrid(16, 16, 4), {g}, true);
    EXPECT_EQ(CountValue(*large->GetLevel(0), kClad), 256);
    auto system = MakeScene(SceneGrid(16, 16, 4), {g}, false);
    EXPECT_NE(system->GetLevel(3), nullptr);
    EXPECT_TRUE(sink.messages.empty());
}

TEST(PrismLayer, WedgeEdgeMovesWithDepth)
{
    TLayerParms prism = Layer(TLayerType::Prism, 0, 8, kCore, kClad);
    prism.WidthX = prism.WidthY = 8;
    prism.gradientX = 1;
    auto scene = MakeScene(SceneGrid(16, 16, 8), {prism}, false);
    // w = 0: |x|, |y| <= 4: 9 x 9 points; w = 4: the edge at x = 0 leaves 5 x 9.
    EXPECT_EQ(CountValue(*scene->GetLevel(0), kCore), 81);
    const TComplexArray& s4 = *scene->GetLevel(4);
    EXPECT_EQ(CountValue(s4, kCore), 45);
    EXPECT_EQ(s4.At(8, 8), kCore);
    EXPECT_EQ(s4.At(7, 8), kClad);
    EXPECT_NEAR(scene->GetLevelMeanN(4).re, TwoValueMean(45, 256), 1e-15);
}

TEST(PrismLayer, SmoothingAfterStoringLeavesTheMeanUnsmoothed)
{
    // Per slice: three-neighbour halving, signed > 0.125. The prism's first corner (4, 4)
    // rises 0.5 above its three nSpace neighbours and is halved to 1.25, but the mean
    // keeps the value computed before smoothing.
    TLayerParms prism = Layer(TLayerType::Prism, 0, 8, kCore, kClad);
    prism.WidthX = prism.WidthY = 8;
    prism.smooth = true;
    auto scene = MakeScene(SceneGrid(16, 16, 8), {prism}, true);
    const TComplexArray& s = *scene->GetLevel(0);
    EXPECT_DOUBLE_EQ(s.At(4, 4).re, 1.25);
    EXPECT_NEAR(scene->GetLevelMeanN(0).re, TwoValueMean(81, 256), 1e-15);
    EXPECT_EQ(s.At(12, 12), kCore); // a falling edge is not touched by the signed test
}

TEST(SlopeLayer, BuildTakesGradientInDegreesPerSliceAsSlopeRatio)
{
    // 45 degrees / ratio 1, ShiftZ 8, height 2.5, the rectangle covering the grid.
    TLayerParms slope = Layer(TLayerType::Slope, 0, 16, kCore, kClad);
    slope.X0 = slope.Y0 = -8;
    slope.WidthX = slope.WidthY = 16;
    slope.height = 2.5;
    slope.ShiftZ = 8;
    slope.gradientX = 45;
    auto system = MakeScene(SceneGrid(16, 16, 16), {slope}, false);
    // Build, w = 8: 8 + x <= 8 <= 10.5 + x for x in [-2.5, 0]: columns 6..8.
    const TComplexArray& b = *system->GetLevel(8);
    EXPECT_EQ(b.At(5, 3), kClad);
    EXPECT_EQ(b.At(6, 3), kCore);
    EXPECT_EQ(b.At(8, 3), kCore);
    EXPECT_EQ(b.At(9, 3), kClad);
    EXPECT_EQ(CountValue(b, kCore), 3 * 16);
    // Per slice, ratio 1: b = x + 6.75, slab b <= 8 <= b + 2.5*sqrt(2): x in [-2.29, 1.25],
    // columns 6..9.
    slope.gradientX = 1;
    auto large = MakeScene(SceneGrid(16, 16, 16), {slope}, true);
    const TComplexArray& p = *large->GetLevel(8);
    EXPECT_EQ(p.At(5, 3), kClad);
    EXPECT_EQ(p.At(6, 3), kCore);
    EXPECT_EQ(p.At(9, 3), kCore);
    EXPECT_EQ(p.At(10, 3), kClad);
    // Zero slope ratio: no slab rather than a division by zero.
    slope.gradientX = 0;
    large = MakeScene(SceneGrid(16, 16, 16), {slope}, true);
    EXPECT_EQ(CountValue(*large->GetLevel(8), kClad), 256);
}

TEST(SlopeLayer, OutsideTheRectangleIsSpace)
{
    TLayerParms slope = Layer(TLayerType::Slope, 0, 16, kCore, kClad);
    slope.X0 = 0;
    slope.Y0 = -2;
    slope.WidthX = 4;
    slope.WidthY = 4;
    slope.height = 100;
    auto scene = MakeScene(SceneGrid(16, 16, 16), {slope}, false);
    // x in [0, 4] (columns 8..12), y in [-2, 2] (rows 6..10), gradient 0: slab 0 <= w <= 100.
    EXPECT_EQ(CountValue(*scene->GetLevel(3), kCore), 25);
}

TEST(SceneModes, SystemArrayAndLargeSceneAgreeWithSmoothingOff)
{
    TLayerParms sphere = Layer(TLayerType::Sphere, 0, 6, kCore, kClad);
    sphere.Radius = 6;
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 4, kCore, kClad);
    guide.X0 = -3;
    guide.DiamIn = 4;
    guide.deltaN = {-0.01, 0.001};
    TLayerParms lin = Layer(TLayerType::LinSymSplitter, 0, 8, kCore, kClad);
    lin.gradientX = 0.4;
    lin.DiamIn = 2;
    lin.DiamOut = 4;
    lin.deltaN = {0.02, 0};
    TLayerParms exps = Layer(TLayerType::ExpSymSplitter, 0, 6, kCore, kClad);
    exps.Xin = -1;
    exps.Xout = 3;
    exps.DiamIn = exps.DiamOut = 3;
    TLayerParms taper = Layer(TLayerType::ExpTaper, 0, 8, kCore, kClad);
    taper.DiamIn = 10;
    taper.DiamOut = 2;
    taper.expHalfWidth = 3;
    taper.shape = TXSectShape::rect;
    TLayerParms prism = Layer(TLayerType::Prism, 0, 8, kCore, kClad);
    prism.WidthX = 8;
    prism.WidthY = 6;
    prism.gradientX = 0.7;
    const std::vector<TLayerParms> cases{Layer(TLayerType::Homog, 0, 3, {1.3, 0.02}), sphere, guide, lin, exps,
        taper, prism, Layer(TLayerType::None, 0, 2, {1.0, 0.0})};
    test::TRecordingSink sink; // the None layer reports its missing per-slice geometry
    for (const TLayerParms& layer : cases) {
        // Two layers, so that the second starts at a non-zero level.
        TLayerParms second = layer;
        second.zStart = layer.thickness;
        const std::vector<TLayerParms> layers{layer, second};
        const TGridParms grid = SceneGrid(16, 12, 1);
        auto system = MakeScene(grid, layers, false);
        auto large = MakeScene(grid, layers, true);
        const int levels = system->SystemArrayLength();
        ASSERT_EQ(levels, large->GetEndLevel(-1));
        for (int iz = 0; iz < levels; ++iz) {
            const std::string what = std::string(LayerTypeName(layer.type)) + " level " + std::to_string(iz);
            ASSERT_EQ(system->GetLevelMeanN(iz), large->GetLevelMeanN(iz)) << what;
            ASSERT_EQ(system->IsHomogLevel(iz), large->IsHomogLevel(iz)) << what;
            const TComplexArray& a = *system->GetLevel(iz);
            const TComplexArray& b = *large->GetLevel(iz);
            for (int iy = 0; iy < a.Ny(); ++iy)
                for (int ix = 0; ix < a.Nx(); ++ix)
                    ASSERT_EQ(a.At(ix, iy), b.At(ix, iy)) << what << " at " << ix << "," << iy;
        }
    }
}

TEST(SceneMean, OddSizesAndLineGridsAverageWhatTheSliceHolds)
{
    // The quadrant rule 4*sum/(nx*ny) double counts on odd sizes and on a line of points
    // (ny = 1 counts each value twice as often as it is stored).
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 2, kCore, kClad);
    guide.DiamIn = 6;
    for (const auto& size : {std::pair{16, 1}, std::pair{1, 16}, std::pair{5, 4}, std::pair{7, 7},
             std::pair{1, 1}, std::pair{16, 16}}) {
        for (bool large : {false, true}) {
            auto scene = MakeScene(SceneGrid(size.first, size.second, 2), {guide}, large);
            const TComplex mean = scene->GetLevelMeanN(1);
            const TComplex direct = DirectMean(*scene->GetLevel(1));
            EXPECT_NEAR(mean.re, direct.re, 1e-14) << size.first << "x" << size.second << " large " << large;
            EXPECT_LE(mean.re, 1.5);
        }
    }
}

TEST(QuadrantFrame, LineGridsAndOddSizesStoreWhereTheFrameSays)
{
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 1, kCore, kClad);
    guide.DiamIn = 2;
    guide.shape = TXSectShape::rect;
    // nx = 1: one column evaluated at x = -dx, stored at column 0.
    auto column = MakeScene(SceneGrid(1, 8, 1), {guide}, false);
    EXPECT_EQ(column->GetLevel(0)->At(0, 3), kCore); // y = -1
    EXPECT_EQ(column->GetLevel(0)->At(0, 4), kCore); // its image
    EXPECT_EQ(column->GetLevel(0)->At(0, 2), kClad);
    // ny = 1: the 2-D case, one row at y = -dy.
    auto row = MakeScene(SceneGrid(8, 1, 1), {guide}, false);
    EXPECT_EQ(CountValue(*row->GetLevel(0), kCore), 2);
    EXPECT_NEAR(row->GetLevelMeanN(0).re, TwoValueMean(2, 8), 1e-15);
    // nx = 5: hx = 2, columns 0, 1 and their images 4, 3; column 2 keeps a new slice's 0.
    auto odd = MakeScene(SceneGrid(5, 4, 1), {guide}, false);
    EXPECT_EQ(odd->GetLevel(0)->At(2, 1), (TComplex{0.0, 0.0}));
    EXPECT_EQ(odd->GetLevel(0)->At(1, 1), kCore);
    EXPECT_EQ(odd->GetLevel(0)->At(3, 2), kCore);
}

TEST(ShapeMessages, UnknownShapeIsReportedOncePerBuildAndOncePerSlice)
{
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 4, kCore, kClad);
    guide.DiamIn = 2;
    guide.shape = TXSectShape(255);
    {
        test::TRecordingSink sink;
        auto scene = MakeScene(SceneGrid(16, 16, 4), {guide}, false);
        EXPECT_EQ(sink.messages, std::vector<std::string>{
                                     "Error in TBrelScenes.buildWGuide(). Please specify \"shape\" in .ini-File."});
        // Distance 0 everywhere: every point is nSubject.
        EXPECT_EQ(CountValue(*scene->GetLevel(2), kCore), 256);
    }
    {
        test::TRecordingSink sink;
        auto scene = MakeScene(SceneGrid(16, 16, 4), {guide}, true);
        for (int iz = 0; iz < 4; ++iz)
            scene->GetLevel(iz);
        ASSERT_EQ(sink.messages.size(), 4u);
        EXPECT_EQ(sink.messages[3], "Error in TBrelScenes.getWGuideLayer(). Please specify \"shape\" in .ini-File.");
    }
    {
        // The splitter instead takes radius 0: the whole level is nSpace.
        test::TRecordingSink sink;
        TLayerParms lin = Layer(TLayerType::LinSymSplitter, 0, 2, kCore, kClad);
        lin.DiamIn = lin.DiamOut = 4;
        lin.shape = TXSectShape(255);
        auto scene = MakeScene(SceneGrid(16, 16, 2), {lin}, false);
        EXPECT_EQ(CountValue(*scene->GetLevel(0), kClad), 256);
        EXPECT_EQ(sink.messages.size(), 1u);
    }
}

TEST(Smoothing, SphereThresholdsDifferBetweenTheFamilies)
{
    // A step of 0.1 between core and space: above the build's 0.055, below the per-slice 0.125.
    TLayerParms sphere = Layer(TLayerType::Sphere, 0, 5, {1.1, 0.0}, kClad);
    sphere.Radius = 5;
    sphere.smooth = true;
    auto system = MakeScene(SceneGrid(16, 16, 5), {sphere}, false);
    auto large = MakeScene(SceneGrid(16, 16, 5), {sphere}, true);
    // Level 4, quadrant point (4, 6) (offsets -4, -2: 16 + 4 + 1 <= 25, inside) has its
    // three causal neighbours (offsets -5/-2, -5/-3, -4/-3) in space.
    EXPECT_DOUBLE_EQ(system->GetLevel(4)->At(4, 6).re, 1.05);
    EXPECT_DOUBLE_EQ(large->GetLevel(4)->At(4, 6).re, 1.1);
    // Smoothing before storing: the mirror images carry the smoothed value too.
    EXPECT_DOUBLE_EQ(system->GetLevel(4)->At(11, 9).re, 1.05);
}

TEST(Smoothing, BoxAverageIsInPlaceInRasterOrder)
{
    TComplexArray s(4, 4);
    s.SetAt(1, 1, {9.0, 0.9});
    scene::BoxSmooth(s);
    // (0,0): the 3 x 3 clamped neighbourhood holds (1,1) once: 9/9.
    EXPECT_DOUBLE_EQ(s.At(0, 0).re, 1.0);
    // (1,0): row 0 counted twice with the already-replaced (0,0) = 1, plus 9: 11/9.
    EXPECT_DOUBLE_EQ(s.At(1, 0).re, 11.0 / 9.0);
    EXPECT_DOUBLE_EQ(s.At(0, 0).im, 0.1);
}

TEST(Smoothing, WguideBuildMeanIsTakenAfterTheBox)
{
    TLayerParms guide = Layer(TLayerType::Wguide, 0, 2, kCore, kClad);
    guide.DiamIn = 6;
    guide.smooth = true;
    auto scene = MakeScene(SceneGrid(16, 16, 2), {guide}, false);
    const TComplexArray& s = *scene->GetLevel(0);
    EXPECT_NEAR(scene->GetLevelMeanN(0).re, DirectMean(s).re, 1e-15);
    EXPECT_GT(s.At(5, 7).re, 1.0); // the edge is blurred outwards
    EXPECT_LT(s.At(6, 6).re, 1.5); // and inwards
}

} // namespace
} // namespace ksn
