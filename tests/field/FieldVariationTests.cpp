// The wave list, its text form and the wave-parameter odometer.
#include "field/ScalarEField.h"
#include "field/VectorEField.h"

#include "config/FloatText.h"
#include "field/FieldTestGrids.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace ksn {
namespace {

using test::MicronGrid;
using test::PlaneWave;
using test::TRecordingSink;

TParmsVariation Entry(int wave, TParms parm, int steps, double first, double delta)
{
    TParmsVariation v;
    v.num = wave;
    v.parm = parm;
    v.steps = steps;
    v.first = {first, 0.0};
    v.delta = {delta, 0.0};
    return v;
}

TEST(FieldVariation, OneEntryTakesItsStepsValuesThenEndsAtFirst)
{
    // steps 3: the values 1, 1.5, 2 (first + k*delta, k = 0 ... 2), the first at the reset.
    TScalarEField f(MicronGrid(4, 4), PlaneWave());
    f.SetParm(0, Entry(0, TParms::amplitude, 3, 1.0, 0.5));
    EXPECT_EQ(f.GetConfigTotal(), 3);
    f.ResetVariation();
    EXPECT_EQ(f.Waves()[0].amplitude, 1.0);
    for (double expected : {1.5, 2.0}) {
        EXPECT_TRUE(f.StepVariation());
        EXPECT_EQ(f.Waves()[0].amplitude, expected);
    }
    EXPECT_FALSE(f.StepVariation());
    EXPECT_EQ(f.Waves()[0].amplitude, 1.0);
    EXPECT_EQ(f.GetConfigCount(), 0);
}

TEST(FieldVariation, TenthsDoNotLoseTheLastConfiguration)
{
    // 0.1 + 0.1 + 0.1 = 0.30000000000000004 lies above 3 * 0.1: a wheel that compared
    // accumulated values with the end would wrap at the third step.
    TScalarEField f(MicronGrid(4, 4), PlaneWave());
    f.SetParm(0, Entry(0, TParms::theta, 4, 0.0, 0.1));
    f.ResetVariation();
    EXPECT_TRUE(f.StepVariation());
    EXPECT_TRUE(f.StepVariation());
    EXPECT_TRUE(f.StepVariation());
    EXPECT_NEAR(f.Waves()[0].theta, 0.3, 1e-15);
    EXPECT_FALSE(f.StepVariation());
    EXPECT_EQ(f.Waves()[0].theta, 0.0);
}

TEST(FieldVariation, TwoEntriesVisitTheirFullGridEntryZeroFastest)
{
    TVectorEField f(MicronGrid(4, 4), PlaneWave());
    f.SetParm(0, Entry(0, TParms::psi, 2, 0.0, 10.0));
    f.SetParm(1, Entry(0, TParms::sigmaX, 3, 1.0, 1.0));
    EXPECT_EQ(f.GetConfigTotal(), 6);
    f.ResetVariation();
    std::vector<std::pair<double, double>> seen{{f.Waves()[0].psi, f.Waves()[0].sigmaX}};
    while (f.StepVariation()) {
        seen.emplace_back(f.Waves()[0].psi, f.Waves()[0].sigmaX);
        ASSERT_LE(seen.size(), 6u);
    }
    const std::vector<std::pair<double, double>> expected{{0, 1}, {10, 1}, {0, 2}, {10, 2}, {0, 3}, {10, 3}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(f.Waves()[0].psi, 0.0);
    EXPECT_EQ(f.Waves()[0].sigmaX, 1.0);
}

TEST(FieldVariation, NegativeDeltaStepsDownwards)
{
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    f.SetParm(0, Entry(0, TParms::rho, 3, 5.0, -1.0));
    f.ResetVariation();
    EXPECT_TRUE(f.StepVariation());
    EXPECT_EQ(f.Waves()[0].rho, 4.0);
    EXPECT_TRUE(f.StepVariation());
    EXPECT_EQ(f.Waves()[0].rho, 3.0);
    EXPECT_FALSE(f.StepVariation());
    EXPECT_EQ(f.Waves()[0].rho, 5.0);
}

TEST(FieldVariation, EmptyAndInactiveListsEndAtOnce)
{
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    EXPECT_FALSE(f.StepVariation());
    f.SetParm(2, TParmsVariation{}); // grows with inactive entries
    EXPECT_EQ(f.Variations().size(), 3u);
    EXPECT_EQ(f.GetConfigTotal(), 1); // one configuration: the one the field has
    EXPECT_FALSE(f.StepVariation());
}

TEST(FieldVariation, RegeneratingTheFieldKeepsItsPlaceInTheSeries)
{
    // Regenerate clears the field's data (maps, totals, components), not the series: a
    // counter cleared with it would never end the series.
    TVectorEField f(MicronGrid(4, 4), PlaneWave());
    f.SetParm(0, Entry(0, TParms::amplitude, 2, 1.0, 1.0));
    f.ResetVariation();
    ASSERT_TRUE(f.StepVariation());
    f.Regenerate(nullptr);
    EXPECT_EQ(f.GetConfigCount(), 1);
    EXPECT_FALSE(f.StepVariation());
}

TEST(FieldVariation, LambdaStepKeepsTheCurrentWavelength)
{
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    EXPECT_DOUBLE_EQ(f.GetLambda(), 1e-6);
    f.SetParm(0, Entry(0, TParms::lambda, 2, 0.5, 0.25));
    f.ResetVariation();
    EXPECT_DOUBLE_EQ(f.GetLambda(), 0.5e-6);
    f.StepVariation();
    EXPECT_DOUBLE_EQ(f.GetLambda(), 0.75e-6);
    f.StepVariation(); // the series ends: back at first
    EXPECT_DOUBLE_EQ(f.GetLambda(), 0.5e-6);
}

TEST(FieldVariation, BadEntriesAreReportedAndStopTheOdometer)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    f.SetParm(0, Entry(0, TParms::Radius, 2, 0.0, 1.0)); // a layer parameter
    f.SetParm(1, Entry(3, TParms::theta, 2, 0.0, 1.0));  // no wave 3
    EXPECT_TRUE(f.setConfig(0, 1, false));
    EXPECT_TRUE(f.setConfig(1, 1, false));
    EXPECT_TRUE(f.setConfig(7, 1, false));
    EXPECT_TRUE(sink.HasMessage(
        "Error in function TField.setConfig(const i,j : Integer) : Boolean. Unknown parmType."));
    EXPECT_EQ(sink.messages.size(), 3u);
    EXPECT_EQ(f.Waves()[0].theta, 0.0);
}

TEST(FieldVariation, XAndYParmsSwapAndReport)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    TParmsVariation out = Entry(9, TParms::rho, 9, 9, 9);
    EXPECT_FALSE(f.GetXParm(out));
    EXPECT_FALSE(f.GetYParm(out));
    EXPECT_EQ(out.num, 9); // left untouched
    EXPECT_TRUE(sink.HasMessage(
        "Error in function TField.GetXParm() : TParmsVariation. Invalid index or empty structure."));
    EXPECT_TRUE(sink.HasMessage(
        "Error in function TField.GetYParm() : TParmsVariation. Invalid index or empty structure."));

