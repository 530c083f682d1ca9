#include "display/OutputFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksn {

namespace fs = std::filesystem;

namespace {

// An output stream over a file descriptor that keeps the first write error (errno), so
// that a full disk is reported as what it is.
class TFdBuffer : public std::streambuf {
public:
    explicit TFdBuffer(int fd) : myFd(fd) { setp(myBuffer, myBuffer + sizeof myBuffer); }
    int Errno() const { return myErrno; }
    bool Flush() { return Drain() && myErrno == 0; }

protected:
    int_type overflow(int_type c) override
    {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain()
    {
        const char* p = pbase();
        while (p < pptr()) {
            const ssize_t n = ::write(myFd, p, size_t(pptr() - p));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                myErrno = n < 0 ? errno : EIO;
                setp(myBuffer, myBuffer + sizeof myBuffer);
                return false;
            }
            p += n;
        }
        setp(myBuffer, myBuffer + sizeof myBuffer);
        return myErrno == 0;
    }

    int myFd;
    int myErrno = 0;
    char myBuffer[1 << 16];
};

// Relative, '/' separated, no empty, "." or ".." parts, no NUL.
bool SafeRelative(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ReadSmallFile(const fs::path& path, size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::uint64_t(st.st_size) <= limit) {
        text.resize(size_t(st.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += size_t(n);
        }
        text.resize(done);
    }
    ::close(fd);
    return text;
}

} // namespace

std::vector<std::string> ParseManifest(const std::string& text)
{
    std::vector<std::string> names;
    const size_t key = text.find("\"files\"");
    if (key == std::string::npos)
        return names;
    size_t pos = text.find('[', key);
    if (pos == std::string::npos)
        return names;
    ++pos;
    while (pos < text.size() && text[pos] != ']') {
        if (text[pos] != '"') {
            ++pos;
            continue;
        }
        std::string name;
        for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
            if (text[pos] == '\\' && pos + 1 < text.size()) {
                ++pos;
                if (text[pos] == 'u' && pos + 4 < text.size()) {
                    name += char(std::strtol(text.substr(pos + 1, 4).c_str(), nullptr, 16));
                    pos += 4;
                    continue;
                }
            }
            name += text[pos];
        }
        ++pos;
        names.push_back(name);
    }
    return names;
}

TOutputFolder::TOutputFolder(fs::path dir) : myDir(std::move(dir)) {}

TOutputFolder::~TOutputFolder()
{
    // Temporaries of files never finished (an early return) are not left behind.
    for (const fs::path& p : myPending)
        ::unlink(p.c_str());
}

bool TOutputFolder::Open()
{
    std::error_code ec;
    fs::create_directories(myDir, ec);
    if (ec || !fs::is_directory(myDir, ec)) {
        myError = "Cannot write to output folder " + myDir.string() + ": " +
                  (ec ? ec.message() : std::string("it exists and is no folder")) + ".";
        return false;
    }
    RemovePrevious();
    return true;
}

void TOutputFolder::RemovePrevious()
{
    const fs::path manifest = myDir / kManifestName;
    const std::vector<std::string> names = ParseManifest(ReadSmallFile(manifest, size_t(16) << 20));
    for (const std::string& name : names) {
        if (!SafeRelative(name))
            continue; // never outside the folder
        const fs::path path = myDir / name;
        struct stat st {};
        // lstat: a link listed is removed as a link; a folder never.
        if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        // A link among the parents could lead outside the folder.
        bool parentsPlain = true;
        for (fs::path parent = fs::path(name).parent_path(); !parent.empty(); parent = parent.parent_path()) {
            struct stat ps {};
            if (::lstat((myDir / parent).c_str(), &ps) != 0 || !S_ISDIR(ps.st_mode))
                parentsPlain = false;
        }
        if (!parentsPlain || ::unlink(path.c_str()) != 0)
            continue;
        myRemoved.push_back(name);
        for (fs::path parent = fs::path(name).parent_path(); !parent.empty(); parent = parent.parent_path())
            if (::rmdir((myDir / parent).c_str()) != 0)
                break; // not empty: it holds something that is not ours
    }
    ::unlink(manifest.c_str());
}

