// The `ksn check` and `ksn save` commands, run as the user runs them: exact stderr
// texts and exit codes.
#include "ConfigFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace ksn {
namespace {

using test::BaseConfig;
using test::Edit;
using test::ReadFileText;
using test::TScratchDir;

struct TRunResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs `ksn <arguments>` with stdout and stderr captured in the scratch folder.
TRunResult RunKsn(const TScratchDir& dir, const std::string& arguments)
{
    const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
    const std::string command =
        "'" KSN_BINARY_DIR "/app/cli/ksn' " + arguments + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    TRunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFileText(out);
    r.err = ReadFileText(err);
    return r;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(CheckCommandTest, GoodFileLogsDoneAndSummarises)
{
    TScratchDir dir;
    const std::string path = dir.Write("good.ini", BaseConfig());
    const TRunResult r = RunKsn(dir, "check " + Quoted(path));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // "HH:MM:SS Done. Loading file <name>" as the first line.
    ASSERT_GT(r.out.size(), 9u);
    EXPECT_EQ(r.out.substr(8, r.out.find('\n') - 8), " Done. Loading file " + path);
    EXPECT_NE(r.out.find("64 x 16 x 59"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Homog"), std::string::npos) << r.out;
}

TEST(CheckCommandTest, EachStoppingErrorIsShownAndExitsOne)
{
    TScratchDir dir;
    struct TCase {
        std::string text, message;
    };
    const TCase cases[] = {
        {Edit(BaseConfig(), "nx=64\n", ""), "Parameter required: global/nx"},
        {Edit(BaseConfig(), "allcomplex=0\n", "allcomplex=yes\n"), "Boolean: global/allcomplex not 0 or 1"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write("bad.ini", c.text);
        const TRunResult r = RunKsn(dir, "check " + Quoted(path));
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.err, c.message + "\nError. Cannot load file!\n");
        EXPECT_EQ(r.out, "");
    }
    // A missing file loads as an empty one.
    const TRunResult r = RunKsn(dir, "check " + Quoted(dir.File("absent.ini")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Parameter required: global/multithreaded\nError. Cannot load file!\n");
}

TEST(CheckCommandTest, UnknownMethodIsAMessageTheLoadSucceedsAndTheRunIsRefused)
{
    TScratchDir dir;
    const std::string path = dir.Write("method.ini", Edit(BaseConfig(), "simmethod=vwpm\n", "simmethod=magic\n"));
    const TRunResult r = RunKsn(dir, "check " + Quoted(path));
    // The field cannot be built for an unknown method; the load still succeeds (the
    // summary is printed), but a run would be refused, so check exits 1.
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Done. Loading file"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "Unknown simType in " + path + "\nError in buildInput(). Unknown Simulation method.\n"
                     "Cannot start simulation. There is no incident field (wavenum must be at least 1 and the method "
                     "known).\n");
}

TEST(CliUsageTest, WrongArgumentCountsExitTwo)
{
    TScratchDir dir;
    for (const char* args : {"check", "check a b", "save", "save onlyone", "save a b c"}) {
        const TRunResult r = RunKsn(dir, args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("usage: ksn"), std::string::npos) << args;
    }
}

TEST(SaveCommandTest, WritesTheLoadedFileAndNothingOnFailure)
{
    TScratchDir dir;
    const std::string in = dir.Write("in.ini", BaseConfig());
    const std::string out = dir.File("out.ini");
    TRunResult r = RunKsn(dir, "save " + Quoted(in) + " " + Quoted(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(" Saved file " + out), std::string::npos) << r.out;
    // The saved file checks and saves to the same bytes.
    const std::string again = dir.File("again.ini");
    r = RunKsn(dir, "save " + Quoted(out) + " " + Quoted(again));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFileText(out), ReadFileText(again));

    const std::string bad = dir.Write("bad.ini", Edit(BaseConfig(), "nx=64\n", ""));
    const std::string notWritten = dir.File("never.ini");
    r = RunKsn(dir, "save " + Quoted(bad) + " " + Quoted(notWritten));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Parameter required: global/nx\nError. Cannot load file!\n");
    EXPECT_FALSE(std::filesystem::exists(notWritten));

    r = RunKsn(dir, "save " + Quoted(in) + " " + Quoted(dir.File("no/such/dir.ini")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error. Cannot save file!\n");
}

} // namespace
} // namespace ksn
