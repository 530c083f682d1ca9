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

// The front end's observer during a series: hands everything on to the command line's
// observer and keeps each run's log lines in run<j>/report.log; when a run is done it
// writes the run's outputs and its row of variation.csv. Every file goes through the
// output folder (written under a temporary name, renamed when complete, listed in the
// manifest); the table is written whole again after every run, so that it can be
// watched while the series goes on and is never seen half written.
class TSeriesSink : public TRunObserver {
public:
    TSeriesSink(TRunObserver& inner, TSimulationDriver& driver, const TVariationSeries& series, TOutputFolder& folder,
        bool iniFiles, const std::function<bool(const std::string&)>& writeRun)
        : myInner(inner), myDriver(driver), mySeries(series), myFolder(folder), myIniFiles(iniFiles),
          myWriteRun(writeRun)
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

    // Run j starts: its log; before the first run, the table's header.
    void RunProgress(int run, int runs) override
    {
        myInner.RunProgress(run, runs);
        if (run == 0 && !WriteHeader())
            Fail(myFolder.Error());
        CloseRunLog();
        myLogName = RunPrefix(run) + "report.log";
        const std::string path = myFolder.BeginFile(myLogName);
        if (!path.empty())
            myRunLog.open(path, std::ios::out | std::ios::trunc);
        if (path.empty() || !myRunLog.is_open())
            Fail(path.empty() ? myFolder.Error() : "Cannot write " + (myFolder.Path() / myLogName).string());
    }

    void VariationDone(int run, int /*runs*/) override
    {
        if (!myWriteRun(RunPrefix(run)))
            Fail("Cannot write the results of run " + std::to_string(run) + " to " +
                 (myFolder.Path() / RunPrefix(run)).string());
        if (!AppendRow(mySeries.Rows().back()))
            Fail(myFolder.Error());
        if (myIniFiles && !myFolder.Adopt("parmvar" + std::to_string(run) + ".txt"))
            Fail(myFolder.Error());
    }

    // The outputs of a run that a stop request interrupted (its summary says so).
    void WriteInterrupted(int run)
    {
        if (!myWriteRun(RunPrefix(run)))
            Fail("Cannot write the results of run " + std::to_string(run) + " to " +
                 (myFolder.Path() / RunPrefix(run)).string());
    }

    // The last run's log, complete.
    void Finish() { CloseRunLog(); }
    bool Failed() const { return myFailed; }

private:
    static constexpr const char* kTable = "variation.csv";

    static std::string RunPrefix(int run) { return "run" + std::to_string(run) + "/"; }

    void CloseRunLog()
    {
        if (!myRunLog.is_open())
            return;
        myRunLog.close();
        if (!myRunLog || !myFolder.FinishFile(myLogName))
            Fail("Cannot write " + (myFolder.Path() / myLogName).string());
    }

    void Fail(const std::string& text)
    {
        if (!myFailed)
            myInner.ShowMessage(text);
        myFailed = true;
        myDriver.RequestStop(); // nothing more would be kept
    }

    bool WriteHeader()
    {
        myTable = "run";
        for (const TSeriesColumn& column : mySeries.Columns())
            myTable += ',' + column.name;
        myTable += ",intensity,absorption,energy_flux_change\n";
        return myFolder.WriteText(kTable, myTable);
    }

    bool AppendRow(const TSeriesRow& row)
    {
        myTable += std::to_string(row.run);
        for (double v : row.values)
            myTable += ',' + FormatReal(v);
        myTable += ',' + FormatReal(row.reduction.intensity) + ',' + FormatReal(row.reduction.absorption) + ',' +
                   FormatReal(row.reduction.energyFluxChange) + '\n';
        return myFolder.WriteText(kTable, myTable);
    }

    TRunObserver& myInner;
    TSimulationDriver& myDriver;
    const TVariationSeries& mySeries;
    TOutputFolder& myFolder;
    bool myIniFiles = false;
    const std::function<bool(const std::string&)>& myWriteRun;
    std::ofstream myRunLog;
    std::string myLogName;
    std::string myTable;
    bool myFailed = false;
};

// The three maps as float64 arrays of shape (nY, nX), element [row][column]; cells that
// no run reached are NaN.
bool WriteMapArrays(const TSeriesMaps& maps, TOutputFolder& folder)
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
        if (!folder.WriteStream(name, [&](std::ostream& s) { return WriteNpyFloat64(s, {ny, nx}, values); })) {
            ShowMessage(folder.Error());
            ok = false;
        }
    }
    return ok;
}

} // namespace

int ParseSeriesOption(TArgReader& args, const std::string& option, TSeriesOptions& options)
{
    if (option == "--save-inifiles") {
        options.saveIniFiles = true;
        return 1;
    }
    if (option != "--xparm" && option != "--yparm")
        return 0;
    return args.Integer(option, 0, 2147483647, option == "--xparm" ? options.xParm : options.yParm) ? 1 : -1;
}

bool SeriesOptionsComplete(const TSeriesOptions& options) { return (options.xParm < 0) == (options.yParm < 0); }

bool UsesSeriesOptions(const TSeriesOptions& options) { return options.xParm >= 0 || options.saveIniFiles; }

TSeriesOutcome RunSeries(TSimulationDriver& driver, const TSeriesOptions& options, TOutputFolder& folder,
    const std::string& configFile, const TPictureOptions& pictures, const std::function<bool(const std::string&)>& writeRun)
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
    series.SetSaveIniFiles(options.saveIniFiles, folder.Path().string());
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

    TSeriesSink sink(*inner, driver, series, folder, options.saveIniFiles, writeRun);
    driver.SetObserver(&sink);
    bool started = false;
    try {
        started = series.Start();
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    }
    if (started && series.InterruptedRun() >= 0)
        sink.WriteInterrupted(series.InterruptedRun());
    sink.Finish();
    driver.SetObserver(inner);
    if (!started || sink.Failed())
        return outcome;

    bool ok = WriteSeriesPictures(series, config, folder, configFile, pictures);
    if (series.Maps().on)
        ok = WriteMapArrays(series.Maps(), folder) && ok;
    if (!ok)
        return outcome;
    Log("Results written to " + folder.Path().string());
    outcome.ok = true;
    outcome.stopped = series.WasStopped();
    return outcome;
}

} // namespace ksn::cli
