// Parameter-variation series in the core: the odometer order over field and scene, the
// reductions against Beer-Lambert, the report flags of modulo-tracked stores, the 2-D
// maps under the x and y choices, the parmvar files loaded back, stopping, refusals.
#include "DriverTestSupport.h"

#include "config/Configuration.h"
#include "config/FloatText.h"
#include "control/SimulationDriver.h"
#include "control/VariationSeries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

// Records what the series reports and the records each run used; stops on request.
class TSeriesRecorder : public TRunObserver {
public:
    explicit TSeriesRecorder(TSimulationDriver& d) : driver(d) { driver.SetObserver(this); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LogLine(const std::string& line) override { log.push_back(line.substr(line.find(' ') + 1)); }
    void RunProgress(int run, int) override { runsStarted.push_back(run); }
    void SliceComputed(int z, int, const TField&, const TBrelScenes&) override
    {
        if (stopInRun >= 0 && int(runsStarted.size()) - 1 == stopInRun && z == 3)
            driver.RequestStop();
    }
    void VariationDone(int run, int) override
    {
        waves.push_back(driver.IncidentField()->Waves());
        layers.push_back(driver.Scene()->Layers());
        if (run == stopAfterRun)
            driver.RequestStop();
    }
    TSimulationDriver& driver;
    std::vector<std::string> messages, log;
    std::vector<int> runsStarted;
    std::vector<TFieldOptionsArr> waves;
    std::vector<TLayerParmsVec> layers;
    int stopAfterRun = -1, stopInRun = -1;
};

// Air (4 um, not reported), an index-matched absorber n = 1 + i*kappa (6 um, reported),
// air (4 um, not reported): dz = 1 um, 8 x 8 plane wave.
TIniSetup AbsorberSetup(double kappa)
{
    TIniSetup setup;
    setup.global["Z"] = setup.global["nz"] = "14";
    setup.global["simmethod"] = "vbpmf"; // the method that reports the energy flux
    setup.layers = {{4, 1.0, 0.0, false}, {6, 1.0, kappa, true}, {4, 1.0, 0.0, false}};
    return setup;
}

struct TSeries {
    fs::path dir;
    TSimulationDriver driver;
    TSeriesRecorder recorder{driver};
    TVariationSeries series{driver};
    explicit TSeries(const TIniSetup& setup, const std::string& name = "series") : dir(TempDir(name))
    {
        series.SetFinishedMessage(false);
        EXPECT_TRUE(driver.Open(WriteIni(dir, name + ".ini", setup)));
    }
    ~TSeries() { fs::remove_all(dir); }
};

// Beer-Lambert over the slices of a plane wave that enters the absorber at level k0: the
// field of level k0 + m - 1 has decayed by exp(-alpha*m*dz), alpha = 4*pi*kappa/lambda,
// and each reported level absorbs alpha*dz of its intensity.
double AbsorbedSum(double kappa, double lambda, int levels)
{
    const double alpha = 4 * M_PI * kappa / lambda;
    double sum = 0;
    for (int m = 1; m <= levels; ++m)
        sum += alpha * std::exp(-alpha * m);
    return sum;
}

TEST(Series, TwoWaveVariationsRunTheirFullGridWithVariationZeroFastest)
{
    TIniSetup setup = AbsorberSetup(0.01);
    setup.parms = {{"wave", 0, "lambda", 1, 0, 0.25, 0, 3}, {"wave", 0, "amplitude", 1, 0, 1, 0, 2}};
    TSeries s(setup);
    ASSERT_TRUE(s.series.Start());
    ASSERT_EQ(s.series.Total(), 6);
    EXPECT_EQ(s.recorder.runsStarted, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    const std::vector<std::pair<double, double>> expected{{1, 1}, {1.25, 1}, {1.5, 1}, {1, 2}, {1.25, 2}, {1.5, 2}};
    ASSERT_EQ(s.recorder.waves.size(), 6u);
    for (size_t j = 0; j < 6; ++j) {
        EXPECT_EQ(s.recorder.waves[j][0].lambda, expected[j].first) << j;
        EXPECT_EQ(s.recorder.waves[j][0].amplitude, expected[j].second) << j;
        EXPECT_EQ(s.series.Rows()[j].values, (std::vector<double>{expected[j].first, expected[j].second}));
    }
    const auto& rows = s.series.Rows();
    for (size_t j = 0; j < 3; ++j) // the run used its amplitude: |E|^2 four times
        EXPECT_NEAR(rows[j + 3].reduction.intensity / rows[j].reduction.intensity, 4.0, 1e-9) << j;
    // The last step wrapped every wheel: the field rests at the first values.
    EXPECT_EQ(s.driver.IncidentField()->Waves()[0].lambda, 1.0);
    EXPECT_EQ(s.driver.IncidentField()->Waves()[0].amplitude, 1.0);
    // The closing lines give the last variation's absorption, not a sum or the first.
    const std::vector<std::string> tail(s.recorder.log.end() - 5, s.recorder.log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Simulation Finished.", "---------------- Absorption --------------------- ",
                        "Integral of Abs over dX : " + FormatReal(rows[5].reduction.absorption),
                        "---------------- End-Report --------------------- ", "6 parameter variations completed."}));
    EXPECT_NE(rows[5].reduction.absorption, rows[0].reduction.absorption);
}

