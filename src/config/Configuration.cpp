#include "config/Configuration.h"

#include "config/ConfigReaders.h"
#include "config/ConfigText.h"
#include "config/Grid.h"
#include "config/Messages.h"
#include "numerics/GeneralError.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksn {

namespace {

constexpr const char* kHeaderLine = "// Kestrin (KSN) V0.1beta";
constexpr const char* kCreditLine = "// Kestrin optical wave-propagation simulator, 2026";

void ReadAll(TExtIniFile& ini, TConfiguration& config)
{
    readGlobal(ini, config.global, config.grid, config.numOfParms, config.independent);
    CheckGrid(config.grid);

    // Layers one behind the other along z, in the order of their numbers.
    double z = 0.0;
    for (int i = 0; i < config.global.layerNum; ++i) {
        TLayerParms layer;
        z = readLayer(ini, i, z, layer);
        config.layers.push_back(layer);
    }
    FitSlicesToLayers(config.layers, config.grid, config.global.scale);

    for (int i = 0; i < config.global.waveNum; ++i) {
        TFieldOptions wave;
        readWave(ini, i, wave);
        config.waves.push_back(wave);
    }

    if (config.global.parmVariation)
        for (int i = 0; i < config.numOfParms; ++i) {
            TParmsVariation variation;
            TParmsType type = TParmsType::wave;
            readParm(ini, i, variation, type);
            config.parms.push_back(variation);
            config.parmTypes.push_back(type);
        }
}

// Writes the whole text to a new file descriptor; false on any short or failed write.
bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The mode a new file gets (0666 less the umask), or the mode of the file replaced.
mode_t TargetMode(const std::string& fileName)
{
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file a name stands for: a symbolic link is followed (through a chain of them) to
// the name it points at, even when that does not exist yet, so that saving onto a link
// writes its target and keeps the link.
std::string LinkTarget(const std::string& fileName)
{
    namespace fs = std::filesystem;
    fs::path path(fileName);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)) || ec)
            return path.string();
        const fs::path link = fs::read_symlink(path, ec);
        if (ec)
            return path.string();
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path.string(); // a loop of links: the rename fails on it and says so
}

bool WriteReplacing(const std::string& name, const std::string& text)
{
    if (name.empty())
        return false;
    namespace fs = std::filesystem;
    const std::string fileName = LinkTarget(name);
    const fs::path target(fileName);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A hidden temporary beside the target, so that the final rename stays on one file system.
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text) && ::fchmod(fd, TargetMode(fileName)) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // rename() replaces the old file in one step: readers see the old or the new text.
    if (ok)
        ok = std::rename(pattern.c_str(), fileName.c_str()) == 0;
    if (!ok)
        ::unlink(pattern.c_str());
    return ok;
}

// A sink that drops what a silent re-read reports (the first read has said it).
class TSilentSink : public TMessageSink {
public:
    void ShowMessage(const std::string&) override {}
    void LogLine(const std::string&) override {}
};

// The records that the text Save writes for `config` loads as, or false.
bool Reload(const TConfiguration& config, TConfiguration& again)
{
    TSilentSink silent;
    const TScopedMessageSink scope(&silent);
    again = TConfiguration{};
    again.global.fileName = config.global.fileName;
    try {
        TExtIniFile ini(TExtIniFile::TFromText{}, config.global.fileName, ConfigurationText(config));
        ReadAll(ini, again);
    } catch (const std::exception&) {
        return false;
    }
    again.global.loaded = true;
    return true;
}

// Save writes reals with 15 significant digits, so a reload sees values a few ulps off
// the loaded ones; where the slice count of the stack fit lies on the edge of its
// rounding tolerance, that could tip the reload by a slice, and a saved file would not
// load as itself. The loaded records are therefore settled on what their own saved text
// loads as, until saving that gives the same text (at once for nearly every file).
void Settle(TConfiguration& config)
{
    for (int round = 0; round < 4; ++round) {
        TConfiguration again;
        if (!Reload(config, again))
            return;
        const std::string text = ConfigurationText(config);
        if (ConfigurationText(again) == text)
            return;
        config = again;
    }
}

} // namespace

