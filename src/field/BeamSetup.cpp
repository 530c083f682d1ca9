#include "field/BeamSetup.h"

#include "config/Messages.h"

#include <cassert>
#include <cmath>

namespace ksn {

namespace {

bool Finite(double v) { return std::isfinite(v); }

// 1/sigma^2 of one Gaussian axis, sigma in metres; false when the width cannot describe
// a profile.
bool InverseWidth2(const TGridParms& grid, double sigma, int points, TExtended& inv)
{
    if (!Finite(sigma))
        return false;
    if (sigma == 0.0) {
        // A single row or column has no extent along that axis: no envelope there.
        inv = 0.0L;
        return points == 1;
    }
    const TExtended s = grid.ToMetres(sigma);
    inv = 1.0L / (s * s);
    return std::isfinite(inv);
}

} // namespace

std::string PrepareBeam(const TGridParms& grid, const TFieldOptions& o, TBeamSetup& setup)
{
    // The grid was checked when the configuration was loaded (GridFault).
    assert(grid.scaleFactor > 0.0 && Finite(grid.dx) && Finite(grid.dy));
    if (!(o.lambda > 0.0) || !Finite(o.lambda))
        return "Invalid wavelength.";
    if (!Finite(o.theta) || !Finite(o.rho) || !Finite(o.psi) || !Finite(o.delta) || !Finite(o.amplitude) ||
        !Finite(o.shiftX) || !Finite(o.shiftY) || !Finite(o.shiftZ))
        return "Invalid wave parameters.";

    TBeamSetup s;
    const bool gaussian = o.shape == TBeamShape::gaussian;
    if (gaussian && (!InverseWidth2(grid, o.sigmaX, grid.nx, s.invSigmaX2) ||
                        !InverseWidth2(grid, o.sigmaY, grid.ny, s.invSigmaY2)))
        return "Invalid Gaussian width.";

    // Angles in radians.
    const TExtended toRad = o.angular == TAngular::deg ? 3.141592653589793238462643383279503L / 180.0L : 1.0L;
    s.theta = o.theta * toRad;
    s.rho = o.rho * toRad;
    s.psi = o.psi * toRad;
    s.delta = o.delta * toRad;

    // k0 = 2 pi / lambda (metres); k = k0 (sin(theta) cos(rho), sin(theta) sin(rho), cos(theta)),
    // exactly (0, 0, k0) at normal incidence.
    s.k0 = 6.283185307179586476925286766559006L / grid.ToMetres(o.lambda);
    if (!std::isfinite(s.k0))
        return "Invalid wavelength.";
    if (o.theta != 0.0) {
        s.kx = s.k0 * std::sin(s.theta) * std::cos(s.rho);
        s.ky = s.k0 * std::sin(s.theta) * std::sin(s.rho);
        s.kz = s.k0 * std::cos(s.theta);
    } else {
        s.kx = s.ky = 0.0L;
        s.kz = s.k0;
    }
    setup = s;
    return {};
}

bool BeginBeam(const std::string& head, const TGridParms& grid, const TComplexArray& component,
    const TComplexArray* index, const TFieldOptions& options, TBeamSetup& setup)
{
    if (grid.nx != component.Nx() || grid.ny != component.Ny()) {
        ShowMessage(head + "Grid size does not match the field.");
        return false;
    }
    if (index != nullptr && (index->Nx() != grid.nx || index->Ny() != grid.ny)) {
        ShowMessage(head + "Index array size does not match the grid.");
        return false;
    }
    const std::string why = PrepareBeam(grid, options, setup);
    if (!why.empty()) {
        ShowMessage(head + why);
        return false;
    }
    return true;
}

} // namespace ksn
