// The run loop with counting fake steps: call patterns of forward and bidirectional
// runs, the slice store mapping, step timing and the refusals.
#include "DriverTestSupport.h"

#include "control/SimulationDriver.h"
#include "field/ScalarEField.h"
#include "numerics/GeneralError.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

namespace ksn::test {
namespace {

struct TCall {
    int from, to;
    bool forward, backward;
};

// Fake steps that record which levels they were called with (identified by the
// scene's slice objects) and create their output like the real steps do.
class TCountingSteps {
public:
    explicit TCountingSteps(TSimulationDriver& driver) : myDriver(driver) {}

    int LevelOf(const TComplexArray* slice)
    {
        for (int i = 0; i < myDriver.Scene()->GetNz(); ++i)
            if (myDriver.Scene()->GetLevel(i) == slice)
                return i;
        return -1;
    }

    void Install(std::vector<TExtended> stepTimes = {})
    {
        myStepTimes = std::move(stepTimes);
        myDriver.SetStepOverride(
            [this](const TStepInput& in, TFieldRef& out) {
                props.push_back({LevelOf(in.previousSlice), LevelOf(in.currentSlice), in.forward != nullptr,
                                 in.backward != nullptr});
                if (!in.forward && !in.backward)
                    return;
                if (!out)
                    out = std::make_shared<TScalarEField>(*in.grid);
                else
                    out->ClearField();
                // Carries its input unchanged, so the run's result is the incident field
                // (a run whose field vanishes is refused).
                out->Accum(in.forward ? *in.forward : *in.backward);
            },
            [this](const TStepInput& in, TFieldRef& out) {
                refls.push_back({LevelOf(in.previousSlice), LevelOf(in.currentSlice), true, false});
                if (!out)
                    out = std::make_shared<TScalarEField>(*in.grid);
            },
            [this]() -> TExtended {
                const size_t i = myTimeIndex++;
                return i < myStepTimes.size() ? myStepTimes[i] : 1.0L;
            });
    }

    std::vector<TCall> props;
    std::vector<TCall> refls;

private:
    TSimulationDriver& myDriver;
    std::vector<TExtended> myStepTimes;
    size_t myTimeIndex = 0;
};

// Ten slices (dz = 1): n = 1 for levels 0-2, 1.5 for 3-5, 1 for 6-9.
TIniSetup ThreeSlabs()
{
    TIniSetup setup;
    setup.layers = {{3, 1.0, 0.0}, {3, 1.5, 0.0}, {4, 1.0, 0.0}};
    return setup;
}

TEST(RunLoop, ForwardRunCallsPropagationOncePerSliceAndNeverReflects)
{
    TRecordingSink sink;
    const auto dir = TempDir("forward");
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(dir, "a.ini", ThreeSlabs())));
    TCountingSteps steps(driver);
    steps.Install();
    ASSERT_TRUE(driver.Run());
    ASSERT_EQ(steps.props.size(), 10u);
    EXPECT_TRUE(steps.refls.empty());
    EXPECT_EQ(steps.props[0].from, 0);
    EXPECT_EQ(steps.props[0].to, 0);
    for (int z = 1; z < 10; ++z) {
        EXPECT_EQ(steps.props[size_t(z)].from, z - 1);
        EXPECT_EQ(steps.props[size_t(z)].to, z);
    }
    ASSERT_EQ(driver.ForwardStore().size(), 10u);
    for (const auto& f : driver.ForwardStore())
        EXPECT_NE(f, nullptr);
    // Each stored slice has its own field object.
    EXPECT_NE(driver.ForwardStore()[3].get(), driver.ForwardStore()[5].get());
}

