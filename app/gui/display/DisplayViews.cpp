#include "DisplayViews.h"

#include "display/NumberFormat.h"
#include "numerics/Complex.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <numbers>

namespace ksn::gui {

std::string UnitText(double scaleFactor)
{
    if (scaleFactor == 1e-3)
        return "mm";
    if (scaleFactor == 1e-6)
        return "\xC2\xB5m"; // µm
    if (scaleFactor == 1e-9)
        return "nm";
    return "m";
}

namespace {

// A centred axis of n points spaced d: -n*d/2 … n*d/2, or -pi/d … pi/d as frequency.
TMapAxis Axis(double lo, double hi, const std::string& name, const std::string& unit)
{
    return {lo, hi, name + " [" + unit + "]", name, unit};
}

TMapAxis CentredAxis(const char* name, int n, double d, const std::string& unit, bool spectral)
{
    if (spectral && d > 0)
        return Axis(-std::numbers::pi / d, std::numbers::pi / d, std::string("k") + name, "1/" + unit);
    return Axis(-n * d / 2, n * d / 2, name, unit);
}

TMapAxis ZAxis(int nz, double dz, const std::string& unit, bool spectral)
{
    if (spectral && dz > 0)
        return Axis(-std::numbers::pi / dz, std::numbers::pi / dz, "kz", "1/" + unit);
    return Axis(0, nz * dz, "z", unit);
}

std::string Shortest(double v)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, v);
    return std::string(text, result.ptr);
}

// " <i> ", as the grid writer labels its rows.
std::string RowLabel(int i)
{
    std::string label(1, ' ');
    label += std::to_string(i);
    label += ' ';
    return label;
}

std::string IndexText(TComplex n)
{
    if (std::signbit(n.im) && !std::isnan(n.im))
        return Shortest(n.re) + "-" + Shortest(-n.im) + "i";
    return Shortest(n.re) + "+" + Shortest(n.im) + "i";
}

} // namespace

TMapAxes MapAxes(int orientation, const TGridParms& grid, bool spectral)
{
    const std::string unit = UnitText(grid.scaleFactor);
    switch (orientation) {
    case kXZ:
        return {ZAxis(grid.nz, grid.dz, unit, spectral), CentredAxis("x", grid.nx, grid.dx, unit, spectral)};
    case kYZ:
        return {ZAxis(grid.nz, grid.dz, unit, spectral), CentredAxis("y", grid.ny, grid.dy, unit, spectral)};
    default:
        return {CentredAxis("x", grid.nx, grid.dx, unit, spectral), CentredAxis("y", grid.ny, grid.dy, unit, spectral)};
    }
}

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

bool ApplyFourierView(TComplexArray& array, TFourierView view)
{
    if (view == TFourierView::none)
        return true;
    if (!IsPowerOfTwo(array.Nx()) || !IsPowerOfTwo(array.Ny()))
        return false;
    const bool forward = view == TFourierView::fft;
    array.FFT(forward ? +1 : -1);
    array.XAxis().SetSpectral(forward);
    array.YAxis().SetSpectral(forward);
    return true;
}

void ClipParts(TComplexArray& array, double level)
{
    if (!(level >= 0))
        return;
    const size_t n = size_t(array.Count());
    for (double* part : {array.Re(), array.Im()})
        for (size_t k = 0; k < n; ++k)
            if (std::fabs(part[k]) > level)
                part[k] = std::copysign(level, part[k]);
}

void RealView(const TComplexArray& array, TRealView view, std::vector<double>& out)
{
    const size_t n = size_t(array.Count());
    out.resize(n);
    const double* re = array.Re();
    const double* im = array.Im();
    switch (view) {
    case TRealView::real:
        std::copy(re, re + n, out.begin());
        break;
    case TRealView::imag:
        std::copy(im, im + n, out.begin());
        break;
    case TRealView::modulus:
        for (size_t k = 0; k < n; ++k)
            out[k] = std::hypot(re[k], im[k]);
        break;
    }
}

bool FullAmplitude(const TComplexArray& ex, const TComplexArray& ey, const TComplexArray& ez, TComplexArray& out)
{
    const int nx = ex.Nx(), ny = ex.Ny();
    if (ey.Nx() != nx || ey.Ny() != ny || ez.Nx() != nx || ez.Ny() != ny)
        return false;
    out.SetSize(0, nx);
    out.SetSize(1, ny);
    out.ToCartesian();
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const TComplex a = ex.At(x, y), b = ey.At(x, y), c = ez.At(x, y);
            out.SetAt(x, y, CSqrt(CAdd3(CMul(a, a), CMul(b, b), CMul(c, c))));
        }
    return true;
}

