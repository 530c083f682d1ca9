// Layer geometries on the mirrored quadrant frame: Sphere, Wguide, LinSymSplitter,
// ExpSymSplitter, ExpTaper. Only the quadrant of negative offsets is evaluated; every
// structure off the axis is accompanied by its mirror images.
#include "scene/LayerBuilders.h"
#include "scene/LayerFrames.h"

#include "config/Messages.h"

namespace ksn::scene {

void TShapeWarning::Warn()
{
    if (myShown)
        return;
    myShown = true;
    ShowMessage(myMessage);
}

namespace {

// Visits the quadrant 0 <= c < hx, 0 <= r < hy (rows outer, both increasing) at
// x = (c - hx)*dx, y = (r - hy)*dy, smooths each value causally (before storing), stores
// it at its mirror points and returns the level mean.
template <class Point>
TComplex FillQuadrant(TComplexArray& s, const TLevelContext& ctx, const TCausalSmoothing& sm, Point&& point)
{
    const TQuadrantFrame q(s.Nx(), s.Ny());
    if (q.nx < 1 || q.ny < 1)
        return {};
    const TExtended dx = ctx.grid.dx;
    const TExtended dy = ctx.grid.dy;
    TExtended sumRe = 0, sumIm = 0;
    if (sm.variant == TSmoothVariant::none) {
        for (int iy = 0; iy < q.hy; ++iy) {
            const TExtended y = TExtended(iy - q.hy) * dy;
            for (int ix = 0; ix < q.hx; ++ix) {
                const TComplex v = point(TExtended(ix - q.hx) * dx, y);
                StoreMirrored(s, q, ix, iy, v);
                sumRe += v.re;
                sumIm += v.im;
            }
        }
    } else {
        for (int iy = 0; iy < q.hy; ++iy) {
            const TExtended y = TExtended(iy - q.hy) * dy;
            for (int ix = 0; ix < q.hx; ++ix) {
                const TComplex v = CausalSmooth(s, ix, iy, point(TExtended(ix - q.hx) * dx, y), sm);
                StoreMirrored(s, q, ix, iy, v);
                sumRe += v.re;
                sumIm += v.im;
            }
        }
    }
    return QuadrantMean(s, q, sumRe, sumIm);
}

} // namespace

// Sphere: centre at z_c = zStart + thickness + ShiftZ on the grid axis. For level iz,
// dz' = z_c - iz*dz and
//   rho^2 = x^2 + y^2 (circ)   or   (max(x, y))^2 on the signed offsets (rect),
//   dist  = sqrt(dz'^2 + rho^2);   n = nSpace if dist > Radius, else nSubject.
// Smoothing: three-neighbour, signed, 0.055 (build) / 0.125 (per slice).
TComplex FillSphere(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended zc = TExtended(l.zStart) + l.thickness + l.ShiftZ;
    const TExtended dzp = zc - TExtended(ctx.iz) * ctx.grid.dz;
    const TExtended dzp2 = dzp * dzp;
    const TExtended radius = l.Radius;
    const bool circ = l.shape == TXSectShape::circ;
    const bool rect = l.shape == TXSectShape::rect;
    if (!circ && !rect)
        ctx.warning.Warn(); // lateral term 0 for every point
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::halfSigned, 0.055L, TSmoothVariant::halfSigned, 0.125L);
    return FillQuadrant(s, ctx, sm, [&](TExtended x, TExtended y) {
        TExtended rho2 = 0;
        if (circ)
            rho2 = x * x + y * y;
        else if (rect) {
            const TExtended m = x > y ? x : y;
            rho2 = m * m;
        }
        return std::sqrt(dzp2 + rho2) > radius ? l.nSpace : l.nSubject;
    });
}

