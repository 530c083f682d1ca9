#pragma once
// A whole configuration file: loading it in the load order and writing it back (Save).
#include "config/Records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

struct TConfiguration {
    TGlobalParms global;
    TGridParms grid;                   // computed once at load (Grid.h); changed only by EditGrid
    int numOfParms = 0;
    bool independent = false;
    TLayerParmsVec layers;             // zStart filled, in layer order
    TFieldOptionsArr waves;
    std::vector<TParmsType> parmTypes; // per [parm<N>] read (255 for a rejected one)
    TParmsVariationArr parms;          // as read (index N = section N)
};

// Reads a whole file in the load order: [global] (its grid checked), all layers (the
// slice count fitted to their stack), all waves, then (when parmvariation is set) all
// parms. On a stopping error: shows the error's message, then
// "Error. Cannot load file!", sets global.loaded = false and returns false (the records
// keep what had been read). On success sets global.fileName and loaded = true.
bool LoadConfiguration(const std::string& fileName, TConfiguration& config);

// The full text Save writes, CR LF line ends: two "//" header lines and an empty line,
// [global], the layer blocks, the wave sections and, when parmvariation is set, the
// [parm<N>] sections.
std::string ConfigurationText(const TConfiguration& config);

// Writes the file, replacing it through a temporary file in the same folder so that a
// failure never destroys an existing file. On failure shows "Error. Cannot save file!"
// and returns false; on success logs "Saved file <name>".
bool SaveConfiguration(const std::string& fileName, const TConfiguration& config);

// The main window's grid edits, each with the partner value it derives:
//   X: dx = X/nx (nx != 0)    Y: dy = Y/ny (ny != 0)    Z: dz = Z/nz (nz != 0)
//   nx: dx = X/nx             ny: dy = Y/ny             nz: dz = Z/nz ("Please check input!
//   dx: X = nx*dx             dy: Y = ny*dy                 nz is zero!" for 0)
//   dz: Z = nz*dz
// Then the slice count is fitted to the layer stack again and the grid checked; an edit
// that leaves no usable grid (or a count that is not a whole number >= 0) shows why and
// changes nothing. Scene, field and engine keep the grid of their build until the next
// Update Scene, Open or Start.
enum class TGridEdit : std::uint8_t { X, Y, Z, nx, ny, nz, dx, dy, dz };
bool EditGrid(TConfiguration& config, TGridEdit edit, double value);
// The length unit: scale and scaleFactor together.
bool SetScale(TConfiguration& config, TScale scale);

} // namespace ksn
