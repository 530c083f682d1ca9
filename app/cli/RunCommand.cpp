// ksn run FILE -o DIR: one complete simulation with its log, summary, curves and
// (optionally) the stored fields and maps as NumPy arrays; then its pictures (RunPictures).
#include "CliSink.h"
#include "Commands.h"
#include "RunPictures.h"
#include "SeriesCommand.h"

#include "control/SimulationDriver.h"
#include "config/FloatText.h"
#include "config/Messages.h"
#include "display/NpyWriter.h"

#include <atomic>
#include <complex>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace ksn::cli {

namespace {

const std::string kUsage = "run FILE -o DIR [--threads N] [--method NAME] [--reflections N] "
                          "[--summation auto|direct|grouped] [--save-fields] [--quiet] " + std::string(kPictureUsage) +
                          " " + kSeriesUsage;

struct TRunArgs {
    std::string file;
    std::string outDir;
    int threads = -1;
    std::string method;
    int reflections = -1; // -1: as the configuration says
    std::string summation;
    bool saveFields = false;
    bool quiet = false;
    TPictureOptions pictures;
    TSeriesOptions series;
};

bool ParseArgs(const std::vector<std::string>& args, TRunArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& dst) {
            if (i + 1 >= args.size())
                return false;
            dst = args[++i];
            return true;
        };
        std::string v;
        if (const int taken = ParsePictureOption(args, i, out.pictures)) {
            if (taken < 0)
                return false;
        } else if (const int series = ParseSeriesOption(args, i, out.series)) {
            if (series < 0)
                return false;
        } else if (a == "-o" || a == "--output") {
            if (!value(out.outDir))
                return false;
        } else if (a == "--threads") {
            if (!value(v))
                return false;
            try {
                size_t used = 0;
                out.threads = std::stoi(v, &used);
                if (used != v.size() || out.threads < 1)
                    return false;
            } catch (...) {
                return false;
            }
        } else if (a == "--method") {
            if (!value(out.method))
                return false;
        } else if (a == "--reflections") {
            if (!value(v))
                return false;
            try {
                size_t used = 0;
                out.reflections = std::stoi(v, &used);
                if (used != v.size() || out.reflections < 0)
                    return false;
            } catch (...) {
                return false;
            }
        } else if (a == "--summation") {
            if (!value(out.summation))
                return false;
        } else if (a == "--save-fields") {
            out.saveFields = true;
        } else if (a == "--quiet") {
            out.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else if (out.file.empty()) {
            out.file = a;
        } else {
            return false;
        }
    }
    return !out.file.empty() && !out.outDir.empty() && SeriesOptionsComplete(out.series);
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

bool WriteSummary(const std::filesystem::path& path, TSimulationDriver& driver)
{
    const TConfiguration& c = driver.Configuration();
    const auto& stats = driver.Statistics();
    std::ofstream out(path);
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
        const int z = int(k) * driver.StoreModulus();
        const TField* f = store[k].get();
        out << (k ? ",\n" : "\n") << "    {\"slice\": " << z << ", \"z\": " << JsonNumber(z * c.grid.dz)
            << ", \"intensity\": " << JsonNumber(f ? f->GetIntensity() : 0.0)
            << ", \"absorption\": " << JsonNumber(f ? f->GetAbsorption() : 0.0)
            << ", \"energy_flux\": " << JsonNumber(f ? f->GetEnergyFlux() : 0.0) << ", \"step_time_ms\": "
            << JsonNumber(z < int(stats.stepMs.size()) ? double(stats.stepMs[size_t(z)]) : 0.0) << "}";
    }
    out << "\n  ]\n}\n";
    return bool(out);
}

bool WriteCurves(const std::filesystem::path& path, TSimulationDriver& driver)
{
    std::ofstream out(path);
    out << "z,intensity,absorption,energy_flux\n";
    for (const auto& p : driver.ZCurves())
        out << FormatReal(p.z) << ',' << FormatReal(p.intensity) << ',' << FormatReal(p.absorption) << ','
            << FormatReal(p.energyFlux) << '\n';
    return bool(out);
}

