// Layer-parameter variation: odometer stepping, wrap test, rebuild, entry selection.
#include "SceneTestSupport.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <utility>

namespace ksn {
namespace {

using test::Layer;
using test::MakeScene;
using test::SceneGrid;

TParmsVariation Variation(int num, TParms parm, TComplex first, TComplex delta, int steps)
{
    TParmsVariation v;
    v.num = num;
    v.parm = parm;
    v.first = first;
    v.delta = delta;
    v.steps = steps;
    return v;
}

std::unique_ptr<TBrelScenes> TwoLayerScene(bool large = false)
{
    return MakeScene(SceneGrid(4, 4, 4),
        {Layer(TLayerType::Homog, 0, 2, {1.1, 0.0}), Layer(TLayerType::Homog, 2, 2, {1.2, 0.0})}, large);
}

TEST(SceneVariation, ThreeStepsTakeThreeValuesThenEndAtFirst)
{
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::X0, {0.0, 0.0}, {1.0, 0.0}, 3));
    EXPECT_EQ(scene->GetConfigTotal(), 3);
    scene->ResetConfig();
    EXPECT_EQ(scene->Layers()[0].X0, 0.0);
    for (double expected : {1.0, 2.0}) {
        EXPECT_TRUE(scene->NextConfig());
        EXPECT_EQ(scene->Layers()[0].X0, expected);
    }
    EXPECT_EQ(scene->GetConfigCount(), 2);
    EXPECT_FALSE(scene->NextConfig());
    EXPECT_EQ(scene->Layers()[0].X0, 0.0);
    EXPECT_EQ(scene->GetConfigCount(), 0); // reset after the series ended
}

TEST(SceneVariation, TenthsDoNotWrapEarly)
{
    // 0.1 + 0.1 + 0.1 = 0.30000000000000004 > 0.3: a wheel that compared accumulated
    // values with the last one would wrap early and lose a configuration.
    for (int steps : {3, 7, 10}) {
        auto scene = TwoLayerScene();
        scene->Replace(0, Variation(1, TParms::Radius, {0.0, 0.0}, {0.1, 0.0}, steps));
        scene->ResetConfig();
        for (int k = 1; k < steps; ++k) {
            ASSERT_TRUE(scene->NextConfig()) << "steps " << steps << " at " << k;
            ASSERT_NEAR(scene->Layers()[1].Radius, 0.1 * k, 1e-12);
        }
        EXPECT_FALSE(scene->NextConfig());
        EXPECT_EQ(scene->Layers()[1].Radius, 0.0);
    }
    // The wheel itself wraps at the step after its last value, first + 2*delta.
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::height, {0.0, 0.0}, {0.1, 0.0}, 3));
    scene->ResetConfig();
    EXPECT_TRUE(scene->setConfig(0, 1, false));
    EXPECT_TRUE(scene->setConfig(0, 1, false));
    EXPECT_DOUBLE_EQ(scene->Layers()[0].height, 0.2);
    EXPECT_FALSE(scene->setConfig(0, 1, false));
    EXPECT_EQ(scene->Layers()[0].height, 0.0);
}

TEST(SceneVariation, TwoWheelsVisitTheirFullGridEntryZeroFastest)
{
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::X0, {0.0, 0.0}, {1.0, 0.0}, 2));
    scene->Replace(1, Variation(1, TParms::Y0, {10.0, 0.0}, {5.0, 0.0}, 3));
    EXPECT_EQ(scene->GetConfigTotal(), 6);
    scene->ResetConfig();
    const std::vector<std::pair<double, double>> expected{{1, 10}, {0, 15}, {1, 15}, {0, 20}, {1, 20}};
    for (const auto& [x, y] : expected) {
        ASSERT_TRUE(scene->NextConfig());
        EXPECT_EQ(scene->Layers()[0].X0, x);
        EXPECT_EQ(scene->Layers()[1].Y0, y);
    }
    EXPECT_FALSE(scene->NextConfig());
    EXPECT_EQ(scene->Layers()[0].X0, 0.0);
    EXPECT_EQ(scene->Layers()[1].Y0, 10.0);
}

