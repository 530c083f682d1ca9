// ksn run FILE -o DIR: one complete simulation with its log, summary, curves and
// (optionally) the stored fields and maps as NumPy arrays; then its pictures (RunPictures).
#include "ArgParse.h"
#include "CliSink.h"
#include "Commands.h"
#include "RunPictures.h"
#include "SeriesCommand.h"

#include "control/SimulationDriver.h"
#include "config/FloatText.h"
#include "config/Messages.h"
#include "display/NpyWriter.h"
#include "display/OutputFolder.h"
#include "numerics/FastFourier.h"

#include <cerrno>
#include <complex>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <new>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace ksn::cli {

namespace {

const std::string kUsage = "run FILE -o DIR [--threads N] [--method NAME] [--reflections N] "
                          "[--summation auto|direct|grouped] [--fft-plan estimate|measure] [--save-fields] [--quiet] " +
                          std::string(kPictureUsage) + " " + kSeriesUsage;

struct TRunArgs {
    std::string file;
    std::string outDir;
    int threads = -1;
    std::string method;
    int reflections = -1; // -1: as the configuration says
    std::string summation;
    std::string fftPlan;
    bool saveFields = false;
    bool quiet = false;
    TPictureOptions pictures;
    TSeriesOptions series;
};

// False with the reason when the arguments are not a run's.
bool ParseArgs(const std::vector<std::string>& args, TRunArgs& out, std::string& why)
{
    TArgReader reader(args);
    while (reader.More()) {
        const std::string a = reader.Next();
        if (const int taken = ParsePictureOption(reader, a, out.pictures)) {
            if (taken < 0)
                break;
        } else if (const int series = ParseSeriesOption(reader, a, out.series)) {
            if (series < 0)
                break;
        } else if (a == "-o" || a == "--output") {
            reader.Value(a, out.outDir);
        } else if (a == "--threads") {
            reader.Integer(a, 1, MaxThreadCount(), out.threads);
        } else if (a == "--method") {
            reader.Value(a, out.method);
        } else if (a == "--reflections") {
            reader.Integer(a, 0, 2147483647, out.reflections);
        } else if (a == "--summation") {
            if (reader.Value(a, out.summation) && out.summation != "auto" && out.summation != "direct" &&
                out.summation != "grouped")
                reader.Fail("--summation " + out.summation + ": use auto, direct or grouped.");
        } else if (a == "--fft-plan") {
            if (reader.Value(a, out.fftPlan) && out.fftPlan != "estimate" && out.fftPlan != "measure")
                reader.Fail("--fft-plan " + out.fftPlan + ": use estimate or measure.");
        } else if (a == "--save-fields") {
            out.saveFields = true;
        } else if (a == "--quiet") {
            out.quiet = true;
        } else if (TArgReader::LooksLikeOption(a)) {
            reader.Fail("unknown option " + a + ".");
        } else if (out.file.empty()) {
            out.file = a;
        } else {
            reader.Fail("one configuration file only (" + out.file + " and " + a + ").");
        }
    }
    if (reader.Error().empty() && out.file.empty())
        reader.Fail("no configuration FILE given.");
    if (reader.Error().empty() && out.outDir.empty())
        reader.Fail("no output folder given (-o DIR).");
    if (reader.Error().empty() && !SeriesOptionsComplete(out.series))
        reader.Fail("--xparm and --yparm go together.");
    why = reader.Error();
    return why.empty();
}

// SIGINT/SIGTERM: the first asks the run to stop after its current step (it then writes
// what it computed); a second ends the program at once.
TSimulationDriver* theRunningDriver = nullptr;
volatile std::sig_atomic_t theStopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    if (theStopSignal != 0)
        ::_exit(128 + signal);
    theStopSignal = signal;
    if (theRunningDriver)
        theRunningDriver->RequestStop();
}

