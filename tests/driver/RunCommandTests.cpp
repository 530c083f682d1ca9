// `ksn run` end to end: result files, refusals with exit status, the physics of an
// index step read back from the saved field, direct against grouped summation and the
// vector methods, single-threaded against pooled, on every bundled example.
#include "DriverTestSupport.h"
#include "NpyReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

struct TResult {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TResult Ksn(const std::string& args, const fs::path& scratch)
{
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string cmd = std::string(KSN_BINARY_DIR) + "/app/cli/ksn run " + args + " >" + out.string() + " 2>" +
                            err.string();
    const int raw = std::system(cmd.c_str());
    TResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

std::vector<std::complex<double>> ReadField(const fs::path& p, std::vector<size_t>* shape = nullptr)
{
    TNpy npy;
    EXPECT_TRUE(ReadNpy(p.string(), npy)) << p;
    EXPECT_EQ(npy.descr, "<c16");
    if (shape)
        *shape = npy.shape;
    return npy.As<std::complex<double>>();
}

TEST(RunCommand, PlaneWaveThroughIndexStepMatchesFresnelAndPhase)
{
    // n = 1 for levels 0-1, n = 1.5 for levels 2-4; dz = 1 um, lambda = 1 um.
    TIniSetup setup;
    setup.global["X"] = "4";
    setup.global["Y"] = "4";
    setup.global["nx"] = "4";
    setup.global["ny"] = "4";
    setup.global["Z"] = "5";
    setup.global["nz"] = "5";
    setup.layers = {{2, 1.0, 0.0}, {3, 1.5, 0.0}};
    const auto dir = TempDir("step");
    const auto ini = WriteIni(dir, "step.ini", setup);
    const auto r = Ksn(ini + " -o " + (dir / "out").string() + " --save-fields --quiet", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<size_t> shape;
    const auto E = ReadField(dir / "out" / "fields" / "E.npy", &shape);
    ASSERT_EQ(shape, (std::vector<size_t>{5, 4, 4}));
    const double k0dz = 2 * M_PI;
    const auto at = [&](size_t k) { return E[(k * 4 + 1) * 4 + 2]; };
    // Slices 0 and 1 in n = 1: unit modulus, phase k0*dz per slice.
    EXPECT_NEAR(std::abs(at(0)), 1.0, 1e-9);
    EXPECT_NEAR(std::abs(at(1)), 1.0, 1e-9);
    // Entering n = 1.5 at normal incidence: t = 2 n1 / (n1 + n2) = 0.8.
    for (size_t k = 2; k < 5; ++k)
        EXPECT_NEAR(std::abs(at(k)), 2.0 / 2.5, 1e-9) << k;
    // Phase advance per slice n*k0*dz, compared as a complex ratio.
    const auto ratio = [&](size_t k) { return at(k + 1) / at(k); };
    EXPECT_NEAR(std::arg(ratio(0) * std::exp(std::complex<double>(0, -1.0 * k0dz))), 0.0, 1e-9);
    EXPECT_NEAR(std::arg(ratio(2) * std::exp(std::complex<double>(0, -1.5 * k0dz))), 0.0, 1e-9);
    EXPECT_NEAR(std::arg(ratio(3) * std::exp(std::complex<double>(0, -1.5 * k0dz))), 0.0, 1e-9);
    // Every point of a plane-wave slice carries the same value.
    for (size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(std::abs(E[4 * 16 + i] - at(4)), 0.0, 1e-9);
}

TEST(RunCommand, WritesLogSummaryCurvesAndMaps)
{
    TIniSetup setup;
    setup.layers = {{5, 1.0, 0.0}, {5, 1.5, 0.01}};
    const auto dir = TempDir("files");
    const auto out = dir / "out";
    const auto r = Ksn(WriteIni(dir, "a.ini", setup) + " -o " + out.string() + " --save-fields", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"report.log", "summary.json", "curves.csv", "fields/E.npy", "maps/intensity.npy",
             "maps/absorption.npy"})
        EXPECT_TRUE(fs::exists(out / f)) << f;
    const std::string log = Slurp(out / "report.log");
    EXPECT_NE(log.find("Simulation Started."), std::string::npos);
    EXPECT_NE(log.find("---------------- Begin-Report ------------------ "), std::string::npos);
    EXPECT_NE(log.find("Absorption      : "), std::string::npos);
    EXPECT_NE(r.out.find("---------------- End-Report --------------------- "), std::string::npos);
    const std::string summary = Slurp(out / "summary.json");
    EXPECT_NE(summary.find("\"method\": \"swpm\""), std::string::npos);
    EXPECT_EQ(summary.find("null"), std::string::npos) << summary;
    // Absorbing second layer: absorption maps are positive there, zero in the first.
    TNpy abs;
    ASSERT_TRUE(ReadNpy((out / "maps" / "absorption.npy").string(), abs));
    const auto a = abs.As<double>();
    EXPECT_EQ(a[0], 0.0);
    EXPECT_GT(a[a.size() - 1], 0.0);
    std::ifstream curves(out / "curves.csv");
    std::string line;
    int rows = 0;
    std::getline(curves, line);
    EXPECT_EQ(line, "z,intensity,absorption,energy_flux");
    while (std::getline(curves, line))
        ++rows;
    EXPECT_EQ(rows, 10);
}

TEST(RunCommand, RefusalsExitWithStatusOneAndWriteOnlyTheLog)
{
    struct TCase {
        std::string key, value, message;
    };
    const std::vector<TCase> cases = {
        {"nx", "6", "nx and ny must be powers of two"},
        {"nz", "0", "no spacing along z"},
        {"layernum", "0", "no layer"},
        {"Y", "0", "spacings must be positive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        TIniSetup setup;
        if (c.key == "layernum")
            setup.layers.clear();
        else
            setup.global[c.key] = c.value;
        const auto dir = TempDir("refusal");
        const auto out = dir / "out";
        const auto r = Ksn(WriteIni(dir, "a.ini", setup) + " -o " + out.string() + " --save-fields", dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        std::vector<std::string> written;
        for (const auto& e : fs::recursive_directory_iterator(out))
            written.push_back(e.path().filename().string());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, (std::vector<std::string>{"manifest.json", "report.log"}));
        // The log keeps the reason.
        EXPECT_NE(Slurp(out / "report.log").find(c.message), std::string::npos);
    }
}

TEST(RunCommand, UnloadableFileExitsWithStatusOne)
{
    const auto dir = TempDir("bad");
    std::ofstream(dir / "bad.ini") << "[global]\nmultithreaded=yes\n";
    const auto r = Ksn((dir / "bad.ini").string() + " -o " + (dir / "out").string(), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error. Cannot load file!"), std::string::npos) << r.err;
}

TEST(RunCommand, MeasuredFftPlansGiveTheFieldOfTheDefaultPlans)
{
    TIniSetup setup;
    setup.global["nx"] = setup.global["ny"] = "32";
    setup.global["X"] = setup.global["Y"] = "16";
    setup.waveShape = "gaussian";
    setup.layers = {{4, 1.0, 0.0}, {6, 1.5, 0.01}};
    const auto dir = TempDir("fftplan");
    const std::string ini = WriteIni(dir, "a.ini", setup);
    const auto field = [&](const std::string& plan) {
        const auto out = dir / plan;
        const auto r = Ksn(ini + " -o " + out.string() + " --save-fields --quiet --fft-plan " + plan, dir);
        EXPECT_EQ(r.status, 0) << r.err;
        return ReadField(out / "fields" / "E.npy");
    };
    const auto estimate = field("estimate"), measure = field("measure");
    ASSERT_EQ(estimate.size(), measure.size());
    ASSERT_FALSE(estimate.empty());
    double diff = 0, norm = 0;
    for (size_t i = 0; i < estimate.size(); ++i) {
        diff += std::norm(measure[i] - estimate[i]);
        norm += std::norm(estimate[i]);
    }
    EXPECT_LT(std::sqrt(diff / norm), 1e-12);
    const auto bad = Ksn(ini + " -o " + (dir / "bad").string() + " --fft-plan patient", dir);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--fft-plan patient: use estimate or measure."), std::string::npos) << bad.err;
}

std::vector<std::string> ExampleFiles()
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(KSN_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".ini")
            files.push_back(entry.path().stem().string());
    std::sort(files.begin(), files.end());
    return files;
}

class ExampleRun : public ::testing::TestWithParam<std::string> {};

// Every bundled example runs end to end with finite results, and the grouped
// summation reproduces the direct reference field.
TEST_P(ExampleRun, DirectAndGroupedSummationAgree)
{
    const fs::path ini = fs::path(KSN_SOURCE_DIR) / "examples" / (GetParam() + ".ini");
    const auto dir = TempDir("example_" + GetParam());
    const auto run = [&](const std::string& mode) {
        const auto out = dir / mode;
        // The point-by-point reference is the same on any thread count; two halve its time.
        const std::string threads = mode == "direct" ? " --threads 2" : "";
        const auto r = Ksn(ini.string() + " -o " + out.string() + " --save-fields --quiet --summation " + mode + threads,
                           dir);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string summary = Slurp(out / "summary.json");
        EXPECT_NE(summary.find("\"stored_slices\""), std::string::npos);
        EXPECT_EQ(summary.find("null"), std::string::npos) << summary;
        EXPECT_TRUE(fs::exists(out / "curves.csv"));
        return ReadField(out / "fields" / "E.npy");
    };
    const auto direct = run("direct");
    const auto grouped = run("grouped");
    ASSERT_EQ(direct.size(), grouped.size());
    ASSERT_FALSE(direct.empty());
    double diff = 0, norm = 0;
    for (size_t i = 0; i < direct.size(); ++i) {
        ASSERT_TRUE(std::isfinite(direct[i].real()) && std::isfinite(direct[i].imag()));
        diff += std::norm(direct[i] - grouped[i]);
        norm += std::norm(direct[i]);
    }
    EXPECT_GT(norm, 0.0);
    EXPECT_LE(std::sqrt(diff / norm), 1e-10);
}

// The vector methods run on every example with finite fields, and the pooled steps
// (--threads 2) reproduce the single-threaded ones.
TEST_P(ExampleRun, VectorMethodsRunPooledAsSingleThreaded)
{
    const fs::path ini = fs::path(KSN_SOURCE_DIR) / "examples" / (GetParam() + ".ini");
    const auto dir = TempDir("vector_" + GetParam());
    for (const std::string method : {"vwpm", "vwpmh"}) {
        std::vector<std::complex<double>> fields[2];
        for (const int threads : {1, 2}) {
            const auto out = dir / (method + std::to_string(threads));
            const auto r = Ksn(ini.string() + " -o " + out.string() + " --save-fields --quiet --method " + method +
                                   " --threads " + std::to_string(threads),
                               dir);
            ASSERT_EQ(r.status, 0) << method << ": " << r.err;
            for (const char* component : {"Ex", "Ey", "Ez"}) {
                const auto values = ReadField(out / "fields" / (std::string(component) + ".npy"));
                fields[threads - 1].insert(fields[threads - 1].end(), values.begin(), values.end());
            }
        }
        ASSERT_EQ(fields[0].size(), fields[1].size());
        double diff = 0, norm = 0;
        for (size_t i = 0; i < fields[0].size(); ++i) {
            ASSERT_TRUE(std::isfinite(fields[0][i].real()) && std::isfinite(fields[0][i].imag())) << method;
            diff += std::norm(fields[1][i] - fields[0][i]);
            norm += std::norm(fields[0][i]);
        }
        EXPECT_GT(norm, 0.0) << method;
        EXPECT_LE(std::sqrt(diff / norm), 1e-12) << method;
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRun, ::testing::ValuesIn(ExampleFiles()),
    [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

} // namespace
} // namespace ksn::test
