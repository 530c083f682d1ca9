// The scene model: levels, clamping, both modes, the memory guard, point lookup.
#include "SceneTestSupport.h"
#include "support/RecordingSink.h"

#include "config/ConfigText.h"

#include <gtest/gtest.h>

namespace ksn {
namespace {

using test::Layer;
using test::MakeScene;
using test::SceneGrid;

const TComplex kFirst{1.1, 0.0};
const TComplex kSecond{1.2, 0.01};

std::vector<TLayerParms> TwoHomogLayers()
{
    return {Layer(TLayerType::Homog, 0, 3, kFirst), Layer(TLayerType::Homog, 3, 2, kSecond)};
}

TEST(SceneLevels, LayersOfThreeAndTwoFillFiveLevelsInOrder)
{
    test::TRecordingSink sink;
    auto scene = MakeScene(SceneGrid(4, 4, 5), TwoHomogLayers(), false);
    EXPECT_EQ(scene->GetEndLevel(0), 3);
    EXPECT_EQ(scene->GetEndLevel(-1), 5);
    EXPECT_EQ(scene->SystemArrayLength(), 5);
    for (int iz = 0; iz < 5; ++iz) {
        const TComplex expected = iz < 3 ? kFirst : kSecond;
        EXPECT_EQ(scene->GetLevelMeanN(iz), expected) << "level " << iz;
        EXPECT_TRUE(scene->IsHomogLevel(iz));
        ASSERT_NE(scene->GetLevel(iz), nullptr);
        EXPECT_EQ(scene->GetLevel(iz)->At(2, 1), expected);
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST(SceneLevels, LevelsOutsideTheStackAreClampedToTheEnds)
{
    for (bool large : {false, true}) {
        auto scene = MakeScene(SceneGrid(4, 4, 5), TwoHomogLayers(), large);
        EXPECT_EQ(scene->GetLevelMeanN(-7), kFirst) << "large " << large;
        EXPECT_EQ(scene->GetLevelMeanN(5), kSecond) << "large " << large;
        EXPECT_EQ(scene->GetLevelMeanN(1000), kSecond) << "large " << large;
        EXPECT_EQ(scene->GetLevel(-1)->At(0, 0), kFirst);
        EXPECT_EQ(scene->GetLevel(99)->At(0, 0), kSecond);
        EXPECT_TRUE(scene->IsHomogLevel(-3));
    }
}

TEST(SceneLevels, LayerBoundaryBelongsToTheLaterLayer)
{
    test::TRecordingSink sink;
    auto scene = MakeScene(SceneGrid(4, 4, 5), TwoHomogLayers(), false);
    TLayerParms found;
    ASSERT_TRUE(scene->GetLevelParms(3.0, found));
    EXPECT_EQ(found.nSubject, kSecond);
    ASSERT_TRUE(scene->GetLevelParms(2.999, found));
    EXPECT_EQ(found.nSubject, kFirst);
    EXPECT_FALSE(scene->GetLevelParms(5.0, found));
    EXPECT_TRUE(sink.HasMessage("Error in TBrelScenes.GetLevelParms. No TParms-record found for location 5"));
}

TEST(SceneLevels, ReportFlagComesFromTheLayerOfTheLevel)
{
    test::TRecordingSink sink;
    auto layers = TwoHomogLayers();
    layers[1].report = true;
    auto scene = MakeScene(SceneGrid(4, 4, 5), layers, false);
    EXPECT_FALSE(scene->GetLevelReport(2));
    EXPECT_TRUE(scene->GetLevelReport(3));
    EXPECT_TRUE(sink.messages.empty());
    // No clamping: a level beyond the stack has no layer.
    EXPECT_FALSE(scene->GetLevelReport(9));
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST(SceneLayers, ReplaceBeyondTheCountAppendsOneEntry)
{
    test::TRecordingSink sink;
    TBrelScenes scene(2, SceneGrid(4, 4, 5), false);
    EXPECT_TRUE(scene.Replace(7, Layer(TLayerType::Homog, 0, 4)));
    EXPECT_EQ(scene.Layers().size(), 3u);
    EXPECT_EQ(scene.GetLastLevel(), 4);
    EXPECT_TRUE(scene.Replace(1, Layer(TLayerType::Homog, 0, 2)));
    EXPECT_EQ(scene.Layers().size(), 3u);
    EXPECT_FALSE(scene.Replace(-1, Layer(TLayerType::Homog, 0, 2)));
    EXPECT_TRUE(sink.HasMessage("Error in procedure TBrelScenes.Replace(const i : Integer; const layerParms : "
                                "TLayerParms). Cannot replace TLayerParms."));
    EXPECT_EQ(scene.Layers().size(), 3u);
}

TEST(SceneLayers, DescriptionIsTheLayerSectionsInOrder)
{
    auto layers = TwoHomogLayers();
    auto scene = MakeScene(SceneGrid(4, 4, 5), layers, false);
    EXPECT_EQ(scene->GetDescription(), LayerSectionText(0, layers[0]) + LayerSectionText(1, layers[1]));
}

TEST(SceneBuild, RefusedInLargeSceneModeOrWithoutLayers)
{
    const std::string refusal = "System Array was not built. Scene is flagged as \"LARGESCENE\" in .ini-file or "
                                "no layer Parms record could be built from .ini-file.";
    test::TRecordingSink sink;
    TBrelScenes empty(0, SceneGrid(4, 4, 5), false);
    EXPECT_FALSE(empty.BuildSystemArray());
    EXPECT_EQ(empty.GetLevel(0), nullptr);
    auto large = MakeScene(SceneGrid(4, 4, 5), TwoHomogLayers(), true);
    EXPECT_FALSE(large->BuildSystemArray());
    EXPECT_EQ(large->SystemArrayLength(), 0);
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0], refusal);
    EXPECT_EQ(sink.messages[1], refusal);
}

TEST(SceneBuild, MeanVectorHasOneEntryPerLevelEvenBeyondNz)
{
    // nz says 2, the layers fill 5 levels: the means of levels 2..4 must still be kept.
    auto scene = MakeScene(SceneGrid(4, 4, 2), TwoHomogLayers(), false);
    EXPECT_EQ(scene->MeanNVecLength(), 5);
    EXPECT_EQ(scene->GetLevelMeanN(4), kSecond);
}

TEST(SceneMemory, SystemArrayTooLargeIsRefusedNamingLargescene)
{
    test::TRecordingSink sink;
    TBrelScenes scene(0, SceneGrid(64, 64, 100), false);
    scene.Replace(0, Layer(TLayerType::Homog, 0, 100, kFirst));
    scene.SetMemoryLimit(1u << 20); // 100 levels of 64 x 64 need 6.25 MB
    EXPECT_FALSE(scene.BuildSystemArray());
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("largescene=1"), std::string::npos) << sink.messages[0];
    EXPECT_EQ(scene.SystemArrayLength(), 0);
    EXPECT_EQ(scene.AllocatedSlices(), 0);
    // Switching back to the system array keeps large-scene mode while it does not fit.
    EXPECT_TRUE(scene.SetLargeScene(true));
    EXPECT_TRUE(scene.SetLargeScene(false));
    EXPECT_TRUE(scene.IsLargeScene());
    ASSERT_NE(scene.GetLevel(50), nullptr);
    EXPECT_EQ(scene.GetLevel(50)->At(10, 10), kFirst);
    // With enough memory the same scene builds.
    scene.SetMemoryLimit(64u << 20);
    EXPECT_FALSE(scene.SetLargeScene(false));
    EXPECT_EQ(scene.SystemArrayLength(), 100);
}

TEST(SceneMemory, LargeSceneOf256By256By400HoldsTwoSlices)
{
    test::TRecordingSink sink;
    const TGridParms grid = SceneGrid(256, 256, 400);
    TLayerParms guide = Layer(TLayerType::Wguide, 100, 300, {1.46, 0.0}, {1.45, 0.0});
    guide.DiamIn = guide.DiamOut = 8;
    auto scene = MakeScene(grid, {Layer(TLayerType::Homog, 0, 100, {1.45, 0.0}), guide}, true);
    for (int iz = 0; iz < 400; ++iz) {
        scene->GetLevelReport(iz);
        const TComplex mean = scene->GetLevelMeanN(iz);
        const bool homog = scene->IsHomogLevel(iz);
        const TComplexArray* slice = scene->GetLevel(iz);
        ASSERT_NE(slice, nullptr);
        ASSERT_EQ(homog, iz < 100) << iz;
        ASSERT_EQ(slice->At(128, 128), (iz < 100 ? TComplex{1.45, 0.0} : TComplex{1.46, 0.0})) << iz;
        ASSERT_GT(mean.re, 1.449);
        ASSERT_EQ(scene->AllocatedSlices(), 2) << iz;
    }
    EXPECT_EQ(scene->SystemArrayLength(), 0);
    EXPECT_EQ(scene->CacheSlotCount(), 2);
    EXPECT_EQ(scene->HomogVecLength(), 2);
    EXPECT_EQ(scene->MeanNVecLength(), 2);
    EXPECT_EQ(scene->LevelsComputed(), 400); // every level computed exactly once in order
    EXPECT_TRUE(sink.messages.empty());
}

TEST(SceneLargeMode, LevelIsRecomputedOnlyAfterItsSlotWasReused)
{
    auto scene = MakeScene(SceneGrid(8, 8, 10), {Layer(TLayerType::Homog, 0, 10)}, true);
    scene->GetLevel(4);
    scene->GetLevel(5);
    scene->GetLevel(4);
    EXPECT_EQ(scene->LevelsComputed(), 2);
    EXPECT_EQ(scene->CachedLevel(0), 4);
    EXPECT_EQ(scene->CachedLevel(1), 5);
    scene->GetLevel(6);
    scene->GetLevel(4);
    EXPECT_EQ(scene->LevelsComputed(), 4);
    // Consecutive levels stay valid together.
    const TComplexArray* a = scene->GetLevel(7);
    const TComplexArray* b = scene->GetLevel(8);
    EXPECT_NE(a, b);
    EXPECT_EQ(scene->GetLevel(7), a);
}

TEST(SceneLargeMode, ChangedLayerIsNotServedFromTheCache)
{
    auto scene = MakeScene(SceneGrid(8, 8, 10), {Layer(TLayerType::Homog, 0, 10, kFirst)}, true);
    EXPECT_EQ(scene->GetLevelMeanN(3), kFirst);
    scene->Replace(0, Layer(TLayerType::Homog, 0, 10, kSecond));
    EXPECT_EQ(scene->GetLevelMeanN(3), kSecond);
    EXPECT_EQ(scene->GetLevel(3)->At(0, 0), kSecond);
}

TEST(SceneLargeMode, LevelsFollowTheBuildersWhereZRoundsAcrossABoundary)
{
    // 0.7/0.1 = 6.999999999999999 is 7 whole slices within rounding: the guide begins at
    // level 7 in both modes (the rule that also counts the stack's slices), whatever
    // 7*0.1 rounds to.
    TLayerParms guide = Layer(TLayerType::Wguide, 0.7, 0.3, {1.6, 0.0}, {1.2, 0.0});
    guide.DiamIn = 4;
    const std::vector<TLayerParms> layers{Layer(TLayerType::Homog, 0, 0.7, kFirst), guide};
    const TGridParms grid = SceneGrid(8, 8, 10, 1.0, 1.0, 0.1);
    auto system = MakeScene(grid, layers, false);
    auto large = MakeScene(grid, layers, true);
    ASSERT_EQ(system->SystemArrayLength(), large->GetEndLevel(-1));
    EXPECT_EQ(large->GetEndLevel(-1), 10);
    EXPECT_TRUE(system->IsHomogLevel(6));
    EXPECT_FALSE(system->IsHomogLevel(7));
    for (int iz = 0; iz < system->SystemArrayLength(); ++iz) {
        EXPECT_EQ(system->GetLevelMeanN(iz), large->GetLevelMeanN(iz)) << iz;
        EXPECT_EQ(system->IsHomogLevel(iz), large->IsHomogLevel(iz)) << iz;
        EXPECT_EQ(system->GetLevel(iz)->At(3, 3), large->GetLevel(iz)->At(3, 3)) << iz;
    }
}

TEST(SceneModes, LevelNoLayerClaimsIsVacuumInBothModes)
{
    // Records not placed end to end leave level 2 to no layer. A fresh cache slot holds
    // zeros: handed out, it would propagate an all-zero field.
    const std::vector<TLayerParms> gap{Layer(TLayerType::Homog, 0, 2, kFirst), Layer(TLayerType::Homog, 3, 2, kSecond)};
    for (bool large : {false, true}) {
        SCOPED_TRACE(large ? "large scene" : "system array");
        test::TRecordingSink sink;
        auto scene = MakeScene(SceneGrid(4, 4, 5), gap, large);
        EXPECT_EQ(scene->GetLevelMeanN(2), (TComplex{1.0, 0.0}));
        EXPECT_TRUE(scene->IsHomogLevel(2));
        ASSERT_NE(scene->GetLevel(2), nullptr);
        EXPECT_EQ(test::CountValue(*scene->GetLevel(2), {1.0, 0.0}), 16);
        EXPECT_EQ(scene->GetLevelMeanN(3), kSecond);
        EXPECT_TRUE(sink.messages.empty());
    }
}

TEST(SceneModes, SwitchingOffLargeSceneRebuildsFromTheStoredLayers)
{
    auto scene = MakeScene(SceneGrid(4, 4, 5), TwoHomogLayers(), false);
    EXPECT_TRUE(scene->SetLargeScene(true));
    EXPECT_EQ(scene->SystemArrayLength(), 0);
    EXPECT_EQ(scene->CacheSlotCount(), 2);
    EXPECT_TRUE(scene->SetLargeScene(true)); // same value: nothing changes
    EXPECT_EQ(scene->CacheSlotCount(), 2);
    EXPECT_FALSE(scene->SetLargeScene(false));
    EXPECT_EQ(scene->CacheSlotCount(), 0);
    EXPECT_EQ(scene->SystemArrayLength(), 5);
    EXPECT_EQ(scene->GetLevelMeanN(4), kSecond);
}

TEST(ScenePoints, GetNReadsTheSystemArrayAndRejectsEverythingElse)
{
    const std::string invalid = "Error in TBrelScenes.GetN(). Invalid coordinates.";
    test::TRecordingSink sink;
    auto scene = MakeScene(SceneGrid(4, 3, 5), TwoHomogLayers(), false);
    TComplex n{9, 9};
    EXPECT_TRUE(scene->GetN(3, 2, 4, n));
    EXPECT_EQ(n, kSecond);
    n = {9, 9};
    EXPECT_FALSE(scene->GetN(4, 0, 0, n));
    EXPECT_FALSE(scene->GetN(0, 3, 0, n));
    EXPECT_FALSE(scene->GetN(0, 0, 5, n));
    EXPECT_FALSE(scene->GetN(-1, 0, 0, n));
    EXPECT_EQ(n, (TComplex{9, 9})); // left unchanged
    scene->SetLargeScene(true);
    EXPECT_FALSE(scene->GetN(0, 0, 0, n));
    ASSERT_EQ(sink.messages.size(), 5u);
    for (const auto& m : sink.messages)
        EXPECT_EQ(m, invalid);
}

} // namespace
} // namespace ksn