bool TOutputFolder::Fail(const std::string& name, const std::string& why)
{
    myError = "Cannot write " + (myDir / name).string() + ": " + why + ".";
    return false;
}

bool TOutputFolder::CheckName(const std::string& name)
{
    if (!SafeRelative(name))
        return Fail(name, "not a plain name inside the folder");
    const fs::path parent = (myDir / name).parent_path();
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (ec)
        return Fail(name, ec.message());
    return true;
}

fs::path TOutputFolder::TemporaryPath(const std::string& name) const
{
    const fs::path final = myDir / name;
    // Hidden, beside the final name (one file system, so the rename is one step).
    std::string hidden(1, '.');
    hidden += final.filename().string();
    hidden += ".tmp";
    hidden += std::to_string(::getpid());
    return final.parent_path() / hidden;
}

void TOutputFolder::Record(const std::string& name)
{
    if (std::find(myFiles.begin(), myFiles.end(), name) == myFiles.end())
        myFiles.push_back(name);
}

bool TOutputFolder::Commit(const std::string& name, const fs::path& temporary)
{
    myPending.erase(std::remove(myPending.begin(), myPending.end(), temporary), myPending.end());
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    int error = ok ? 0 : errno;
    // fsync reports what the file system could not store even after write() succeeded.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        ok = false;
        error = errno;
    }
    if (fd >= 0)
        ::close(fd);
    if (ok && std::rename(temporary.c_str(), (myDir / name).c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return Fail(name, std::strerror(error));
    }
    Record(name);
    return true;
}

bool TOutputFolder::WriteStream(const std::string& name, const std::function<bool(std::ostream&)>& write)
{
    if (!CheckName(name))
        return false;
    const fs::path temporary = TemporaryPath(name);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return Fail(name, std::strerror(errno));
    myPending.push_back(temporary);
    bool ok = false;
    int error = 0;
    {
        TFdBuffer buffer(fd);
        std::ostream out(&buffer);
        bool wrote = false;
        try {
            wrote = write(out);
        } catch (const std::exception&) {
            wrote = false;
        }
        // Flushed and checked before the file counts as written.
        out.flush();
        ok = wrote && buffer.Flush() && out.good();
        error = buffer.Errno();
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        myPending.erase(std::remove(myPending.begin(), myPending.end(), temporary), myPending.end());
        return Fail(name, error ? std::strerror(error) : "the data could not be prepared");
    }
    return Commit(name, temporary);
}

bool TOutputFolder::WriteBytes(const std::string& name, std::string_view bytes)
{
    return WriteStream(name, [&](std::ostream& out) {
        out.write(bytes.data(), std::streamsize(bytes.size()));
        return bool(out);
    });
}

std::string TOutputFolder::BeginFile(const std::string& name)
{
    if (!CheckName(name))
        return {};
    const fs::path temporary = TemporaryPath(name);
    myPending.push_back(temporary);
    return temporary.string();
}

bool TOutputFolder::Adopt(const std::string& name)
{
    if (!CheckName(name))
        return false;
    Record(name);
    return true;
}

bool TOutputFolder::FinishFile(const std::string& name)
{
    if (!SafeRelative(name))
        return Fail(name, "not a plain name inside the folder");
    return Commit(name, TemporaryPath(name));
}

bool TOutputFolder::WriteManifest()
{
    std::string text = "{\n  \"files\": [";
    for (size_t i = 0; i < myFiles.size(); ++i)
        text += (i ? ",\n    " : "\n    ") + JsonString(myFiles[i]);
    text += myFiles.empty() ? "]\n}\n" : "\n  ]\n}\n";
    const std::vector<std::string> files = myFiles;
    const bool ok = WriteBytes(kManifestName, text);
    myFiles = files; // the manifest does not list itself
    return ok;
}

} // namespace ksn
