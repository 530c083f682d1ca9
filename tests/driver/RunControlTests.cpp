// Runs that report to their own observer and can be stopped: through the driver's
// interface, and `ksn run` by SIGINT or SIGTERM.
#include "DriverTestSupport.h"

#include "control/SimulationDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace ksn::test {
namespace {

namespace fs = std::filesystem;

class TRecordingObserver : public TRunObserver {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LogLine(const std::string& line) override { logLines.push_back(line); }
    void SliceComputed(int z, int pass, const TField&, const TBrelScenes&) override
    {
        slices.push_back({z, pass});
        if (onSlice)
            onSlice(z, pass);
    }
    bool Logged(const std::string& text) const
    {
        for (const auto& l : logLines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> messages, logLines;
    std::vector<std::pair<int, int>> slices;
    std::function<void(int, int)> onSlice;
};

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(RunControl, StopRequestEndsTheRunAfterTheCurrentStepAndKeepsTheSlicesDone)
{
    const fs::path dir = TempDir("stop");
    TIniSetup setup;
    setup.global["Z"] = "20";
    setup.global["nz"] = "20";
    setup.layers = {{10, 1.0, 0.0}, {10, 1.2, 0.01}};
    const std::string file = WriteIni(dir, "stop.ini", setup);

    TSimulationDriver driver;
    TRecordingObserver observer;
    driver.SetObserver(&observer);
    ASSERT_TRUE(driver.Open(file)) << (observer.messages.empty() ? "" : observer.messages[0]);
    observer.onSlice = [&](int z, int) {
        if (z == 12)
            driver.RequestStop();
    };
    ASSERT_TRUE(driver.Run());
    EXPECT_TRUE(driver.WasStopped());
    EXPECT_EQ(observer.slices.back().first, 12);
    EXPECT_EQ(driver.ForwardStore().size(), 13u);
    EXPECT_TRUE(observer.Logged("Simulation stopped at slice 12 of 20."));
    // The slices done are mapped: slice 12 lies in the absorbing layer.
    ASSERT_TRUE(driver.ForwardStore().back());
    EXPECT_GT(driver.ForwardStore().back()->GetAbsorption(), 0.0);
    EXPECT_GT(driver.TotalAbsorption(), 0.0);

    // The request is used up: the next run goes to the end.
    observer.onSlice = nullptr;
    ASSERT_TRUE(driver.Run());
    EXPECT_FALSE(driver.WasStopped());
    EXPECT_EQ(driver.ForwardStore().size(), 20u);
    fs::remove_all(dir);
}

TEST(RunControl, TwoDriversOnTwoThreadsReportOnlyToTheirOwnObservers)
{
    const fs::path dir = TempDir("two");
    TIniSetup a, b;
    a.global["nz"] = a.global["Z"] = "30";
    a.layers = {{30, 1.0, 0.0}};
    b.global["nz"] = b.global["Z"] = "40";
    b.layers = {{40, 1.5, 0.0}};
    const std::string fileA = WriteIni(dir, "alpha.ini", a);
    const std::string fileB = WriteIni(dir, "beta.ini", b);

    TRecordingObserver observerA, observerB;
    const auto job = [](const std::string& file, TRecordingObserver& observer, bool& ok) {
        TSimulationDriver driver;
        driver.SetObserver(&observer);
        ok = driver.Open(file) && driver.Run();
    };
    bool okA = false, okB = false;
    std::thread ta(job, fileA, std::ref(observerA), std::ref(okA));
    std::thread tb(job, fileB, std::ref(observerB), std::ref(okB));
    ta.join();
    tb.join();
    ASSERT_TRUE(okA && okB);
    EXPECT_TRUE(observerA.Logged("Done. Loading file " + fileA));
    EXPECT_FALSE(observerA.Logged("beta.ini"));
    EXPECT_TRUE(observerB.Logged("Done. Loading file " + fileB));
    EXPECT_FALSE(observerB.Logged("alpha.ini"));
    EXPECT_EQ(observerA.slices.size(), 30u);
    EXPECT_EQ(observerB.slices.size(), 40u);
    fs::remove_all(dir);
}

// Starts `ksn run`, waits until the run has started, sends `signal` and expects the run
// to end soon after with 128 + signal, having written the slices it did.
void StopKsnWith(int signal)
{
    const fs::path dir = TempDir("signal");
    TIniSetup setup;
    // A Gaussian beam (many plane waves) summed point by point over 200000 slices:
    // minutes of work, of which only a few hundred milliseconds run.
    setup.global["nx"] = setup.global["ny"] = "16";
    setup.global["X"] = setup.global["Y"] = "16";
    setup.global["Z"] = setup.global["nz"] = "200000";
    setup.global["modulotracking"] = "1";
    setup.global["modulus"] = "1000";
    setup.global["largescene"] = "1"; // no 200000-level index array
    setup.layers = {{200000, 1.0, 0.0}};
    setup.waveShape = "gaussian";
    const std::string file = WriteIni(dir, "long.ini", setup);
    const fs::path out = dir / "out";
    const std::string ksn = std::string(KSN_BINARY_DIR) + "/app/cli/ksn";
    const std::string log = (dir / "stdout.txt").string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{ksn, "run", file, "-o", out.string(), "--summation", "direct"};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, ksn.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::seconds(60);
    while (Slurp(out / "report.log").find("Simulation Started.") == std::string::npos && clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(::kill(pid, signal), 0);
    const auto signalled = clock::now();

    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && clock::now() - signalled < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "ksn run did not stop";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_LT(clock::now() - signalled, std::chrono::seconds(5));

    const std::string report = Slurp(out / "report.log");
    EXPECT_NE(report.find("Simulation stopped at slice "), std::string::npos) << report;
    EXPECT_NE(report.find("End-Report"), std::string::npos);
    EXPECT_NE(Slurp(out / "summary.json").find("\"stopped\": true"), std::string::npos);
    // Header plus one line per stored slice done: at least slice 0, never all 200.
    const std::string curves = Slurp(out / "curves.csv");
    const auto lines = std::count(curves.begin(), curves.end(), '\n');
    EXPECT_GE(lines, 2);
    EXPECT_LT(lines, 201);
    fs::remove_all(dir);
}

TEST(RunControl, KsnRunStopsOnSigintWithStatus130) { StopKsnWith(SIGINT); }
TEST(RunControl, KsnRunStopsOnSigtermWithStatus143) { StopKsnWith(SIGTERM); }

} // namespace
} // namespace ksn::test