TEST(SceneVariation, NegativeDeltaStepsDownwards)
{
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::DiamIn, {5.0, 0.0}, {-1.0, 0.0}, 3));
    scene->ResetConfig();
    EXPECT_TRUE(scene->setConfig(0, 1, false));
    EXPECT_TRUE(scene->setConfig(0, 1, false));
    EXPECT_EQ(scene->Layers()[0].DiamIn, 3.0);
    EXPECT_FALSE(scene->setConfig(0, 1, false));
    EXPECT_EQ(scene->Layers()[0].DiamIn, 5.0);
}

TEST(SceneVariation, WithoutActiveEntryTheSeriesIsOneRun)
{
    auto scene = TwoLayerScene();
    EXPECT_FALSE(scene->NextConfig()); // no entries at all
    TParmsVariation neutral;           // a wave variation handed to the scene: inactive
    scene->Replace(0, neutral);
    EXPECT_EQ(scene->GetConfigTotal(), 1);
    EXPECT_FALSE(scene->NextConfig());
}

TEST(SceneVariation, ImaginaryOnlyDeltaWrapsAfterItsSteps)
{
    // A kappa-only step has no real part to compare: the wheel still takes its two values
    // and carries to the next one.
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::nSubject, {1.5, 0.0}, {0.0, 0.01}, 2));
    scene->Replace(1, Variation(1, TParms::nSubject, {1.2, 0.0}, {0.1, 0.0}, 2));
    EXPECT_EQ(scene->GetConfigTotal(), 4);
    scene->ResetConfig();
    const std::vector<std::pair<double, double>> expected{{0.01, 1.2}, {0.0, 1.3}, {0.01, 1.3}};
    for (const auto& [kappa, n] : expected) {
        ASSERT_TRUE(scene->NextConfig());
        EXPECT_NEAR(scene->Layers()[0].nSubject.im, kappa, 1e-15);
        EXPECT_NEAR(scene->Layers()[1].nSubject.re, n, 1e-15);
    }
    EXPECT_FALSE(scene->NextConfig());
    EXPECT_EQ(scene->Layers()[0].nSubject, (TComplex{1.5, 0.0}));
    EXPECT_EQ(scene->Layers()[1].nSubject, (TComplex{1.2, 0.0}));
}

TEST(SceneVariation, EachStepRebuildsTheSystemArray)
{
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(1, TParms::nSubject, {1.3, 0.0}, {0.1, 0.001}, 2));
    scene->ResetConfig();
    EXPECT_EQ(scene->GetLevelMeanN(3), (TComplex{1.2, 0.0})); // reset does not rebuild
    ASSERT_TRUE(scene->NextConfig());
    EXPECT_NEAR(scene->GetLevelMeanN(3).re, 1.4, 1e-15);
    EXPECT_NEAR(scene->GetLevel(3)->At(1, 1).im, 0.001, 1e-18);
    EXPECT_EQ(scene->GetLevelMeanN(0), (TComplex{1.1, 0.0}));
}

TEST(SceneVariation, LargeSceneServesTheSteppedValue)
{
    auto scene = TwoLayerScene(true);
    scene->Replace(0, Variation(1, TParms::nSubject, {1.3, 0.0}, {0.1, 0.0}, 2));
    EXPECT_EQ(scene->GetLevelMeanN(3), (TComplex{1.2, 0.0}));
    scene->ResetConfig();
    EXPECT_EQ(scene->GetLevelMeanN(3), (TComplex{1.3, 0.0}));
    ASSERT_TRUE(scene->NextConfig());
    EXPECT_NEAR(scene->GetLevel(3)->At(0, 0).re, 1.4, 1e-15);
    EXPECT_EQ(scene->SystemArrayLength(), 0);
}

