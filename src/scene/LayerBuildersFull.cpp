// Layer geometries that evaluate every point: Homog and None (constant), Grating (corner
// frame in the build family, grid steps in the per-slice family), Prism and Slope
// (centred full frame).
#include "scene/LayerBuilders.h"
#include "scene/LayerFrames.h"

#include <cmath>
#include <numbers>

namespace ksn::scene {

namespace {

// Visits every point, rows outer, at x = (c - nx/2)*dx, y = (r - ny/2)*dy (real halves).
// The value is stored and summed into the mean first; a causal smoothing then overwrites
// the stored point ("after storing": the mean keeps the unsmoothed value).
template <class Point>
TComplex FillCentred(TComplexArray& s, const TLevelContext& ctx, const TCausalSmoothing& sm, Point&& point)
{
    const int nx = s.Nx();
    const int ny = s.Ny();
    if (nx < 1 || ny < 1)
        return {};
    const TExtended halfX = TExtended(nx) / 2;
    const TExtended halfY = TExtended(ny) / 2;
    const TExtended dx = ctx.grid.dx;
    const TExtended dy = ctx.grid.dy;
    TExtended sumRe = 0, sumIm = 0;
    for (int iy = 0; iy < ny; ++iy) {
        const TExtended y = (iy - halfY) * dy;
        for (int ix = 0; ix < nx; ++ix) {
            const TComplex v = point((ix - halfX) * dx, y);
            s.SetAt(ix, iy, v);
            sumRe += v.re;
            sumIm += v.im;
        }
        if (sm.variant != TSmoothVariant::none)
            for (int ix = 0; ix < nx; ++ix)
                s.SetAt(ix, iy, CausalSmooth(s, ix, iy, s.At(ix, iy), sm));
    }
    const TExtended count = TExtended(nx) * TExtended(ny);
    return {double(sumRe / count), double(sumIm / count)};
}

// Period index Floor(x/P), -1 for P = 0.
TExtended PeriodIndex(TExtended x, TExtended pitch) { return pitch != 0 ? std::floor(x / pitch) : -1; }

// The build grating's two tests along one axis for the coordinate u in a period k*P:
//   on:  u < k*P + W/2  or  u >= (k+1)*P - W/2        (within W/2 of a period boundary)
//   gap: k*P + P/2 - S/2 <= u < k*P + P/2 + S/2       (within S/2 of the period's middle)
void GratingTests(TExtended u, TExtended pitch, TExtended width, TExtended sep, bool& on, bool& gap)
{
    const TExtended k = PeriodIndex(u, pitch);
    on = u < k * pitch + width / 2 || u >= (k + 1) * pitch - width / 2;
    const TExtended middle = k * pitch + pitch / 2;
    gap = middle - sep / 2 <= u && u < middle + sep / 2;
}

TComplex FillGratingBuild(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const int nx = s.Nx();
    const int ny = s.Ny();
    // The grating occupies the last `height` of the layer.
    const TExtended toEnd = TExtended(l.zStart) + l.thickness - TExtended(ctx.iz) * ctx.grid.dz;
    if (toEnd > l.height) {
        s.Fill(l.nSpace);
        return l.nSpace;
    }
    // Corner frame: x = c*dx + ShiftX, y = r*dy + ShiftY;
    // n = nSubject if (on_x and not gap_y) or (on_y and not gap_x), else nSpace.
    TExtended sumRe = 0, sumIm = 0;
    for (int iy = 0; iy < ny; ++iy) {
        const TExtended y = TExtended(iy) * ctx.grid.dy + l.ShiftY;
        bool onY = false, gapY = false;
        GratingTests(y, l.PitchY, l.WidthY, l.YSep, onY, gapY);
        for (int ix = 0; ix < nx; ++ix) {
            const TExtended x = TExtended(ix) * ctx.grid.dx + l.ShiftX;
            bool onX = false, gapX = false;
            GratingTests(x, l.PitchX, l.WidthX, l.XSep, onX, gapX);
            const TComplex v = (onX && !gapY) || (onY && !gapX) ? l.nSubject : l.nSpace;
            s.SetAt(ix, iy, v);
            sumRe += v.re;
            sumIm += v.im;
        }
    }
    if (l.smooth) {
        BoxSmooth(s);
        return SliceMean(s);
    }
    const TExtended count = TExtended(nx) * TExtended(ny);
    return {double(sumRe / count), double(sumIm / count)};
}

// r = (i + shift) mod p with the sign of the dividend; no period when p = 0.
long long GridRemainder(int i, int shift, int period)
{
    const long long u = (long long)i + shift;
    return period != 0 ? u % period : u;
}

TComplex FillGratingPerSlice(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const int nx = s.Nx();
    const int ny = s.Ny();
    // The grating occupies the first `height` of the layer.
    const TExtended fromStart = TExtended(ctx.iz) * ctx.grid.dz - l.zStart;
    if (fromStart > l.height) {
        s.Fill(l.nSpace);
        return l.nSpace;
    }
    // Whole grid steps: p = Round(Pitch/d), w = Round(Width/d), s = Round(Shift/d);
    // the tooth is r_x <= w_x and r_y <= w_y (w+1 points per period along each axis):
    // rect puts nSpace in the tooth, circ nSubject; another shape repeats the last value.
    const int px = RoundToInt(TExtended(l.PitchX) / ctx.grid.dx), py = RoundToInt(TExtended(l.PitchY) / ctx.grid.dy);
    const int wx = RoundToInt(TExtended(l.WidthX) / ctx.grid.dx), wy = RoundToInt(TExtended(l.WidthY) / ctx.grid.dy);
    const int sx = RoundToInt(TExtended(l.ShiftX) / ctx.grid.dx), sy = RoundToInt(TExtended(l.ShiftY) / ctx.grid.dy);
    const TCausalSmoothing sm = l.smooth ? TCausalSmoothing{TSmoothVariant::halfAbsolute, 0.005L}
                                         : TCausalSmoothing{};
    TComplex previous = l.nSpace;
    TExtended sumRe = 0, sumIm = 0;
    for (int iy = 0; iy < ny; ++iy) {
        const bool toothY = GridRemainder(iy, sy, py) <= wy;
        for (int ix = 0; ix < nx; ++ix) {
            const bool tooth = toothY && GridRemainder(ix, sx, px) <= wx;
            TComplex v = previous;
            if (l.shape == TXSectShape::rect)
                v = tooth ? l.nSpace : l.nSubject;
            else if (l.shape == TXSectShape::circ)
                v = tooth ? l.nSubject : l.nSpace;
            previous = v;
            v = CausalSmooth(s, ix, iy, v, sm);
            s.SetAt(ix, iy, v);
            sumRe += v.re;
            sumIm += v.im;
        }
    }
    const TExtended count = TExtended(nx) * TExtended(ny);
    return {double(sumRe / count), double(sumIm / count)};
}

} // namespace

TComplex FillConstant(TComplexArray& s, const TLevelContext& ctx)
{
    s.Fill(ctx.layer.nSubject);
    return ctx.layer.nSubject;
}

// Grating: the two families use different models (corner frame with bar gaps in the
// build, whole grid steps with a rectangular tooth per period in the per-slice path).
TComplex FillGrating(TComplexArray& s, const TLevelContext& ctx)
{
    if (s.Nx() < 1 || s.Ny() < 1)
        return {};
    return ctx.family == TBuilderFamily::build ? FillGratingBuild(s, ctx) : FillGratingPerSlice(s, ctx);
}

// Prism: a wedge whose edge moves along x by gradientX per unit of depth w,
//   n = nSubject if |x| <= WidthX/2, |y| <= WidthY/2 and x >= -WidthX/2 + gradientX*w.
// Smoothing after storing: four-point real part, |.| > 0.0125 (build) / three-neighbour
// signed > 0.125 (per slice).
TComplex FillPrism(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended halfW = TExtended(l.WidthX) / 2;
    const TExtended halfH = TExtended(l.WidthY) / 2;
    const TExtended edge = -halfW + TExtended(l.gradientX) * ctx.Depth();
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::fourReal, 0.0125L, TSmoothVariant::halfSigned, 0.125L);
    return FillCentred(s, ctx, sm, [&](TExtended x, TExtended y) {
        return std::fabs(x) <= halfW && std::fabs(y) <= halfH && x >= edge ? l.nSubject : l.nSpace;
    });
}

