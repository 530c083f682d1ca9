#include "display/VellDiagram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ksn {

TVellDiagram::TVellDiagram()
    : myValues(size_t(myBmpWidth) * myBmpHeight, 0.0), myImage(myValues.size(), 0), myColourTable(MakeColourTable(0))
{
    myHeight = myBmpHeight + myTBoarder + myBBoarder;
    UpdateLayout();
}

void TVellDiagram::SetSize(int width, int height)
{
    myWidth = std::max(0, width);
    myHeight = std::max(0, height);
}

void TVellDiagram::SetBoarders(std::uint16_t left, std::uint16_t right, std::uint16_t top, std::uint16_t bottom)
{
    myLBoarder = left;
    myRBoarder = right;
    myTBoarder = top;
    myBBoarder = bottom;
    UpdateLayout();
}

void TVellDiagram::SetBmpSize(std::uint16_t width, std::uint16_t height)
{
    myBmpWidth = width;
    myBmpHeight = height;
    myValues.assign(size_t(width) * height, 0.0);
    myImage.assign(myValues.size(), 0);
    UpdateLayout();
}

void TVellDiagram::SetZoom(std::uint16_t zoom)
{
    myZoom = std::max<std::uint16_t>(1, zoom);
    UpdateLayout();
}

// Image rectangle: (LBoarder - 1, TBoarder - 1) to (LBoarder + Zoom*BmpWidth + 1,
// TBoarder + Zoom*BmpHeight + 1); both axes map across it.
void TVellDiagram::UpdateLayout()
{
    const int left = myLBoarder - 1;
    const int top = myTBoarder - 1;
    const int right = myLBoarder + myZoom * myBmpWidth + 1;
    const int bottom = myTBoarder + myZoom * myBmpHeight + 1;
    myXAxis.SetImageRect(left, top, right, bottom);
    myYAxis.SetImageRect(left, top, right, bottom);
}

bool TVellDiagram::SetData(const double* values, size_t count)
{
    if (count != myValues.size() || (count > 0 && !values))
        return false;
    std::copy(values, values + count, myValues.begin());
    RebuildImage();
    return true;
}

double TVellDiagram::GetValue(int column, int row) const
{
    if (column < 0 || row < 0 || column >= myBmpWidth || row >= myBmpHeight)
        return 0;
    return myValues[size_t(column) + size_t(row) * myBmpWidth];
}

void TVellDiagram::SetValueRange(double minValue, double maxValue)
{
    myMinValue = minValue;
    myMaxValue = maxValue;
}

void TVellDiagram::SetMark(double x, double y)
{
    myMarkX = x;
    myMarkY = y;
}

std::uint8_t TVellDiagram::ColourIndex(double value) const
{
    if (value > myMaxValue)
        return 255;
    if (value < myMinValue || std::isnan(value))
        return 0;
    const double gain = myMaxValue != myMinValue ? 255.0 / (myMaxValue - myMinValue) : 0.0;
    const double k = gain * (value - myMinValue);
    if (!std::isfinite(k)) // a range too small for its reciprocal: the top of the scale
        return value > myMinValue ? 255 : 0;
    return std::uint8_t(std::clamp(std::lround(k), 0L, 255L));
}

// With AutoGain the scale runs from the smallest to the largest finite value (NaN and
// infinities would make every other cell 0 or 255). Data row i goes to image row
// BmpHeight-1-i when the y axis rises, so that row 0 lies at the bottom.
void TVellDiagram::RebuildImage()
{
    if (myAutoGain) {
        bool found = false;
        for (double v : myValues) {
            if (!std::isfinite(v))
                continue;
            if (!found) {
                myMaxValue = myMinValue = v;
                found = true;
            } else if (v > myMaxValue) {
                myMaxValue = v;
            } else if (v < myMinValue) {
                myMinValue = v;
            }
        }
        if (!found)
            myMaxValue = myMinValue = 0;
    }
    const bool flip = YRises();
    for (int i = 0; i < myBmpHeight; ++i) {
        const int imageRow = flip ? myBmpHeight - 1 - i : i;
        const double* in = myValues.data() + size_t(i) * myBmpWidth;
        std::uint8_t* out = myImage.data() + size_t(imageRow) * myBmpWidth;
        for (int j = 0; j < myBmpWidth; ++j)
            out[j] = ColourIndex(in[j]);
    }
}

