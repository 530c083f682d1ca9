// `ksn` on hostile command lines and folders: usage errors that say what was wrong,
// check's exit status, a full disk, the manifest of an output folder, saving onto a
// link, and cut pictures of a scene with far more levels than pixels.
#include "DriverTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

struct TResult {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TResult Ksn(const std::string& args, const fs::path& scratch)
{
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string cmd = std::string(KSN_BINARY_DIR) + "/app/cli/ksn " + args + " >'" + out.string() + "' 2>'" +
                            err.string() + "'";
    const int raw = std::system(cmd.c_str());
    TResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::vector<std::string> FilesUnder(const fs::path& dir)
{
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory())
            files.push_back(fs::relative(e.path(), dir).string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(HostileCli, EveryUsageErrorSaysWhatWasWrongAndExitsTwo)
{
    const auto dir = TempDir("usage");
    const std::string ini = WriteIni(dir, "a.ini", TIniSetup{});
    const std::string o = " -o " + Quoted(dir / "out");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"run " + ini + " -o --quiet", "-o needs a value, but --quiet follows it."},
        {"run " + ini + o + " --threads 4x", "--threads 4x: not a whole number from 1 to"},
        {"run " + ini + o + " --threads 0", "--threads 0: out of range, a whole number from 1 to"},
        {"run " + ini + o + " --threads 100000", "--threads 100000: out of range"},
        {"run " + ini + o + " --zoom", "--zoom needs a value."},
        {"run " + ini + o + " --summation fast", "--summation fast: use auto, direct or grouped."},
        {"run " + ini + o + " --frobnicate", "unknown option --frobnicate."},
        {"run " + ini, "no output folder given (-o DIR)."},
        {"scene " + ini + " -o", "-o needs a value."},
        {"check", "no configuration FILE given."},
    };
    for (const auto& [args, why] : cases) {
        const TResult r = Ksn(args, dir);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << "\n" << r.err;
        EXPECT_NE(r.err.find("usage: ksn "), std::string::npos) << args;
    }
    EXPECT_FALSE(fs::exists(dir / "--quiet"));
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(HostileCli, CheckExitsOneWheneverTheRunWouldBeRefused)
{
    const auto dir = TempDir("check");
    TIniSetup three;
    const std::string layers = WriteIni(dir, "three.ini", three);
    {
        // layernum=three reads as 0 with a warning, and a run without layers is refused.
        std::string text = Slurp(layers);
        text.replace(text.find("layernum=1"), 10, "layernum=three");
        std::ofstream(dir / "three.ini") << text;
        const TResult r = Ksn("check " + Quoted(dir / "three.ini"), dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Warning: global/layernum = 'three' is no whole number"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Cannot start simulation. The scene has no layer"), std::string::npos) << r.err;
    }
    TIniSetup zero;
    zero.lambda = 0;
    TResult r = Ksn("check " + Quoted(WriteIni(dir, "zero.ini", zero)), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot start simulation. wave0/lambda = 0 um: the wavelength must be positive."),
        std::string::npos)
        << r.err;
    r = Ksn("check " + Quoted(WriteIni(dir, "good.ini", TIniSetup{})), dir);
    EXPECT_EQ(r.status, 0) << r.err;
}

// A tmpfs of 64 KiB mounted on `dir` for the lifetime of the object (root only).
class TSmallDisk {
public:
    explicit TSmallDisk(const fs::path& dir) : myDir(dir)
    {
        fs::create_directories(dir);
        myMounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TSmallDisk()
    {
        if (myMounted)
            ::umount2(myDir.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return myMounted; }

private:
    fs::path myDir;
    bool myMounted = false;
};

TEST(HostileCli, AFullDiskFailsTheRunNamingTheFileAndLeavesNoTruncatedFile)
{
    const auto dir = TempDir("fulldisk");
    const TSmallDisk disk(dir / "disk");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    // 20 stored slices of 16 x 16 complex values: E.npy alone takes 80 KiB.
    TIniSetup setup;
    setup.global["nx"] = "16";
    setup.global["ny"] = "16";
    setup.global["Z"] = "20";
    setup.global["nz"] = "20";
    setup.layers = {{20, 1.5, 0.01}};
    const auto out = dir / "disk" / "out";
    const TResult run = Ksn("run " + WriteIni(dir, "a.ini", setup) + " -o " + Quoted(out) + " --save-fields --no-plots",
        dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot write " + (out / "fields" / "E.npy").string() + ": No space left on device."),
        std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("Results written"), std::string::npos);
    // What is there is whole: the summary parses to its end, no hidden temporaries, no E.npy.
    EXPECT_FALSE(fs::exists(out / "fields" / "E.npy"));
    const std::string summary = Slurp(out / "summary.json");
    ASSERT_GE(summary.size(), 6u);
    EXPECT_EQ(summary.substr(summary.size() - 6), "  ]\n}\n") << summary;
    for (const std::string& f : FilesUnder(out))
        EXPECT_NE(fs::path(f).filename().string().front(), '.') << f;
}

TEST(HostileCli, ANewRunRemovesExactlyTheFilesThePreviousManifestLists)
{
    const auto dir = TempDir("manifest");
    const auto out = dir / "out";
    const std::string ini = WriteIni(dir, "a.ini", TIniSetup{});
    TResult r = Ksn("run " + ini + " -o " + Quoted(out) + " --save-fields --no-plots --quiet", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesUnder(out), (std::vector<std::string>{"curves.csv", "fields/E.npy", "manifest.json",
                                   "maps/absorption.npy", "maps/intensity.npy", "report.log", "summary.json"}));
    // The user's own file stays; a manifest entry that leads outside the folder is ignored.
    std::ofstream(out / "notes.txt") << "mine";
    std::ofstream(dir / "outside.txt") << "not the run's";
    std::string manifest = Slurp(out / "manifest.json");
    manifest.replace(manifest.find("\"curves.csv\""), 12, "\"curves.csv\", \"../outside.txt\", \"" +
                                                              (dir / "outside.txt").string() + "\"");
    std::ofstream(out / "manifest.json") << manifest;
    r = Ksn("run " + ini + " -o " + Quoted(out) + " --no-plots --quiet", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesUnder(out),
        (std::vector<std::string>{"curves.csv", "manifest.json", "notes.txt", "report.log", "summary.json"}));
    EXPECT_TRUE(fs::exists(dir / "outside.txt"));
    EXPECT_FALSE(fs::exists(out / "fields")); // emptied by the removal, so removed too
}

TEST(HostileCli, ARefusedRunKeepsItsReasonInTheLogAndClearsTheEarlierResults)
{
    const auto dir = TempDir("refused");
    const auto out = dir / "out";
    ASSERT_EQ(Ksn("run " + WriteIni(dir, "a.ini", TIniSetup{}) + " -o " + Quoted(out) + " --no-plots --quiet", dir).status,
        0);
    std::ofstream(dir / "bad.ini") << "[global]\nmultithreaded=yes\n";
    const TResult r = Ksn("run " + Quoted(dir / "bad.ini") + " -o " + Quoted(out), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FilesUnder(out), (std::vector<std::string>{"manifest.json", "report.log"}));
    EXPECT_EQ(Slurp(out / "report.log"), "Boolean: global/multithreaded not 0 or 1\nError. Cannot load file!\n");
}

TEST(HostileCli, SaveOntoALinkWritesItsTargetAndKeepsTheLink)
{
    const auto dir = TempDir("savelink");
    const std::string in = WriteIni(dir, "in.ini", TIniSetup{});
    fs::create_directory(dir / "real");
    fs::create_symlink("real/target.ini", dir / "link.ini");
    const TResult r = Ksn("save " + in + " " + Quoted(dir / "link.ini"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_NE(Slurp(dir / "real" / "target.ini").find("[global]"), std::string::npos);
    // What was saved saves to the same bytes.
    const TResult again = Ksn("save " + Quoted(dir / "link.ini") + " " + Quoted(dir / "again.ini"), dir);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Slurp(dir / "again.ini"), Slurp(dir / "real" / "target.ini"));
}

TEST(HostileCli, SceneCutsOfManyLevelsAreSampledToABoundedPicture)
{
    // 100000 levels of 1 x 4 points: the x-z cut has at most 4096 columns, not 100000.
    const auto dir = TempDir("scenecut");
    TIniSetup setup;
    setup.global["nx"] = "1";
    setup.global["ny"] = "4";
    setup.global["X"] = "1";
    setup.global["Y"] = "4";
    setup.global["Z"] = "100000";
    setup.global["nz"] = "100000";
    setup.global["largescene"] = "1";
    setup.layers = {{50000, 1.0, 0.0}, {50000, 1.5, 0.0}};
    const auto out = dir / "out";
    const TResult r = Ksn("scene " + WriteIni(dir, "a.ini", setup) + " -o " + Quoted(out), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("levels: 100000"), std::string::npos);
    for (const char* name : {"n_yz.png", "n_yz.svg"}) {
        if (!fs::exists(out / name))
            continue;
        const std::string png = Slurp(out / name);
        if (png.compare(1, 3, "PNG") == 0) {
            // IHDR width, big-endian at byte 16.
            const auto width = (unsigned(std::uint8_t(png[16])) << 24) | (unsigned(std::uint8_t(png[17])) << 16) |
                               (unsigned(std::uint8_t(png[18])) << 8) | unsigned(std::uint8_t(png[19]));
            EXPECT_LE(width, 4096u + 400u);
            EXPECT_GE(width, 4096u);
        }
    }
    EXPECT_TRUE(fs::exists(out / "manifest.json"));
}

} // namespace
} // namespace ksn::test