TEST(SceneVariation, WaveParameterIsReportedAndStopsTheOdometer)
{
    test::TRecordingSink sink;
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::lambda, {1.0, 0.0}, {0.1, 0.0}, 2));
    scene->Replace(1, Variation(0, TParms::X0, {0.0, 0.0}, {1.0, 0.0}, 2));
    scene->ResetConfig();
    sink.messages.clear();
    EXPECT_TRUE(scene->NextConfig());
    EXPECT_EQ(scene->Layers()[0].X0, 0.0); // entry 1 does not advance past entry 0
    EXPECT_EQ(sink.messages,
        std::vector<std::string>{"TBrelScenes.setConfig(const i,j : Integer) : Boolean. Unknown parameter in "
                                 "parmVariation."});
}

TEST(SceneVariation, MissingLayerIsReportedNotWrittenOutOfBounds)
{
    test::TRecordingSink sink;
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(5, TParms::X0, {0.0, 0.0}, {1.0, 0.0}, 2));
    EXPECT_TRUE(scene->setConfig(0, 1, false));
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST(SceneVariation, ReplaceGrowsTheArrayAndRejectsNegativeIndices)
{
    test::TRecordingSink sink;
    auto scene = TwoLayerScene();
    scene->Replace(0, Variation(0, TParms::X0, {0.0, 0.0}, {1.0, 0.0}, 3));
    scene->NextConfig();
    EXPECT_EQ(scene->GetConfigCount(), 1);
    EXPECT_TRUE(scene->Replace(3, Variation(1, TParms::Y0, {0.0, 0.0}, {1.0, 0.0}, 4)));
    EXPECT_EQ(scene->Variations().size(), 4u);
    EXPECT_EQ(scene->GetConfigTotal(), 12); // the gap entries are inactive
    EXPECT_EQ(scene->GetConfigCount(), 0);
    scene->NextConfig();
    EXPECT_FALSE(scene->Replace(-2, Variation(0, TParms::X0, {}, {}, 1)));
    EXPECT_EQ(scene->GetConfigCount(), 1); // unchanged on failure
    EXPECT_TRUE(sink.HasMessage("Error in procedure TBrelScenes.Replace(const i : Integer; const parmsVariation : "
                                "TParmsVariation). Cannot replace TParmVariation."));
}

TEST(SceneVariation, XAndYParmsAreEntriesZeroAndOne)
{
    test::TRecordingSink sink;
    auto scene = TwoLayerScene();
    TParmsVariation out;
    EXPECT_FALSE(scene->GetXParm(out));
    EXPECT_TRUE(sink.HasMessage("Error in TBrelScenes.GetXParm(const i : Integer) : TParmVariation. "
                                "myParmsVariationArr not initialized."));
    const TParmsVariation a = Variation(0, TParms::X0, {}, {1.0, 0.0}, 2);
    const TParmsVariation b = Variation(1, TParms::Y0, {}, {1.0, 0.0}, 3);
    const TParmsVariation c = Variation(1, TParms::Radius, {}, {1.0, 0.0}, 4);
    scene->Replace(0, a);
    EXPECT_FALSE(scene->GetYParm(out));
    EXPECT_TRUE(sink.HasMessage("Error in TBrelScenes.GetYParm(const i : Integer) : TParmVariation. "
                                "myParmsVariationArr not initialized."));
    scene->Replace(1, b);
    scene->Replace(2, c);
    scene->SetXParm(2);
    ASSERT_TRUE(scene->GetXParm(out));
    EXPECT_EQ(out, c);
    scene->SetYParm(2);
    ASSERT_TRUE(scene->GetYParm(out));
    EXPECT_EQ(out, a);
    sink.messages.clear();
    scene->SetXParm(5);
    scene->SetYParm(-1);
    EXPECT_EQ(sink.messages,
        (std::vector<std::string>{
            "Error in TBrelScenes.SetXParm(const i : Integer). Cannot set XParm. Invalid index i=5",
            "Error in TBrelScenes.SetXParm(const i : Integer). Cannot set XParm. Invalid index i=-1"}));
}

} // namespace
} // namespace ksn
