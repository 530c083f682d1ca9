// ksn run on a parameter-variation configuration: the series, its table, the run folders,
// the graphs over the variation index and the maps of the two-parameter analysis.
#include "SeriesCommand.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"
#include "control/VariationSeries.h"
#include "display/NpyWriter.h"

#include <cmath>
#include <fstream>
#include <limits>

namespace ksn::cli {

namespace {

namespace fs = std::filesystem;

bool ParseIndex(const std::string& text, int& out)
{
    try {
        size_t used = 0;
        const int v = std::stoi(text, &used);
        if (used != text.size() || v < 0)
            return false;
        out = v;
        return true;
    } catch (...) {
        return false;
    }
}

// The front end's observer during a series: hands everything on to the command line's
// observer and keeps each run's log lines in run<j>/report.log; when a run is done it
// writes the run's outputs and its row of variation.csv.
class TSeriesSink : public TRunObserver {
public:
    TSeriesSink(TRunObserver& inner, TSimulationDriver& driver, const TVariationSeries& series, const fs::path& dir,
        const std::function<bool(const fs::path&)>& writeRun)
        : myInner(inner), myDriver(driver), mySeries(series), myDir(dir), myWriteRun(writeRun)
    {
    }

    void ShowMessage(const std::string& text) override { myInner.ShowMessage(text); }
    void LogLine(const std::string& line) override
    {
        myInner.LogLine(line);
        if (myRunLog.is_open())
            myRunLog << line << '\n' << std::flush;
    }
    void SliceProgress(int slice, int slices) override { myInner.SliceProgress(slice, slices); }
    void SliceComputed(int z, int pass, const TField& field, const TBrelScenes& scene) override
    {
        myInner.SliceComputed(z, pass, field, scene);
    }

    // Run j starts: its folder and log; before the first run, the table's header.
    void RunProgress(int run, int runs) override
    {
        myInner.RunProgress(run, runs);
        if (run == 0 && !WriteHeader())
            Fail("Cannot write " + (myDir / "variation.csv").string());
        myRunLog.close();
        std::error_code error;
        fs::create_directories(RunDir(run), error);
        myRunLog.open(RunDir(run) / "report.log", std::ios::out | std::ios::trunc);
        if (error || !myRunLog.is_open())
            Fail("Cannot write to folder " + RunDir(run).string());
    }

    void VariationDone(int run, int /*runs*/) override
    {
        if (!myWriteRun(RunDir(run)))
            Fail("Cannot write the results of run " + std::to_string(run) + " to " + RunDir(run).string());
        if (!AppendRow(mySeries.Rows().back()))
            Fail("Cannot write " + (myDir / "variation.csv").string());
    }

    // The outputs of a run that a stop request interrupted (its summary says so).
    void WriteInterrupted(int run)
    {
        if (!myWriteRun(RunDir(run)))
            Fail("Cannot write the results of run " + std::to_string(run) + " to " + RunDir(run).string());
        myRunLog.close();
    }
    void CloseRunLog() { myRunLog.close(); }
    bool Failed() const { return myFailed; }

private:
    fs::path RunDir(int run) const { return myDir / ("run" + std::to_string(run)); }

    void Fail(const std::string& text)
    {
        if (!myFailed)
            myInner.ShowMessage(text);
        myFailed = true;
        myDriver.RequestStop(); // nothing more would be kept
    }

    bool WriteHeader()
    {
        myTable.open(myDir / "variation.csv", std::ios::out | std::ios::trunc);
        myTable << "run";
        for (const TSeriesColumn& column : mySeries.Columns())
            myTable << ',' << column.name;
        myTable << ",intensity,absorption,energy_flux_change\n" << std::flush;
        return bool(myTable);
    }

    bool AppendRow(const TSeriesRow& row)
    {
        myTable << row.run;
        for (double v : row.values)
            myTable << ',' << FormatReal(v);
        myTable << ',' << FormatReal(row.reduction.intensity) << ',' << FormatReal(row.reduction.absorption) << ','
                << FormatReal(row.reduction.energyFluxChange) << '\n'
                << std::flush;
        return bool(myTable);
    }

