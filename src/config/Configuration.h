#pragma once
// A whole configuration file: loading it in the load order and writing it back (Save).
#include "config/Records.h"

#include <string>
#include <vector>

namespace ksn {

struct TConfiguration {
    TGlobalParms global;
    TGridParms grid;
    int numOfParms = 0;
    bool independent = false;
    TLayerParmsVec layers;             // zStart filled, in layer order
    TFieldOptionsArr waves;
    std::vector<TParmsType> parmTypes; // per [parm<N>] read (255 for a rejected one)
    TParmsVariationArr parms;          // as read (index N = section N)
};

// Reads a whole file in the load order: [global], all layers, all waves, then (when
// parmvariation is set) all parms. On a stopping error: shows the error's message, then
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

} // namespace ksn
