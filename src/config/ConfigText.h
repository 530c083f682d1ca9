#pragma once
// Writers of the configuration-file text, CR LF line ends. Every value a reader needs
// is written, so that every saved file loads back to the same records.
#include "config/Records.h"

#include <string>

namespace ksn {

// "[global]" and its lines, in the saved order.
std::string GlobalSectionText(const TGlobalParms& global, const TGridParms& grid, int numOfParms, bool independent);
// One layer block: a line break, "[layer<N>]", "type=..." and the keys of the type, then
// one more line break (consecutive blocks are separated by two empty lines).
std::string LayerSectionText(int index, const TLayerParms& layer);
// "[wave<N>]" and its lines.
std::string WaveSectionText(int index, const TFieldOptions& wave);
// "[parm<N>]" and its lines.
std::string ParmSectionText(int index, TParmsType type, const TParmsVariation& variation);

// Value forms: reals in the shortest general form, flags "-1"/"0".
std::string FlagText(bool value);

} // namespace ksn