TEST(RunLoop, BidirectionalPassPatterns)
{
    for (int reflections : {0, 1, 2}) {
        SCOPED_TRACE(reflections);
        TRecordingSink sink;
        auto setup = ThreeSlabs();
        setup.global["bidirectional"] = "1";
        setup.global["reflections"] = std::to_string(reflections);
        const auto dir = TempDir("bidir" + std::to_string(reflections));
        TSimulationDriver driver;
        ASSERT_TRUE(driver.Open(WriteIni(dir, "a.ini", setup)));
        TCountingSteps steps(driver);
        steps.Install();
        ASSERT_TRUE(driver.Run());
        // Pass 0 always reflects at both index steps (levels 2|3 and 5|6).
        ASSERT_GE(steps.refls.size(), 2u);
        EXPECT_EQ(steps.refls[0].from, 2);
        EXPECT_EQ(steps.refls[0].to, 3);
        EXPECT_EQ(steps.refls[1].from, 5);
        EXPECT_EQ(steps.refls[1].to, 6);
        if (reflections == 0) {
            EXPECT_EQ(steps.props.size(), 10u);
            EXPECT_EQ(steps.refls.size(), 2u);
        } else if (reflections == 1) {
            // The backward pass ends at slice 1 and makes no new reflections (p = P).
            ASSERT_GT(steps.props.size(), 10u);
            EXPECT_EQ(steps.props.back().to, 1);
            EXPECT_EQ(steps.refls.size(), 2u);
            for (size_t i = 11; i < steps.props.size(); ++i)
                EXPECT_LE(steps.props[i].to, steps.props[i - 1].to + 1);
        } else {
            // Light reflected at 5|6 starts its way back in slice 5, so the backward
            // pass reflects only at 3|2 (slot 3); pass 2 takes that reflection from
            // slice 3 forward to the last slice.
            ASSERT_EQ(steps.refls.size(), 3u);
            EXPECT_EQ(steps.refls[2].from, 3);
            EXPECT_EQ(steps.refls[2].to, 2);
            ASSERT_GE(steps.props.size(), 7u);
            const size_t pass2 = steps.props.size() - 7;
            EXPECT_EQ(steps.props[pass2].from, 3);
            EXPECT_EQ(steps.props[pass2].to, 3);
            for (size_t i = 1; i < 7; ++i) {
                EXPECT_EQ(steps.props[pass2 + i].from, int(2 + i));
                EXPECT_EQ(steps.props[pass2 + i].to, int(3 + i));
            }
        }
    }
}

TEST(RunLoop, OnlyAbsorptionChangeCausesNoReflection)
{
    TRecordingSink sink;
    TIniSetup setup;
    setup.layers = {{5, 1.2, 0.0}, {5, 1.2, 0.05}};
    setup.global["bidirectional"] = "1";
    setup.global["reflections"] = "2";
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("imag"), "a.ini", setup)));
    TCountingSteps steps(driver);
    steps.Install();
    ASSERT_TRUE(driver.Run());
    EXPECT_TRUE(steps.refls.empty());
}

TEST(RunLoop, ReportCarriesMinAndMaxStepTimesWithTheirSlices)
{
    TRecordingSink sink;
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("times"), "a.ini", ThreeSlabs())));
    TCountingSteps steps(driver);
    steps.Install({5, 3, 8, 1, 9, 2, 4, 6, 7, 3});
    ASSERT_TRUE(driver.Run());
    EXPECT_EQ(driver.Statistics().minStepSlice, 3);
    EXPECT_EQ(driver.Statistics().maxStepSlice, 4);
    bool sawMin = false, sawMax = false, sawLast = false;
    for (const auto& line : sink.logLines) {
        sawMin = sawMin || line.ends_with("min time / iter : 1 @3");
        sawMax = sawMax || line.ends_with("max time / iter : 9 @4");
        sawLast = sawLast || line.ends_with("time / last iter: 3 @9");
    }
    EXPECT_TRUE(sawMin);
    EXPECT_TRUE(sawMax);
    EXPECT_TRUE(sawLast);
}

TEST(RunLoop, ModuloTrackingStoresEveryModulusthSliceIncludingTheLast)
{
    TRecordingSink sink;
    auto setup = ThreeSlabs();
    setup.global["modulotracking"] = "1";
    setup.global["modulus"] = "3";
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("modulo"), "a.ini", setup)));
    TCountingSteps steps(driver);
    steps.Install();
    ASSERT_TRUE(driver.Run());
    EXPECT_EQ(steps.props.size(), 10u);
    // Slices 0, 3, 6 and 9: ceil(10 / 3) entries.
    ASSERT_EQ(driver.ForwardStore().size(), 4u);
    for (const auto& f : driver.ForwardStore())
        EXPECT_NE(f, nullptr);
    const auto curves = driver.ZCurves();
    ASSERT_EQ(curves.size(), 4u);
    EXPECT_EQ(curves[3].slice, 9);
}

TEST(RunLoop, ModulusOneWithTrackingStillReflects)
{
    TRecordingSink sink;
    auto setup = ThreeSlabs();
    setup.global["modulotracking"] = "1";
    setup.global["modulus"] = "1";
    setup.global["bidirectional"] = "1";
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("mod1"), "a.ini", setup)));
    TCountingSteps steps(driver);
    steps.Install();
    ASSERT_TRUE(driver.Run());
    EXPECT_EQ(steps.refls.size(), 2u);
}

