#pragma once
// `ksn run` on a configuration with parmvariation=1: the series over every combination of
// the varied parameters (TVariationSeries), with its table variation.csv, each run's
// single-run outputs in run<j>/, the three graphs over the variation index and, for a
// two-parameter analysis, the three maps over the x and y variation.
#include "ArgParse.h"
#include "RunPictures.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ksn {
class TSimulationDriver;
}

namespace ksn::cli {

struct TSeriesOptions {
    int xParm = -1; // --xparm I: [parm<I>] on the x axis of the 2-D analysis
    int yParm = -1; // --yparm J
    bool saveIniFiles = false;
};

constexpr const char* kSeriesUsage = "[--xparm I --yparm J] [--save-inifiles]";

// Takes `option` (already read) and its value when it is a series option. Returns 1 when
// taken, 0 when it is no series option, -1 when its value is bad (args says why).
int ParseSeriesOption(TArgReader& args, const std::string& option, TSeriesOptions& options);
// --xparm and --yparm come together or not at all.
bool SeriesOptionsComplete(const TSeriesOptions& options);
bool UsesSeriesOptions(const TSeriesOptions& options);

struct TSeriesOutcome {
    bool ok = false;      // false: refused or a file could not be written (the message is out)
    bool stopped = false; // ended early on a stop request
};

// Runs the series of the loaded configuration and writes its files into the folder.
// `writeRun(prefix)` writes the single-run outputs of the run the driver holds under
// `prefix` ("run<j>/"). Refuses the series options for a configuration without
// parmvariation.
TSeriesOutcome RunSeries(TSimulationDriver& driver, const TSeriesOptions& options, TOutputFolder& folder,
    const std::string& configFile, const TPictureOptions& pictures,
    const std::function<bool(const std::string&)>& writeRun);

} // namespace ksn::cli
