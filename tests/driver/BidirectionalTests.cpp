// Bidirectional runs end to end through `ksn run`: the reflected wave of an index step
// read back from fields/back/, the --reflections option, and every example with every
// method whose steps this build binds, with and without reflection passes.
#include "DriverTestSupport.h"
#include "NpyReader.h"
#include "engine/BrelWaveOptics.h"

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
using TCplx = std::complex<double>;

fs::path UniqueDir(const std::string& name)
{
    std::string pattern = (fs::temp_directory_path() / ("ksn_bidir_" + name + "_XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TResult {
    int status = -1;
    std::string err;
};

TResult Ksn(const std::string& args, const fs::path& scratch)
{
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string cmd = std::string(KSN_BINARY_DIR) + "/app/cli/ksn run " + args + " >" + out.string() + " 2>" +
                            err.string();
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(err)};
}

// |E| per (slice, point) of a saved store: E.npy, or the three vector components.
std::vector<double> Moduli(const fs::path& dir, bool scalar, std::vector<size_t>& shape)
{
    std::vector<double> out;
    for (const char* name : scalar ? std::vector<const char*>{"E.npy"} : std::vector<const char*>{"Ex.npy", "Ey.npy", "Ez.npy"}) {
        TNpy npy;
        EXPECT_TRUE(ReadNpy((dir / name).string(), npy)) << dir / name;
        shape = npy.shape;
        const auto v = npy.As<TCplx>();
        out.resize(v.size(), 0.0);
        for (size_t i = 0; i < v.size(); ++i) {
            EXPECT_TRUE(std::isfinite(v[i].real()) && std::isfinite(v[i].imag())) << dir / name;
            out[i] = std::hypot(out[i], std::abs(v[i]));
        }
    }
    return out;
}

bool Bound(TSimMethod m, bool allComplex)
{
    TGlobalParms global;
    global.simMethod = m;
    global.allComplex = allComplex;
    TBrelWaveOptics engine;
    TGridParms grid;
    return bool(engine.GetPropFunc(global)) && bool(engine.GetReflFunc(global));
}

bool Scalar(TSimMethod m) { return m == TSimMethod::swpm || m == TSimMethod::swpmh || m == TSimMethod::sbpm; }

const TSimMethod kMethods[] = {TSimMethod::swpm, TSimMethod::swpmh, TSimMethod::vwpm, TSimMethod::vwpmh,
                               TSimMethod::sbpm, TSimMethod::vbpm, TSimMethod::vbpmf};

} // namespace

TEST(Bidirectional, StepReflectsAFifthOfThePlaneWaveIntoTheSlicesBeforeIt)
{
    // Slices 0-3 in n = 1, 4-7 in n = 1.5 (dz = 1 um, lambda = 1 um, plane wave at normal
    // incidence): the interface reflects r = -0.2. The backward pass carries the
    // reflected wave from slice 3 down to slice 1; fields/back holds it there and nothing
    // elsewhere. Without reflection passes there is no fields/back.
    TIniSetup setup;
    setup.global["X"] = setup.global["Y"] = setup.global["nx"] = setup.global["ny"] = "4";
    setup.global["Z"] = setup.global["nz"] = "8";
    setup.global["bidirectional"] = "1";
    setup.layers = {{4, 1.0, 0.0}, {4, 1.5, 0.0}};
    for (const TSimMethod m : kMethods) {
        if (!Bound(m, false))
            continue;
        for (int reflections = 0; reflections <= 3; ++reflections) {
            const std::string what = std::string(SimMethodName(m)) + " reflections=" + std::to_string(reflections);
            SCOPED_TRACE(what);
            setup.global["simmethod"] = SimMethodName(m);
            setup.global["reflections"] = std::to_string(reflections);
            const fs::path dir = UniqueDir("step");
            const fs::path out = dir / "out";
            const auto r = Ksn(WriteIni(dir, "step.ini", setup) + " -o " + out.string() + " --save-fields --quiet", dir);
            ASSERT_EQ(r.status, 0) << r.err;
            std::vector<size_t> shape, backShape;
            const std::vector<double> forward = Moduli(out / "fields", Scalar(m), shape);
            ASSERT_EQ(shape, (std::vector<size_t>{8, 4, 4}));
            if (reflections == 0) {
                EXPECT_FALSE(fs::exists(out / "fields" / "back"));
                fs::remove_all(dir);
                continue;
            }
            const std::vector<double> back = Moduli(out / "fields" / "back", Scalar(m), backShape);
            EXPECT_EQ(backShape, shape);
            const double incident = forward[5]; // slice 0 is never reached by a backward pass
            ASSERT_GT(incident, 0.0);
            for (size_t k = 0; k < 8; ++k)
                for (size_t p = 0; p < 16; ++p)
                    EXPECT_NEAR(back[k * 16 + p] / incident, k >= 1 && k <= 3 ? 0.2 : 0.0, 1e-9)
                        << "slice " << k << " point " << p;
            fs::remove_all(dir);
        }
    }
}

