#pragma once
// An ini file held wholly in memory: an ordered list of sections, each with its ordered
// list of normalised lines. Lookups find the first section and the first key of a name
// (compared without regard to case); writes mark the file modified, and a modified file
// is written back when the object is destroyed.
#include "config/CustomIniFile.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ksn {

// The largest file a configuration may be: far beyond any scene description, small
// enough that reading it can neither exhaust memory nor take long.
constexpr std::uint64_t kMaxIniFileBytes = std::uint64_t(64) << 20;

// The whole text of an ini file. A name that does not exist (or lies in a folder that
// does not exist) reads as an empty file; anything else that is no regular file of at
// most `limit` bytes (a folder, a FIFO, a device, a link to one, a file that cannot be
// read) throws EGeneralError with one line naming the file and the reason. A FIFO is
// never waited for.
std::string ReadIniFileText(const std::string& fileName, std::uint64_t limit = kMaxIniFileBytes);

// One line as the parser keeps it: blanks trimmed, everything from the first ";" on
// dropped, blanks around the first "=" removed. Returns "" for a line to be skipped.
std::string NormaliseIniLine(const std::string& line);

class TMemIniFile : public TCustomIniFile {
public:
    // Loads and parses the file (ReadIniFileText: a missing file starts empty, one that
    // is no readable regular file of bounded size throws EGeneralError).
    explicit TMemIniFile(const std::string& fileName);
    // Parses `text` as the file's contents; nothing is read (and, unmodified, nothing
    // written).
    struct TFromText {};
    TMemIniFile(TFromText, const std::string& fileName, const std::string& text);
    // Writes back when modified; a failure here is not reported (call UpdateFile to know).
    ~TMemIniFile() override;

    using TCustomIniFile::ReadBool;
    using TCustomIniFile::ReadInteger;
    using TCustomIniFile::ReadFloat;

    // The text behind "key=" of the first matching line. A missing section or key throws
    // EGeneralError "Parameter required: <section>/<key>" when required is set, and
    // gives the default otherwise.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const override;
    // Creates the section at the end if missing; replaces the key's first line or appends.
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

    std::vector<std::string> ReadSection(const std::string& section) const override;
    std::vector<std::string> ReadSections() const override;
    std::vector<std::string> ReadSectionValues(const std::string& section) const override;
    void EraseSection(const std::string& section) override;
    void DeleteKey(const std::string& section, const std::string& key) override;
    // Writes every section as "[name]", its lines and one empty line (LF line ends),
    // replacing the file, when modified. True when nothing had to be written or it was.
    bool UpdateFile() override;

    // Replaces the contents by the parsed text (not marked modified).
    void SetText(const std::string& text);
    // The text UpdateFile writes.
    std::string GetText() const;

    bool IsRequired() const { return myRequired; }
    void SetRequired(bool required) { myRequired = required; }
    bool IsModified() const { return myModified; }

private:
    struct TSection {
        std::string name;
        std::vector<std::string> lines;
    };

    const TSection* FindSection(const std::string& name) const;
    TSection* FindSection(const std::string& name);
    // Index of the first line whose key matches, or -1.
    static long FindKey(const TSection& section, const std::string& key);
    // The section list changed in a way other than appending: index it again.
    void RebuildIndex();
    void AppendSection(const std::string& name);

    std::vector<TSection> mySections;
    // Lower-cased name -> position of the first section of that name, so that a lookup
    // costs the same with 20000 sections as with three (loading stays linear in the
    // file size).
    std::unordered_map<std::string, size_t> mySectionIndex;
    bool myRequired = false;
    bool myModified = false;
};

} // namespace ksn
