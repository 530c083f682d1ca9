// ksn check FILE: loads a configuration file as Open does (scene and incident field
// built), prints what it describes and exits 1 when a run would be refused.
#include "ArgParse.h"
#include "CliSink.h"
#include "Commands.h"

#include "control/SimulationDriver.h"
#include "config/Configuration.h"
#include "config/FloatText.h"
#include "config/Messages.h"

#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>

namespace ksn::cli {

namespace {

// An enumeration's name, or "unknown (<value>)" for a value outside it.
template <typename E>
std::string NameText(E value, const char* (*nameOf)(E))
{
    const char* name = nameOf(value);
    return *name ? std::string(name) : "unknown (" + std::to_string(static_cast<unsigned>(value)) + ")";
}

void PrintSummary(const TConfiguration& c, std::ostream& out)
{
    const TGlobalParms& g = c.global;
    const TGridParms& grid = c.grid;
    const std::string unit = NameText(g.scale, ScaleName);
    out << "method: " << NameText(g.simMethod, SimMethodName)
        << (static_cast<std::uint8_t>(g.simMethod) < static_cast<std::uint8_t>(TSimMethod::vwpmhh)
                   ? (IsScalarMethod(g.simMethod) ? " (scalar field)" : " (vector field)")
                   : "")
        << '\n';
    out << "grid: " << grid.nx << " x " << grid.ny << " x " << grid.nz << " points, window " << FormatReal(grid.X)
        << " x " << FormatReal(grid.Y) << " x " << FormatReal(grid.Z) << ' ' << unit << '\n';
    out << "spacing: dx=" << FormatReal(grid.dx) << " dy=" << FormatReal(grid.dy) << " dz=" << FormatReal(grid.dz)
        << ' ' << unit << '\n';
    out << "options: multithreaded=" << g.multithreaded << " largescene=" << g.largeScene
        << " bidirectional=" << g.bidirectional << " reflections=" << g.reflections
        << " evanescent=" << grid.evanescent << " allcomplex=" << g.allComplex
        << " modulotracking=" << g.moduloTracking << " modulus=" << g.modulus << '\n';
    out << "layers: " << c.layers.size() << '\n';
    for (size_t i = 0; i < c.layers.size(); ++i) {
        const TLayerParms& l = c.layers[i];
        out << "  layer" << i << ": " << NameText(l.type, LayerTypeName) << ", z " << FormatReal(l.zStart) << " .. "
            << FormatReal(l.zStart + l.thickness) << " (thickness " << FormatReal(l.thickness) << "), n "
            << FormatReal(l.nSubject.re) << (l.nSubject.im < 0 ? " - " : " + ") << FormatReal(std::abs(l.nSubject.im))
            << "i\n";
    }
    out << "waves: " << c.waves.size() << '\n';
    for (size_t i = 0; i < c.waves.size(); ++i) {
        const TFieldOptions& w = c.waves[i];
        out << "  wave" << i << ": " << NameText(w.shape, BeamShapeName) << ", lambda " << FormatReal(w.lambda) << ' '
            << unit << ", amplitude " << FormatReal(w.amplitude) << ", theta " << FormatReal(w.theta) << ' '
            << NameText(w.angular, AngularName) << '\n';
    }
    if (g.parmVariation) {
        out << "parameter variations: " << c.parms.size() << '\n';
        for (size_t i = 0; i < c.parms.size(); ++i) {
            const TParmsVariation& v = c.parms[i];
            out << "  parm" << i << ": " << NameText(c.parmTypes[i], ParmsTypeName) << ' ' << v.num << ' '
                << NameText(v.parm, ParmsName) << ", " << v.steps << " steps\n";
        }
    } else {
        out << "parameter variation: off\n";
    }
}

int RunCheck(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return UsageError("check", "check FILE",
            args.empty() ? "no configuration FILE given." : "one configuration FILE only.");
    if (TArgReader::LooksLikeOption(args[0]))
        return UsageError("check", "check FILE", "unknown option " + args[0] + ".");
    TCliSink sink;
    TScopedMessageSink scope(&sink);
    // Open as the main window does: read the file, build the scene and the incident field.
    TSimulationDriver driver;
    if (!driver.Open(args[0]))
        return 1;
    PrintSummary(driver.Configuration(), std::cout);
    if (driver.Scene())
        std::cout << "levels: " << driver.Scene()->GetNz() << '\n';
    // The same checks as a run's start (without the outputs): exit 1 where ksn run
    // would be refused.
    driver.SetObserver(&sink);
    return driver.CanRun() ? 0 : 1;
}

const TCommandRegistration theCheckCommand("check", "check FILE       load a configuration file and summarise it",
                                           RunCheck);

} // namespace

} // namespace ksn::cli