// The fields of a slice store as (stored slices, ny, nx) arrays, element [k][iy][ix],
// in `fieldDir` (E.npy, or Ex.npy, Ey.npy and Ez.npy); empty entries are zero. With a
// map folder, the intensity and absorption maps go there.
bool WriteStore(const std::vector<TFieldRef>& store, const std::filesystem::path& fieldDir,
    const std::filesystem::path* mapDir, TSimulationDriver& driver)
{
    const TGridParms& g = driver.Configuration().grid;
    const size_t nx = size_t(g.nx), ny = size_t(g.ny), nk = store.size();
    const bool vector = !IsScalarMethod(driver.Configuration().global.simMethod);
    std::filesystem::create_directories(fieldDir);
    if (mapDir)
        std::filesystem::create_directories(*mapDir);
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
    bool ok = true;
    if (vector) {
        ok &= WriteNpyComplex128((fieldDir / "Ex.npy").string(), shape, ex);
        ok &= WriteNpyComplex128((fieldDir / "Ey.npy").string(), shape, ey);
        ok &= WriteNpyComplex128((fieldDir / "Ez.npy").string(), shape, ez);
    } else {
        ok &= WriteNpyComplex128((fieldDir / "E.npy").string(), shape, ex);
    }
    if (mapDir) {
        ok &= WriteNpyFloat64((*mapDir / "intensity.npy").string(), shape, intensity);
        ok &= WriteNpyFloat64((*mapDir / "absorption.npy").string(), shape, absorption);
    }
    return ok;
}

// The stored fields and their maps; after reflection passes also, in fields/back/, the
// backward field of every stored slice.
bool WriteFields(const std::filesystem::path& dir, TSimulationDriver& driver)
{
    const std::filesystem::path maps = dir / "maps";
    bool ok = WriteStore(driver.ForwardStore(), dir / "fields", &maps, driver);
    if (!driver.BackFieldStore().empty())
        ok = ok && WriteStore(driver.BackFieldStore(), dir / "fields" / "back", nullptr, driver);
    return ok;
}

// The outputs of the run the driver holds: summary, curves, fields, pictures.
bool WriteRunFiles(const std::filesystem::path& dir, TSimulationDriver& driver, const TRunArgs& a)
{
    bool ok = WriteSummary(dir / "summary.json", driver) && WriteCurves(dir / "curves.csv", driver);
    if (a.saveFields)
        ok = ok && WriteFields(dir, driver);
    return ok && WriteRunPictures(driver, dir, a.file, a.pictures);
}

int RunCommand(const std::vector<std::string>& args)
{
    TRunArgs a;
    if (!ParseArgs(args, a)) {
        std::cerr << "usage: ksn " << kUsage << '\n';
        return 2;
    }
    TCliSink sink(a.quiet);
    const TScopedMessageSink scope(&sink);
    const std::filesystem::path dir(a.outDir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !sink.OpenLogFile((dir / "report.log").string())) {
        ShowMessage("Cannot write to output folder " + a.outDir);
        return 1;
    }

    TSimulationDriver driver;
    driver.SetObserver(&sink);
    const TStopSignals stopSignals(driver);
    TSummation summation = TSummation::automatic;
    if (a.summation == "direct")
        summation = TSummation::direct;
    else if (a.summation == "grouped")
        summation = TSummation::grouped;
    else if (!a.summation.empty() && a.summation != "auto") {
        ShowMessage("Unknown summation \"" + a.summation + "\" (auto, direct or grouped).");
        return 1;
    }
    driver.SetSummation(summation);
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
        const TSeriesOutcome series = RunSeries(driver, a.series, dir, a.file, a.pictures,
            [&](const std::filesystem::path& runDir) { return WriteRunFiles(runDir, driver, a); });
        return !series.ok ? 1 : series.stopped ? std::max(1, TStopSignals::ExitStatus()) : 0;
    }
    try {
        if (!driver.Run())
            return 1;
    } catch (const std::exception& e) {
        ShowMessage(e.what());
        return 1;
    }

    if (!WriteRunFiles(dir, driver, a)) {
        ShowMessage("Cannot write the results to " + a.outDir);
        return 1;
    }
    Log("Results written to " + a.outDir);
    return driver.WasStopped() ? std::max(1, TStopSignals::ExitStatus()) : 0;
}

const TCommandRegistration kRun{"run", kUsage, &RunCommand};

} // namespace

} // namespace ksn::cli