bool LayerProfile(TComplexArray& array, int axis, int index, const TMapAxes& axes, TProfile& out)
{
    if (axis != 0 && axis != 1)
        return false;
    const bool alongX = axis == 0;
    const int lines = alongX ? array.Ny() : array.Nx();
    index = std::clamp(index, 0, std::max(0, lines - 1));
    out.values.SetBase(array.Base());
    if (alongX)
        array.GetRow(index + array.Base(), out.values);
    else
        array.GetColumn(index + array.Base(), out.values);
    const TMapAxis& map = alongX ? axes.horizontal : axes.vertical;
    const int n = out.values.Count();
    out.position.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        out.position[size_t(i)] = map.lo + i * (map.hi - map.lo) / n;
    return true;
}

std::string LineText(const TMapAxes& axes, int axis, int index, int lines)
{
    const TMapAxis& along = axis == 0 ? axes.horizontal : axes.vertical;
    const TMapAxis& across = axis == 0 ? axes.vertical : axes.horizontal;
    const double at = across.lo + index * (across.hi - across.lo) / std::max(lines, 1);
    char value[40];
    std::snprintf(value, sizeof value, "%.4g", std::fabs(at) < 1e-12 * std::fabs(across.hi - across.lo) ? 0.0 : at);
    return "along " + along.name + " at " + across.name + " = " + value + " " + across.unit;
}

TGridText SceneGridText(const TComplexArray& index)
{
    TGridText grid;
    const int nx = index.Nx(), ny = index.Ny();
    grid.Resize(nx + 1, ny + 1);
    for (int x = 0; x < nx; ++x)
        grid.SetCell(x + 1, 0, std::to_string(x));
    size_t widest = 1;
    for (int y = 0; y < ny; ++y) {
        grid.SetCell(0, y + 1, RowLabel(y + index.Base()));
        for (int x = 0; x < nx; ++x) {
            std::string text = IndexText(index.At(x, y));
            widest = std::max(widest, text.size());
            grid.SetCell(x + 1, y + 1, std::move(text));
        }
    }
    grid.colWidths.assign(size_t(nx + 1), int(widest) + 2);
    grid.colWidths[0] = int(std::to_string(ny + index.Base()).size()) + 2;
    return grid;
}

TGridText SceneGridText(const TComplexVector& profile)
{
    TGridText grid;
    const int n = profile.Count();
    grid.Resize(2, n);
    size_t widest = 1;
    TComplexVector copy = profile;
    copy.ToCartesian();
    for (int i = 0; i < n; ++i) {
        grid.SetCell(0, i, RowLabel(i + profile.Base()));
        const double* re = copy.FirstPart().Data();
        const double* im = copy.SecondPart().Data();
        std::string text = IndexText({re[i], im[i]});
        widest = std::max(widest, text.size());
        grid.SetCell(1, i, std::move(text));
    }
    grid.colWidths = {int(std::to_string(n).size()) + 2, int(widest) + 2};
    return grid;
}

namespace {

bool LabelsDistinct(const std::string& format, double minValue, double maxValue)
{
    double previous = 0;
    for (int i = 0; i <= 4; ++i) {
        const double shown
            = std::strtod(FormatNumber(format, maxValue - i * (maxValue - minValue) / 4).c_str(), nullptr);
        if (i > 0 && shown == previous)
            return false;
        previous = shown;
    }
    return true;
}

} // namespace

std::string BarLabelFormat(const std::string& preferred, double minValue, double maxValue)
{
    const double step = (maxValue - minValue) / 4;
    if (!(step > 0) || !std::isfinite(step) || LabelsDistinct(preferred, minValue, maxValue))
        return preferred;
    const double largest = std::max(std::fabs(minValue), std::fabs(maxValue));
    const int decimals = std::max(2, int(std::ceil(-std::log10(step) - 1e-9)));
    if (decimals <= 5 && largest < 1e5)
        return "%." + std::to_string(decimals) + "f";
    const int digits = std::clamp(int(std::ceil(std::log10(largest / step))) + 1, 3, 10);
    return "%." + std::to_string(digits) + "g";
}

std::string TickFormat(double step)
{
    step = std::fabs(step);
    if (!(step > 0) || !std::isfinite(step) || step >= 1e5)
        return "%.3g";
    for (int d = 0; d <= 4; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return "%." + std::to_string(d) + "f";
    }
    return "%.3g";
}

} // namespace ksn::gui
