// The output folder's own rules: names that would leave the folder are refused, a
// writer that fails leaves neither the file nor its temporary, and the manifest lists
// names with quotes and backslashes so that the next run removes exactly them.
#include "display/OutputFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdlib.h>

namespace ksn {
namespace {

namespace fs = std::filesystem;

fs::path FreshFolder()
{
    std::string pattern = (fs::temp_directory_path() / "ksn_outfolder_XXXXXX").string();
    EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
    return pattern;
}

std::vector<std::string> Entries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(e.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputFolder, NamesThatLeaveTheFolderAndFailedWritersLeaveNothing)
{
    const fs::path dir = FreshFolder();
    TOutputFolder out(dir / "run");
    ASSERT_TRUE(out.Open()) << out.Error();
    for (const char* name : {"../escape.txt", "/tmp/absolute.txt", "a//b.txt", "./x.txt", ""}) {
        EXPECT_FALSE(out.WriteText(name, "x")) << name;
        EXPECT_NE(out.Error().find("not a plain name inside the folder"), std::string::npos) << name;
    }
    EXPECT_FALSE(out.WriteStream("sub/half.npy", [](std::ostream& s) {
        s << "partial";
        return false; // the writer gave up
    }));
    EXPECT_EQ(out.Error(), "Cannot write " + (dir / "run" / "sub/half.npy").string() +
                               ": the data could not be prepared.");
    ASSERT_TRUE(out.WriteText("sub/whole.txt", "whole"));
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"run", "run/sub", "run/sub/whole.txt"}));
    EXPECT_EQ(out.Files(), (std::vector<std::string>{"sub/whole.txt"}));
    fs::remove_all(dir);
}

TEST(OutputFolder, ManifestNamesWithQuotesAndBackslashesReadBack)
{
    // The next Open removes what the manifest lists, so odd names must survive the JSON.
    const fs::path dir = FreshFolder();
    const std::string odd = "we\"ird\\name.txt";
    TOutputFolder out(dir);
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(out.WriteText(odd, "1"));
    ASSERT_TRUE(out.WriteManifest());
    TOutputFolder next(dir);
    ASSERT_TRUE(next.Open());
    EXPECT_EQ(next.Removed(), (std::vector<std::string>{odd}));
    EXPECT_TRUE(Entries(dir).empty());
    fs::remove_all(dir);
}

} // namespace
} // namespace ksn
