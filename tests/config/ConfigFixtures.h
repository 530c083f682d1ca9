#pragma once
// Scratch files for the configuration tests: a fresh folder per test and a small,
// complete configuration whose lines the tests edit to provoke each behaviour.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace ksn::test {

class TScratchDir {
public:
    TScratchDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        myPath = std::filesystem::temp_directory_path() /
                 ("ksn_control_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(myPath);
        std::filesystem::create_directories(myPath);
    }
    ~TScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(myPath, ec);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    std::string File(const std::string& name) const { return (myPath / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }
    const std::filesystem::path& Path() const { return myPath; }

private:
    std::filesystem::path myPath;
};

inline std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Replaces the first occurrence of `from` (a whole line with its "\n") by `to`; fails
// the test when it is not there, so that an edit that misses is not a silent no-op.
inline std::string Edit(std::string text, const std::string& from, const std::string& to)
{
    const size_t pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << "fixture has no \"" << from << "\"";
    if (pos != std::string::npos)
        text.replace(pos, from.size(), to);
    return text;
}

// A complete configuration: two layers adding up to Z, one wave.
inline std::string BaseConfig()
{
    return "[global]\n"
           "multithreaded=0\n"
           "modulotracking=1\n"
           "modulus=2\n"
           "simmethod=vwpm\n"
           "layernum=2\n"
           "wavenum=1\n"
           "scale=um\n"
           "largescene=0\n"
           "bidirectional=1\n"
           "reflections=3\n"
           "extraModes=4\n"
           "allcomplex=0\n"
           "parmvariation=0\n"
           "numofparms=0\n"
           "independent=1\n"
           "evanescent=0\n"
           "X=64\n"
           "Y=32\n"
           "Z=1.5\n"
           "nx=64\n"
           "ny=16\n"
           "nz=59\n"
           "[layer0]\n"
           "type=Homog\n"
           "Z=0.5\n"
           "nSubject=1.5\n"
           "kappaSubject=0.01\n"
           "nSpace=1\n"
           "kappaSpace=0\n"
           "report=1\n"
           "[layer1]\n"
           "type=Homog\n"
           "Z=1\n"
           "nSubject=1.25\n"
           "kappaSubject=0\n"
           "nSpace=1\n"
           "kappaSpace=0\n"
           "report=0\n"
           "[wave0]\n"
           "shape=plane\n"
           "angular=deg\n"
           "lambda=0.633\n"
           "theta=10\n"
           "delta=0\n"
           "rho=45\n"
           "psi=0\n"
           "amplitude=1\n"
           "shiftx=0\n"
           "shifty=0\n"
           "shiftz=0\n";
}

} // namespace ksn::test
