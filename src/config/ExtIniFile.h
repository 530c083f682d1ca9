#pragma once
// The configuration reader: a TMemIniFile in which every key is required, with a current
// section and short reads from it. Reals are read with "." as decimal separator.
#include "config/MemIniFile.h"

#include <string>

namespace ksn {

class TExtIniFile : public TMemIniFile {
public:
    // Where the name is looked for.
    enum TNameMode {
        kWorkingDirectory = 0, // the file-name part only, relative to the working directory
        kProgramDirectory = 1, // the program's own directory plus the file-name part
        kNameAsGiven = 2
    };

    // ".ini" is appended when the lower-cased name does not contain ".ini". The current
    // section starts as "Data".
    TExtIniFile(const std::string& fileName, int mode);
    // The reader over `text` (a file's contents already in memory).
    TExtIniFile(TFromText, const std::string& fileName, const std::string& text);

    // The name for a given name and mode, ".ini" appended as the constructor says.
    static std::string ResolveName(const std::string& fileName, int mode);
    // The file the constructor opens: ResolveName's, or in mode kNameAsGiven the name as
    // given when only that one exists.
    static std::string OpenName(const std::string& fileName, int mode);

    const std::string& GetSection() const { return mySection; }
    void SetSection(const std::string& section) { mySection = section; }

    using TMemIniFile::ReadBool;
    using TMemIniFile::ReadFloat;
    using TMemIniFile::ReadInteger;
    using TMemIniFile::ReadString;

    // A required real; text that is no number throws EGeneralError naming section, key
    // and text. Infinite and NaN values count as no number.
    double ReadFloat(const std::string& key) const;
    // A required integer; text that is no integer gives 0, with a warning naming the
    // section, key and text.
    std::int32_t ReadInteger(const std::string& key) const;
    // A required flag (see TCustomIniFile::ReadBool).
    bool ReadBool(const std::string& key) const;
    // A required text.
    std::string ReadString(const std::string& key) const;

private:
    std::string mySection = "Data";
};

} // namespace ksn
