#include "config/Grid.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "numerics/FFT12.h"
#include "numerics/GeneralError.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace ksn {

namespace {

// Positive and representable as a double (the precision fields and maps are stored in).
bool Positive(TExtended v) { return v > 0 && std::isfinite(double(v)) && double(v) > 0; }

// " <unit>" as the file names it; an unknown scale reads as metres (scaleFactor 1).
std::string UnitText(TScale scale)
{
    const char* name = ScaleName(scale);
    std::string text(" ");
    text += *name ? name : ScaleName(TScale::m);
    return text;
}

// The spacing along one axis of n points is usable: any finite one for a single point
// (it has no extent), otherwise positive and finite in the file's unit and in metres,
// with the window L = n*d and the spectral step 2 pi / L finite as doubles.
bool UsableSpacing(const TGridParms& grid, int n, double d)
{
    if (!std::isfinite(d))
        return false;
    if (n < 2)
        return true;
    const TExtended window = TExtended(n) * grid.ToMetres(d);
    return d > 0 && Positive(window) && Positive(6.283185307179586477L / window);
}

} // namespace

int WholeSlices(TExtended length, TExtended dz)
{
    if (!(dz > 0) || !std::isfinite(double(dz)) || !std::isfinite(double(length)))
        return 0;
    const TExtended q = length / dz;
    const TExtended nearest = std::round(q);
    const TExtended slices = std::fabs(q - nearest) <= 1e-9L * std::fmax(1.0L, std::fabs(q)) ? nearest : std::floor(q);
    if (slices >= TExtended(INT_MAX))
        return INT_MAX;
    if (slices <= TExtended(INT_MIN))
        return INT_MIN;
    return int(slices);
}

void ComputeSpacings(TGridParms& grid, TScale scale)
{
    grid.scaleFactor = ScaleFactorOf(scale);
    ComputeSpacing(grid.dx, grid.X, grid.nx);
    ComputeSpacing(grid.dy, grid.Y, grid.ny);
    ComputeSpacing(grid.dz, grid.Z, grid.nz);
}

std::string GridFault(const TGridParms& g)
{
    if (g.nx < 1 || g.ny < 1)
        return "The grid has no points (nx = " + std::to_string(g.nx) + ", ny = " + std::to_string(g.ny) +
               "); nx and ny must be at least 1.";
    if (!IsPowerOfTwo(g.nx) || !IsPowerOfTwo(g.ny))
        return "nx and ny must be powers of two (1 allowed); the grid is " + std::to_string(g.nx) + " x " +
               std::to_string(g.ny) + ".";
    if (std::int64_t(g.nx) * g.ny > INT32_MAX)
        return "Grid size " + std::to_string(g.nx) + " x " + std::to_string(g.ny) + " exceeds 32 bits.";
    if (!(g.scaleFactor > 0) || !std::isfinite(g.scaleFactor))
        return "Unknown length unit (scale).";
    if (g.nz < 1 || !(g.dz > 0) || !std::isfinite(g.dz) || !Positive(g.ToMetres(g.dz)))
        return "The grid has no spacing along z (nz = " + std::to_string(g.nz) + ", Z = " + FormatReal(g.Z) +
               "); nz and Z must be positive.";
    if (!UsableSpacing(g, g.nx, g.dx) || !UsableSpacing(g, g.ny, g.dy))
        return "The grid spacings must be positive (check X, Y, Z and nx, ny, nz).";
    return {};
}

void CheckGrid(const TGridParms& grid)
{
    const std::string fault = GridFault(grid);
    if (!fault.empty())
        throw EGeneralError(fault);
}

void FitSlicesToLayers(const TLayerParmsVec& layers, TGridParms& grid, TScale scale)
{
    if (layers.empty() || !(grid.dz > 0) || !std::isfinite(grid.dz))
        return;
    const std::string unit = UnitText(scale);
    const TExtended stack = LayerEnd(layers.back());
    if (!std::isfinite(double(stack)) || !std::isfinite(layers.back().zStart))
        throw EGeneralError("Invalid layer stack: the thicknesses of the " + std::to_string(layers.size()) +
                            " layers add up to more than the range of doubles.");
    const TExtended q = stack / grid.dz;
    if (!std::isfinite(double(q)) || q >= 2147483648.0L)
        throw EGeneralError("Invalid layer stack: " + FormatReal(double(stack)) + " with dz = " +
                            FormatReal(grid.dz) + " gives no valid number of slices.");
    const int slices = WholeSlices(stack, grid.dz);
    if (slices < 1)
        throw EGeneralError("Layer stack of " + FormatReal(double(stack)) + unit +
                            " is thinner than one slice of dz = " + FormatReal(grid.dz) + unit + ".");
    // The file's Z holds exactly nz slices of dz; a stack that is not within rounding of
    // it runs its own whole slices at the same spacing.
    const TExtended tolerance = 1e-9L * std::fmax(1.0L, q);
    // Where the quotient lies on the edge of that tolerance, within the few ulps by which
    // Save's 15 digits move a reloaded Z, the file's own count stands: otherwise a file
    // saved with the fitted count could reload with the next one, and that one with the
    // first again.
    const TExtended edge = 1e-4L * tolerance;
    if (std::fabs(q - grid.nz) <= tolerance + edge)
        return;
    if (grid.nz == std::floor(q) && std::fabs(std::fabs(q - (grid.nz + 1.0L)) - tolerance) <= edge)
        return;
    Log("Layer stack of " + FormatReal(double(stack)) + unit + " differs from Z = " + FormatReal(grid.Z) + unit +
        ": running " + std::to_string(slices) + " slices of dz = " + FormatReal(grid.dz) + unit + ".");
    if (slices != grid.nz) {
        grid.nz = slices;
        grid.Z = slices * grid.dz;
    }
}

} // namespace ksn
