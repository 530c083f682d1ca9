#pragma once
// The pictures of `ksn run` and `ksn scene`: the three z-plots after a run as WMF, SVG
// and PNG, and false-colour maps of cuts through the intensity and the index with axes
// in the configuration's length unit, a colour bar and a title.
#include "config/Configuration.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ksn {
class TSimulationDriver;
class TVariationSeries;
}

namespace ksn::cli {

struct TPictureOptions {
    bool plots = true;
    int palette = 8; // blue-cyan-yellow-red
    int zoom = 0;    // 0: chosen so that the shorter side of a map shows about 240 pixels
};

constexpr const char* kPictureUsage = "[--palette 0-9] [--zoom N] [--no-plots]";

// Takes args[i] (and its value, advancing i) when it is a picture option. Returns 1 when
// taken, 0 when args[i] is no picture option, -1 when its value is bad.
int ParsePictureOption(const std::vector<std::string>& args, size_t& i, TPictureOptions& options);

// After a run: <dir>/<stem>_inty, _absn, _eflx (.wmf, .svg, .png) and the maps
// <dir>/maps/intensity_xz.png, intensity_yz.png, intensity_xy.png, index_xz.png.
// False (after a message) when a file cannot be written.
bool WriteRunPictures(TSimulationDriver& driver, const std::filesystem::path& dir, const std::string& configFile,
    const TPictureOptions& options);

// After a series: <dir>/<stem>_inty, _absn, _eflx over the variation index (.wmf, .svg,
// .png; the points of the runs done) and, with the two-parameter analysis, the maps
// <dir>/map2d_intensity, map2d_absorption, map2d_energy_flux (.png) over the x and y
// variation, axes ascending.
bool WriteSeriesPictures(const TVariationSeries& series, const TConfiguration& config,
    const std::filesystem::path& dir, const std::string& configFile, const TPictureOptions& options);

// Cuts of the real index of a scene with `levels` levels: x-z (centre row) and y-z
// (centre column) with one column per level (cut[iz * n + i]), and the x-y cut of
// `xyLevel` (row by row). Written as <dir>/n_xz.png, n_yz.png, n_xy.png.
struct TIndexCuts {
    int levels = 0;
    int xyLevel = 0;
    std::vector<double> xz, yz, xy;
};
bool WriteScenePictures(const TConfiguration& config, const TIndexCuts& cuts, const std::filesystem::path& dir,
    const TPictureOptions& options);

} // namespace ksn::cli