    const TParmsVariation a = Entry(0, TParms::theta, 2, 0, 1);
    const TParmsVariation b = Entry(0, TParms::rho, 3, 0, 1);
    const TParmsVariation c = Entry(0, TParms::psi, 4, 0, 1);
    f.SetParm(0, a);
    ASSERT_TRUE(f.GetYParm(out));
    EXPECT_EQ(out, a); // a single entry is both x and y
    f.SetParm(1, b);
    f.SetParm(2, c);
    EXPECT_TRUE(f.SetXParm(2));
    EXPECT_EQ(f.Variations()[0], c);
    EXPECT_EQ(f.Variations()[2], a);
    EXPECT_TRUE(f.SetYParm(0));
    ASSERT_TRUE(f.GetYParm(out));
    EXPECT_EQ(out, c);
    EXPECT_FALSE(f.SetXParm(3));
    EXPECT_FALSE(f.SetYParm(-1));
    EXPECT_TRUE(sink.HasMessage(
        "Error in procedure TField.SetXParm(const i : Integer). Cannot move entry for XParm."));
    EXPECT_TRUE(sink.HasMessage(
        "Error in procedure TField.SetYParm(const i : Integer). Cannot move entry for YParm."));
}

TEST(FieldVariation, ReplaceGrowsTheWaveListAndRefusesWildIndices)
{
    TRecordingSink sink;
    TScalarEField f(MicronGrid(2, 2), PlaneWave());
    f.Replace(2, PlaneWave(3.0));
    ASSERT_EQ(f.Waves().size(), 3u);
    EXPECT_EQ(f.Waves()[2].amplitude, 3.0);
    f.Replace(4000000000u, PlaneWave());
    EXPECT_EQ(f.Waves().size(), 3u);
    EXPECT_TRUE(sink.HasMessage("Error in procedure TField.Replace(const i : Cardinal; const fieldOptions : "
                                "TFieldOptions). Cannot Replace TFieldOptions."));
}