bool TVellDiagram::SetPalette(int palette)
{
    if (palette < 0 || palette >= kPaletteCount)
        return false;
    myPalette = palette;
    myColourTable = MakeColourTable(palette);
    return true;
}

void TVellDiagram::PixelToAxis(int px, int py, double& x, double& y) const
{
    x = myXAxis.PixelToValue(px);
    y = myYAxis.PixelToValue(py);
}

// A cell spans Zoom pixels; its index is the floor of the pixel distance from the
// first image pixel over Zoom (rounding would give half of every zoomed cell to its
// neighbour).
void TVellDiagram::AxisToCell(double x, double y, int& column, int& row) const
{
    const double zoom = myZoom;
    const int xp = myXAxis.ValueToPixel(x);
    const int yp = myYAxis.ValueToPixel(y);
    const double c = std::floor((xp - myXAxis.Left() - 1) / zoom);
    const double r = myYAxis.GetHiLimit() >= myYAxis.GetLoLimit() ? std::floor((myYAxis.Bottom() - yp - 2) / zoom)
                                                                  : std::floor((yp - myYAxis.Top() - 1) / zoom);
    column = c >= 0 && c < myBmpWidth ? int(c) : -1;
    row = r >= 0 && r < myBmpHeight ? int(r) : -1;
}

std::string TVellDiagram::ReadOutText(TReadOut kind, int px, int py) const
{
    double x = 0, y = 0;
    int column = -1, row = -1;
    PixelToAxis(px, py, x, y);
    AxisToCell(x, y, column, row);
    if (column < 0 || row < 0)
        return {};
    const double v = GetValue(column, row);
    char text[160];
    switch (kind) {
    case TReadOut::amplitude:
        std::snprintf(text, sizeof text, "Amplitude @ (%d,%d) - (%.2f, %.2f): %.6f", column, row, x, y, v);
        break;
    case TReadOut::realE:
        std::snprintf(text, sizeof text, "Real(E) @ (%d,%d) - (%.2f, %.2f): %.6f", column, row, x, y, v);
        break;
    case TReadOut::imagE:
        std::snprintf(text, sizeof text, "Imag(E) @ (%d,%d) - (%.2f, %.2f): %.6f", column, row, x, y, v);
        break;
    case TReadOut::sceneIntensity:
        std::snprintf(text, sizeof text, "Intensity @ (%d,%d) - (%.2f, %.2f): %.6f", column, row, x, y, v);
        break;
    case TReadOut::intensity:
        std::snprintf(text, sizeof text, "Intensity @ (%d,%d) - (%.3f, %.3f): %.18f", column, row, x, y, v);
        break;
    }
    return text;
}

std::string TVellDiagram::MoveText(int px, int py) const
{
    double x = 0, y = 0;
    int column = -1, row = -1;
    PixelToAxis(px, py, x, y);
    AxisToCell(x, y, column, row);
    if (column < 0 || row < 0)
        return {};
    char text[160];
    std::snprintf(text, sizeof text, "x = %.2f, y = %.2f, v = %.6f", x, y, GetValue(column, row));
    return text;
}

void TDiagramMarkers::Draw(TPicture& picture, const TDiagramAxis& x, const TDiagramAxis& y) const
{
    for (const TDiagramMarker& m : myMarkers) {
        const int px = x.ValueToPixel(m.x), py = y.ValueToPixel(m.y);
        if (px <= x.Left() || px >= x.Right() - 1 || py <= y.Top() || py >= y.Bottom() - 1)
            continue;
        const TPen pen{m.color, 1, TLineStyle::solid};
        picture.Line(pen, px - m.size, py, px + m.size, py);
        picture.Line(pen, px, py - m.size, px, py + m.size);
    }
}

} // namespace ksn
