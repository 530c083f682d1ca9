#pragma once
// A result folder that never holds a half-written file and never mixes two runs.
//
// Every file is written to a hidden temporary name beside its final one, flushed, synced
// and checked, then renamed over the final name in one step, so a reader sees the old
// file or the new one, and a failed write (a full disk) leaves neither a truncated file
// nor a success. The folder keeps DIR/manifest.json, the list of the files the last run
// wrote; opening the folder for a new run first removes exactly the files that list
// names (paths inside DIR only; links are removed as links, folders only when they
// became empty), so outputs of an earlier run never stand beside a new run's.
//
//   TOutputFolder out(dir);
//   if (!out.Open()) ... out.Error();
//   out.WriteText("summary.json", text);
//   out.WriteStream("fields/E.npy", [&](std::ostream& s) { return WriteNpy...(s, ...); });
//   out.WriteManifest();
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ksn {

class TOutputFolder {
public:
    explicit TOutputFolder(std::filesystem::path dir);
    ~TOutputFolder();
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;

    // Creates the folder (and its parents) and removes the files of the previous
    // manifest. False, with Error() set, when the folder cannot be made.
    bool Open();

    // `name` is relative to the folder, '/' separated, without "." or ".." parts; its
    // subfolders are created. False, with Error() naming the file and the reason, when it
    // cannot be written; nothing is left under the final name then.
    bool WriteBytes(const std::string& name, std::string_view bytes);
    bool WriteText(const std::string& name, const std::string& text) { return WriteBytes(name, text); }
    // `write` fills the stream and returns false on a fault of its own.
    bool WriteStream(const std::string& name, const std::function<bool(std::ostream&)>& write);

    // A file written over a longer time (a log): BeginFile gives the temporary path to
    // write to; FinishFile syncs, checks and renames it (false: Error()).
    std::string BeginFile(const std::string& name);
    bool FinishFile(const std::string& name);

    // A file another writer has put into the folder under `name`: listed in the manifest,
    // so that the next run removes it with the rest.
    bool Adopt(const std::string& name);

    // Writes manifest.json listing the files written so far (itself not included).
    bool WriteManifest();

    const std::filesystem::path& Path() const { return myDir; }
    // Files written, in order, relative to the folder.
    const std::vector<std::string>& Files() const { return myFiles; }
    // The files the previous manifest listed and Open removed.
    const std::vector<std::string>& Removed() const { return myRemoved; }
    const std::string& Error() const { return myError; }

    static constexpr const char* kManifestName = "manifest.json";

private:
    bool CheckName(const std::string& name);
    std::filesystem::path TemporaryPath(const std::string& name) const;
    // Syncs the temporary file, renames it to `name` and records it; removes it on failure.
    bool Commit(const std::string& name, const std::filesystem::path& temporary);
    bool Fail(const std::string& name, const std::string& why);
    void Record(const std::string& name);
    void RemovePrevious();

    std::filesystem::path myDir;
    std::vector<std::string> myFiles;
    std::vector<std::string> myRemoved;
    std::vector<std::filesystem::path> myPending; // temporaries begun and not yet finished
    std::string myError;
};

// The paths a manifest's text lists (the strings of its "files" array), unchecked.
std::vector<std::string> ParseManifest(const std::string& text);

} // namespace ksn
