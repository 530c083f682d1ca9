// Runs on hostile values: refused before they start when a derived quantity leaves the
// range of doubles (each refusal naming section, key and value), run when odd but
// computable, gain run with a warning, the store count in 64 bits, the memory estimate
// with its ways out, and the checks repeated before a variation's next run.
#include "DriverTestSupport.h"

#include "control/SimulationDriver.h"
#include "control/VariationSeries.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksn::test {
namespace {

// Replaces the first "key=..." line of the text by "key=value".
std::string SetKey(std::string text, const std::string& key, const std::string& value)
{
    const size_t at = text.find("\n" + key + "=");
    EXPECT_NE(at, std::string::npos) << key;
    if (at != std::string::npos) {
        const size_t end = text.find('\n', at + 1);
        text.replace(at + 1, end - at - 1, key + "=" + value);
    }
    return text;
}

// A driver that opened the text; its messages and log lines go to `sink`, installed on
// this thread for the object's lifetime.
struct TDriverRun {
    TRecordingSink sink;
    TSimulationDriver driver;
    bool opened = false;

    explicit TDriverRun(const std::string& text, const std::string& name = "a.ini")
    {
        const auto dir = TempDir("hostile");
        const auto path = dir / name;
        std::ofstream(path) << text;
        opened = driver.Open(path.string());
    }
    std::string Messages() const
    {
        std::string all;
        for (const auto& m : sink.messages)
            all += m + "\n";
        return all;
    }
};

// Four slices of 8 x 8 points in one slightly absorbing layer, swpm.
std::string Base()
{
    TIniSetup setup;
    setup.global["Z"] = "4";
    setup.global["nz"] = "4";
    setup.layers = {{4, 1.5, 0.01}};
    return IniText(setup);
}

TEST(HostileRun, ValuesWhoseDerivedQuantitiesLeaveTheDoublesAreRefusedNamingKeyAndValue)
{
    struct TCase {
        std::string key, value, named;
    };
    const std::vector<TCase> cases = {
        {"lambda", "1e-300", "wave0/lambda = 1e-300 um: the wave number"},
        {"lambda", "1e300", "wave0/lambda = 1e+300 um: the wave number"},
        {"amplitude", "1e160", "wave0/amplitude = 1e+160: the intensity"},
        {"amplitude", "1e-170", "wave0/amplitude = 1e-170: its intensity"},
        {"nSubject", "1e300", "layer0/nSubject = 1e+300 with wave0/lambda = 1 um"},
        {"nSubject", "0", "layer0/nSubject = 0: the real index must be positive"},
        {"scale", "furlong", "global/scale is no known length unit: use m, mm, um or nm."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        TDriverRun run(SetKey(Base(), c.key, c.value));
        ASSERT_TRUE(run.opened) << run.Messages();
        EXPECT_FALSE(run.driver.CanRun());
        EXPECT_FALSE(run.driver.Run());
        EXPECT_NE(run.Messages().find("Cannot start simulation. " + c.named), std::string::npos) << run.Messages();
        EXPECT_TRUE(run.driver.ForwardStore().empty());
    }
}

TEST(HostileRun, BeamsThatCannotBeGeneratedOrMissTheGridAreRefusedAfterTheSystemMessage)
{
    std::string gaussian = SetKey(Base(), "shape", "gaussian");
    {
        // Zero width on an axis of eight points: the field's own message, then the refusal.
        TDriverRun run(SetKey(gaussian, "sigmax", "0"));
        ASSERT_TRUE(run.opened);
        EXPECT_FALSE(run.driver.Run());
        ASSERT_GE(run.sink.messages.size(), 2u);
        EXPECT_EQ(run.sink.messages[0], "Error in TScalarEField.Create(). Invalid Gaussian width.");
        EXPECT_EQ(run.sink.messages[1].rfind("Cannot start simulation. wave0/sigmax = 0 um: Invalid Gaussian width", 0),
            0u);
    }
    {
        // Shifted a metre away from a window of 8 um: zero at every point.
        TDriverRun run(SetKey(gaussian, "shiftx", "1e6"));
        ASSERT_TRUE(run.opened);
        EXPECT_FALSE(run.driver.Run());
        EXPECT_NE(run.Messages().find("The incident field is zero at every grid point although wave0/amplitude = 1 "
                                      "(shiftx = 1000000"),
            std::string::npos)
            << run.Messages();
    }
    {
        // A zero amplitude asks for a zero field: that runs.
        TDriverRun run(SetKey(Base(), "amplitude", "0"));
        ASSERT_TRUE(run.opened);
        EXPECT_TRUE(run.driver.Run()) << run.Messages();
    }
}

TEST(HostileRun, OddButComputableValuesRunWithFiniteResults)
{
    // A wavelength of 1e150 um (k0^2 still a normal double), a window of 1e300 um, a
    // wavelength of 1e-100 um through a lossless layer.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"lambda", "1e150"}, {"X", "1e300"}, {"lambda", "1e-100"}};
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(key + "=" + value);
        std::string text = SetKey(Base(), key, value);
        text = SetKey(text, "kappaSubject", "0");
        TDriverRun run(text);
        ASSERT_TRUE(run.opened) << run.Messages();
        ASSERT_TRUE(run.driver.Run()) << run.Messages();
        for (const auto& p : run.driver.ZCurves()) {
            EXPECT_TRUE(std::isfinite(p.intensity) && std::isfinite(p.absorption) && std::isfinite(p.energyFlux));
            EXPECT_GT(p.intensity, 0.0);
        }
    }
}

TEST(HostileRun, NegativeKappaIsGainRunWithOneWarningPerLayer)
{
    TIniSetup setup;
    setup.global["Z"] = "6";
    setup.global["nz"] = "6";
    setup.layers = {{2, 1.5, -0.05}, {2, 1.5, 0.01}, {2, 1.2, -0.05}};
    TDriverRun run(IniText(setup));
    ASSERT_TRUE(run.opened);
    ASSERT_TRUE(run.driver.Run()) << run.Messages();
    std::vector<std::string> warnings;
    for (const auto& line : run.sink.logLines)
        if (line.find("Warning:") != std::string::npos)
            warnings.push_back(line.substr(line.find("Warning:")));
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Warning: layer0 has kappaSubject = -0.05 < 0: the layer amplifies the field (gain).",
                            "Warning: layer2 has kappaSubject = -0.05 < 0: the layer amplifies the field (gain)."}));
    // The field grows through the gain layers: the last slice is brighter than the first.
    const auto curves = run.driver.ZCurves();
    EXPECT_GT(curves.back().intensity, curves.front().intensity);
}

