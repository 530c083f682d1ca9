#pragma once
// The grid of a configuration, computed once at load and owned by the configuration:
// the unit factor and the spacings from [global], the check every later user relies on,
// and the slice count fitted to the layer stack. Scene, field and engine take the result
// by const reference and never recompute a spacing; TGridParms::ToMetres is the one
// conversion of lengths to metres.
#include "config/Records.h"

#include <string>

namespace ksn {

// Slices of thickness dz in a length: floor(length / dz), where a quotient within 1e-9
// (relative to its size, at least 1e-9) of an integer counts as that integer, so that a
// stack of exactly Z keeps its nz instead of losing a slice to 29.999999999999996.
// Saturates at the int range; 0 when dz is not positive or an input is not finite. The
// one rule for level boundaries: the fit below and the scene's level ranges use it.
int WholeSlices(TExtended length, TExtended dz);

// Where a layer ends along z.
inline TExtended LayerEnd(const TLayerParms& layer) { return TExtended(layer.zStart) + layer.thickness; }

// The spacing of an axis: d = extent / count, left as it is for a count of 0.
inline void ComputeSpacing(double& spacing, double extent, int count)
{
    if (count != 0)
        spacing = extent / count;
}

// The grid as [global] gives it: scaleFactor of the scale (1 for an unknown one), and
// dx = X/nx, dy = Y/ny, dz = Z/nz for the non-zero counts.
void ComputeSpacings(TGridParms& grid, TScale scale);

// Empty when the grid can be built and run on; otherwise why not: an axis without
// points, nx or ny not a power of two (the centred FFT), nx*ny beyond 32 bits, no
// slice or no spacing along z, a spacing that is not positive and finite along an axis
// of two or more points, an unknown unit, or spacings that leave the range of doubles
// in metres.
std::string GridFault(const TGridParms& grid);
// Throws EGeneralError with GridFault's text when there is one.
void CheckGrid(const TGridParms& grid);

// The layer stack decides the length, at the spacing [global] gives: dz stays Z/nz, nz
// becomes the whole slices of dz in the stack (WholeSlices) and Z becomes nz*dz. When
// the stack differs from Z this is logged as "Layer stack of <S> <unit> differs from
// Z = <Z> <unit>: running <nz> slices of dz = <dz> <unit>.". Throws EGeneralError for a
// stack thinner than one dz and for a slice count beyond 32 bits. Nothing changes
// without layers or without a positive dz (CheckGrid refuses that grid).
void FitSlicesToLayers(const TLayerParmsVec& layers, TGridParms& grid, TScale scale);

} // namespace ksn