// Wguide: a guide along z centred at (X0, Y0), graded linearly from its axis:
//   d = distance(x - X0, y - Y0);  n = nSpace if d > DiamIn/2, else nSubject + d*deltaN.
// Smoothing: build 3 x 3 box after filling (mean of the smoothed slice); per slice
// four-point complex average, |Re v - Re a| > 0.125, before storing.
TComplex FillWGuide(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended x0 = l.X0, y0 = l.Y0;
    const TExtended halfDiam = TExtended(l.DiamIn) / 2;
    const bool known = l.shape == TXSectShape::rect || l.shape == TXSectShape::circ;
    if (!known)
        ctx.warning.Warn(); // distance 0 for every point
    const TCausalSmoothing sm = ctx.family == TBuilderFamily::perSlice && ctx.Smooth()
                                    ? TCausalSmoothing{TSmoothVariant::fourComplex, 0.125L}
                                    : TCausalSmoothing{};
    const TComplex mean = FillQuadrant(s, ctx, sm, [&](TExtended x, TExtended y) {
        TExtended d = 0;
        ShapeDistance(l.shape, x - x0, y - y0, d);
        return d > halfDiam ? l.nSpace : Graded(l.nSubject, l.deltaN, d);
    });
    if (ctx.family == TBuilderFamily::build && ctx.Smooth()) {
        BoxSmooth(s);
        return SliceMean(s);
    }
    return mean;
}

// LinSymSplitter: at depth w the arm has diameter D = DiamIn + (DiamOut - DiamIn)*w/thickness,
// radius R = D/2 and centre (X0 - gradientX*w, Y0 - gradientY*w); with the mirroring two
// (or four) arms move apart linearly along z.
//   n = nSpace if d > R, else nSubject + (deltaN/R)*d.
// An unknown shape sets R = 0: the whole level is nSpace.
// Smoothing: three-neighbour, absolute > 0.0125 (build) / signed > 0.125 (per slice).
TComplex FillLinSymSplitter(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended w = ctx.Depth();
    const TExtended fraction = l.thickness != 0 ? w / l.thickness : 0;
    TExtended radius = (TExtended(l.DiamIn) + (TExtended(l.DiamOut) - l.DiamIn) * fraction) / 2;
    const TExtended cx = TExtended(l.X0) - l.gradientX * w;
    const TExtended cy = TExtended(l.Y0) - l.gradientY * w;
    if (l.shape != TXSectShape::rect && l.shape != TXSectShape::circ) {
        ctx.warning.Warn();
        radius = 0;
    }
    // deltaN/R, the index change per length unit from the arm's axis to its rim.
    const TComplex slope = radius > 0 ? TComplex{double(l.deltaN.re / radius), double(l.deltaN.im / radius)}
                                      : TComplex{};
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::halfAbsolute, 0.0125L, TSmoothVariant::halfSigned, 0.125L);
    return FillQuadrant(s, ctx, sm, [&](TExtended x, TExtended y) {
        if (!(radius > 0))
            return l.nSpace;
        TExtended d = 0;
        ShapeDistance(l.shape, x - cx, y - cy, d);
        return d > radius ? l.nSpace : Graded(l.nSubject, slope, d);
    });
}

