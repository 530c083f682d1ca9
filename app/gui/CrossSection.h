#pragma once
// The cross-sections "Redraw" hands to the display windows, built from the stored
// slices of the last run: for xy the field of one stored slice, for xz one row of every
// stored slice, for yz one column of every stored slice (stored slice k along the
// horizontal axis, the transverse coordinate along the vertical one).
#include "field/Field.h"

#include <vector>

namespace ksn::gui {

struct TCrossSection {
    std::vector<TComplexArray> components; // Ex, Ey, Ez (one for a scalar field)
    TRealArray intensity;                  // the stored intensity map of the same cut
};

// orientation 0 = xz (row `level`), 1 = xy (stored slice `level`, the last one when
// beyond), 2 = yz (column `level`). False for an empty store, a level outside the
// plane, or an unknown orientation.
bool BuildCrossSection(const std::vector<TFieldRef>& store, int orientation, int level, TCrossSection& out);

// Clips every real and imaginary part to +-level (a part beyond it becomes the level
// with the part's sign); a level of -1 (or any negative level) is off.
void ClipCrossSection(TComplexArray& array, double level);

} // namespace ksn::gui
