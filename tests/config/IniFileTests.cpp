// The ini library: line normalisation, lookups, typed reads, writing back and the
// configuration reader's naming rules.
#include "ConfigFixtures.h"

#include "config/ExtIniFile.h"
#include "config/MemIniFile.h"
#include "numerics/GeneralError.h"

#include <gtest/gtest.h>

#include <clocale>

namespace ksn {
namespace {

using test::ReadFileText;
using test::TScratchDir;

// The message an EGeneralError carries, or "" when none was thrown.
template <typename F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const EGeneralError& e) {
        return e.what();
    }
    return {};
}

TEST(IniLineTest, NormalisationTrimsCommentsAndBlanksAroundEquals)
{
    EXPECT_EQ(NormaliseIniLine("  nx = 100 ; grid"), "nx=100");
    EXPECT_EQ(NormaliseIniLine("\tkey\t=\tvalue with  inner  blanks \r"), "key=value with  inner  blanks");
    // A ";" starts a comment even inside a value; there is no quoting.
    EXPECT_EQ(NormaliseIniLine("text=\"a;b\""), "text=\"a");
    // Only the first "=" separates; the rest belongs to the value.
    EXPECT_EQ(NormaliseIniLine("a = b = c"), "a=b = c");
    EXPECT_EQ(NormaliseIniLine("   ; only a comment"), "");
    EXPECT_EQ(NormaliseIniLine("no equals here "), "no equals here");
}

TEST(MemIniFileTest, SectionsAndKeysAreFoundWithoutRegardToCase)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[Global]\r\nNX = 100 ; grid\r\nname=Some Text\r\n");
    EXPECT_EQ(ini.ReadInteger("global", "nx", -1), 100);
    EXPECT_EQ(ini.ReadString("GLOBAL", "Name", ""), "Some Text");
    EXPECT_EQ(ini.ReadString("global", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("nosuch", "nx", "dflt"), "dflt");
}

TEST(MemIniFileTest, FirstSectionAndFirstKeyOfAName)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("top=dropped\n[a]\nk=1\nk=2\n[A]\nk=3\nonly=4\n");
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    // Keys of a second section of the same name are never found.
    EXPECT_EQ(ini.ReadString("a", "only", "none"), "none");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"a", "A"}));
    EXPECT_EQ(ini.ReadSection("a"), (std::vector<std::string>{"k", "k"}));
    // Lines before the first header belong to no section.
    EXPECT_EQ(ini.GetText(), "[a]\nk=1\nk=2\n\n[A]\nk=3\nonly=4\n\n");
}

TEST(MemIniFileTest, LineWithoutEqualsIsKeptButNeverFoundAsKey)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[s]\nlonely\nlonely2 = x\n");
    EXPECT_EQ(ini.ReadString("s", "lonely", "none"), "none");
    EXPECT_EQ(ini.ReadSectionValues("s"), (std::vector<std::string>{"lonely", "lonely2=x"}));
    EXPECT_EQ(ini.ReadSection("s"), (std::vector<std::string>{"lonely2"}));
}

TEST(MemIniFileTest, SectionHeaderNameIsTakenAsItStands)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[ spaced ]\nk=1\n[]\nk=2\n");
    EXPECT_EQ(ini.ReadString(" spaced ", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("spaced", "k", "none"), "none");
    EXPECT_EQ(ini.ReadString("", "k", ""), "2");
}

TEST(MemIniFileTest, IntegersDecimalHexAndGarbage)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[n]\nhex=0x1A\nHEX=0X1a\ndollar=$ff\nneg=-12\nplus=+7\nbad=abc\nhalf=12abc\n"
                "bare=0x\nempty=\nbig=2147483648\nmin=-2147483648\nwrap=$FFFFFFFF\nreal=1.5\n");
    EXPECT_EQ(ini.ReadInteger("n", "hex", 0), 26);
    EXPECT_EQ(ini.ReadInteger("n", "dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("n", "neg", 0), -12);
    EXPECT_EQ(ini.ReadInteger("n", "plus", 0), 7);
    EXPECT_EQ(ini.ReadInteger("n", "bad", -5), -5);
    EXPECT_EQ(ini.ReadInteger("n", "half", -5), -5);
    EXPECT_EQ(ini.ReadInteger("n", "bare", -5), -5);
    EXPECT_EQ(ini.ReadInteger("n", "empty", -5), -5);
    EXPECT_EQ(ini.ReadInteger("n", "big", -5), -5);
    EXPECT_EQ(ini.ReadInteger("n", "min", 0), -2147483647 - 1);
    EXPECT_EQ(ini.ReadInteger("n", "wrap", 0), -1);
    EXPECT_EQ(ini.ReadInteger("n", "real", -5), -5);
}

TEST(MemIniFileTest, FlagsAcceptAnyIntegerAndRefuseText)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[global]\nzero=0\none=1\ntwo=2\nminus=-1\nhex=0x10\nyes=yes\nmax=2147483647\nempty=\n");
    EXPECT_FALSE(ini.ReadBool("global", "zero"));
    EXPECT_TRUE(ini.ReadBool("global", "one"));
    EXPECT_TRUE(ini.ReadBool("global", "two"));
    EXPECT_TRUE(ini.ReadBool("global", "minus"));
    EXPECT_TRUE(ini.ReadBool("global", "hex"));
    EXPECT_EQ(ErrorOf([&] { ini.ReadBool("global", "yes"); }), "Boolean: global/yes not 0 or 1");
    EXPECT_EQ(ErrorOf([&] { ini.ReadBool("global", "max"); }), "Boolean: global/max not 0 or 1");
    EXPECT_EQ(ErrorOf([&] { ini.ReadBool("global", "empty"); }), "Boolean: global/empty not 0 or 1");
    // Not required: a missing flag is no integer either.
    EXPECT_EQ(ErrorOf([&] { ini.ReadBool("global", "absent"); }), "Boolean: global/absent not 0 or 1");
}