// ExpSymSplitter, with s = scaleFactor (lengths to metres, TGridParms::ToMetres),
// L = thickness*s and at depth w
//   E   = (1 - e^(w*s)) / (1 - e^L)                    (0 at the first level, towards 1)
//   c_x = Xin - (Xout - Xin)*E,  c_y = Yin - (Yout - Yin)*E    (configuration units)
//   D   = DiamIn*s + (DiamOut*s - DiamIn*s)*(w*s)/L
//   x'  = (c - hx)*dx*s - c_x,  y' = (r - hy)*dy*s - c_y
//   d   = sqrt(x'^2 + y'^2) (circ) or max(|x'|, |y'|) (rect, the square cross-section;
//         the signed max(x', y') would make the arm a quarter plane with an index
//         graded without bound away from it)
//   n   = nSubject + (nSpace - nSubject)*(d*s)/D if D/2 >= d, else nSpace.
// Smoothing: three-neighbour, signed > 0.125, both families.
TComplex FillExpSymSplitter(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TGridParms& g = ctx.grid;
    const TExtended ws = g.ToMetres(ctx.Depth());
    const TExtended bigL = g.ToMetres(l.thickness);
    // (1 - e^a)/(1 - e^b) = expm1(a)/expm1(b); for exponents beyond the extended range the
    // ratio is e^(a - b) to within e^-b.
    TExtended e = bigL != 0 ? std::expm1(ws) / std::expm1(bigL) : 0;
    if (!std::isfinite(double(e)))
        e = std::exp(ws - bigL);
    const TExtended cx = TExtended(l.Xin) - (TExtended(l.Xout) - l.Xin) * e;
    const TExtended cy = TExtended(l.Yin) - (TExtended(l.Yout) - l.Yin) * e;
    const TExtended diamIn = g.ToMetres(l.DiamIn);
    const TExtended diamOut = g.ToMetres(l.DiamOut);
    const TExtended diam = bigL != 0 ? diamIn + (diamOut - diamIn) * ws / bigL : diamIn;
    const bool circ = l.shape == TXSectShape::circ;
    const bool rect = l.shape == TXSectShape::rect;
    if (!circ && !rect)
        ctx.warning.Warn(); // distance 0 for every point
    const TComplex step = CSub(l.nSpace, l.nSubject);
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::halfSigned, 0.125L, TSmoothVariant::halfSigned, 0.125L);
    return FillQuadrant(s, ctx, sm, [&](TExtended x, TExtended y) {
        const TExtended xp = g.ToMetres(x) - cx;
        const TExtended yp = g.ToMetres(y) - cy;
        TExtended d = 0;
        if (circ)
            d = std::sqrt(xp * xp + yp * yp);
        else if (rect)
            ShapeDistance(TXSectShape::rect, xp, yp, d);
        if (diam == 0 || !(diam / 2 >= d))
            return l.nSpace;
        return Graded(l.nSubject, step, g.ToMetres(d) / diam);
    });
}

// ExpTaper, centred on the grid axis: the core radius halves every expHalfWidth and never
// drops below DiamOut/2,
//   r = DiamIn*e^(-ln2*w/expHalfWidth)/2, raised to DiamOut/2 when DiamOut > 2r;
//   d = distance(|x|, |y|);  n = nSubject + d*deltaN if d <= r, else nSpace.
// Smoothing: three-neighbour, absolute >= 0.005 (build) / signed > 0.125 (per slice).
TComplex FillExpTaper(TComplexArray& s, const TLevelContext& ctx)
{
    const TLayerParms& l = ctx.layer;
    const TExtended w = ctx.Depth();
    // expHalfWidth = 0 is the limit of an abrupt step: DiamIn at the first level only.
    const TExtended decay =
        l.expHalfWidth != 0 ? std::exp(-std::log(TExtended(2)) * w / l.expHalfWidth) : (w == 0 ? 1 : 0);
    TExtended radius = TExtended(l.DiamIn) * decay / 2;
    if (TExtended(l.DiamOut) > 2 * radius)
        radius = TExtended(l.DiamOut) / 2;
    if (l.shape != TXSectShape::rect && l.shape != TXSectShape::circ)
        ctx.warning.Warn(); // distance 0 for every point
    const TCausalSmoothing sm =
        ChooseSmoothing(ctx, TSmoothVariant::halfAbsoluteEq, 0.005L, TSmoothVariant::halfSigned, 0.125L);
    return FillQuadrant(s, ctx, sm, [&](TExtended x, TExtended y) {
        TExtended d = 0;
        ShapeDistance(l.shape, std::fabs(x), std::fabs(y), d);
        return d <= radius ? Graded(l.nSubject, l.deltaN, d) : l.nSpace;
    });
}

} // namespace ksn::scene