TEST(Series, LayerVariationFirstStepsTheSceneThenTheWave)
{
    TIniSetup setup = AbsorberSetup(0.0);
    setup.parms = {{"layer", 1, "nSubject", 1, 0.01, 0, 0.01, 2}, {"wave", 0, "lambda", 1, 0, 0.5, 0, 2}};
    TSeries s(setup);
    ASSERT_TRUE(s.series.Start());
    ASSERT_EQ(s.series.RunsDone(), 4);
    std::vector<std::string> names;
    for (const auto& c : s.series.Columns())
        names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"layer1.nSubject.re", "layer1.nSubject.im", "wave0.lambda"}));
    const std::vector<std::pair<double, double>> expected{{0.01, 1}, {0.02, 1}, {0.01, 1.5}, {0.02, 1.5}};
    for (size_t j = 0; j < 4; ++j) {
        const auto [kappa, lambda] = expected[j];
        const TRunReduction& r = s.series.Rows()[j].reduction;
        EXPECT_NEAR(s.recorder.layers[j][1].nSubject.im, kappa, 1e-15) << j;
        EXPECT_EQ(s.recorder.waves[j][0].lambda, lambda) << j;
        // The rebuilt scene absorbs with its kappa; the flux entering the reported
        // absorber (one step in) less the flux leaving it (after its last level).
        const double alpha = 4 * M_PI * kappa / lambda;
        EXPECT_NEAR(r.absorption, AbsorbedSum(kappa, lambda, 6), 1e-9) << j;
        EXPECT_NEAR(r.energyFluxChange, std::exp(-alpha) - std::exp(-6 * alpha), 1e-9) << j;
    }
}

TEST(Series, ReductionsReadTheReportFlagsOfTheStoredSlices)
{
    // Modulus 2 stores slices 0, 2, 4, ...; absorber at levels 3-6 of 10: entries 2 and 3
    // (slices 4 and 6) report, entry 4 (slice 8) is the first after it. Read by store
    // index, the flags would be those of slices 2, 3, 4 and miss the exit.
    TIniSetup setup = AbsorberSetup(0.01);
    setup.global["Z"] = setup.global["nz"] = "10";
    setup.global["modulotracking"] = "1";
    setup.global["modulus"] = "2";
    setup.layers = {{3, 1.0, 0.0, false}, {4, 1.0, 0.01, true}, {3, 1.0, 0.0, false}};
    for (const bool reported : {true, false}) {
        setup.layers[1].report = reported;
        TSeries s(setup, reported ? "modulus" : "unreported");
        ASSERT_TRUE(s.driver.Run());
        ASSERT_EQ(s.driver.ForwardStore().size(), 5u);
        const TRunReduction r = ReduceRun(s.driver);
        const double alpha = 4 * M_PI * 0.01;
        const double intensity = s.driver.ForwardStore()[2]->GetIntensity() + s.driver.ForwardStore()[3]->GetIntensity();
        EXPECT_NEAR(r.intensity, reported ? intensity : 0.0, 1e-12);
        EXPECT_NEAR(r.energyFluxChange, reported ? std::exp(-2 * alpha) - std::exp(-4 * alpha) : 0.0, 1e-9);
        EXPECT_EQ(r.intensity > 0.0, reported);
    }
}

