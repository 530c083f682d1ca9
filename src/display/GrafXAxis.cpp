// The x-y graph's axis: limits with their guarded setters, formats, and the map
// between pixels and values across the plot area.
#include "display/VellGrafX.h"

#include <cmath>

namespace ksn::vellgrafx {

TAxis::TAxis(TOrientation orientation) : myOrientation(orientation) { Recompute(); }

void TAxis::Changed()
{
    if (myChanged)
        myChanged();
}

void TAxis::SetLoLimit(double value)
{
    if (!myLoading) {
        if (myMessage)
            myMessage("Don't set LoLimit directly, use SetLimits(min, max) instead");
        return;
    }
    if (value < myHiLimit) {
        myLoLimit = value;
        Recompute();
    }
}

void TAxis::SetHiLimit(double value)
{
    if (myLoading && value > myLoLimit) {
        myHiLimit = value;
        Recompute();
    }
}

bool TAxis::SetLimits(double min, double max)
{
    if (!std::isfinite(min) || !std::isfinite(max))
        return false;
    if (min == max) {
        min -= 1;
        max += 1;
    }
    if (min >= max) // also a limit so large that +-1 vanished
        return false;
    myLoLimit = min;
    myHiLimit = max;
    Recompute();
    Changed();
    return true;
}

void TAxis::SetAxisFormat(const std::string& format)
{
    myAxisFormat = format;
    Changed();
}

void TAxis::SetCaption(const std::string& caption)
{
    myCaption = caption;
    Changed();
}

void TAxis::SetLogarithmic(bool on)
{
    myLogarithmic = on;
    Recompute();
    Changed();
}

void TAxis::SetMinDivision(std::uint16_t n)
{
    myMinDivision = n;
    Changed();
}

void TAxis::SetSubTics(bool on)
{
    mySubTics = on;
    Changed();
}

void TAxis::SetGrid(TGridStyle style)
{
    myGrid = style;
    Changed();
}

void TAxis::SetPlotArea(int left, int top, int right, int bottom)
{
    myLeft = left;
    myTop = top;
    myRight = right;
    myBottom = bottom;
    Recompute();
}

void TAxis::Recompute()
{
    const bool log = IsLogMapped();
    const double lo = log ? std::log10(myLoLimit) : myLoLimit;
    const double hi = log ? std::log10(myHiLimit) : myHiLimit;
    // The pixels of Hi and Lo: x from left+1 to right-1, y from top+1 to bottom-1.
    const double hiPixel = myOrientation == x ? myRight - 1 : myTop + 1;
    const double pixels = myOrientation == x ? (myRight - 1) - myLeft - 1 : (myTop + 1) - myBottom + 1;
    myScale = pixels != 0 ? (hi - lo) / pixels : 0.0;
    myOffset = hi - hiPixel * myScale;
}

double TAxis::PixelToValue(double pixel) const
{
    const double v = pixel * myScale + myOffset;
    return IsLogMapped() ? std::pow(10.0, v) : v;
}

double TAxis::ValueToPixel(double value) const
{
    if (IsLogMapped()) {
        if (!(value > 0))
            return NAN;
        value = std::log10(value);
    }
    if (myScale == 0 || !std::isfinite(myScale))
        return myOrientation == x ? myLeft + 1 : myBottom - 1;
    return std::round((value - myOffset) / myScale);
}

} // namespace ksn::vellgrafx