TEST(Bidirectional, ReflectionsOptionSetsBidirectionalForOneRun)
{
    TIniSetup setup;
    setup.global["simmethod"] = "sbpm";
    setup.layers = {{5, 1.0, 0.0}, {5, 1.5, 0.0}};
    const fs::path dir = UniqueDir("option");
    const std::string ini = WriteIni(dir, "a.ini", setup);
    const auto run = [&](const std::string& name, const std::string& options) {
        const auto r = Ksn(ini + " -o " + (dir / name).string() + " --save-fields --quiet " + options, dir);
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        return fs::exists(dir / name / "fields" / "back" / "E.npy");
    };
    EXPECT_FALSE(run("plain", ""));
    EXPECT_TRUE(run("two", "--reflections 2"));
    setup.global["bidirectional"] = "1";
    setup.global["reflections"] = "2";
    const std::string bidirectional = WriteIni(dir, "a.ini", setup);
    EXPECT_TRUE(run("configured", ""));
    EXPECT_FALSE(run("off", "--reflections 0"));
    for (const char* bad : {"--reflections -1", "--reflections x", "--reflections"})
        EXPECT_EQ(Ksn(bidirectional + " -o " + (dir / "bad").string() + " " + bad, dir).status, 2) << bad;
    fs::remove_all(dir);
}

namespace {

std::vector<std::string> Examples()
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(KSN_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".ini")
            files.push_back(entry.path().stem().string());
    std::sort(files.begin(), files.end());
    return files;
}

class ExampleEveryMethod : public ::testing::TestWithParam<std::string> {};

} // namespace

// Every bound method (all-complex forms included) runs every example forward and with
// two reflection passes, with finite fields.
TEST_P(ExampleEveryMethod, RunsForwardAndBidirectionalWithFiniteFields)
{
    const fs::path dir = UniqueDir(GetParam());
    std::string text = Slurp(fs::path(KSN_SOURCE_DIR) / "examples" / (GetParam() + ".ini"));
    const fs::path plain = dir / "plain.ini", allComplex = dir / "allcomplex.ini";
    std::ofstream(plain) << text;
    const size_t at = text.find("allcomplex=0");
    ASSERT_NE(at, std::string::npos);
    std::ofstream(allComplex) << text.replace(at, 12, "allcomplex=1");
    for (const TSimMethod m : kMethods)
        for (const bool ac : {false, true}) {
            if ((ac && Scalar(m)) || !Bound(m, ac))
                continue;
            // The vector wave-propagation methods also with their pooled steps.
            const bool pooled = m == TSimMethod::vwpm || m == TSimMethod::vwpmh;
            for (const std::string passes : {"0", "2", pooled ? "2 --threads 2" : ""}) {
                if (passes.empty())
                    continue;
                const std::string what = std::string(SimMethodName(m)) + (ac ? " allcomplex" : "") + " reflections " + passes;
                const fs::path out = dir / "out";
                fs::remove_all(out);
                const auto r = Ksn((ac ? allComplex : plain).string() + " -o " + out.string() + " --method " +
                                       SimMethodName(m) + " --reflections " + passes + " --save-fields --quiet",
                                   dir);
                ASSERT_EQ(r.status, 0) << what << ": " << r.err;
                std::vector<size_t> shape;
                const std::vector<double> e = Moduli(out / "fields", Scalar(m), shape);
                EXPECT_GT(*std::max_element(e.begin(), e.end()), 0.0) << what;
                EXPECT_EQ(Slurp(out / "summary.json").find("null"), std::string::npos) << what;
                if (passes != "0" && fs::exists(out / "fields" / "back"))
                    Moduli(out / "fields" / "back", Scalar(m), shape);
            }
        }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleEveryMethod, ::testing::ValuesIn(Examples()),
    [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

} // namespace ksn::test