TEST(HostileRun, GainBeyondTheDoublesEndsWithAMessageNotWithInfinities)
{
    TIniSetup setup;
    setup.global["Z"] = "200";
    setup.global["nz"] = "200";
    setup.layers = {{200, 1.5, -1000}};
    TDriverRun run(IniText(setup));
    ASSERT_TRUE(run.opened);
    EXPECT_FALSE(run.driver.Run());
    EXPECT_NE(run.Messages().find("The results are not finite"), std::string::npos) << run.Messages();
}

TEST(HostileRun, ModulusNearTwoToThe31StoresOneSliceWithoutOverflow)
{
    std::string text = SetKey(Base(), "modulotracking", "1");
    text = SetKey(text, "modulus", "2147483647");
    TDriverRun run(text);
    ASSERT_TRUE(run.opened);
    ASSERT_TRUE(run.driver.Run()) << run.Messages();
    EXPECT_EQ(run.driver.StoreModulus(), 2147483647);
    ASSERT_EQ(run.driver.ForwardStore().size(), 1u);
    EXPECT_TRUE(run.driver.ForwardStore()[0]);
    // Bidirectional with the same modulus: the reflection slot arithmetic stays in range.
    TDriverRun both(SetKey(SetKey(text, "bidirectional", "1"), "reflections", "2"));
    ASSERT_TRUE(both.opened);
    EXPECT_TRUE(both.driver.Run()) << both.Messages();
}

TEST(HostileRun, MemoryEstimateRefusesAndNamesTheWayOutThatHelps)
{
    // 64 levels of 64 x 64 points against a budget of 12 MiB: the levels need 4 MiB, the
    // step 4 MiB, the 64 stored vector fields 23 MiB (4 of them with modulus 16: 1.4 MiB).
    TIniSetup setup;
    setup.global["nx"] = "64";
    setup.global["ny"] = "64";
    setup.global["X"] = "64";
    setup.global["Y"] = "64";
    setup.global["Z"] = "64";
    setup.global["nz"] = "64";
    setup.global["simmethod"] = "vbpm";
    setup.layers = {{64, 1.5, 0.0}};
    const std::string text = IniText(setup);
    const std::uint64_t budget = std::uint64_t(12) << 20;
    {
        TDriverRun run(text);
        ASSERT_TRUE(run.opened);
        run.driver.SetMemoryBudget(budget);
        EXPECT_FALSE(run.driver.Run());
        EXPECT_NE(run.Messages().find("modulotracking=1 with a larger modulus"), std::string::npos) << run.Messages();
        EXPECT_TRUE(run.driver.ForwardStore().empty());
    }
    {
        TDriverRun run(SetKey(SetKey(text, "modulotracking", "1"), "modulus", "16"));
        ASSERT_TRUE(run.opened);
        run.driver.SetMemoryBudget(budget);
        EXPECT_TRUE(run.driver.Run()) << run.Messages();
        EXPECT_EQ(run.driver.ForwardStore().size(), 4u);
    }
}

