#include "config/MemIniFile.h"

#include "numerics/GeneralError.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace ksn {

namespace {

// Blanks are every control character and the space, so that CR of CR LF files, tabs
// and stray NULs never become part of a name or value.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimRight(const std::string& s)
{
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1]))
        --e;
    return s.substr(0, e);
}

std::string TrimLeft(const std::string& s)
{
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return s.substr(b);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

// The key of a stored line: the text before its first "=", or nothing.
bool LineKey(const std::string& line, std::string& key)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = line.substr(0, eq);
    return true;
}

} // namespace

std::string NormaliseIniLine(const std::string& line)
{
    std::string s = Trim(line);
    const size_t semicolon = s.find(';');
    if (semicolon != std::string::npos)
        s = TrimRight(s.substr(0, semicolon));
    const size_t eq = s.find('=');
    if (eq != std::string::npos)
        s = TrimRight(s.substr(0, eq)) + "=" + TrimLeft(s.substr(eq + 1));
    return s;
}

TMemIniFile::TMemIniFile(const std::string& fileName) : TCustomIniFile(fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return; // unreadable (a folder, an I/O error): start empty
    SetText(text);
}

TMemIniFile::~TMemIniFile()
{
    try {
        UpdateFile();
    } catch (...) {
        // A destructor must not throw; the caller wanting to know calls UpdateFile itself.
    }
}

void TMemIniFile::SetText(const std::string& text)
{
    mySections.clear();
    size_t pos = 0;
    // A UTF-8 byte-order mark is no part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    TSection* current = nullptr;
    while (pos <= text.size()) {
        // Lines end at LF, CR LF or a lone CR.
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = NormaliseIniLine(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            mySections.push_back({line.substr(1, line.size() - 2), {}});
            current = &mySections.back();
        } else if (current) {
            current->lines.push_back(line);
        }
        // Lines before the first section header belong to no section and are dropped.
    }
    myModified = false;
}

std::string TMemIniFile::GetText() const
{
    std::string text;
    for (const auto& section : mySections) {
        text += "[" + section.name + "]\n";
        for (const auto& line : section.lines)
            text += line + "\n";
        text += "\n";
    }
    return text;
}

const TMemIniFile::TSection* TMemIniFile::FindSection(const std::string& name) const
{
    for (const auto& section : mySections)
        if (EqualNoCase(section.name, name))
            return &section;
    return nullptr;
}

TMemIniFile::TSection* TMemIniFile::FindSection(const std::string& name)
{
    return const_cast<TSection*>(static_cast<const TMemIniFile*>(this)->FindSection(name));
}

long TMemIniFile::FindKey(const TSection& section, const std::string& key)
{
    std::string lineKey;
    for (size_t i = 0; i < section.lines.size(); ++i)
        if (LineKey(section.lines[i], lineKey) && EqualNoCase(lineKey, key))
            return static_cast<long>(i);
    return -1;
}

std::string TMemIniFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const
{
    const TSection* s = FindSection(section);
    const long i = s ? FindKey(*s, key) : -1;
    if (i < 0) {
        if (myRequired)
            throw EGeneralError("Parameter required: " + section + "/" + key);
        return defaultValue;
    }
    const std::string& line = s->lines[size_t(i)];
    return line.substr(line.find('=') + 1);
}

void TMemIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    TSection* s = FindSection(section);
    if (!s) {
        mySections.push_back({section, {}});
        s = &mySections.back();
    }
    const std::string line = key + "=" + value;
    const long i = FindKey(*s, key);
    if (i >= 0)
        s->lines[size_t(i)] = line;
    else
        s->lines.push_back(line);
    myModified = true;
}

std::vector<std::string> TMemIniFile::ReadSection(const std::string& section) const
{
    std::vector<std::string> keys;
    if (const TSection* s = FindSection(section)) {
        std::string key;
        for (const auto& line : s->lines)
            if (LineKey(line, key))
                keys.push_back(key);
    }
    return keys;
}

std::vector<std::string> TMemIniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const auto& section : mySections)
        names.push_back(section.name);
    return names;
}

std::vector<std::string> TMemIniFile::ReadSectionValues(const std::string& section) const
{
    const TSection* s = FindSection(section);
    return s ? s->lines : std::vector<std::string>{};
}

void TMemIniFile::EraseSection(const std::string& section)
{
    for (auto it = mySections.begin(); it != mySections.end(); ++it)
        if (EqualNoCase(it->name, section)) {
            mySections.erase(it);
            myModified = true;
            return;
        }
}

void TMemIniFile::DeleteKey(const std::string& section, const std::string& key)
{
    TSection* s = FindSection(section);
    const long i = s ? FindKey(*s, key) : -1;
    if (i < 0)
        return;
    s->lines.erase(s->lines.begin() + i);
    myModified = true;
}

bool TMemIniFile::UpdateFile()
{
    if (!myModified)
        return true;
    std::ofstream out(FileName(), std::ios::binary | std::ios::trunc);
    out << GetText();
    out.flush();
    if (!out)
        return false;
    myModified = false;
    return true;
}

} // namespace ksn
