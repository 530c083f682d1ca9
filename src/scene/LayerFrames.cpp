#include "scene/LayerFrames.h"

#include <algorithm>

namespace ksn::scene {

TComplex CausalSmooth(const TComplexArray& s, int ix, int iy, TComplex v, const TCausalSmoothing& sm)
{
    const int nx = s.Nx();
    const int ny = s.Ny();
    switch (sm.variant) {
    case TSmoothVariant::none:
        return v;
    case TSmoothVariant::halfSigned:
    case TSmoothVariant::halfAbsolute:
    case TSmoothVariant::halfAbsoluteEq: {
        // m = mean of the real parts of the three causal neighbours; Re v := (Re v + m)/2.
        if (ix <= 0 || iy <= 0)
            return v;
        const TExtended m =
            (TExtended(s.At(ix - 1, iy).re) + s.At(ix - 1, iy - 1).re + s.At(ix, iy - 1).re) / 3;
        const TExtended diff = TExtended(v.re) - m;
        bool apply = false;
        if (sm.variant == TSmoothVariant::halfSigned)
            apply = diff > sm.threshold;
        else if (sm.variant == TSmoothVariant::halfAbsolute)
            apply = std::fabs(diff) > sm.threshold;
        else
            apply = std::fabs(diff) >= sm.threshold;
        if (apply)
            v.re = double((TExtended(v.re) + m) / 2);
        return v;
    }
    case TSmoothVariant::halfBoth: {
        // Both parts averaged over the three causal neighbours; halfway when either differs.
        if (ix <= 0 || iy <= 0)
            return v;
        const TComplex a = s.At(ix - 1, iy), b = s.At(ix - 1, iy - 1), c = s.At(ix, iy - 1);
        const TExtended mr = (TExtended(a.re) + b.re + c.re) / 3;
        const TExtended mi = (TExtended(a.im) + b.im + c.im) / 3;
        if (std::fabs(v.re - mr) > sm.threshold || std::fabs(v.im - mi) > sm.threshold) {
            v.re = double((v.re + mr) / 2);
            v.im = double((v.im + mi) / 2);
        }
        return v;
    }
    case TSmoothVariant::fourComplex:
    case TSmoothVariant::fourReal: {
        // a = (v + v(ix-1,iy) + v(ix-1,iy-1) + v(ix,iy-1))/4, or the 2-point form on a line.
        TExtended aRe = 0, aIm = 0;
        if (nx == 1 && ny == 1)
            return v;
        if (nx == 1) {
            if (iy <= 0)
                return v;
            const TComplex p = s.At(0, iy - 1);
            aRe = (TExtended(v.re) + p.re) / 2;
            aIm = (TExtended(v.im) + p.im) / 2;
        } else if (ny == 1) {
            if (ix <= 0)
                return v;
            const TComplex p = s.At(ix - 1, 0);
            aRe = (TExtended(v.re) + p.re) / 2;
            aIm = (TExtended(v.im) + p.im) / 2;
        } else {
            if (ix <= 0 || iy <= 0)
                return v;
            const TComplex a = s.At(ix - 1, iy), b = s.At(ix - 1, iy - 1), c = s.At(ix, iy - 1);
            aRe = (TExtended(v.re) + a.re + b.re + c.re) / 4;
            aIm = (TExtended(v.im) + a.im + b.im + c.im) / 4;
        }
        if (std::fabs(v.re - aRe) > sm.threshold) {
            v.re = double(aRe);
            if (sm.variant == TSmoothVariant::fourComplex)
                v.im = double(aIm);
        }
        return v;
    }
    }
    return v;
}

void BoxSmooth(TComplexArray& s)
{
    const int nx = s.Nx();
    const int ny = s.Ny();
    if (nx < 1 || ny < 1)
        return;
    double* re = s.Re();
    double* im = s.Im();
    const auto at = [nx](int ix, int iy) { return size_t(ix) + size_t(iy) * size_t(nx); };
    // Line grids: v(i) := (v(i-1) + v(i) + v(i+1))/3 along the one axis, ends clamped.
    if (nx == 1 || ny == 1) {
        // A single column or row is one contiguous block either way.
        const int n = nx == 1 ? ny : nx;
        for (int i = 0; i < n; ++i) {
            const size_t k0 = size_t(std::max(i - 1, 0));
            const size_t k1 = size_t(i);
            const size_t k2 = size_t(std::min(i + 1, n - 1));
            re[k1] = double((TExtended(re[k0]) + re[k1] + re[k2]) / 3);
            im[k1] = double((TExtended(im[k0]) + im[k1] + im[k2]) / 3);
        }
        return;
    }
    // v(c, r) := sum over c-1..c+1, r-1..r+1 (clamped) of v / 9, in place, rows outer.
    for (int iy = 0; iy < ny; ++iy) {
        const int y0 = std::max(iy - 1, 0), y2 = std::min(iy + 1, ny - 1);
        for (int ix = 0; ix < nx; ++ix) {
            const int x0 = std::max(ix - 1, 0), x2 = std::min(ix + 1, nx - 1);
            const int xs[3] = {x0, ix, x2};
            const int ys[3] = {y0, iy, y2};
            TExtended sumRe = 0, sumIm = 0;
            for (int b = 0; b < 3; ++b)
                for (int a = 0; a < 3; ++a) {
                    sumRe += re[at(xs[a], ys[b])];
                    sumIm += im[at(xs[a], ys[b])];
                }
            re[at(ix, iy)] = double(sumRe / 9);
            im[at(ix, iy)] = double(sumIm / 9);
        }
    }
}

TComplex SliceMean(const TComplexArray& s)
{
    const size_t count = size_t(s.Count());
    if (count == 0)
        return {};
    // mean = (sum of all values) / (nx*ny)
    const double* re = s.Re();
    const double* im = s.Im();
    TExtended sumRe = 0, sumIm = 0;
    for (size_t k = 0; k < count; ++k) {
        sumRe += re[k];
        sumIm += im[k];
    }
    return {double(sumRe / TExtended(count)), double(sumIm / TExtended(count))};
}

TComplex QuadrantMean(const TComplexArray& s, const TQuadrantFrame& q, TExtended sumRe, TExtended sumIm)
{
    // Even sizes: the quadrant tiles the slice exactly, mean = 4*sum(v)/(nx*ny). Odd sizes
    // (and nx = 1 or ny = 1) leave columns or rows unwritten or written twice; there the
    // slice itself is averaged, so that the reference index is what the slice holds.
    if (q.nx % 2 == 0 && q.ny % 2 == 0 && q.nx > 0 && q.ny > 0) {
        const TExtended count = TExtended(q.nx) * TExtended(q.ny);
        return {double(4 * sumRe / count), double(4 * sumIm / count)};
    }
    return SliceMean(s);
}

} // namespace ksn::scene