TEST(MemIniFileTest, RequiredMissingKeyOrSectionNamesBoth)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[global]\nnx=1\n");
    ini.SetRequired(true);
    EXPECT_EQ(ErrorOf([&] { ini.ReadString("global", "ny", ""); }), "Parameter required: global/ny");
    EXPECT_EQ(ErrorOf([&] { ini.ReadInteger("wave3", "lambda", 0); }), "Parameter required: wave3/lambda");
    // Section and key as asked, not as stored.
    EXPECT_EQ(ErrorOf([&] { ini.ReadString("GLOBAL", "NY", ""); }), "Parameter required: GLOBAL/NY");
    EXPECT_EQ(ini.ReadString("GLOBAL", "NX", ""), "1");
}

TEST(MemIniFileTest, RealsUseAPointWhateverTheLocaleAndFallBackToDefault)
{
    // A locale with a decimal comma must not change how files read.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[r]\na=1.25\nb=-3e-4\ncomma=1,25\nempty=\nword=x\n");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("r", "a", 0), 1.25);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("r", "b", 0), -3e-4);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("r", "comma", 9), 9);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("r", "empty", 9), 9);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("r", "word", 9), 9);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(MemIniFileTest, DatesAndTimesRoundTripAndRefuseNonsense)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    // Day 0 is 1899-12-30; 2000-01-01 is day 36526.
    ini.WriteDate("d", "epoch", 0.0);
    ini.WriteDate("d", "y2k", 36526.0);
    ini.WriteDateTime("d", "noon", 36526.5);
    ini.WriteTime("d", "t", 0.75);
    EXPECT_EQ(ini.ReadString("d", "epoch", ""), "1899-12-30");
    EXPECT_EQ(ini.ReadString("d", "y2k", ""), "2000-01-01");
    EXPECT_EQ(ini.ReadString("d", "noon", ""), "2000-01-01 12:00:00");
    EXPECT_EQ(ini.ReadString("d", "t", ""), "18:00:00");
    EXPECT_DOUBLE_EQ(ini.ReadDate("d", "y2k", -1), 36526.0);
    EXPECT_DOUBLE_EQ(ini.ReadDateTime("d", "noon", -1), 36526.5);
    EXPECT_DOUBLE_EQ(ini.ReadTime("d", "t", -1), 0.75);
    ini.WriteString("d", "feb30", "2001-02-30");
    ini.WriteString("d", "leap", "2000-02-29");
    ini.WriteString("d", "hour25", "25:00:00");
    EXPECT_DOUBLE_EQ(ini.ReadDate("d", "feb30", -1), -1);
    EXPECT_DOUBLE_EQ(ini.ReadDate("d", "leap", -1), 36585.0);
    EXPECT_DOUBLE_EQ(ini.ReadTime("d", "hour25", -1), -1);
    EXPECT_DOUBLE_EQ(ini.ReadDate("d", "absent", -1), -1);
}

TEST(MemIniFileTest, WritesReplaceFirstKeyAppendOtherwiseAndAreWrittenBack)
{
    TScratchDir dir;
    const std::string path = dir.Write("w.ini", "[a]\nk = 1\nk=2\n[b]\nx=1\n");
    {
        TMemIniFile ini(path);
        EXPECT_FALSE(ini.IsModified());
        ini.WriteString("A", "K", "9");
        ini.WriteInteger("a", "n", -4);
        ini.WriteBool("new", "flag", true);
        ini.WriteFloat("new", "real", 0.1);
        EXPECT_TRUE(ini.IsModified());
        EXPECT_EQ(ini.ReadString("a", "k", ""), "9");
    } // destroyed: written back
    EXPECT_EQ(ReadFileText(path), "[a]\nK=9\nk=2\nn=-4\n\n[b]\nx=1\n\n[new]\nflag=1\nreal=0.1\n\n");
}

