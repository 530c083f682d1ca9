#pragma once
// Grids and waves shared by the field tests.
#include "config/Records.h"

namespace ksn::test {

// nx x ny grid in micrometres with the given spacing.
inline TGridParms MicronGrid(int nx, int ny, double dx = 0.25, double dy = 0.25)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.nz = 4;
    g.scaleFactor = 1e-6;
    g.dx = dx;
    g.dy = dy;
    g.dz = 0.5;
    g.X = nx * dx;
    g.Y = ny * dy;
    g.Z = 2.0;
    return g;
}

// Plane wave of amplitude 1 at 1 micrometre, normal incidence, polarised along x.
inline TFieldOptions PlaneWave(double amplitude = 1.0)
{
    TFieldOptions w;
    w.angular = TAngular::deg;
    w.shape = TBeamShape::plane;
    w.lambda = 1.0;
    w.amplitude = amplitude;
    return w;
}

} // namespace ksn::test
