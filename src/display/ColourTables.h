#pragma once
// The ten 256-entry colour tables of the false-colour diagram.
#include "display/Picture.h"

#include <array>

namespace ksn {

using TColourTable = std::array<TRgb, 256>;

constexpr int kPaletteCount = 10;

// Table `palette` (0 … 9); grey (table 0) for any other number.
//  0 grey; 1 cyan-black-yellow; 2 blue-black-white; 3 cos^2 phases; 4 sine phases;
//  5 1-cos ramps; 6 blue-cyan-green-yellow-red ramps; 7 dark-blue-purple-red-yellow-
//  white ramps; 8 blue-cyan-yellow-red (channels modulo 256); 9 muted ramps.
TColourTable MakeColourTable(int palette);

} // namespace ksn
