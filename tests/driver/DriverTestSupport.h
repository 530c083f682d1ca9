#pragma once
// Writes small configuration files for the driver tests.
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

namespace ksn::test {

struct TIniSetup {
    std::map<std::string, std::string> global = {{"multithreaded", "0"}, {"modulotracking", "0"},
        {"modulus", "1"}, {"simmethod", "swpm"}, {"wavenum", "1"}, {"scale", "um"}, {"largescene", "0"},
        {"bidirectional", "0"}, {"reflections", "0"}, {"extraModes", "0"}, {"allcomplex", "0"},
        {"parmvariation", "0"}, {"numofparms", "0"}, {"independent", "0"}, {"evanescent", "0"}, {"X", "8"},
        {"Y", "8"}, {"Z", "10"}, {"nx", "8"}, {"ny", "8"}, {"nz", "10"}};
    // Homogeneous layers: thickness, n, kappa, report flag.
    struct TLayer {
        double thickness, n, kappa;
        bool report = true;
    };
    std::vector<TLayer> layers = {{10, 1.0, 0.0}};
    double lambda = 1.0;
    std::string waveShape = "plane";
    // [parm<N>] sections; any turns parmvariation on.
    struct TParm {
        std::string type;
        int num;
        std::string parm;
        double firstRe, firstIm, deltaRe, deltaIm;
        int steps;
    };
    std::vector<TParm> parms;
};

inline std::string IniText(const TIniSetup& setup)
{
    auto global = setup.global;
    if (!setup.parms.empty()) {
        global["parmvariation"] = "1";
        global["numofparms"] = std::to_string(setup.parms.size());
    }
    std::string s = "[global]\n";
    for (const auto& [k, v] : global)
        s += k + "=" + v + "\n";
    s += "layernum=" + std::to_string(setup.layers.size()) + "\n";
    for (size_t i = 0; i < setup.layers.size(); ++i) {
        const auto& l = setup.layers[i];
        s += "[layer" + std::to_string(i) + "]\ntype=Homog\nZ=" + std::to_string(l.thickness) +
             "\nnSubject=" + std::to_string(l.n) + "\nkappaSubject=" + std::to_string(l.kappa) +
             "\nnSpace=1\nkappaSpace=0\nreport=" + (l.report ? "1" : "0") + "\n";
    }
    s += "[wave0]\nshape=" + setup.waveShape + "\nangular=deg\nlambda=" + std::to_string(setup.lambda) +
         "\ntheta=0\ndelta=0\nrho=0\npsi=0\namplitude=1\nshiftx=0\nshifty=0\nshiftz=0\nsigmax=2\nsigmay=2\n";
    for (size_t i = 0; i < setup.parms.size(); ++i) {
        const auto& p = setup.parms[i];
        s += "[parm" + std::to_string(i) + "]\ntype=" + p.type + "\nnum=" + std::to_string(p.num) + "\nparm=" + p.parm +
             "\nfirstRe=" + std::to_string(p.firstRe) + "\nfirstIm=" + std::to_string(p.firstIm) +
             "\ndeltaRe=" + std::to_string(p.deltaRe) + "\ndeltaIm=" + std::to_string(p.deltaIm) +
             "\nsteps=" + std::to_string(p.steps) + "\n";
    }
    return s;
}

// A fresh folder of its own for each call, so that parallel test processes never share one.
inline std::filesystem::path TempDir(const std::string& name)
{
    std::string pattern = (std::filesystem::temp_directory_path() / ("ksn_driver_" + name + "_XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder for " + name);
    return pattern;
}

inline std::string WriteIni(const std::filesystem::path& dir, const std::string& name, const TIniSetup& setup)
{
    const auto path = dir / name;
    std::ofstream(path) << IniText(setup);
    return path.string();
}

} // namespace ksn::test