// Installs the stop handlers for the lifetime of a run and restores the defaults after.
class TStopSignals {
public:
    explicit TStopSignals(TSimulationDriver& driver)
    {
        theStopSignal = 0;
        theRunningDriver = &driver;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &myOldInt);
        sigaction(SIGTERM, &action, &myOldTerm);
    }
    ~TStopSignals()
    {
        sigaction(SIGINT, &myOldInt, nullptr);
        sigaction(SIGTERM, &myOldTerm, nullptr);
        theRunningDriver = nullptr;
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;
    // 128 + the signal that stopped the run (130 for SIGINT, 143 for SIGTERM), or 0.
    static int ExitStatus() { return theStopSignal ? 128 + int(theStopSignal) : 0; }

private:
    struct sigaction myOldInt {};
    struct sigaction myOldTerm {};
};

bool Written(TOutputFolder& folder, bool ok)
{
    if (!ok)
        ShowMessage(folder.Error());
    return ok;
}

std::string JsonNumber(double v) { return std::isfinite(v) ? FormatReal(v) : "null"; }

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;
        out += c;
    }
    return out + "\"";
}

std::string SummaryText(TSimulationDriver& driver)
{
    const TConfiguration& c = driver.Configuration();
    const auto& stats = driver.Statistics();
    std::ostringstream out;
    out << "{\n";
    out << "  \"file\": " << JsonString(c.global.fileName) << ",\n";
    out << "  \"method\": " << JsonString(SimMethodName(c.global.simMethod)) << ",\n";
    out << "  \"grid\": {\"nx\": " << c.grid.nx << ", \"ny\": " << c.grid.ny << ", \"nz\": " << c.grid.nz
        << ", \"dx\": " << JsonNumber(c.grid.dx) << ", \"dy\": " << JsonNumber(c.grid.dy)
        << ", \"dz\": " << JsonNumber(c.grid.dz) << ", \"unit_m\": " << JsonNumber(c.grid.scaleFactor) << "},\n";
    out << "  \"slices\": " << driver.SliceCount() << ",\n";
    out << "  \"store_modulus\": " << driver.StoreModulus() << ",\n";
    out << "  \"stopped\": " << (driver.WasStopped() ? "true" : "false") << ",\n";
    out << "  \"total_absorption\": " << JsonNumber(driver.TotalAbsorption()) << ",\n";
    out << "  \"overall_time_ms\": " << JsonNumber(double(stats.overallMs)) << ",\n";
    out << "  \"stored_slices\": [";
    const auto& store = driver.ForwardStore();
    for (size_t k = 0; k < store.size(); ++k) {
        const std::int64_t z = std::int64_t(k) * driver.StoreModulus();
        const TField* f = store[k].get();
        out << (k ? ",\n" : "\n") << "    {\"slice\": " << z << ", \"z\": " << JsonNumber(z * c.grid.dz)
            << ", \"intensity\": " << JsonNumber(f ? f->GetIntensity() : 0.0)
            << ", \"absorption\": " << JsonNumber(f ? f->GetAbsorption() : 0.0)
            << ", \"energy_flux\": " << JsonNumber(f ? f->GetEnergyFlux() : 0.0) << ", \"step_time_ms\": "
            << JsonNumber(z < std::int64_t(stats.stepMs.size()) ? double(stats.stepMs[size_t(z)]) : 0.0) << "}";
    }
    out << "\n  ]\n}\n";
    return out.str();
}

std::string CurvesText(TSimulationDriver& driver)
{
    std::ostringstream out;
    out << "z,intensity,absorption,energy_flux\n";
    for (const auto& p : driver.ZCurves())
        out << FormatReal(p.z) << ',' << FormatReal(p.intensity) << ',' << FormatReal(p.absorption) << ','
            << FormatReal(p.energyFlux) << '\n';
    return out.str();
}

