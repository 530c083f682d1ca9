// Hostile configuration files: what is no regular file of bounded size is refused in
// one line (a FIFO without waiting for a writer), and integer keys whose text does not
// convert keep the value 0 with a warning that names the key and the text.
#include "ConfigFixtures.h"

#include "config/Configuration.h"
#include "config/MemIniFile.h"
#include "numerics/GeneralError.h"
#include "support/RecordingSink.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ksn {
namespace {

using test::BaseConfig;
using test::Edit;
using test::TRecordingSink;
using test::TScratchDir;

TEST(HostileFileTest, WhatIsNoRegularFileIsRefusedInOneLine)
{
    TScratchDir dir;
    const std::string folder = dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A link to an endless device: the link is followed and the device refused.
    const std::string zero = dir.File("zero.ini");
    std::filesystem::create_symlink("/dev/zero", zero);
    const std::pair<std::string, std::string> cases[] = {
        {folder, "a folder"}, {fifo, "a FIFO"}, {zero, "a character device"}};
    for (const auto& [path, kind] : cases) {
        TRecordingSink sink;
        TConfiguration config;
        EXPECT_FALSE(LoadConfiguration(path, config)) << kind;
        EXPECT_EQ(sink.messages, (std::vector<std::string>{"Cannot read " + path + ": " + kind +
                                                               ", not a configuration file.",
                                     "Error. Cannot load file!"}));
        EXPECT_FALSE(config.global.loaded);
    }
    // A folder named without ".ini" (as in "ksn run /tmp") is refused as itself.
    const std::string plain = dir.File("plain");
    std::filesystem::create_directory(plain);
    TRecordingSink sink;
    TConfiguration config;
    EXPECT_FALSE(LoadConfiguration(plain, config));
    ASSERT_FALSE(sink.messages.empty());
    EXPECT_EQ(sink.messages[0], "Cannot read " + plain + ": a folder, not a configuration file.");
}

TEST(HostileFileTest, FileBeyondTheLimitIsRefusedAndOneAtItIsRead)
{
    TScratchDir dir;
    const std::string at = dir.Write("at.ini", std::string(100, ';'));
    const std::string beyond = dir.Write("beyond.ini", std::string(101, ';'));
    EXPECT_EQ(ReadIniFileText(at, 100).size(), 100u);
    try {
        ReadIniFileText(beyond, 100);
        FAIL() << "no refusal";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(),
            ("Cannot read " + beyond + ": larger than the 100 bytes a configuration file may have.").c_str());
    }
    // The default limit is 64 MiB; a missing file still reads as an empty one.
    EXPECT_EQ(kMaxIniFileBytes, std::uint64_t(64) << 20);
    EXPECT_EQ(ReadIniFileText(dir.File("absent.ini")), "");
}

TEST(HostileFileTest, IntegerKeysThatDoNotConvertWarnNamingKeyAndTextAndReadAsZero)
{
    TRecordingSink sink;
    TScratchDir dir;
    // modulus "32abc" reads as 0 (then 1, as every modulus below 1); extraModes "1e3" as
    // 0; hexadecimal text converts without a word.
    std::string text = Edit(BaseConfig(), "modulus=2\n", "modulus=32abc\n");
    text = Edit(text, "extraModes=4\n", "extraModes=1e3\n");
    text = Edit(text, "reflections=3\n", "reflections=0x1A\n");
    TConfiguration config;
    ASSERT_TRUE(LoadConfiguration(dir.Write("ints.ini", text), config));
    EXPECT_EQ(config.global.modulus, 1);
    EXPECT_EQ(config.global.extraModes, 0);
    EXPECT_EQ(config.global.reflections, 26);
    EXPECT_EQ(sink.messages,
        (std::vector<std::string>{
            "Warning: global/modulus = '32abc' is no whole number in the 32-bit range; read as 0.",
            "Warning: global/extraModes = '1e3' is no whole number in the 32-bit range; read as 0."}));
}

} // namespace
} // namespace ksn
