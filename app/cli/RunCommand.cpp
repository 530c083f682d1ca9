// ksn run FILE -o DIR: one complete simulation with its log, summary, curves and
// (optionally) the stored fields and maps as NumPy arrays.
#include "CliSink.h"
#include "Commands.h"

#include "control/SimulationDriver.h"
#include "config/FloatText.h"
#include "config/Messages.h"
#include "display/NpyWriter.h"
#include "numerics/FastFourier.h"

#include <complex>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

namespace ksn::cli {

namespace {

constexpr const char* kUsage =
    "run FILE -o DIR [--threads N] [--method NAME] [--summation auto|direct|grouped] [--fft-plan estimate|measure]"
    " [--save-fields] [--quiet]";

struct TRunArgs {
    std::string file;
    std::string outDir;
    int threads = -1;
    std::string method;
    std::string summation;
    std::string fftPlan;
    bool saveFields = false;
    bool quiet = false;
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
        if (a == "-o" || a == "--output") {
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
        } else if (a == "--summation") {
            if (!value(out.summation))
                return false;
        } else if (a == "--fft-plan") {
            if (!value(out.fftPlan))
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
    return !out.file.empty() && !out.outDir.empty();
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

// Stored fields as (stored slices, ny, nx) arrays, element [k][iy][ix].
bool WriteFields(const std::filesystem::path& dir, TSimulationDriver& driver)
{
    const auto& store = driver.ForwardStore();
    const TGridParms& g = driver.Configuration().grid;
    const size_t nx = size_t(g.nx), ny = size_t(g.ny), nk = store.size();
    const bool vector = !IsScalarMethod(driver.Configuration().global.simMethod);
    std::filesystem::create_directories(dir / "fields");
    std::filesystem::create_directories(dir / "maps");
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
        ok &= WriteNpyComplex128((dir / "fields" / "Ex.npy").string(), shape, ex);
        ok &= WriteNpyComplex128((dir / "fields" / "Ey.npy").string(), shape, ey);
        ok &= WriteNpyComplex128((dir / "fields" / "Ez.npy").string(), shape, ez);
    } else {
        ok &= WriteNpyComplex128((dir / "fields" / "E.npy").string(), shape, ex);
    }
    ok &= WriteNpyFloat64((dir / "maps" / "intensity.npy").string(), shape, intensity);
    ok &= WriteNpyFloat64((dir / "maps" / "absorption.npy").string(), shape, absorption);
    return ok;
}

int RunCommand(const std::vector<std::string>& args)
{
    TRunArgs a;
    if (!ParseArgs(args, a)) {
        std::cerr << "usage: ksn " << kUsage << '\n';
        return 2;
    }
    TCliSink sink(a.quiet);
    TScopedMessageSink scope(&sink);
    const std::filesystem::path dir(a.outDir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !sink.OpenLogFile((dir / "report.log").string())) {
        ShowMessage("Cannot write to output folder " + a.outDir);
        return 1;
    }

    TSimulationDriver driver;
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
    // Measured plans are faster but chosen by timing, so their last bits may vary from
    // run to run; the default plans are the same every time.
    if (a.fftPlan == "measure")
        SetFftPlanning(TFftPlanning::measure);
    else if (!a.fftPlan.empty() && a.fftPlan != "estimate") {
        ShowMessage("Unknown FFT planning \"" + a.fftPlan + "\" (estimate or measure).");
        return 1;
    }
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
    if (a.threads > 0) {
        config.global.threadCount = a.threads;
        config.global.multithreaded = a.threads >= 2;
    } else if (config.global.multithreaded) {
        config.global.threadCount = int(std::max(1u, std::thread::hardware_concurrency()));
    }

    try {
        if (!driver.Run())
            return 1;
    } catch (const std::exception& e) {
        ShowMessage(e.what());
        return 1;
    }

    bool ok = WriteSummary(dir / "summary.json", driver) && WriteCurves(dir / "curves.csv", driver);
    if (a.saveFields)
        ok = ok && WriteFields(dir, driver);
    if (!ok) {
        ShowMessage("Cannot write the results to " + a.outDir);
        return 1;
    }
    Log("Results written to " + a.outDir);
    return 0;
}

const TCommandRegistration kRun{"run", kUsage, &RunCommand};

} // namespace

} // namespace ksn::cli
