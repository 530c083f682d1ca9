#pragma once
// The abstract ini file: typed reads and writes built on two text operations that a
// derived class provides. Sections and keys are compared without regard to letter
// case; reals are read and written with "." as decimal separator whatever the locale,
// so that a file written on one machine loads on any other.
#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

// A point in time as a day count: the integer part is the number of days since
// 1899-12-30, the fraction the time of day (0.5 = noon).
using TDateTime = double;

// The value an integer read returns when a flag key holds no integer; it can therefore
// never be a valid flag value.
constexpr std::int32_t kNoFlagValue = 2147483647;

class TCustomIniFile {
public:
    explicit TCustomIniFile(std::string fileName) : myFileName(std::move(fileName)) {}
    virtual ~TCustomIniFile() = default;
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    const std::string& FileName() const { return myFileName; }

    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;

    // Decimal, or hexadecimal after "$" (a leading "0x"/"0X" is taken as "$"); text that
    // is no 32-bit integer gives the default.
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue) const;
    virtual void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    // Any non-zero integer is true; text that is no integer (or 2147483647) throws
    // EGeneralError "Boolean: <section>/<key> not 0 or 1".
    virtual bool ReadBool(const std::string& section, const std::string& key) const;
    virtual void WriteBool(const std::string& section, const std::string& key, bool value);

    // Text that does not convert, or an empty value, gives the default.
    virtual TDateTime ReadDate(const std::string& section, const std::string& key, TDateTime defaultValue) const;
    virtual TDateTime ReadDateTime(const std::string& section, const std::string& key,
                                   TDateTime defaultValue) const;
    virtual double ReadFloat(const std::string& section, const std::string& key, double defaultValue) const;
    virtual TDateTime ReadTime(const std::string& section, const std::string& key, TDateTime defaultValue) const;
    // "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", the shortest real, "HH:MM:SS".
    virtual void WriteDate(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteDateTime(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteFloat(const std::string& section, const std::string& key, double value);
    virtual void WriteTime(const std::string& section, const std::string& key, TDateTime value);

    // The key names of the section's lines, in order (lines without "=" have none).
    virtual std::vector<std::string> ReadSection(const std::string& section) const = 0;
    // All section names in file order.
    virtual std::vector<std::string> ReadSections() const = 0;
    // All lines of the section as stored ("key=value").
    virtual std::vector<std::string> ReadSectionValues(const std::string& section) const = 0;
    // Removes the first section of that name.
    virtual void EraseSection(const std::string& section) = 0;
    // Removes the first line of the key in the first section of that name.
    virtual void DeleteKey(const std::string& section, const std::string& key) = 0;
    // Writes the file when anything was changed since loading; false when writing failed.
    virtual bool UpdateFile() = 0;

private:
    std::string myFileName;
};

// Helpers shared by the ini classes, exposed for their tests.
bool EqualNoCase(const std::string& a, const std::string& b);
// Delphi-style integer text: optional sign, then decimal digits or "$" and hex digits.
bool TryParseIniInteger(const std::string& text, std::int32_t& value);
// The text of an integer key: "0x"/"0X" read as "$", then TryParseIniInteger.
bool TryReadIniInteger(std::string text, std::int32_t& value);
// Calendar conversions of TDateTime (proleptic Gregorian calendar).
bool TryParseIniDate(const std::string& text, TDateTime& value);
bool TryParseIniTime(const std::string& text, TDateTime& value);
bool TryParseIniDateTime(const std::string& text, TDateTime& value);
std::string IniDateText(TDateTime value);
std::string IniTimeText(TDateTime value);

} // namespace ksn
