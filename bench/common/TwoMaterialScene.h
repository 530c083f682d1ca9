#pragma once
// The scene of the step benchmarks: two materials, so that every step has two index
// tuples. A disc of index 1.52 (a slab on a one-row grid) of radius max(nx, ny)/6 points
// is entered from a uniform slice of 1.50; the beam is a Gaussian of width max(nx, ny)/5
// points tilted by 0.2 k0 along x. dx = dy = 0.5 um, dz = 0.25 um, lambda = 1 um.
#include "config/Records.h"
#include "numerics/ComplexArray.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ksn::bench {

struct TShape {
    int nx, ny;
};

// The grids every step benchmark covers.
inline constexpr TShape kShapes[] = {{64, 64}, {256, 256}, {512, 512}, {1024, 1}};

inline std::string ShapeName(int nx, int ny) { return std::to_string(nx) + "x" + std::to_string(ny); }

struct TTwoMaterialScene {
    static constexpr double kLambda = 1e-6; // metres

    TGridParms grid;
    TComplexArray previous, current;

    TTwoMaterialScene(int nx, int ny) : previous(nx, ny), current(nx, ny)
    {
        grid.nx = nx;
        grid.ny = ny;
        grid.nz = 2;
        grid.scaleFactor = 1e-6;
        grid.dx = grid.dy = 0.5;
        grid.dz = 0.25;
        const double radius = std::max(nx, ny) / 6.0;
        for (int r = 0; r < ny; ++r)
            for (int c = 0; c < nx; ++c) {
                const double u = c - nx / 2.0, v = ny > 1 ? r - ny / 2.0 : 0.0;
                previous.SetAt(c, r, {1.50, 0.0});
                current.SetAt(c, r, {u * u + v * v <= radius * radius ? 1.52 : 1.50, 0.0});
            }
    }

    // The beam's amplitude at point (c, r).
    TComplex Beam(int c, int r) const
    {
        const double k0 = 2.0 * 3.14159265358979323846 / kLambda;
        const double width = std::max(grid.nx, grid.ny) * 0.5e-6 / 5.0;
        const double x = (c - grid.nx / 2.0) * 0.5e-6, y = grid.ny > 1 ? (r - grid.ny / 2.0) * 0.5e-6 : 0.0;
        const double a = std::exp(-(x * x + y * y) / (width * width));
        return {a * std::cos(0.2 * k0 * x), a * std::sin(0.2 * k0 * x)};
    }
};

} // namespace ksn::bench
