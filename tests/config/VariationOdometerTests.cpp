// The odometer shared by the field's and the scene's variations: the full grid of the
// wheels' values, and one rule for the edge cases of a step count.
#include "config/VariationOdometer.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>
#include <vector>

namespace ksn {
namespace {

TParmsVariation Wheel(int steps, TComplex first, TComplex delta)
{
    TParmsVariation v;
    v.num = 0;
    v.parm = TParms::X0;
    v.steps = steps;
    v.first = first;
    v.delta = delta;
    return v;
}

// Steps the odometer as an owner does and collects the values of wheels 0 and 1 of
// every configuration of the series, the one at Reset included.
std::vector<std::pair<TComplex, TComplex>> Series(TVariationOdometer& odometer)
{
    const auto values = [&] { return std::make_pair(odometer.Value(0), odometer.Value(1)); };
    odometer.Reset();
    std::vector<std::pair<TComplex, TComplex>> seen{values()};
    while (odometer.Step([&](int i) { return odometer.Turn(i, 1); })) {
        seen.push_back(values());
        if (seen.size() > 100)
            break;
    }
    return seen;
}

TEST(VariationOdometer, ThreeAndTwoStepsGiveSixDistinctConfigurationsEntryZeroFastest)
{
    TVariationOdometer odometer;
    // A negative delta and a delta without real part: both take their values like any other.
    odometer.Replace(0, Wheel(3, {5.0, 0.0}, {-0.5, 0.0}));
    odometer.Replace(1, Wheel(2, {1.5, 0.0}, {0.0, 0.01}));
    EXPECT_EQ(odometer.Total(), 6);
    const auto seen = Series(odometer);
    const std::vector<std::pair<TComplex, TComplex>> expected{
        {{5.0, 0}, {1.5, 0}}, {{4.5, 0}, {1.5, 0}}, {{4.0, 0}, {1.5, 0}},
        {{5.0, 0}, {1.5, 0.01}}, {{4.5, 0}, {1.5, 0.01}}, {{4.0, 0}, {1.5, 0.01}}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(odometer.Count(), 6);
    EXPECT_EQ(odometer.Position(0), 0); // the last step wrapped every wheel
    EXPECT_EQ(odometer.Position(1), 0);
}

TEST(VariationOdometer, StepCountBelowOneHoldsTheFirstValue)
{
    // 0 and -3 steps count as one value each: the total stays 2, not 0 or negative.
    TVariationOdometer odometer;
    odometer.Replace(0, Wheel(0, {7.0, 0.0}, {1.0, 0.0}));
    odometer.Replace(1, Wheel(2, {1.0, 0.0}, {1.0, 0.0}));
    odometer.Replace(2, Wheel(-3, {9.0, 0.0}, {1.0, 0.0}));
    EXPECT_EQ(odometer.Total(), 2);
    const auto seen = Series(odometer);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].first, (TComplex{7.0, 0.0}));
    EXPECT_EQ(seen[1].second, (TComplex{2.0, 0.0}));
    EXPECT_EQ(odometer.Value(2), (TComplex{9.0, 0.0}));
}

TEST(VariationOdometer, InactiveEntriesTakeNoPartAndTheTotalSaturates)
{
    TVariationOdometer odometer;
    EXPECT_FALSE(odometer.Step([](int) { return true; })); // nothing to step
    odometer.Replace(3, Wheel(100000, {}, {1.0, 0.0}));
    EXPECT_EQ(odometer.Size(), 4);
    EXPECT_FALSE(TVariationOdometer::IsActive(odometer.Entry(1)));
    EXPECT_EQ(odometer.Total(), 100000);
    odometer.Replace(0, Wheel(100000, {}, {1.0, 0.0}));
    EXPECT_EQ(odometer.Total(), INT_MAX);
    std::vector<int> turned;
    odometer.Step([&](int i) {
        turned.push_back(i);
        return false; // a wrap carries to the next active wheel only
    });
    EXPECT_EQ(turned, (std::vector<int>{0, 3}));
}

TEST(VariationOdometer, SwapMovesTheWheelsWithTheirPositions)
{
    TVariationOdometer odometer;
    odometer.Replace(0, Wheel(3, {0.0, 0.0}, {1.0, 0.0}));
    odometer.Replace(1, Wheel(3, {10.0, 0.0}, {1.0, 0.0}));
    odometer.Turn(0, 1);
    odometer.Turn(0, 1);
    odometer.Swap(0, 1);
    EXPECT_EQ(odometer.Entry(1).first.re, 0.0);
    EXPECT_EQ(odometer.Value(1), (TComplex{2.0, 0.0}));
    EXPECT_EQ(odometer.Value(0), (TComplex{10.0, 0.0}));
}

} // namespace
} // namespace ksn