TEST(HostileRun, LoadOfAGridBeyondTheMachineIsRefusedBeforeAnyAllocation)
{
    // 2^31 - 1 levels of one point: about 500 GiB of index levels, refused with the way
    // out; in large-scene mode only two levels are held and the load succeeds.
    TIniSetup setup;
    setup.global["nx"] = "1";
    setup.global["ny"] = "1";
    setup.global["X"] = "1";
    setup.global["Y"] = "1";
    setup.global["Z"] = "2147483647";
    setup.global["nz"] = "2147483647";
    setup.layers = {{2147483647.0, 1.5, 0.0}};
    const std::string text = IniText(setup);
    TDriverRun run(text);
    EXPECT_FALSE(run.opened);
    EXPECT_NE(run.Messages().find("Reduce it with largescene=1"), std::string::npos) << run.Messages();
    EXPECT_NE(run.Messages().find("Error. Cannot load file!"), std::string::npos);
    TDriverRun large(SetKey(text, "largescene", "1"));
    EXPECT_TRUE(large.opened) << large.Messages();
    // The run's store of 2^31 slices is still refused, naming modulo tracking.
    EXPECT_FALSE(large.driver.Run());
    EXPECT_NE(large.Messages().find("modulotracking=1"), std::string::npos) << large.Messages();
}

TEST(HostileRun, AVariationThatStepsAValueOutOfRangeIsRefusedBeforeItsRun)
{
    // lambda runs 1, 0: the second configuration has no wavelength.
    std::string text = SetKey(SetKey(Base(), "parmvariation", "1"), "numofparms", "1");
    text += "[parm0]\ntype=wave\nnum=0\nparm=lambda\nfirstRe=1\nfirstIm=0\ndeltaRe=-1\ndeltaIm=0\nsteps=2\n";
    TDriverRun run(text);
    ASSERT_TRUE(run.opened) << run.Messages();
    ASSERT_TRUE(run.driver.Run()) << run.Messages();
    ASSERT_TRUE(run.driver.IncidentField()->StepVariation());
    EXPECT_FALSE(run.driver.Run());
    EXPECT_NE(run.Messages().find("Cannot start simulation. wave0/lambda = 0 um"), std::string::npos)
        << run.Messages();
}

// The levels found sound before the first run are not taken on trust once the variation
// has rebuilt them: a graded guide n = 1.5 + d * deltaN over its 6 um core, deltaN
// stepped from 0 to -1, crosses zero only in the second run's levels.
TEST(HostileRun, ALayerVariationThatRebuildsTheLevelsIsCheckedAgain)
{
    std::string text = SetKey(SetKey(Base(), "parmvariation", "1"), "numofparms", "1");
    const size_t from = text.find("[layer0]"), to = text.find("[wave0]");
    text.replace(from, to - from,
        "[layer0]\ntype=Wguide\nZ=4\nX0=0\nY0=0\nDiam=6\nnSubject=1.5\nkappaSubject=0\nnSpace=1\nkappaSpace=0\n"
        "deltaN=0\ndeltaKappa=0\nshape=circ\nsmooth=0\nreport=1\n");
    text += "[parm0]\ntype=layer\nnum=0\nparm=deltaN\nfirstRe=0\nfirstIm=0\ndeltaRe=-1\ndeltaIm=0\nsteps=2\n";
    TDriverRun run(text);
    ASSERT_TRUE(run.opened) << run.Messages();
    TVariationSeries series(run.driver);
    series.Start();
    EXPECT_EQ(series.RunsDone(), 1) << run.Messages();
    EXPECT_NE(run.Messages().find("the real index must be positive and finite"), std::string::npos)
        << run.Messages();
}

TEST(HostileRun, GradedIndexThatCrossesZeroIsRefusedInBothSceneModes)
{
    // A graded guide n = nSubject + d * deltaN over its 6 um core: 1.5 - d < 0 beyond d = 1.5.
    std::string text = Base();
    const size_t from = text.find("[layer0]"), to = text.find("[wave0]");
    text.replace(from, to - from,
        "[layer0]\ntype=Wguide\nZ=4\nX0=0\nY0=0\nDiam=6\nnSubject=1.5\nkappaSubject=0\nnSpace=1\nkappaSpace=0\n"
        "deltaN=-1\ndeltaKappa=0\nshape=circ\nsmooth=0\nreport=1\n");
    for (const char* large : {"0", "1"}) {
        SCOPED_TRACE(large);
        TDriverRun run(SetKey(text, "largescene", large));
        ASSERT_TRUE(run.opened) << run.Messages();
        EXPECT_FALSE(run.driver.Run());
        EXPECT_NE(run.Messages().find("the real index must be positive and finite"), std::string::npos)
            << run.Messages();
        EXPECT_TRUE(run.driver.ForwardStore().empty());
    }
}

} // namespace
} // namespace ksn::test