// The fields of a slice store as (stored slices, ny, nx) arrays, element [k][iy][ix],
// in folder `fieldDir` of the output (E.npy, or Ex.npy, Ey.npy and Ez.npy); empty
// entries are zero. With a map folder, the intensity and absorption maps go there.
bool WriteStore(const std::vector<TFieldRef>& store, TOutputFolder& folder, const std::string& fieldDir,
    const std::string* mapDir, TSimulationDriver& driver)
{
    const TGridParms& g = driver.Configuration().grid;
    const size_t nx = size_t(g.nx), ny = size_t(g.ny), nk = store.size();
    const bool vector = !IsScalarMethod(driver.Configuration().global.simMethod);
    std::vector<std::complex<double>> ex(nk * ny * nx), ey, ez;
    if (vector) {
        ey.resize(ex.size());
        ez.resize(ex.size());
    }
    std::vector<double> intensity(nk * ny * nx), absorption(nk * ny * nx);
    for (size_t k = 0; k < nk; ++k) {
        TField* f = store[k].get();
        if (!f)
            continue;
        for (size_t iy = 0; iy < ny; ++iy)
            for (size_t ix = 0; ix < nx; ++ix) {
                const size_t at = (k * ny + iy) * nx + ix;
                const TCVec3 e = f->GetEVec(int(ix), int(iy));
                ex[at] = {e.x.re, e.x.im};
                if (vector) {
                    ey[at] = {e.y.re, e.y.im};
                    ez[at] = {e.z.re, e.z.im};
                }
                intensity[at] = f->IntensityMap().At(int(ix), int(iy));
                absorption[at] = f->AbsorptionMap().At(int(ix), int(iy)).re;
            }
    }
    const std::vector<size_t> shape{nk, ny, nx};
    const auto complexArray = [&](const std::string& name, const std::vector<std::complex<double>>& data) {
        return Written(folder, folder.WriteStream(fieldDir + "/" + name, [&](std::ostream& s) {
            return WriteNpyComplex128(s, shape, data);
        }));
    };
    const auto realArray = [&](const std::string& name, const std::vector<double>& data) {
        return Written(folder, folder.WriteStream(*mapDir + "/" + name, [&](std::ostream& s) {
            return WriteNpyFloat64(s, shape, data);
        }));
    };
    bool ok = vector ? complexArray("Ex.npy", ex) && complexArray("Ey.npy", ey) && complexArray("Ez.npy", ez)
                     : complexArray("E.npy", ex);
    if (ok && mapDir)
        ok = realArray("intensity.npy", intensity) && realArray("absorption.npy", absorption);
    return ok;
}

// The stored fields and their maps; after reflection passes also, in fields/back/, the
// backward field of every stored slice.
bool WriteFields(TOutputFolder& folder, TSimulationDriver& driver, const std::string& prefix)
{
    const std::string maps = prefix + "maps";
    bool ok = WriteStore(driver.ForwardStore(), folder, prefix + "fields", &maps, driver);
    if (!driver.BackFieldStore().empty())
        ok = ok && WriteStore(driver.BackFieldStore(), folder, prefix + "fields/back", nullptr, driver);
    return ok;
}

// The outputs of the run the driver holds, under `prefix` ("" or "run<j>/"): summary,
// curves, fields, pictures.
bool WriteRunFiles(TOutputFolder& folder, TSimulationDriver& driver, const TRunArgs& a, const std::string& prefix)
{
    bool ok = Written(folder, folder.WriteText(prefix + "summary.json", SummaryText(driver))) &&
              Written(folder, folder.WriteText(prefix + "curves.csv", CurvesText(driver)));
    if (ok && a.saveFields)
        ok = WriteFields(folder, driver, prefix);
    return ok && WriteRunPictures(driver, folder, a.file, a.pictures, prefix);
}