TEST(Series, TwoDMapsPutEachRunAtItsXAndYValues)
{
    TIniSetup setup = AbsorberSetup(0.01);
    setup.parms = {{"wave", 0, "lambda", 1, 0, 0.25, 0, 3}, {"wave", 0, "amplitude", 1, 0, 1, 0, 2},
        {"layer", 1, "nSubject", 1, 0.01, 0, 0.01, 2}};
    // Columns: lambda, amplitude, nSubject.re, nSubject.im; a section's column and the
    // part of its value that steps.
    const auto column = [](int section) { return section == 2 ? size_t(3) : size_t(section); };
    const auto position = [&](int section, double value) {
        const auto& p = setup.parms[size_t(section)];
        return int(std::lround(section == 2 ? (value - p.firstIm) / p.deltaIm : (value - p.firstRe) / p.deltaRe));
    };
    // {x, y, the third section}: amplitude on x turns fastest although it is [parm1];
    // only the runs at the third variation's first value enter.
    for (const std::array<int, 3> c : {std::array<int, 3>{1, 0, 2}, std::array<int, 3>{0, 2, 1}}) {
        TSeries s(setup, "maps" + std::to_string(c[0]));
        ASSERT_TRUE(s.series.SetXParm(c[0]) && s.series.SetYParm(c[1]));
        ASSERT_TRUE(s.series.Start());
        const TSeriesMaps& m = s.series.Maps();
        ASSERT_TRUE(m.on);
        const int nX = setup.parms[size_t(c[0])].steps, nY = setup.parms[size_t(c[1])].steps;
        ASSERT_EQ(std::make_pair(m.nX, m.nY), std::make_pair(nX, nY));
        ASSERT_EQ(s.series.RunsDone(), 12);
        EXPECT_EQ(position(c[0], s.series.Rows()[1].values[column(c[0])]), 1) << "x varies fastest";
        std::set<int> cells;
        for (const TSeriesRow& row : s.series.Rows()) {
            if (position(c[2], row.values[column(c[2])]) != 0)
                continue;
            const int x = position(c[0], row.values[column(c[0])]), y = position(c[1], row.values[column(c[1])]);
            EXPECT_EQ(m.absorption.At(x, y), row.reduction.absorption) << row.run;
            EXPECT_EQ(m.intensity.At(x, y), row.reduction.intensity) << row.run;
            cells.insert(x + y * nX);
        }
        EXPECT_EQ(int(cells.size()), nX * nY);
        EXPECT_EQ(std::count(m.entered.begin(), m.entered.end(), 1), nX * nY);
    }
}

TEST(Series, SingleVariationIsBothAxes)
{
    for (const std::string type : {"wave", "layer"}) {
        TIniSetup setup = AbsorberSetup(0.01);
        setup.parms = {type == "wave" ? TIniSetup::TParm{"wave", 0, "lambda", 1, 0, 0.25, 0, 3}
                                      : TIniSetup::TParm{"layer", 1, "nSubject", 1, 0.01, 0, 0.01, 3}};
        TSeries s(setup, type);
        ASSERT_TRUE(s.series.SetXParm(0) && s.series.SetYParm(0));
        ASSERT_TRUE(s.series.Start());
        const TSeriesMaps& m = s.series.Maps();
        ASSERT_TRUE(m.on) << type;
        EXPECT_EQ(m.nX, 3);
        EXPECT_EQ(m.nY, m.nX);
        EXPECT_EQ(std::make_pair(m.xLo, m.xHi), std::make_pair(m.yLo, m.yHi));
        EXPECT_EQ(m.xUsesRe, type == "wave"); // kappa steps in the imaginary part
        // Run k has value k on both axes: the diagonal.
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(m.absorption.At(k, k), s.series.Rows()[size_t(k)].reduction.absorption);
        EXPECT_EQ(std::count(m.entered.begin(), m.entered.end(), 1), 3);
        EXPECT_TRUE(s.recorder.messages.empty()) << s.recorder.messages.front();
    }
}