TEST(MemIniFileTest, UnmodifiedFileIsNeverRewritten)
{
    TScratchDir dir;
    const std::string original = "// header\r\n[a]\r\nk = 1 ; note\r\n";
    const std::string path = dir.Write("keep.ini", original);
    {
        TMemIniFile ini(path);
        EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    }
    EXPECT_EQ(ReadFileText(path), original);
    // A missing file starts empty and, unmodified, is not created.
    {
        TMemIniFile ini(dir.File("absent.ini"));
        EXPECT_TRUE(ini.ReadSections().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("absent.ini")));
}

TEST(MemIniFileTest, EraseAndDeleteRemoveOnlyTheFirstMatch)
{
    const TScratchDir scratch;
    TMemIniFile ini(scratch.File("unused.ini"));
    ini.SetText("[s]\nk=1\nk=2\nj=3\n[S]\nk=4\n");
    ini.DeleteKey("S", "K");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "2");
    EXPECT_TRUE(ini.IsModified());
    ini.EraseSection("s");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"S"}));
    EXPECT_EQ(ini.ReadString("s", "k", ""), "4");
    ini.DeleteKey("nosuch", "k"); // no effect, no failure
    EXPECT_EQ(ini.GetText(), "[S]\nk=4\n\n");
}

TEST(MemIniFileTest, UpdateFileReportsAFailureToWrite)
{
    TScratchDir dir;
    TMemIniFile ini((dir.Path() / "no" / "such" / "folder.ini").string());
    ini.WriteString("a", "b", "c");
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_TRUE(ini.IsModified());
}

TEST(ExtIniFileTest, IniIsAppendedUnlessTheNameContainsIt)
{
    EXPECT_EQ(TExtIniFile::ResolveName("scene", 2), "scene.ini");
    EXPECT_EQ(TExtIniFile::ResolveName("dir/scene.cfg", 2), "dir/scene.cfg.ini");
    EXPECT_EQ(TExtIniFile::ResolveName("dir/SCENE.INI", 2), "dir/SCENE.INI");
    // Containing, not ending in, ".ini" is enough.
    EXPECT_EQ(TExtIniFile::ResolveName("a.ini.bak", 2), "a.ini.bak");
    EXPECT_EQ(TExtIniFile::ResolveName("/some/dir/scene", 0), "scene.ini");
    const std::string inProgramDir = TExtIniFile::ResolveName("/some/dir/scene", 1);
    EXPECT_EQ(std::filesystem::path(inProgramDir).filename(), "scene.ini");
    EXPECT_NE(inProgramDir, "/some/dir/scene.ini");
}

TEST(ExtIniFileTest, OpensTheNameWithIniAppended)
{
    TScratchDir dir;
    dir.Write("scene.ini", "[global]\nnx=7\n");
    TExtIniFile ini(dir.File("scene"), 2);
    EXPECT_EQ(ini.FileName(), dir.File("scene.ini"));
    ini.SetSection("global");
    EXPECT_EQ(ini.ReadInteger("nx"), 7);
}

TEST(ExtIniFileTest, ShortReadsUseTheCurrentSectionAndRequireEveryKey)
{
    TExtIniFile ini("never-written.ini", 2);
    EXPECT_EQ(ini.GetSection(), "Data");
    EXPECT_TRUE(ini.IsRequired());
    ini.SetText("[wave0]\nlambda = 0.5\ncount=0x10\nbad=abc\nflag=-1\nname=gaussian\nempty=\ncomma=0,5\n"
                "nan=nan\nhuge=1e999\n");
    ini.SetSection("wave0");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("LAMBDA"), 0.5);
    EXPECT_EQ(ini.ReadInteger("count"), 16);
    EXPECT_EQ(ini.ReadInteger("bad"), 0);
    EXPECT_TRUE(ini.ReadBool("flag"));
    EXPECT_EQ(ini.ReadString("name"), "gaussian");
    EXPECT_EQ(ErrorOf([&] { ini.ReadFloat("theta"); }), "Parameter required: wave0/theta");
    EXPECT_EQ(ErrorOf([&] { ini.ReadString("shape"); }), "Parameter required: wave0/shape");
    EXPECT_EQ(ErrorOf([&] { ini.ReadFloat("bad"); }),
              "Conversion error in wave0/bad: 'abc' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([&] { ini.ReadFloat("empty"); }),
              "Conversion error in wave0/empty: '' is not a valid floating point value");
    EXPECT_NE(ErrorOf([&] { ini.ReadFloat("comma"); }), "");
    EXPECT_NE(ErrorOf([&] { ini.ReadFloat("nan"); }), "");
    EXPECT_NE(ErrorOf([&] { ini.ReadFloat("huge"); }), "");
}

} // namespace
} // namespace ksn
