// Every seed of the fuzz corpus through both fuzz targets: the loader's save -> load ->
// save property and the finite results of small runs hold on each (the inputs the
// fuzzer found among them), and the run target really runs the small seeds (a target
// that skipped everything would prove nothing).
#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ksn::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Seeds()
{
    std::vector<fs::path> seeds;
    for (const char* folder : {"examples", "fuzz/corpus"})
        for (const auto& entry : fs::directory_iterator(fs::path(KSN_SOURCE_DIR) / folder))
            if (entry.path().extension() == ".ini")
                seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::uint8_t* Data(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

class FuzzSeed : public ::testing::TestWithParam<fs::path> {};

TEST_P(FuzzSeed, LoaderAndRunPropertiesHold)
{
    const std::string bytes = Bytes(GetParam());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(LoaderOne(Data(bytes), bytes.size()), "");
    bool ran = false;
    EXPECT_EQ(RunOne(Data(bytes), bytes.size(), &ran), "");
    // The fuzz corpus holds small scenes made to be run (and, named found_*, inputs the
    // fuzzer found, kept as they were); the examples are too large.
    const std::string name = GetParam().filename().string();
    if (GetParam().parent_path().filename() == "corpus" && name.rfind("found_", 0) != 0) {
        EXPECT_TRUE(ran);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzSeed, ::testing::ValuesIn(Seeds()),
    [](const ::testing::TestParamInfo<fs::path>& seed) {
        std::string name = seed.param.parent_path().filename().string() + "_" + seed.param.stem().string();
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

} // namespace
} // namespace ksn::fuzz
