#pragma once
// Preparation shared by the vector and scalar beam generators: angles in radians, the
// vacuum wave vector and the Gaussian widths, after the wave record has been checked.
#include "config/Records.h"
#include "numerics/Complex.h"
#include "numerics/ComplexArray.h"

#include <string>

namespace ksn {

struct TBeamSetup {
    TExtended theta = 0, rho = 0, psi = 0, delta = 0; // radians
    TExtended k0 = 0;                                // 2 pi / lambda (metres)
    TExtended kx = 0, ky = 0, kz = 0;                // vacuum wave vector
    // Gaussian envelope exp(-pi (x^2 invSigmaX2 + y^2 invSigmaY2)) with x, y in metres;
    // an axis of one point with zero width carries no envelope (factor 0 here).
    TExtended invSigmaX2 = 0, invSigmaY2 = 0;
};

// Checks the wave record and fills the set-up (the grid was checked at load). Returns ""
// on success, otherwise the reason the beam cannot be generated (nothing is changed then).
std::string PrepareBeam(const TGridParms& grid, const TFieldOptions& options, TBeamSetup& setup);

// The common start of both generators: the grid must match the field's component (and
// the index array, when given), and the wave record must describe a beam. On failure
// shows head + the reason and returns false; nothing is changed then.
bool BeginBeam(const std::string& head, const TGridParms& grid, const TComplexArray& component,
    const TComplexArray* index, const TFieldOptions& options, TBeamSetup& setup);

// A polarisation factor of modulus below 1e-15 counts as exactly zero.
inline TComplex ZeroBelowThreshold(TComplex v) { return CAbs(v) < 1e-15 ? TComplex{0.0, 0.0} : v; }

// A stored component of modulus at most 1e-15 is stored as exactly zero.
inline TComplex ZeroAtOrBelowThreshold(TComplex v) { return CAbs(v) <= 1e-15 ? TComplex{0.0, 0.0} : v; }

} // namespace ksn
