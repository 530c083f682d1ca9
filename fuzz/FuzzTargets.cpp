#include "FuzzTargets.h"

#include "config/Configuration.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"
#include "numerics/GeneralError.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace ksn::fuzz {

namespace {

// Messages and log lines are the load's and run's business, not the fuzzer's.
class TQuietSink : public TRunObserver {
public:
    void ShowMessage(const std::string&) override {}
    void LogLine(const std::string&) override {}
};

// A file of this process for the input, rewritten for every input.
std::string ScratchFile(const char* tag)
{
    return (std::filesystem::temp_directory_path() /
               ("ksn_fuzz_" + std::to_string(::getpid()) + "_" + tag + ".ini"))
        .string();
}

bool WriteFile(const std::string& path, const char* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, std::streamsize(size));
    out.close();
    return !out.fail();
}

bool Finite(double v) { return std::isfinite(v); }

} // namespace

std::string LoaderOne(const std::uint8_t* data, std::size_t size)
{
    TQuietSink sink;
    const TScopedMessageSink scope(&sink);
    const std::string file = ScratchFile("load"), saved = ScratchFile("saved");
    if (!WriteFile(file, reinterpret_cast<const char*>(data), size))
        return {};
    TConfiguration config;
    if (!LoadConfiguration(file, config))
        return {};
    const TGridParms& g = config.grid;
    if (!Finite(g.dx) || !Finite(g.dy) || !Finite(g.dz) || !Finite(g.X) || !Finite(g.Y) || !Finite(g.Z))
        return "a loaded grid holds a value that is not finite";
    const std::string first = ConfigurationText(config);
    if (!WriteFile(saved, first.data(), first.size()))
        return {};
    TConfiguration again;
    if (!LoadConfiguration(saved, again))
        return "the saved file does not load:\n" + first;
    const std::string second = ConfigurationText(again);
    if (second != first)
        return "save -> load -> save changed the file:\n" + first + "\n---- became ----\n" + second;
    return {};
}

std::string RunOne(const std::uint8_t* data, std::size_t size, bool* ran)
{
    if (ran)
        *ran = false;
    if (size > kMaxRunInput)
        return {};
    TQuietSink sink;
    const TScopedMessageSink scope(&sink);
    const std::string file = ScratchFile("run");
    if (!WriteFile(file, reinterpret_cast<const char*>(data), size))
        return {};
    // Only small scenes are run.
    TConfiguration config;
    if (!LoadConfiguration(file, config))
        return {};
    const TGridParms& g = config.grid;
    if (std::int64_t(g.nx) * g.ny > kMaxRunPoints || g.nz > kMaxRunSlices || config.layers.size() > 16 ||
        config.waves.size() > 4 || (config.global.parmVariation && config.parms.size() > 4))
        return {};

    TSimulationDriver driver;
    driver.SetObserver(&sink);
    driver.SetMemoryBudget(std::uint64_t(256) << 20);
    if (!driver.Open(file))
        return {};
    TGlobalParms& global = driver.Configuration().global;
    global.multithreaded = false;
    global.reflections = std::min(global.reflections, kMaxRunReflections);
    try {
        if (!driver.Run())
            return {};
    } catch (const EGeneralError&) {
        return {}; // the system's own refusals (a method without a step)
    }
    for (const TFieldRef& f : driver.ForwardStore()) {
        if (!f)
            continue;
        if (!Finite(f->GetIntensity()) || !Finite(f->GetAbsorption()) || !Finite(f->GetEnergyFlux()))
            return "a successful run has a total that is not finite";
        const TRealArray& intensity = f->IntensityMap();
        for (int iy = 0; iy < intensity.Ny(); ++iy)
            for (int ix = 0; ix < intensity.Nx(); ++ix)
                if (!Finite(intensity.At(ix, iy)))
                    return "a successful run has an intensity map that is not finite";
    }
    for (const TZCurvePoint& p : driver.ZCurves())
        if (!Finite(p.z) || !Finite(p.intensity) || !Finite(p.absorption) || !Finite(p.energyFlux))
            return "a successful run has a curve point that is not finite";
    if (!Finite(driver.TotalAbsorption()))
        return "a successful run has a total absorption that is not finite";
    if (ran)
        *ran = true;
    return {};
}

} // namespace ksn::fuzz
