#include "config/ExtIniFile.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "numerics/GeneralError.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace ksn {

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::filesystem::path ProgramDirectory()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return std::filesystem::current_path(ec);
    return exe.parent_path();
}

} // namespace

std::string TExtIniFile::ResolveName(const std::string& fileName, int mode)
{
    std::string name = fileName;
    if (Lower(name).find(".ini") == std::string::npos)
        name += ".ini";
    switch (mode) {
    case kWorkingDirectory: return std::filesystem::path(name).filename().string();
    case kProgramDirectory: return (ProgramDirectory() / std::filesystem::path(name).filename()).string();
    default: return name;
    }
}

// The name as given is opened when ".ini" appended names nothing but the name itself
// names something: the numbered variation files "parmvar<j>.txt" load back as they are,
// and a folder, FIFO or device given by its own name is refused as what it is.
std::string TExtIniFile::OpenName(const std::string& fileName, int mode)
{
    const std::string name = ResolveName(fileName, mode);
    std::error_code ec;
    if (mode == kNameAsGiven && name != fileName && !std::filesystem::exists(name, ec) &&
        std::filesystem::exists(fileName, ec))
        return fileName;
    return name;
}

TExtIniFile::TExtIniFile(const std::string& fileName, int mode) : TMemIniFile(OpenName(fileName, mode))
{
    SetRequired(true);
}

TExtIniFile::TExtIniFile(TFromText tag, const std::string& fileName, const std::string& text)
    : TMemIniFile(tag, fileName, text)
{
    SetRequired(true);
}

double TExtIniFile::ReadFloat(const std::string& key) const
{
    const std::string text = ReadString(mySection, key, "0");
    double value = 0;
    if (!TryParseReal(text, value) || !std::isfinite(value))
        throw EGeneralError("Conversion error in " + mySection + "/" + key + ": '" + text +
                            "' is not a valid floating point value");
    return value;
}

std::int32_t TExtIniFile::ReadInteger(const std::string& key) const
{
    const std::string text = ReadString(mySection, key, "0");
    std::int32_t value = 0;
    if (TryReadIniInteger(text, value))
        return value;
    // The file format reads such text as 0 without a word; "nx=1e3" or "32abc" would
    // then fail far from their cause, so say which key and text it was.
    ShowMessage("Warning: " + mySection + "/" + key + " = '" + text + "' is no whole number in the 32-bit range; read as 0.");
    return 0;
}

bool TExtIniFile::ReadBool(const std::string& key) const { return ReadBool(mySection, key); }

std::string TExtIniFile::ReadString(const std::string& key) const { return ReadString(mySection, key, ""); }

} // namespace ksn