bool LoadConfiguration(const std::string& fileName, TConfiguration& config)
{
    config.global.fileName = fileName;
    config.global.loaded = true;
    config.layers.clear();
    config.waves.clear();
    config.parms.clear();
    config.parmTypes.clear();
    try {
        TExtIniFile ini(fileName, TExtIniFile::kNameAsGiven);
        ReadAll(ini, config);
        Settle(config);
    } catch (const std::exception& e) {
        ShowMessage(e.what());
        ShowMessage("Error. Cannot load file!");
        config.global.loaded = false;
        return false;
    }
    return true;
}

std::string ConfigurationText(const TConfiguration& config)
{
    std::string text;
    text.append(kHeaderLine).append("\r\n");
    text.append(kCreditLine).append("\r\n");
    text.append("\r\n");
    text += GlobalSectionText(config.global, config.grid, config.numOfParms, config.independent);
    for (size_t i = 0; i < config.layers.size(); ++i)
        text += LayerSectionText(int(i), config.layers[i]);
    for (size_t i = 0; i < config.waves.size(); ++i)
        text += WaveSectionText(int(i), config.waves[i]);
    if (config.global.parmVariation)
        for (size_t i = 0; i < config.parms.size(); ++i) {
            const TParmsType type =
                i < config.parmTypes.size() ? config.parmTypes[i] : static_cast<TParmsType>(kUnknownEnum);
            text += ParmSectionText(int(i), type, config.parms[i]);
        }
    return text;
}

bool SaveConfiguration(const std::string& fileName, const TConfiguration& config)
{
    bool ok = false;
    try {
        ok = WriteReplacing(fileName, ConfigurationText(config));
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) {
        ShowMessage("Error. Cannot save file!");
        return false;
    }
    Log("Saved file " + fileName);
    return true;
}

namespace {

// A count edit must be a whole number in the int range.
bool ToCount(double value, int& count)
{
    if (!(value >= 0) || value > INT_MAX || value != std::floor(value)) {
        ShowMessage("Please check input. Inappropriate type!");
        return false;
    }
    count = int(value);
    return true;
}

} // namespace

bool EditGrid(TConfiguration& config, TGridEdit edit, double value)
{
    TGridParms g = config.grid;
    int n = 0;
    switch (edit) {
    case TGridEdit::X:
        g.X = value;
        ComputeSpacing(g.dx, g.X, g.nx);
        break;
    case TGridEdit::Y:
        g.Y = value;
        ComputeSpacing(g.dy, g.Y, g.ny);
        break;
    case TGridEdit::Z:
        g.Z = value;
        ComputeSpacing(g.dz, g.Z, g.nz);
        break;
    case TGridEdit::nx:
        if (!ToCount(value, n))
            return false;
        g.nx = n;
        ComputeSpacing(g.dx, g.X, n);
        break;
    case TGridEdit::ny:
        if (!ToCount(value, n))
            return false;
        g.ny = n;
        ComputeSpacing(g.dy, g.Y, n);
        break;
    case TGridEdit::nz:
        if (!ToCount(value, n))
            return false;
        if (n == 0) {
            ShowMessage("Please check input! nz is zero!");
            return false;
        }
        g.nz = n;
        ComputeSpacing(g.dz, g.Z, n);
        break;
    case TGridEdit::dx:
        g.dx = value;
        g.X = g.nx * g.dx;
        break;
    case TGridEdit::dy:
        g.dy = value;
        g.Y = g.ny * g.dy;
        break;
    case TGridEdit::dz:
        g.dz = value;
        g.Z = g.nz * g.dz;
        break;
    }
    try {
        CheckGrid(g);
        FitSlicesToLayers(config.layers, g, config.global.scale);
    } catch (const EGeneralError& e) {
        ShowMessage(e.what());
        return false;
    }
    config.grid = g;
    return true;
}

bool SetScale(TConfiguration& config, TScale scale)
{
    TGridParms g = config.grid;
    g.scaleFactor = ScaleFactorOf(scale);
    const std::string fault = GridFault(g);
    if (!fault.empty()) {
        ShowMessage(fault);
        return false;
    }
    config.global.scale = scale;
    config.grid = g;
    return true;
}

} // namespace ksn
