#include "display/DiagramAxis.h"

#include <algorithm>
#include <cmath>

namespace ksn {

void TDiagramAxis::SetLimits(double lo, double hi)
{
    myLoLimit = lo;
    myHiLimit = hi;
    Recompute();
}

void TDiagramAxis::SetImageRect(int left, int top, int right, int bottom)
{
    myLeft = left;
    myTop = top;
    myRight = right;
    myBottom = bottom;
    Recompute();
}

void TDiagramAxis::Recompute()
{
    const double span = myHiLimit - myLoLimit;
    const bool usable = std::isfinite(span) && span != 0;
    if (myOrientation == horizontal) {
        myScale = usable ? (myRight - myLeft - 3) / span : 0.0;
        myOffset = usable ? myLeft + 1 - myLoLimit * myScale : myLeft + 1;
    } else {
        myScale = usable ? (myTop - myBottom + 3) / span : 0.0;
        myOffset = usable ? myTop + 1 - myHiLimit * myScale : myTop + 1;
    }
}

int TDiagramAxis::ValueToPixel(double value) const
{
    const double p = value * myScale + myOffset;
    if (std::isnan(p))
        return int(std::lround(myOffset));
    return int(std::lround(std::clamp(p, -1e9, 1e9)));
}

double TDiagramAxis::PixelToValue(double pixel) const
{
    return myScale != 0 ? (pixel - myOffset) / myScale : myLoLimit;
}

} // namespace ksn
