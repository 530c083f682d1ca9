#include "config/CustomIniFile.h"

#include "config/FloatText.h"
#include "numerics/GeneralError.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace ksn {

namespace {

// Day number of 1899-12-30 (TDateTime day 0) counted from 1970-01-01.
constexpr long long kDateTimeEpochDays = -25569;
// TDateTime values are kept within years 1 ... 9999, as the text forms allow.
constexpr double kMinDateTime = -693593.0; // 0001-01-01
constexpr double kMaxDateTime = 2958466.0; // 10000-01-01

// Days since 1970-01-01 of a proleptic Gregorian date (civil-from-days inverse).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(long long y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Reads exactly `count` decimal digits at text[pos].
bool Digits(const std::string& text, size_t& pos, size_t count, unsigned& value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + unsigned(c - '0');
    }
    pos += count;
    return true;
}

bool Expect(const std::string& text, size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// "YYYY-MM-DD" at text[pos]; gives whole days as TDateTime.
bool ParseDateAt(const std::string& text, size_t& pos, double& days)
{
    unsigned y = 0, m = 0, d = 0;
    if (!Digits(text, pos, 4, y) || !Expect(text, pos, '-') || !Digits(text, pos, 2, m) || !Expect(text, pos, '-') ||
        !Digits(text, pos, 2, d))
        return false;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    days = double(DaysFromCivil(y, m, d) - kDateTimeEpochDays);
    return true;
}

// "HH:MM" or "HH:MM:SS" at text[pos]; gives the fraction of a day.
bool ParseTimeAt(const std::string& text, size_t& pos, double& fraction)
{
    unsigned h = 0, mi = 0, s = 0;
    if (!Digits(text, pos, 2, h) || !Expect(text, pos, ':') || !Digits(text, pos, 2, mi))
        return false;
    if (pos < text.size() && text[pos] == ':' && (++pos, !Digits(text, pos, 2, s)))
        return false;
    if (h > 23 || mi > 59 || s > 59)
        return false;
    fraction = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    return true;
}

// Splits a TDateTime into whole days (floor) and whole seconds of the day.
void SplitDateTime(TDateTime value, long long& days, long long& seconds)
{
    const double day = std::floor(value);
    days = static_cast<long long>(day);
    seconds = std::llround((value - day) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
}

bool IsWritableDateTime(TDateTime value) { return std::isfinite(value) && value >= kMinDateTime && value < kMaxDateTime; }

} // namespace

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool TryParseIniInteger(const std::string& text, std::int32_t& value)
{
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    if (pos >= text.size())
        return false;
    long long magnitude = 0;
    if (text[pos] == '$') {
        // Hexadecimal: up to 32 bits, which wrap into the signed range ($FFFFFFFF = -1).
        if (++pos >= text.size())
            return false;
        for (; pos < text.size(); ++pos) {
            const int c = std::tolower(static_cast<unsigned char>(text[pos]));
            int digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                return false;
            magnitude = magnitude * 16 + digit;
            if (magnitude > 0xFFFFFFFFLL)
                return false;
        }
        const auto bits = static_cast<std::uint32_t>(negative ? -magnitude : magnitude);
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > 2147483647LL)
        return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

bool TryParseIniDate(const std::string& text, TDateTime& value)
{
    size_t pos = 0;
    double days = 0;
    if (!ParseDateAt(text, pos, days) || pos != text.size())
        return false;
    value = days;
    return true;
}

bool TryParseIniTime(const std::string& text, TDateTime& value)
{
    size_t pos = 0;
    double fraction = 0;
    if (!ParseTimeAt(text, pos, fraction) || pos != text.size())
        return false;
    value = fraction;
    return true;
}

bool TryParseIniDateTime(const std::string& text, TDateTime& value)
{
    size_t pos = 0;
    double days = 0, fraction = 0;
    if (!ParseDateAt(text, pos, days))
        return false;
    if (pos != text.size() && (!Expect(text, pos, ' ') || !ParseTimeAt(text, pos, fraction) || pos != text.size()))
        return false;
    value = days + fraction;
    return true;
}

std::string IniDateText(TDateTime value)
{
    if (!IsWritableDateTime(value))
        return {};
    long long days = 0, seconds = 0;
    SplitDateTime(value, days, seconds);
    long long y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days + kDateTimeEpochDays, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", y, m, d);
    return buf;
}

std::string IniTimeText(TDateTime value)
{
    if (!IsWritableDateTime(value))
        return {};
    long long days = 0, seconds = 0;
    SplitDateTime(value, days, seconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buf;
}

std::int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key,
                                         std::int32_t defaultValue) const
{
    std::int32_t value = 0;
    return TryReadIniInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TryReadIniInteger(std::string text, std::int32_t& value)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, 1, '$');
    return TryParseIniInteger(text, value);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key) const
{
    const std::int32_t value = ReadInteger(section, key, kNoFlagValue);
    if (value == kNoFlagValue)
        throw EGeneralError("Boolean: " + section + "/" + key + " not 0 or 1");
    return value != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

TDateTime TCustomIniFile::ReadDate(const std::string& section, const std::string& key, TDateTime defaultValue) const
{
    TDateTime value = 0;
    return TryParseIniDate(ReadString(section, key, ""), value) ? value : defaultValue;
}

TDateTime TCustomIniFile::ReadDateTime(const std::string& section, const std::string& key,
                                       TDateTime defaultValue) const
{
    TDateTime value = 0;
    return TryParseIniDateTime(ReadString(section, key, ""), value) ? value : defaultValue;
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& key, double defaultValue) const
{
    double value = 0;
    return TryParseReal(ReadString(section, key, ""), value) ? value : defaultValue;
}

TDateTime TCustomIniFile::ReadTime(const std::string& section, const std::string& key, TDateTime defaultValue) const
{
    TDateTime value = 0;
    return TryParseIniTime(ReadString(section, key, ""), value) ? value : defaultValue;
}

void TCustomIniFile::WriteDate(const std::string& section, const std::string& key, TDateTime value)
{
    WriteString(section, key, IniDateText(value));
}

void TCustomIniFile::WriteDateTime(const std::string& section, const std::string& key, TDateTime value)
{
    WriteString(section, key, IsWritableDateTime(value) ? IniDateText(value) + " " + IniTimeText(value) : "");
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& key, double value)
{
    WriteString(section, key, FormatReal(value));
}

void TCustomIniFile::WriteTime(const std::string& section, const std::string& key, TDateTime value)
{
    WriteString(section, key, IniTimeText(value));
}

} // namespace ksn
