#include "control/RunChecks.h"

#include "config/FloatText.h"
#include "field/BeamSetup.h"
#include "field/Field.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace ksn {

namespace {

using TExt = long double;
constexpr TExt kTwoPi = 6.283185307179586476925286766559006L;

bool Finite(TExt v) { return std::isfinite(v) && std::fabs(v) <= TExt(DBL_MAX); }
// A square that doubles hold with their full precision.
bool NormalSquare(TExt v) { return Finite(v * v) && v * v >= TExt(DBL_MIN); }

std::string Value(double v) { return FormatReal(v); }

std::string WaveKey(size_t i, const char* key) { return "wave" + std::to_string(i) + "/" + key; }

std::string Unit(TScale scale)
{
    const char* name = ScaleName(scale);
    return *name ? std::string(" ") + name : std::string();
}

// Layer types that place nSpace somewhere (every type but Homog and None).
bool UsesSpace(TLayerType type) { return type != TLayerType::Homog && type != TLayerType::None; }

struct TIndexRange {
    TExt minRe = 1; // vacuum fills what no layer claims
    TExt maxAbs = 1;
    std::string minKey, maxKey; // the layer keys that hold them ("" for vacuum)
    double minValue = 1, maxValue = 1;
};

void IndexFaults(const TLayerParmsVec& layers, std::vector<std::string>& faults, TIndexRange& range)
{
    for (size_t i = 0; i < layers.size(); ++i) {
        const TLayerParms& l = layers[i];
        if (l.type == TLayerType::None)
            continue;
        const std::pair<const char*, TComplex> indices[] = {{"nSubject", l.nSubject}, {"nSpace", l.nSpace}};
        for (const auto& [key, n] : indices) {
            if (std::string(key) == "nSpace" && !UsesSpace(l.type))
                continue;
            const std::string name = "layer" + std::to_string(i) + "/" + key;
            if (!std::isfinite(n.re) || !std::isfinite(n.im)) {
                faults.push_back(name + " is not finite.");
                continue;
            }
            if (!(n.re > 0)) {
                faults.push_back(name + " = " + Value(n.re) +
                                 ": the real index must be positive (the plane-wave rules divide by it).");
                continue;
            }
            if (TExt(n.re) < range.minRe) {
                range.minRe = n.re;
                range.minKey = name;
                range.minValue = n.re;
            }
            const TExt magnitude = std::hypot(TExt(n.re), TExt(n.im));
            if (magnitude > range.maxAbs) {
                range.maxAbs = magnitude;
                range.maxKey = name;
                range.maxValue = n.re;
            }
        }
    }
}

void WaveFaults(size_t i, const TFieldOptions& w, const TGlobalParms& global, const TGridParms& grid,
    const TIndexRange& range, std::vector<std::string>& faults)
{
    const std::string unit = Unit(global.scale);
    if (!(w.lambda > 0) || !std::isfinite(w.lambda)) {
        faults.push_back(WaveKey(i, "lambda") + " = " + Value(w.lambda) + unit + ": the wavelength must be positive.");
        return;
    }
    const TExt k0 = kTwoPi / grid.ToMetres(w.lambda);
    const TExt kMax = k0 * range.maxAbs, kMin = k0 * range.minRe;
    // The wavelength alone, or the index that takes k0 n out of range with it.
    const auto blame = [&](bool vacuumToo, const std::string& key, double n) {
        std::string who = WaveKey(i, "lambda") + " = " + Value(w.lambda) + unit;
        if (!vacuumToo && !key.empty())
            who = key + " = " + Value(n) + " with " + who;
        return who;
    };
    if (!Finite(kMax) || !Finite(kMax * kMax)) {
        faults.push_back(blame(!Finite(k0 * k0), range.maxKey, range.maxValue) +
                         ": the wave number 2 pi n / lambda = " + Value(double(std::min(kMax, TExt(DBL_MAX)))) +
                         " 1/m is too large to compute with (its square overflows).");
        return;
    }
    if (!NormalSquare(kMin)) {
        faults.push_back(blame(!NormalSquare(k0), range.minKey, range.minValue) +
                         ": the wave number 2 pi n / lambda = " + Value(double(kMin)) +
                         " 1/m is too small to compute with (its square underflows).");
        return;
    }
    // The largest length the phases multiply k by.
    TExt extent = 0;
    for (double l : {grid.X, grid.Y, grid.Z, w.shiftX, w.shiftY, w.shiftZ})
        extent = std::max(extent, std::fabs(TExt(l)));
    if (!Finite(kMax * grid.ToMetres(extent)))
        faults.push_back(WaveKey(i, "lambda") + " = " + Value(w.lambda) + unit + ": the phase k0 n L over L = " +
                         Value(double(extent)) + unit + " overflows.");
    if (w.shape == TBeamShape::gaussian) {
        const std::pair<const char*, double> widths[] = {{"sigmax", w.sigmaX}, {"sigmay", w.sigmaY}};
        for (const auto& [key, sigma] : widths) {
            const TExt s = grid.ToMetres(sigma);
            const bool single = std::string(key) == "sigmax" ? grid.nx == 1 : grid.ny == 1;
            if (sigma == 0.0 ? !single : !(NormalSquare(s) && Finite(1.0L / (s * s))))
                faults.push_back(WaveKey(i, key) + " = " + Value(sigma) + unit +
                                 ": Invalid Gaussian width (a beam needs a positive width along an axis of several "
                                 "points).");
        }
    }
    TBeamSetup setup;
    const std::string why = PrepareBeam(grid, w, setup);
    if (!why.empty() && faults.empty())
        faults.push_back("wave" + std::to_string(i) + ": the beam cannot be generated: " + why);
    const TExt a = std::fabs(TExt(w.amplitude));
    if (a != 0 && a * a * range.minRe < TExt(DBL_MIN))
        faults.push_back(WaveKey(i, "amplitude") + " = " + Value(w.amplitude) + ": its intensity |amplitude|^2 = " +
                         Value(double(a * a)) + " underflows to zero.");
}

} // namespace