TEST(Series, IniFilesLoadBackToTheRecordsEachRunUsed)
{
    TIniSetup setup = AbsorberSetup(0.0);
    setup.parms = {{"wave", 0, "lambda", 0.5, 0, 0.25, 0, 3}, {"layer", 1, "nSubject", 1.5, 0.125, 0.25, 0.5, 2}};
    TSeries s(setup, "parmvar");
    s.series.SetSaveIniFiles(true, s.dir.string());
    ASSERT_TRUE(s.series.Start());
    ASSERT_EQ(s.recorder.waves.size(), 6u);
    const auto wave = [](const TFieldOptions& o) {
        return std::tie(o.angular, o.shape, o.lambda, o.theta, o.rho, o.delta, o.psi, o.amplitude, o.sigmaX, o.sigmaY,
            o.shiftX, o.shiftY, o.shiftZ);
    };
    for (int j = 0; j < 6; ++j) {
        const fs::path file = s.dir / ("parmvar" + std::to_string(j) + ".txt");
        std::ifstream in(file);
        std::string line;
        for (int i = 0; i < 3; ++i)
            std::getline(in, line);
        EXPECT_EQ(line, "// parmvar" + std::to_string(j) + " of 6\r");
        TConfiguration loaded;
        ASSERT_TRUE(LoadConfiguration(file.string(), loaded)) << file;
        EXPECT_FALSE(loaded.global.parmVariation); // the file repeats run j alone
        EXPECT_TRUE(loaded.grid == s.driver.Configuration().grid);
        EXPECT_TRUE(wave(loaded.waves[0]) == wave(s.recorder.waves[size_t(j)][0])) << j;
        ASSERT_EQ(loaded.layers.size(), 3u);
        for (size_t l = 0; l < 3; ++l) {
            TLayerParms a = loaded.layers[l], b = s.recorder.layers[size_t(j)][l];
            EXPECT_TRUE(a.type == b.type && a.zStart == b.zStart && a.thickness == b.thickness && a.report == b.report);
            for (int p = 0; p <= int(TParms::deltaN); ++p) {
                if (double* v = a.RealField(TParms(p))) {
                    EXPECT_EQ(*v, *b.RealField(TParms(p))) << j << " " << ParmsName(TParms(p));
                } else if (TComplex* z = a.ComplexField(TParms(p))) {
                    EXPECT_TRUE(z->re == b.ComplexField(TParms(p))->re && z->im == b.ComplexField(TParms(p))->im);
                }
            }
        }
    }
    EXPECT_FALSE(fs::exists(s.dir / "parmvar6.txt"));
}

TEST(Series, StopEndsTheSeriesAndKeepsTheRunsDone)
{
    TIniSetup setup = AbsorberSetup(0.01);
    setup.parms = {{"wave", 0, "lambda", 1, 0, 0.25, 0, 3}, {"wave", 0, "amplitude", 1, 0, 1, 0, 2}};
    TSeries between(setup, "stopbetween"), inside(setup, "stopinside");
    between.recorder.stopAfterRun = 1; // after run 1 is entered
    inside.recorder.stopInRun = 2;     // at slice 3 of run 2: no point of the series
    ASSERT_TRUE(between.series.Start() && inside.series.Start());
    EXPECT_EQ(std::make_pair(between.series.RunsDone(), between.series.InterruptedRun()), std::make_pair(2, -1));
    EXPECT_EQ(std::make_pair(inside.series.RunsDone(), inside.series.InterruptedRun()), std::make_pair(2, 2));
    EXPECT_TRUE(between.series.WasStopped() && inside.series.WasStopped() && inside.driver.WasStopped());
    EXPECT_EQ(between.recorder.log.back(), "2 of 6 parameter variations completed.");
    EXPECT_EQ(inside.series.AbsorptionGraph().entered, (std::vector<char>{1, 1, 0, 0, 0, 0}));
    // The request was taken: the next Start runs the whole series.
    between.recorder.stopAfterRun = -1;
    ASSERT_TRUE(between.series.Start());
    EXPECT_FALSE(between.series.WasStopped());
    EXPECT_EQ(between.series.RunsDone(), 6);
}

TEST(Series, GraphIndexChecksShowTheirMessagesAndChangeNothing)
{
    TIniSetup setup = AbsorberSetup(0.01);
    setup.parms = {{"wave", 0, "amplitude", 1, 0, 1, 0, 2}};
    TSeries s(setup, "checks");
    ASSERT_TRUE(s.series.Start());
    const TSeriesGraph before = s.series.AbsorptionGraph();
    s.series.drawParmVarAbsorption(2, 2);
    s.series.drawParmVarEnergyFlux(-1, 2);
    EXPECT_EQ(s.recorder.messages,
        (std::vector<std::string>{
            "Error in procedure TForm1.drawParmVarAbsorption(const j, maxVariation : Integer). Index out of range.",
            "Error in procedure TForm1.drawParmVarEnergyFlux(const j, maxVariation : Integer). Index out of range."}));
    EXPECT_EQ(s.series.AbsorptionGraph().y, before.y);
    EXPECT_EQ(s.series.AbsorptionGraph().yHi, std::max(before.y[0], before.y[1]));
}

} // namespace
} // namespace ksn::test