TEST(RunLoop, UnusableGridsAreRefusedAtLoadAndNothingRuns)
{
    struct TCase {
        const char* key;
        const char* value;
        const char* messageStart;
    };
    const TCase cases[] = {
        {"nx", "6", "nx and ny must be powers of two"},
        {"ny", "12", "nx and ny must be powers of two"},
        {"X", "0", "The grid spacings must be positive"},
        {"X", "-8", "The grid spacings must be positive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        TRecordingSink sink;
        auto setup = ThreeSlabs();
        setup.global[c.key] = c.value;
        TSimulationDriver driver;
        EXPECT_FALSE(driver.Open(WriteIni(TempDir("refuse"), "a.ini", setup)));
        ASSERT_EQ(sink.messages.size(), 2u);
        EXPECT_EQ(sink.messages[0].rfind(c.messageStart, 0), 0u) << sink.messages[0];
        EXPECT_EQ(sink.messages[1], "Error. Cannot load file!");
        EXPECT_FALSE(driver.Run());
        EXPECT_EQ(sink.messages.back(), "Please load .ini File.");
        EXPECT_TRUE(driver.ForwardStore().empty());
    }
}

TEST(RunLoop, NonPositiveWavelengthIsRefused)
{
    TRecordingSink sink;
    auto setup = ThreeSlabs();
    setup.lambda = 0;
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("lambda"), "a.ini", setup)));
    EXPECT_FALSE(driver.Run());
    EXPECT_TRUE(sink.HasMessage("Cannot start simulation. wave0/lambda = 0 um: the wavelength must be positive."));
}

TEST(RunLoop, StartWithoutLoadedFileAsksForOne)
{
    TRecordingSink sink;
    TSimulationDriver driver;
    EXPECT_FALSE(driver.Run());
    EXPECT_TRUE(sink.HasMessage("Please load .ini File."));
}

TEST(RunLoop, MethodWithoutPropagationStepIsRefusedWithTheSystemText)
{
    TRecordingSink sink;
    auto setup = ThreeSlabs();
    setup.global["simmethod"] = "vwpmhh";
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(TempDir("vwpmhh"), "a.ini", setup)));
    try {
        driver.Run();
        FAIL() << "no error raised";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Cannot start simulation. Function pointer \"propFunc\" not assigned!");
    }
}

} // namespace
} // namespace ksn::test

namespace ksn::test {
namespace {

// Every stored slice's field, intensity and absorption maps and totals, as numbers.
std::vector<double> StoreContents(const TSimulationDriver& driver)
{
    std::vector<double> all;
    for (const TFieldRef& f : driver.ForwardStore()) {
        auto& field = dynamic_cast<TScalarEField&>(*f);
        const size_t n = size_t(field.E().Count());
        all.insert(all.end(), field.E().Re(), field.E().Re() + n);
        all.insert(all.end(), field.E().Im(), field.E().Im() + n);
        all.insert(all.end(), field.IntensityMap().Data(), field.IntensityMap().Data() + n);
        all.insert(all.end(), field.AbsorptionMap().Re(), field.AbsorptionMap().Re() + n);
        all.push_back(field.GetIntensity());
        all.push_back(field.GetAbsorption());
    }
    return all;
}

TEST(RunLoop, ThreadsAndRepeatedRunsGiveTheSameBits)
{
    TRecordingSink sink;
    TIniSetup setup;
    setup.global["nx"] = setup.global["ny"] = "16";
    setup.global["X"] = setup.global["Y"] = "8";
    setup.waveShape = "gaussian";
    setup.layers = {{3, 1.0, 0.0}, {3, 1.5, 0.02}, {4, 1.2, 0.0}};
    const auto dir = TempDir("threads");
    TSimulationDriver driver;
    ASSERT_TRUE(driver.Open(WriteIni(dir, "a.ini", setup)));
    ASSERT_TRUE(driver.Run());
    const std::vector<double> expected = StoreContents(driver);
    ASSERT_GT(driver.TotalAbsorption(), 0.0) << "the absorbing layer must show in the maps";

    // A second run reuses the first run's fields as outputs: they must come out as new.
    ASSERT_TRUE(driver.Run());
    EXPECT_EQ(StoreContents(driver), expected) << "repeated run";
    TGlobalParms& global = driver.Configuration().global;
    global.multithreaded = true;
    driver.SetTeamMinPoints(0); // a 16 x 16 grid would otherwise run on one thread
    for (const int threads : {2, 3, 0}) { // 0: every processor
        global.threadCount = threads;
        ASSERT_TRUE(driver.Run());
        EXPECT_EQ(StoreContents(driver), expected) << threads << " threads";
    }
}

} // namespace
} // namespace ksn::test