    TRunObserver& myInner;
    TSimulationDriver& myDriver;
    const TVariationSeries& mySeries;
    fs::path myDir;
    const std::function<bool(const fs::path&)>& myWriteRun;
    std::ofstream myRunLog;
    std::ofstream myTable;
    bool myFailed = false;
};

// The three maps as float64 arrays of shape (nY, nX), element [row][column]; cells that
// no run reached are NaN.
bool WriteMapArrays(const TSeriesMaps& maps, const fs::path& dir)
{
    const size_t nx = size_t(maps.nX), ny = size_t(maps.nY);
    bool ok = true;
    const std::pair<const TRealArray*, const char*> arrays[] = {{&maps.intensity, "map2d_intensity.npy"},
        {&maps.absorption, "map2d_absorption.npy"}, {&maps.energyFlux, "map2d_energy_flux.npy"}};
    for (const auto& [map, name] : arrays) {
        std::vector<double> values(nx * ny, std::numeric_limits<double>::quiet_NaN());
        for (size_t r = 0; r < ny; ++r)
            for (size_t c = 0; c < nx; ++c)
                if (maps.entered[c + r * nx])
                    values[c + r * nx] = map->At(int(c), int(r));
        ok = WriteNpyFloat64((dir / name).string(), {ny, nx}, values) && ok;
    }
    return ok;
}

} // namespace

int ParseSeriesOption(const std::vector<std::string>& args, size_t& i, TSeriesOptions& options)
{
    const std::string& a = args[i];
    if (a == "--save-inifiles") {
        options.saveIniFiles = true;
        return 1;
    }
    if (a != "--xparm" && a != "--yparm")
        return 0;
    if (i + 1 >= args.size())
        return -1;
    return ParseIndex(args[++i], a == "--xparm" ? options.xParm : options.yParm) ? 1 : -1;
}

bool SeriesOptionsComplete(const TSeriesOptions& options) { return (options.xParm < 0) == (options.yParm < 0); }

bool UsesSeriesOptions(const TSeriesOptions& options) { return options.xParm >= 0 || options.saveIniFiles; }

TSeriesOutcome RunSeries(TSimulationDriver& driver, const TSeriesOptions& options, const fs::path& dir,
    const std::string& configFile, const TPictureOptions& pictures, const std::function<bool(const fs::path&)>& writeRun)
{
    TSeriesOutcome outcome;
    const TConfiguration& config = driver.Configuration();
    if (!config.global.parmVariation) {
        ShowMessage("--xparm, --yparm and --save-inifiles need a configuration with parmvariation=1.");
        return outcome;
    }
    TRunObserver* inner = driver.Observer();
    if (!inner)
        return outcome;
    TVariationSeries series(driver);
    series.SetFinishedMessage(false); // the log says "Simulation Finished."
    series.SetSaveIniFiles(options.saveIniFiles, dir.string());
    if (options.xParm >= 0) {
        const int count = int(config.parms.size());
        for (const int section : {options.xParm, options.yParm})
            if (section >= count) {
                ShowMessage("There is no [parm" + std::to_string(section) + "]: the configuration has " +
                            std::to_string(count) + " parameter variation" + (count == 1 ? "." : "s."));
                return outcome;
            }
        if (!series.SetXParm(options.xParm) || !series.SetYParm(options.yParm))
            return outcome;
    }

    TSeriesSink sink(*inner, driver, series, dir, writeRun);
    driver.SetObserver(&sink);
    bool started = false;
    try {
        started = series.Start();
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    }
    if (started && series.InterruptedRun() >= 0)
        sink.WriteInterrupted(series.InterruptedRun());
    sink.CloseRunLog();
    driver.SetObserver(inner);
    if (!started || sink.Failed())
        return outcome;

    bool ok = WriteSeriesPictures(series, config, dir, configFile, pictures);
    if (series.Maps().on)
        ok = WriteMapArrays(series.Maps(), dir) && ok;
    if (!ok) {
        ShowMessage("Cannot write the results to " + dir.string());
        return outcome;
    }
    Log("Results written to " + dir.string());
    outcome.ok = true;
    outcome.stopped = series.WasStopped();
    return outcome;
}

} // namespace ksn::cli