// Slope: inside the rectangle X0 <= x <= X0 + WidthX, Y0 <= y <= Y0 + WidthY a slab of
// thickness `height` along z whose faces tilt with x; nSpace elsewhere. At depth w:
//   build:     t = tan(gradientX*pi/180) (degrees); nSubject if ShiftZ + x*t <= w <= ShiftZ + x*t + height
//   per slice: gradientX a slope ratio, b = x/gradientX + ShiftZ - height/2;
//              nSubject if b <= w <= b + height/cos(arctan(gradientX)) (none for gradientX = 0)
// Smoothing after storing: three-neighbour on both parts, |.| > 0.005 (build) / real part
// signed > 0.125 (per slice).
TComplex FillSlope(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended w = ctx.Depth();
    const TExtended xLo = l.X0, xHi = TExtended(l.X0) + l.WidthX;
    const TExtended yLo = l.Y0, yHi = TExtended(l.Y0) + l.WidthY;
    const TExtended g = l.gradientX;
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::halfBoth, 0.005L, TSmoothVariant::halfSigned, 0.125L);
    if (ctx.family == TBuilderFamily::build) {
        const TExtended t = std::tan(g * std::numbers::pi_v<TExtended> / 180);
        return FillCentred(s, ctx, sm, [&](TExtended x, TExtended y) {
            if (x < xLo || x > xHi || y < yLo || y > yHi)
                return l.nSpace;
            const TExtended face = TExtended(l.ShiftZ) + x * t;
            return face <= w && w <= face + l.height ? l.nSubject : l.nSpace;
        });
    }
    const TExtended along = g != 0 ? TExtended(l.height) / std::cos(std::atan(g)) : 0;
    return FillCentred(s, ctx, sm, [&](TExtended x, TExtended y) {
        if (g == 0 || x < xLo || x > xHi || y < yLo || y > yHi)
            return l.nSpace;
        const TExtended b = x / g + l.ShiftZ - TExtended(l.height) / 2;
        return b <= w && w <= b + along ? l.nSubject : l.nSpace;
    });
}

} // namespace ksn::scene
