#pragma once
// Small grids and layer records for the scene tests.
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "scene/BrelScenes.h"

#include <gtest/gtest.h>

#include <vector>

namespace ksn::test {

inline TGridParms SceneGrid(int nx, int ny, int nz, double dx = 1.0, double dy = 1.0, double dz = 1.0)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.nz = nz;
    g.dx = dx;
    g.dy = dy;
    g.dz = dz;
    g.X = nx * dx;
    g.Y = ny * dy;
    g.Z = nz * dz;
    g.scaleFactor = 1.0;
    return g;
}

inline TLayerParms Layer(TLayerType type, double zStart, double thickness, TComplex nSubject = {1.5, 0.0},
    TComplex nSpace = {1.0, 0.0})
{
    TLayerParms l;
    l.type = type;
    l.zStart = zStart;
    l.thickness = thickness;
    l.nSubject = nSubject;
    l.nSpace = nSpace;
    l.shape = TXSectShape::circ;
    return l;
}

// A scene holding the given layers in order, built in the chosen mode.
inline std::unique_ptr<TBrelScenes> MakeScene(const TGridParms& grid, const std::vector<TLayerParms>& layers,
    bool largeScene)
{
    auto scene = std::make_unique<TBrelScenes>(0, grid, largeScene);
    for (size_t i = 0; i < layers.size(); ++i)
        scene->Replace(int(i), layers[i]);
    if (!largeScene)
        scene->BuildSystemArray();
    return scene;
}

inline int CountValue(const TComplexArray& s, TComplex v)
{
    int count = 0;
    for (int iy = 0; iy < s.Ny(); ++iy)
        for (int ix = 0; ix < s.Nx(); ++ix)
            count += s.At(ix, iy) == v ? 1 : 0;
    return count;
}

// Direct average of every value the slice holds.
inline TComplex DirectMean(const TComplexArray& s)
{
    long double re = 0, im = 0;
    for (int iy = 0; iy < s.Ny(); ++iy)
        for (int ix = 0; ix < s.Nx(); ++ix) {
            re += s.At(ix, iy).re;
            im += s.At(ix, iy).im;
        }
    const long double n = (long double)s.Nx() * s.Ny();
    return {double(re / n), double(im / n)};
}

} // namespace ksn::test