// Loads, runs and writes the results into the folder; the exit status.
int RunInFolder(const TRunArgs& a, TCliSink& sink, TOutputFolder& folder)
{
    TSimulationDriver driver;
    driver.SetObserver(&sink);
    driver.SetRunOutputs({a.saveFields, a.pictures.plots});
    const TStopSignals stopSignals(driver);
    TSummation summation = TSummation::automatic;
    if (a.summation == "direct")
        summation = TSummation::direct;
    else if (a.summation == "grouped")
        summation = TSummation::grouped;
    driver.SetSummation(summation);
    // Measured plans are faster but chosen by timing, so their last bits may vary from
    // run to run; the default plans are the same every time.
    SetFftPlanning(a.fftPlan == "measure" ? TFftPlanning::measure : TFftPlanning::estimate);
    if (!driver.Open(a.file))
        return 1;

    TConfiguration& config = driver.Configuration();
    if (!a.method.empty()) {
        const TSimMethod method = ParseSimMethod(a.method);
        if (static_cast<int>(method) == kUnknownEnum) {
            ShowMessage("Unknown method \"" + a.method + "\".");
            return 1;
        }
        config.global.simMethod = method;
        // The incident field's kind (scalar or vector) follows the method.
        driver.BuildInput(false);
    }
    if (a.reflections >= 0) {
        config.global.bidirectional = a.reflections > 0;
        config.global.reflections = a.reflections;
    }
    if (a.threads > 0) {
        config.global.threadCount = a.threads;
        config.global.multithreaded = a.threads >= 2;
    } else if (config.global.multithreaded) {
        config.global.threadCount = int(std::max(1u, std::thread::hardware_concurrency()));
    }

    if (config.global.parmVariation || UsesSeriesOptions(a.series)) {
        TSeriesOutcome series;
        try {
            series = RunSeries(driver, a.series, folder, a.file, a.pictures,
                [&](const std::string& prefix) { return WriteRunFiles(folder, driver, a, prefix); });
        } catch (const std::bad_alloc&) {
            ShowMessage("Out of memory during the run.");
            return 1;
        }
        return !series.ok ? 1 : series.stopped ? std::max(1, TStopSignals::ExitStatus()) : 0;
    }
    try {
        if (!driver.Run())
            return 1;
    } catch (const std::bad_alloc&) {
        ShowMessage("Out of memory during the run.");
        return 1;
    } catch (const std::exception& e) {
        ShowMessage(e.what());
        return 1;
    }

    if (!WriteRunFiles(folder, driver, a, ""))
        return 1;
    Log("Results written to " + a.outDir);
    return driver.WasStopped() ? std::max(1, TStopSignals::ExitStatus()) : 0;
}

int RunCommand(const std::vector<std::string>& args)
{
    TRunArgs a;
    std::string why;
    if (!ParseArgs(args, a, why))
        return UsageError("run", kUsage, why);
    TCliSink sink(a.quiet);
    const TScopedMessageSink scope(&sink);
    // The previous run's files go first; then the log collects everything that follows,
    // refusals included.
    TOutputFolder folder(a.outDir);
    if (!folder.Open()) {
        ShowMessage(folder.Error());
        return 1;
    }
    const std::string logPath = folder.BeginFile("report.log");
    if (logPath.empty() || !sink.OpenLogFile(logPath)) {
        ShowMessage(logPath.empty() ? folder.Error() : "Cannot write " + (folder.Path() / "report.log").string() + ".");
        return 1;
    }
    int status = RunInFolder(a, sink, folder);
    errno = 0;
    if (!sink.CloseLogFile()) {
        ShowMessage("Cannot write " + (folder.Path() / "report.log").string() + ": " +
                    (errno ? std::strerror(errno) : "write error") + ".");
        status = status == 0 ? 1 : status;
    } else if (!folder.FinishFile("report.log")) {
        ShowMessage(folder.Error());
        status = status == 0 ? 1 : status;
    }
    if (!folder.WriteManifest()) {
        ShowMessage(folder.Error());
        status = status == 0 ? 1 : status;
    }
    return status;
}

const TCommandRegistration kRun{"run", kUsage, &RunCommand};

} // namespace

} // namespace ksn::cli