std::vector<std::string> PhysicsFaults(const TGlobalParms& global, const TGridParms& grid,
    const TFieldOptionsArr& waves, const TLayerParmsVec& layers)
{
    std::vector<std::string> faults;
    if (static_cast<std::uint8_t>(global.scale) > static_cast<std::uint8_t>(TScale::nm))
        faults.push_back("global/scale is no known length unit: use m, mm, um or nm.");
    TIndexRange range;
    IndexFaults(layers, faults, range);
    TExt amplitudes = 0;
    for (size_t i = 0; i < waves.size(); ++i) {
        std::vector<std::string> own;
        WaveFaults(i, waves[i], global, grid, range, own);
        faults.insert(faults.end(), own.begin(), own.end());
        amplitudes += std::fabs(TExt(waves[i].amplitude));
    }
    // The totals add |E|^2 n over every point; the waves' fields may add up in phase.
    const TExt points = TExt(std::max(grid.nx, 1)) * TExt(std::max(grid.ny, 1));
    if (!Finite(amplitudes * amplitudes * range.maxAbs * points * 16.0L)) {
        std::string keys;
        for (size_t i = 0; i < waves.size(); ++i)
            keys += (i ? ", " : "") + WaveKey(i, "amplitude") + " = " + Value(waves[i].amplitude);
        faults.push_back(keys + ": the intensity |amplitude|^2 summed over the " + FormatReal(double(points)) +
                         " points overflows.");
    }
    return faults;
}

std::string IncidentFieldFault(TField& incident, const TFieldOptionsArr& waves)
{
    const int nx = incident.GetXSize(), ny = incident.GetYSize();
    bool nonZero = false;
    for (int iy = 0; iy < ny; ++iy)
        for (int ix = 0; ix < nx; ++ix) {
            const TCVec3 e = incident.GetEVec(ix, iy);
            for (const TComplex& c : {e.x, e.y, e.z}) {
                if (!std::isfinite(c.re) || !std::isfinite(c.im))
                    return "The incident field is not finite at point (" + std::to_string(ix) + ", " +
                           std::to_string(iy) + "): check the waves' amplitudes, angles and shifts.";
                nonZero = nonZero || c.re != 0 || c.im != 0;
            }
        }
    if (nonZero)
        return {};
    std::string named;
    for (size_t i = 0; i < waves.size(); ++i) {
        const TFieldOptions& w = waves[i];
        if (w.amplitude == 0)
            continue;
        named += (named.empty() ? "" : "; ") + WaveKey(i, "amplitude") + " = " + Value(w.amplitude) + " (shiftx = " +
                 Value(w.shiftX) + ", shifty = " + Value(w.shiftY);
        if (w.shape == TBeamShape::gaussian)
            named += ", sigmax = " + Value(w.sigmaX) + ", sigmay = " + Value(w.sigmaY);
        named += ")";
    }
    if (named.empty())
        return {}; // every amplitude is zero: a zero field is what was asked for
    return "The incident field is zero at every grid point although " + named +
           ": a beam shifted out of the window or too narrow for the grid.";
}

std::vector<std::string> GainWarnings(const TLayerParmsVec& layers)
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < layers.size(); ++i) {
        const TLayerParms& l = layers[i];
        if (l.type == TLayerType::None)
            continue;
        std::string keys;
        if (l.nSubject.im < 0)
            keys = "kappaSubject = " + Value(l.nSubject.im);
        if (UsesSpace(l.type) && l.nSpace.im < 0)
            keys += (keys.empty() ? "" : ", ") + std::string("kappaSpace = ") + Value(l.nSpace.im);
        if (!keys.empty())
            lines.push_back("Warning: layer" + std::to_string(i) + " has " + keys +
                            " < 0: the layer amplifies the field (gain).");
    }
    return lines;
}

std::string LevelFault(const TComplexArray& level, int iz)
{
    const double* re = level.Re();
    const double* im = level.Im();
    const int nx = level.Nx(), count = level.Count();
    // A point is sound when 0 < n < inf and |kappa| < inf (NaN fails every comparison).
    // Blocks are scanned without branches, so the loop vectorises; only a block with a
    // fault is searched for its first point.
    constexpr int kBlock = 1024;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    int first = count;
    for (int k0 = 0; k0 < count && first == count; k0 += kBlock) {
        const int k1 = std::min(count, k0 + kBlock);
        bool sound = true;
        for (int k = k0; k < k1; ++k)
            sound &= (re[k] > 0.0) & (re[k] < kInf) & (std::fabs(im[k]) < kInf);
        if (!sound)
            first = k0;
    }
    for (int k = first; k < count; ++k)
        if (!std::isfinite(re[k]) || !std::isfinite(im[k]) || !(re[k] > 0))
            return "Index level " + std::to_string(iz) + " holds n = " + Value(re[k]) + (im[k] < 0 ? " - " : " + ") +
                   Value(std::fabs(im[k])) + "i at point (" + std::to_string(k % std::max(nx, 1)) + ", " +
                   std::to_string(k / std::max(nx, 1)) +
                   "); the real index must be positive and finite (check the layer's deltaN and its gradients).";
    return {};
}

} // namespace ksn
