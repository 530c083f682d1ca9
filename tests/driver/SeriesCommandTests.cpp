// `ksn run` on parameter-variation configurations: the table, run folders, graphs and
// maps of a series, its option checks, a series stopped by SIGINT, and the bundled
// example series against the focus of its lens.
#include "DriverTestSupport.h"
#include "NpyReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <tuple>

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int Ksn(const std::string& args, const fs::path& dir, std::string* err = nullptr)
{
    const std::string cmd = std::string(KSN_BINARY_DIR) + "/app/cli/ksn run " + args + " >" +
                            (dir / "stdout.txt").string() + " 2>" + (dir / "stderr.txt").string();
    const int raw = std::system(cmd.c_str());
    if (err)
        *err = Slurp(dir / "stderr.txt");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// variation.csv: the header and the rows as numbers.
struct TTable {
    std::string header;
    std::vector<std::vector<double>> rows;
};

TTable ReadTable(const fs::path& file)
{
    TTable t;
    std::ifstream in(file);
    std::getline(in, t.header);
    for (std::string line; std::getline(in, line);) {
        std::vector<double> row;
        std::stringstream s(line);
        for (std::string cell; std::getline(s, cell, ',');)
            row.push_back(std::stod(cell));
        t.rows.push_back(row);
    }
    return t;
}

TIniSetup SmallSeries()
{
    TIniSetup setup;
    setup.layers = {{4, 1.0, 0.0, false}, {6, 1.0, 0.01, true}, {4, 1.0, 0.0, false}};
    setup.global["Z"] = setup.global["nz"] = "14";
    setup.parms = {{"wave", 0, "lambda", 1, 0, 0.25, 0, 3}, {"layer", 1, "nSubject", 1, 0.01, 0, 0.01, 2}};
    return setup;
}

TEST(SeriesCommand, WritesTheTableRunFoldersGraphsAndMaps)
{
    const fs::path dir = TempDir("seriescmd");
    const fs::path out = dir / "out";
    std::string err;
    ASSERT_EQ(Ksn(WriteIni(dir, "small.ini", SmallSeries()) + " -o " + out.string() +
                      " --method vbpmf --xparm 0 --yparm 1 --save-inifiles --quiet",
                  dir, &err),
        0)
        << err;
    const TTable table = ReadTable(out / "variation.csv");
    EXPECT_EQ(table.header,
        "run,wave0.lambda,layer1.nSubject.re,layer1.nSubject.im,intensity,absorption,energy_flux_change");
    ASSERT_EQ(table.rows.size(), 6u);
    TNpy map;
    ASSERT_TRUE(ReadNpy((out / "map2d_absorption.npy").string(), map));
    ASSERT_EQ(map.shape, (std::vector<size_t>{2, 3}));
    const std::vector<double> cells = map.As<double>();
    for (size_t j = 0; j < 6; ++j) {
        const auto& row = table.rows[j];
        EXPECT_EQ(row[0], double(j));
        EXPECT_EQ(row[1], 1 + 0.25 * double(j % 3)) << j; // lambda turns fastest
        EXPECT_NEAR(row[3], 0.01 * double(1 + j / 3), 1e-12) << j;
        // Row j/3, column j%3 of the map holds the run's absorption.
        EXPECT_NEAR(cells[j], row[5], 1e-12 * row[5]) << j;
        EXPECT_GT(row[6], 0.0) << "the reported absorber takes energy flux";
        const fs::path run = out / ("run" + std::to_string(j));
        for (const char* f : {"summary.json", "curves.csv", "report.log", "small_absn.wmf"})
            EXPECT_TRUE(fs::exists(run / f)) << run / f;
        const std::string log = Slurp(run / "report.log");
        EXPECT_EQ(log.find("Simulation Started."), log.rfind("Simulation Started.")) << "one run per folder";
        EXPECT_TRUE(fs::exists(out / ("parmvar" + std::to_string(j) + ".txt")));
    }
    EXPECT_FALSE(fs::exists(out / "parmvar6.txt"));
    for (const char* f : {"small_inty.wmf", "small_absn.svg", "small_eflx.wmf", "map2d_intensity.npy",
             "map2d_energy_flux.npy"})
        EXPECT_TRUE(fs::exists(out / f)) << f;
    EXPECT_NE(Slurp(out / "report.log").find("6 parameter variations completed."), std::string::npos);
    fs::remove_all(dir);
}

TEST(SeriesCommand, RefusesBadSeriesOptions)
{
    const fs::path dir = TempDir("seriesopts");
    const std::string series = WriteIni(dir, "series.ini", SmallSeries()) + " -o " + (dir / "out").string();
    const std::string single = WriteIni(dir, "single.ini", TIniSetup{}) + " -o " + (dir / "out").string();
    TIniSetup wrongKind = SmallSeries();
    wrongKind.parms[1].parm = "lambda"; // a layer has no wavelength
    const std::string wrong = WriteIni(dir, "wrong.ini", wrongKind) + " -o " + (dir / "out").string();
    const std::vector<std::tuple<std::string, int, std::string>> cases{{series + " --xparm 0", 2, "usage: ksn run"},
        {series + " --yparm x --xparm 0", 2, "usage"},
        {series + " --xparm 0 --yparm 0", 1, "X-Parm and Y-Parm name the same variation [parm0]"},
        {series + " --xparm 2 --yparm 0", 1, "There is no [parm2]"},
        {single + " --save-inifiles", 1, "need a configuration with parmvariation=1"},
        {wrong, 1, "Cannot start parameter variation. [parm1] varies lambda, which is no parameter of a layer."}};
    for (const auto& [args, status, message] : cases) {
        std::string err;
        EXPECT_EQ(Ksn(args + " --quiet", dir, &err), status) << args;
        EXPECT_NE(err.find(message), std::string::npos) << args << ": " << err;
    }
    fs::remove_all(dir);
}

TEST(SeriesCommand, SigintEndsTheSeriesAndKeepsTheRunsDone)
{
    const fs::path dir = TempDir("seriessignal");
    TIniSetup setup = SmallSeries();
    setup.parms[0].steps = 60; // 120 runs, each with its pictures
    const fs::path out = dir / "out";
    // In the background; the shell keeps ksn's pid and, when it ends, its status.
    const std::string run = std::string(KSN_BINARY_DIR) + "/app/cli/ksn run " + WriteIni(dir, "long.ini", setup) +
                            " -o " + out.string() + " --quiet 2>/dev/null";
    ASSERT_EQ(std::system(("(" + run + " & echo $! > " + (dir / "pid").string() + "; wait $!; echo $? > " +
                           (dir / "status").string() + ") >/dev/null &")
                              .c_str()),
        0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadTable(out / "variation.csv").rows.size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(::kill(std::stoi(Slurp(dir / "pid")), SIGINT), 0);
    while (Slurp(dir / "status").empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Slurp(dir / "status"), "130\n");
    const TTable table = ReadTable(out / "variation.csv");
    ASSERT_GE(table.rows.size(), 2u);
    ASSERT_LT(table.rows.size(), 120u);
    for (size_t j = 0; j < table.rows.size(); ++j)
        EXPECT_TRUE(fs::exists(out / ("run" + std::to_string(j)) / "summary.json")) << j;
    EXPECT_NE(Slurp(out / "report.log").find(std::to_string(table.rows.size()) + " of 120 parameter variations completed."),
        std::string::npos);
    fs::remove_all(dir);
}

// The example: the disc's absorption over the cap's radius peaks where the focus 2R
// behind the vertex (at -99 + R) meets the disc at z = 276 um: R = 125 um paraxially,
// 127-128 um for the Gaussian beam through the cap's exact profile as a thin element, a
// few um more with the refraction of its rim. The same for both wavelengths.
TEST(SeriesCommand, ExampleLensPeaksWhereItsFocusMeetsTheDisc)
{
    const fs::path dir = TempDir("lensfocus");
    const fs::path out = dir / "out";
    std::string err;
    const fs::path ini = fs::path(KSN_SOURCE_DIR) / "examples" / "series" / "lens_focus.ini";
    ASSERT_EQ(Ksn(ini.string() + " -o " + out.string() + " --xparm 0 --yparm 1 --quiet", dir, &err), 0) << err;
    const TTable table = ReadTable(out / "variation.csv");
    ASSERT_EQ(table.rows.size(), 10u);
    std::map<double, std::vector<std::pair<double, double>>> byLambda; // lambda -> (R, absorption)
    for (const auto& row : table.rows)
        byLambda[row[2]].push_back({row[1], row[4]});
    std::vector<double> peaks, heights;
    for (const auto& [lambda, curve] : byLambda) {
        ASSERT_EQ(curve.size(), 5u);
        const auto top = std::max_element(curve.begin(), curve.end(), [](auto& a, auto& b) { return a.second < b.second; });
        ASSERT_TRUE(top > curve.begin() && top < curve.end() - 1) << lambda << ": the peak lies inside the scan";
        // The vertex of the parabola through the highest point and its neighbours.
        const double y0 = top[-1].second, y1 = top[0].second, y2 = top[1].second;
        peaks.push_back(top->first + 10 * (y0 - y2) / (2 * (y0 - 2 * y1 + y2)));
        heights.push_back(y1);
    }
    for (const double peak : peaks)
        EXPECT_TRUE(peak > 125 && peak < 135) << peak;
    EXPECT_NEAR(peaks[0], peaks[1], 2.0) << "the focus does not move with the wavelength";
    EXPECT_GT(heights[0], heights[1]) << "the shorter wavelength focuses tighter";
    EXPECT_TRUE(fs::exists(out / "map2d_absorption.png") || fs::exists(out / "map2d_absorption.svg"));
    fs::remove_all(dir);
}

} // namespace
} // namespace ksn::test
