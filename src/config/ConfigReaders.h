#pragma once
// The readers of the configuration file, one per section kind. Each sets the reader's
// current section and fills one record; every key it asks for is required, so a missing
// key or a bad value throws EGeneralError and ends the load.
#include "config/ExtIniFile.h"
#include "config/Records.h"

namespace ksn {

// [global]: the run settings, the grid and the two settings kept beside them. Replaces a
// modulus <= 0 by 1 and computes the grid's unit factor and spacings (ComputeSpacings).
// An unknown simmethod (or vwpmhh) shows "Unknown simType in <fileName>", an unknown
// scale "Unknown simScale in <fileName>"; both load on.
void readGlobal(TExtIniFile& ini, TGlobalParms& global, TGridParms& grid, int& numOfParms, bool& independent);

// [layer<index>], the layer beginning at zStart: the keys of its type's table
// (LayerKeys.h). Returns where the next layer begins.
double readLayer(TExtIniFile& ini, int index, double zStart, TLayerParms& layer);

// [wave<index>].
void readWave(TExtIniFile& ini, int index, TFieldOptions& wave);

// [parm<index>]. Returns false, after the message "Error in TForm1.readParm(<index>).
// Unknown parmType.", when the type is neither wave nor layer; type is then 255.
bool readParm(TExtIniFile& ini, int index, TParmsVariation& variation, TParmsType& type);

} // namespace ksn