namespace ksn {
namespace {

// The level lookup of large-scene mode (a binary search over rising level ranges, a scan
// otherwise) against the rule itself: the last layer with Floor(zStart/dz) <= iz <
// Floor(end/dz), vacuum where none; and against the system array, built layer by layer.
TEST(SceneLevels, LevelLookupFollowsTheLastLayerRuleForRisingAndFoldedStacks)
{
    const std::vector<std::vector<std::pair<double, double>>> stacks = {
        // end to end, with an empty layer and a fractional boundary
        {{0, 3}, {3, 0}, {3, 2.5}, {5.5, 4.5}, {10, 1}},
        // folded: a later layer starts before an earlier one ends, one lies inside another
        {{0, 6}, {2, 2}, {4, 5}, {1, 1}, {9, 2}},
    };
    for (const auto& stack : stacks) {
        std::vector<TLayerParms> layers;
        for (size_t i = 0; i < stack.size(); ++i)
            layers.push_back(test::Layer(TLayerType::Homog, stack[i].first, stack[i].second, {1.0 + 0.1 * double(i + 1), 0}));
        auto large = MakeScene(SceneGrid(2, 2, 11), layers, true);
        auto built = MakeScene(SceneGrid(2, 2, 11), layers, false);
        const int levels = large->GetEndLevel(-1);
        for (int iz = 0; iz < levels; ++iz) {
            TComplex expected{1.0, 0.0};
            for (size_t i = 0; i < stack.size(); ++i)
                if (std::floor(stack[i].first) <= iz && iz < std::floor(stack[i].first + stack[i].second))
                    expected = {1.0 + 0.1 * double(i + 1), 0};
            EXPECT_EQ(large->GetLevelMeanN(iz), expected) << "level " << iz;
            EXPECT_EQ(built->GetLevelMeanN(iz), expected) << "level " << iz;
        }
    }
}

} // namespace
} // namespace ksn
