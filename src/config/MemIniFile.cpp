#include "config/MemIniFile.h"

#include "numerics/GeneralError.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace ksn {

namespace {

// What a path is when it is no regular file, for the refusal.
const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "no regular file";
}

[[noreturn]] void Refuse(const std::string& fileName, const std::string& why)
{
    throw EGeneralError("Cannot read " + fileName + ": " + why + ".");
}

std::string LimitText(std::uint64_t limit)
{
    return limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes";
}

std::string Lower(const std::string& s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

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

std::string ReadIniFileText(const std::string& fileName, std::uint64_t limit)
{
    // Look before opening: opening a device or a FIFO may itself have effects.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {}; // a file that does not exist loads as an empty one
        Refuse(fileName, std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode))
        Refuse(fileName, std::string(KindOf(st.st_mode)) + ", not a configuration file");
    // O_NONBLOCK: should the name have become a FIFO since, opening it does not wait.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        Refuse(fileName, std::strerror(errno));
    struct TCloser {
        int fd;
        ~TCloser() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        Refuse(fileName, std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        Refuse(fileName, std::string(KindOf(st.st_mode)) + ", not a configuration file");
    const auto tooLarge = [&] {
        Refuse(fileName, "larger than the " + LimitText(limit) + " a configuration file may have");
    };
    if (std::uint64_t(st.st_size) > limit)
        tooLarge();
    // Read to the end, but never more than the limit: a file may grow while it is read,
    // and some report no size at all.
    std::string text;
    text.resize(size_t(st.st_size));
    size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            if (done > limit)
                tooLarge();
            text.resize(done + 65536);
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Refuse(fileName, std::strerror(errno));
        if (n == 0)
            break;
        done += size_t(n);
    }
    if (done > limit)
        tooLarge();
    text.resize(done);
    return text;
}

TMemIniFile::TMemIniFile(const std::string& fileName) : TCustomIniFile(fileName)
{
    SetText(ReadIniFileText(fileName));
}

TMemIniFile::TMemIniFile(TFromText, const std::string& fileName, const std::string& text) : TCustomIniFile(fileName)
{
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

void TMemIniFile::RebuildIndex()
{
    mySectionIndex.clear();
    for (size_t i = 0; i < mySections.size(); ++i)
        mySectionIndex.emplace(Lower(mySections[i].name), i); // keeps the first of a name
}

void TMemIniFile::AppendSection(const std::string& name)
{
    mySections.push_back({name, {}});
    mySectionIndex.emplace(Lower(name), mySections.size() - 1);
}

void TMemIniFile::SetText(const std::string& text)
{
    mySections.clear();
    mySectionIndex.clear();
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
            AppendSection(line.substr(1, line.size() - 2));
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
    const auto it = mySectionIndex.find(Lower(name));
    return it == mySectionIndex.end() ? nullptr : &mySections[it->second];
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
        AppendSection(section);
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
            RebuildIndex();
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
