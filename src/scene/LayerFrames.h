#pragma once
// Lateral frames, distance measures, smoothing variants and the level mean shared by
// the layer builders of the scene. Internal to the scene library.
//
// Frames (grid point column c, row r; spacings dx, dy in the configuration's unit):
//   mirrored quadrant: hx = Round(nx/2), hy = Round(ny/2) (halves to even, at least 1);
//       only 0 <= c < hx, 0 <= r < hy is evaluated, at x = (c - hx)*dx, y = (r - hy)*dy
//       (both negative), and each value is stored at its four mirror points;
//   centred full:      every point, at x = (c - nx/2)*dx, y = (r - ny/2)*dy (real halves).
#include "config/Records.h"
#include "numerics/Complex.h"
#include "numerics/ComplexArray.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace ksn::scene {

// Round to the nearest integer, halves to the even neighbour, clamped to the int range
// (so that absurd lengths in a file give a huge count instead of undefined behaviour).
inline int RoundToInt(TExtended v)
{
    if (!(v == v))
        return 0;
    const TExtended r = std::nearbyint(v);
    if (r >= TExtended(INT_MAX))
        return INT_MAX;
    if (r <= TExtended(INT_MIN))
        return INT_MIN;
    return int(r);
}

struct TQuadrantFrame {
    int nx = 0, ny = 0, hx = 1, hy = 1;
    TQuadrantFrame(int nxIn, int nyIn) : nx(nxIn), ny(nyIn)
    {
        hx = RoundToInt(TExtended(nx) / 2);
        hy = RoundToInt(TExtended(ny) / 2);
        if (hx < 1)
            hx = 1;
        if (hy < 1)
            hy = 1;
    }
};

// Stores v at (ix, iy) and its mirror images (nx-1-ix, iy), (nx-1-ix, ny-1-iy),
// (ix, ny-1-iy); with nx = 1 or ny = 1 only the distinct points along the other axis.
inline void StoreMirrored(TComplexArray& s, const TQuadrantFrame& q, int ix, int iy, TComplex v)
{
    const int mx = q.nx - 1 - ix;
    const int my = q.ny - 1 - iy;
    if (q.nx == 1) {
        s.SetAt(0, iy, v);
        s.SetAt(0, my, v);
    } else if (q.ny == 1) {
        s.SetAt(ix, 0, v);
        s.SetAt(mx, 0, v);
    } else {
        s.SetAt(ix, iy, v);
        s.SetAt(mx, iy, v);
        s.SetAt(mx, my, v);
        s.SetAt(ix, my, v);
    }
}

// Distance of an offset by cross-section: rect -> max(|x|, |y|), circ -> sqrt(x^2 + y^2).
// Returns false for a shape that is neither.
inline bool ShapeDistance(TXSectShape shape, TExtended x, TExtended y, TExtended& d)
{
    if (shape == TXSectShape::rect) {
        d = std::fabs(x) > std::fabs(y) ? std::fabs(x) : std::fabs(y);
        return true;
    }
    if (shape == TXSectShape::circ) {
        d = std::sqrt(x * x + y * y);
        return true;
    }
    d = 0;
    return false;
}

// a + b*t for a complex a, b and a real t, carried in extended precision.
inline TComplex Graded(TComplex a, TComplex b, TExtended t)
{
    return {double(a.re + b.re * t), double(a.im + b.im * t)};
}

// Causal smoothing variants applied while a slice is filled (raster order, rows outer).
enum class TSmoothVariant : std::uint8_t {
    none,
    halfSigned,     // three-neighbour halving, Re v - m > threshold
    halfAbsolute,   // three-neighbour halving, |Re v - m| > threshold
    halfAbsoluteEq, // three-neighbour halving, |Re v - m| >= threshold
    fourComplex,    // four-point average, both parts replaced
    fourReal,       // four-point average, real part only
    halfBoth        // three-neighbour halving of both parts, test on either part
};

struct TCausalSmoothing {
    TSmoothVariant variant = TSmoothVariant::none;
    TExtended threshold = 0;
};

// The smoothed value of v at (ix, iy), reading the neighbours (ix-1, iy), (ix-1, iy-1)
// and (ix, iy-1) that are already stored in s (nx, ny: the slice's size).
//   three-neighbour: m = (Re a + Re b + Re c)/3; if test(Re v - m) then Re v := (Re v + m)/2
//   four-point:      a = (v + a + b + c)/4 (nx = 1 or ny = 1: (v + the one neighbour)/2);
//                    if |Re v - Re a| > threshold then v := a (complex) or Re v := Re a
TComplex CausalSmooth(const TComplexArray& s, int ix, int iy, TComplex v, const TCausalSmoothing& sm);

// In-place 3 x 3 box average (weights 1, divisor 9; indices clamped to the edges), in
// raster order so that already-replaced neighbours contribute their new values; with
// nx = 1 or ny = 1 the 3-point average along the other axis. Both parts.
void BoxSmooth(TComplexArray& s);

// Average of all values the slice holds: sum / (nx*ny).
TComplex SliceMean(const TComplexArray& s);

// Mean of a quadrant-frame slice from the sum of its evaluated values. Each value is
// held four times only when nx and ny are both even; otherwise the slice is summed.
TComplex QuadrantMean(const TComplexArray& s, const TQuadrantFrame& q, TExtended sumRe, TExtended sumIm);

} // namespace ksn::scene
