#pragma once
// The pictures of `ksn run` and `ksn scene`: the three z-plots after a run as WMF, SVG
// and PNG, and false-colour maps of cuts through the intensity and the index with axes
// in the configuration's length unit, a colour bar and a title.
#include "ArgParse.h"

#include "config/Configuration.h"
#include "display/OutputFolder.h"

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

// Takes `option` (already read) and its value when it is a picture option. Returns 1
// when taken, 0 when it is no picture option, -1 when its value is bad (args says why).
int ParsePictureOption(TArgReader& args, const std::string& option, TPictureOptions& options);

// The indices a map shows of n: all of them up to kMaxMapSide, else kMaxMapSide of
// them evenly spread (first and last included), so that a cut through 10^7 levels
// costs no more than one through 4096.
std::vector<int> MapSamples(int n);

// After a run: <stem>_inty, _absn, _eflx (.wmf, .svg, .png) and the maps
// maps/intensity_xz.png, intensity_yz.png, intensity_xy.png, index_xz.png, written into
// the folder. False (after a message naming the file) when a file cannot be written.
// `prefix` ("" or a subfolder such as "run3/") goes before every name.
bool WriteRunPictures(TSimulationDriver& driver, TOutputFolder& out, const std::string& configFile,
    const TPictureOptions& options, const std::string& prefix = "");

// After a series: <stem>_inty, _absn, _eflx over the variation index (.wmf, .svg, .png;
// the points of the runs done) and, with the two-parameter analysis, the maps
// map2d_intensity, map2d_absorption, map2d_energy_flux (.png) over the x and y
// variation, axes ascending, written into the folder.
bool WriteSeriesPictures(const TVariationSeries& series, const TConfiguration& config, TOutputFolder& out,
    const std::string& configFile, const TPictureOptions& options);

// Cuts of the real index of a scene with `levels` levels: x-z (centre row) and y-z
// (centre column) over the sampled levels `columns` (cut[c * n + i] for column c and
// transverse point i of the MapSamples of nx or ny), and the x-y cut of `xyLevel` over
// the sampled points (row by row). Written as n_xz.png, n_yz.png, n_xy.png.
struct TIndexCuts {
    int levels = 0;
    int xyLevel = 0;
    std::vector<int> columns;
    std::vector<double> xz, yz, xy;
};
bool WriteScenePictures(const TConfiguration& config, const TIndexCuts& cuts, TOutputFolder& out,
    const TPictureOptions& options);

} // namespace ksn::cli