// Reads the "[wave<N>]" blocks of a text back into records.
std::vector<TFieldOptions> ParseWaves(const std::string& text)
{
    std::vector<TFieldOptions> waves;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line, '\n')) {
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        if (line.rfind("[wave", 0) == 0) {
            EXPECT_EQ(line, "[wave" + std::to_string(waves.size()) + "]");
            waves.emplace_back();
            continue;
        }
        const auto eq = line.find('=');
        EXPECT_NE(eq, std::string::npos);
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        TFieldOptions& w = waves.back();
        if (key == "angular") {
            w.angular = ParseAngular(value);
            continue;
        }
        if (key == "shape") {
            w.shape = ParseBeamShape(value);
            continue;
        }
        const std::map<std::string, double*> reals{{"lambda", &w.lambda}, {"amplitude", &w.amplitude},
            {"sigmax", &w.sigmaX}, {"sigmay", &w.sigmaY}, {"theta", &w.theta}, {"rho", &w.rho},
            {"delta", &w.delta}, {"psi", &w.psi}, {"shiftx", &w.shiftX}, {"shifty", &w.shiftY},
            {"shiftz", &w.shiftZ}};
        const auto it = reals.find(key);
        EXPECT_NE(it, reals.end()) << key;
        if (it != reals.end()) {
            EXPECT_TRUE(TryParseReal(value, *it->second)) << line;
        }
    }
    return waves;
}

TEST(FieldVariation, WaveTextRoundTripsEveryWaveInListOrder)
{
    TFieldOptions a = PlaneWave(0.1);
    a.lambda = 0.6328;
    a.theta = 12.5;
    a.psi = 1.0 / 3.0;
    a.shiftZ = -2e-3;
    TFieldOptions b;
    b.angular = TAngular::rad;
    b.shape = TBeamShape::gaussian;
    b.lambda = 1.55;
    b.sigmaX = 3.25;
    b.sigmaY = 0.75;
    b.delta = 3.141592653589793;
    b.shiftX = 1.5;
    TScalarEField f(MicronGrid(2, 2), a);
    f.Replace(1, b);
    const std::string text = f.WaveText();
    EXPECT_EQ(text.rfind("[wave0]\r\nangular=deg\r\nlambda=0.6328\r\namplitude=0.1\r\nshape=plane\r\n", 0), 0u);
    const std::vector<TFieldOptions> back = ParseWaves(text);
    ASSERT_EQ(back.size(), 2u);
    // Reals are written with 15 significant digits: exact for these values except 1/3 and pi.
    EXPECT_NEAR(back[0].psi, a.psi, 1e-15);
    EXPECT_NEAR(back[1].delta, b.delta, 1e-14);
    TFieldOptions a2 = back[0], b2 = back[1];
    a2.psi = a.psi;
    b2.delta = b.delta;
    EXPECT_EQ(a2, a);
    EXPECT_EQ(b2, b);
}

} // namespace
} // namespace ksn
