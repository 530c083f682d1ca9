// The false-colour diagram drawn as a picture: fill, frame and axes, image, grid lines,
// colour bar, markers, cross-hair; and the margins that make room for them.
#include "display/NumberFormat.h"
#include "display/VellDiagram.h"

#include <algorithm>
#include <cmath>

namespace ksn {

namespace {

constexpr int kMajorTick = 4;
constexpr int kMinorTick = 2;
constexpr int kLabelGap = 3;

TLineStyle GridLineStyle(TDGridStyle style)
{
    switch (style) {
    case TDGridStyle::dgsDotted:
        return TLineStyle::dotted;
    case TDGridStyle::dgsDashed:
        return TLineStyle::dashed;
    default:
        return TLineStyle::solid;
    }
}

// Baseline offset that centres a line of text vertically on a point.
double HalfCapHeight(const TFontSpec& font) { return 0.36 * font.pixelSize; }

std::vector<std::string> TickLabels(const TDiagramAxis& axis)
{
    std::vector<std::string> labels;
    for (double v : TickValues(axis.GetLoLimit(), axis.GetHiLimit(), axis.Ticks().major))
        labels.push_back(FormatNumber(axis.GetNumberFmt(), v));
    return labels;
}

int WidestText(const std::vector<std::string>& texts, const TFontSpec& font)
{
    int widest = 0;
    for (const std::string& t : texts)
        widest = std::max(widest, ApproxTextWidth(t, font));
    return widest;
}

} // namespace

void TVellDiagram::DrawAxis(TPicture& picture, const TDiagramAxis& axis) const
{
    const TPen pen{kBlack, 1, TLineStyle::solid};
    const TTickSteps steps = axis.Ticks();
    const bool horizontal = axis.GetOrientation() == TDiagramAxis::horizontal;
    const int first = horizontal ? axis.Left() : axis.Top();
    const int last = horizontal ? axis.Right() - 1 : axis.Bottom() - 1;
    const auto tick = [&](double value, int length) {
        const int p = axis.ValueToPixel(value);
        if (p < first || p > last)
            return false;
        if (horizontal)
            picture.Line(pen, p, axis.Bottom(), p, axis.Bottom() + length - 1);
        else
            picture.Line(pen, axis.Left() - 1, p, axis.Left() - length, p);
        return true;
    };
    if (axis.GetSubTics())
        for (double v : TickValues(axis.GetLoLimit(), axis.GetHiLimit(), steps.minor))
            tick(v, kMinorTick);
    for (double v : TickValues(axis.GetLoLimit(), axis.GetHiLimit(), steps.major)) {
        if (!tick(v, kMajorTick))
            continue;
        const int p = axis.ValueToPixel(v);
        const std::string label = FormatNumber(axis.GetNumberFmt(), v);
        if (horizontal)
            picture.Text(myFont, p, axis.Bottom() + kMajorTick + kLabelGap + myFont.pixelSize - 2, TTextAlign::centre,
                label);
        else
            picture.Text(myFont, axis.Left() - kMajorTick - kLabelGap - 1, p + HalfCapHeight(myFont), TTextAlign::right,
                label);
    }
    if (axis.GetCaption().empty())
        return;
    if (horizontal)
        picture.Text(myFont, 0.5 * (axis.Left() + axis.Right()),
            axis.Bottom() + kMajorTick + 2 * kLabelGap + 2 * myFont.pixelSize, TTextAlign::centre, axis.GetCaption());
    else
        picture.Text(myFont, 3, axis.Top() - 5, TTextAlign::left, axis.GetCaption());
}

void TVellDiagram::DrawGrid(TPicture& picture, const TDiagramAxis& axis) const
{
    if (axis.GetGrid() == TDGridStyle::dgsNone)
        return;
    const TPen pen{axis.GetGridColor(), 1, GridLineStyle(axis.GetGrid())};
    const bool horizontal = axis.GetOrientation() == TDiagramAxis::horizontal;
    for (double v : TickValues(axis.GetLoLimit(), axis.GetHiLimit(), axis.Ticks().major)) {
        const int p = axis.ValueToPixel(v);
        if (horizontal && p > axis.Left() && p < axis.Right() - 1)
            picture.Line(pen, p, axis.Top() + 1, p, axis.Bottom() - 2);
        else if (!horizontal && p > axis.Top() && p < axis.Bottom() - 1)
            picture.Line(pen, axis.Left() + 1, p, axis.Right() - 2, p);
    }
}

// The bar: the 1 x 256 strip (row r holds colour 255 - r) stretched over x = right+13
// … right+23 and the height of the zoomed image, framed in black; five labels
// maxValue - i*(maxValue - minValue)/4 at round(i*Zoom*BmpHeight/4) + 4 below the
// image top, anchored at their baseline.
void TVellDiagram::DrawBar(TPicture& picture) const
{
    const int right = myXAxis.Right();
    const int x0 = right + 13, x1 = right + 23;
    const int y0 = myTBoarder, y1 = myTBoarder + myZoom * myBmpHeight;
    std::vector<TRgb> strip(256);
    for (int r = 0; r < 256; ++r)
        strip[size_t(r)] = myColourTable[size_t(255 - r)];
    picture.Image(1, 256, std::move(strip), x0, y0, x1, y1);
    picture.FrameRect(TPen{kBlack, 1, TLineStyle::solid}, x0 - 1, y0 - 1, x1 + 1, y1 + 1);
    const int top = myYAxis.Top();
    for (int i = 0; i <= 4; ++i) {
        const double value = myMaxValue - i * (myMaxValue - myMinValue) / 4;
        const int y = top + int(std::lround(i * double(myZoom) * myBmpHeight / 4)) + 4;
        picture.Text(myFont, right + 28, y, TTextAlign::left, FormatNumber(myBarFormat, value));
    }
}

TPicture TVellDiagram::Draw() const
{
    TPicture picture(myWidth, myHeight);
    if (myBgColor != kNoColor)
        picture.FillRect(myBgColor, 0, 0, myWidth, myHeight);
    const int left = myXAxis.Left(), top = myXAxis.Top(), right = myXAxis.Right(), bottom = myXAxis.Bottom();
    if (!myTitle.empty())
        picture.Text(myTitleFont, 0.5 * (left + right), myTitleFont.pixelSize + 3, TTextAlign::centre, myTitle);
    picture.FrameRect(TPen{kBlack, 1, TLineStyle::solid}, left, top, right, bottom);
    DrawAxis(picture, myXAxis);
    DrawAxis(picture, myYAxis);

    std::vector<TRgb> pixels(myImage.size());
    for (size_t k = 0; k < myImage.size(); ++k)
        pixels[k] = myColourTable[myImage[k]];
    picture.Image(myBmpWidth, myBmpHeight, std::move(pixels), myLBoarder, myTBoarder, myLBoarder + myZoom * myBmpWidth,
        myTBoarder + myZoom * myBmpHeight);

    DrawGrid(picture, myXAxis);
    DrawGrid(picture, myYAxis);
    if (myWithBar)
        DrawBar(picture);
    myMarkers.Draw(picture, myXAxis, myYAxis);
    if (myMarkVisible) {
        const TPen pen{myMarkColor, 1, TLineStyle::solid};
        const int px = myXAxis.ValueToPixel(myMarkX);
        const int py = myYAxis.ValueToPixel(myMarkY);
        if (px > left && px < right)
            picture.Line(pen, px, top + 1, px, bottom - 2);
        if (py > top && py < bottom)
            picture.Line(pen, left + 1, py, right - 2, py);
    }
    return picture;
}

void TVellDiagram::FitLayout()
{
    const std::vector<std::string> xLabels = TickLabels(myXAxis), yLabels = TickLabels(myYAxis);
    const int size = myFont.pixelSize;
    const int imageWidth = myZoom * myBmpWidth, imageHeight = myZoom * myBmpHeight;
    const int halfFirstX = xLabels.empty() ? 0 : ApproxTextWidth(xLabels.front(), myFont) / 2;
    const int halfLastX = xLabels.empty() ? 0 : ApproxTextWidth(xLabels.back(), myFont) / 2;

    int left = std::max({kMajorTick + kLabelGap + WidestText(yLabels, myFont) + 6, halfFirstX + 4, 12});
    int top = 8;
    if (!myTitle.empty())
        top += myTitleFont.pixelSize + 6;
    if (!myYAxis.GetCaption().empty())
        top += size + 4;
    top = std::max(top, size / 2 + 4); // the top tick label hangs above the image
    int bottom = kMajorTick + kLabelGap + size + 6;
    if (!myXAxis.GetCaption().empty())
        bottom += size + kLabelGap + 2;
    int right = halfLastX + 4;
    if (myWithBar) {
        std::vector<std::string> barLabels;
        for (int i = 0; i <= 4; ++i)
            barLabels.push_back(FormatNumber(myBarFormat, myMaxValue - i * (myMaxValue - myMinValue) / 4));
        right = std::max(right, 28 + WidestText(barLabels, myFont) + 6);
    }
    // The title is centred over the image: each side must hold half of it.
    const int halfTitle = myTitle.empty() ? 0 : (ApproxTextWidth(myTitle, myTitleFont) + 12) / 2;
    left = std::max(left, halfTitle - imageWidth / 2);
    right = std::max(right, halfTitle - imageWidth / 2);
    const auto fit = [](int v) { return std::uint16_t(std::clamp(v, 0, 65535)); };
    SetBoarders(fit(left), fit(right), fit(top), fit(bottom));
    SetSize(left + imageWidth + right, top + imageHeight + bottom);
}

} // namespace ksn
