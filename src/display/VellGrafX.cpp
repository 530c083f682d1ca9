// The x-y graph: background strip, curve points, and the drawing of the background and
// foreground pictures.
#include "display/VellGrafX.h"

#include "display/NumberFormat.h"
#include "display/WmfWriter.h"

#include <algorithm>
#include <cmath>

namespace ksn::vellgrafx {

namespace {

constexpr int kMajorTick = 4;
constexpr int kMinorTick = 2;
constexpr int kLabelGap = 3;
constexpr TColor kGridColor = RGBColor(192, 192, 192);

TLineStyle GridLineStyle(TGridStyle style)
{
    switch (style) {
    case TGridStyle::gsDotted:
        return TLineStyle::dotted;
    case TGridStyle::gsDashed:
        return TLineStyle::dashed;
    default:
        return TLineStyle::solid;
    }
}

struct TTick {
    double value;
    bool major;
};

// Linear axes: multiples of the major and minor steps. Logarithmic axes spanning at
// least one decade: the decades as majors and 2 … 9 times them as minors.
std::vector<TTick> AxisTicks(const TAxis& axis)
{
    std::vector<TTick> ticks;
    const double lo = std::min(axis.GetLoLimit(), axis.GetHiLimit());
    const double hi = std::max(axis.GetLoLimit(), axis.GetHiLimit());
    if (axis.IsLogMapped() && hi / lo >= 10) {
        const int first = int(std::floor(std::log10(lo) + 1e-9));
        const int last = int(std::ceil(std::log10(hi) - 1e-9));
        for (int e = first; e <= last && ticks.size() < 1000; ++e)
            for (int m = 1; m <= 9; ++m) {
                const double v = m * std::pow(10.0, e);
                if (v >= lo * (1 - 1e-9) && v <= hi * (1 + 1e-9) && (m == 1 || axis.GetSubTics()))
                    ticks.push_back({v, m == 1});
            }
        return ticks;
    }
    const TTickSteps steps = axis.Ticks();
    if (axis.GetSubTics())
        for (double v : TickValues(lo, hi, steps.minor))
            ticks.push_back({v, false});
    for (double v : TickValues(lo, hi, steps.major))
        ticks.push_back({v, true});
    return ticks;
}

} // namespace

// ---- TBackground ----

void TBackground::SetColors(TColor color1, TColor color2)
{
    myColor1 = color1;
    myColor2 = color2;
}

std::vector<TRgb> TBackground::Strip() const
{
    std::vector<TRgb> strip(256);
    const bool tube = myStyle == TBackgndStyle::bgVTube || myStyle == TBackgndStyle::bgHTube;
    const auto channel = [&](int c1, int c2, int i) {
        const double f = tube ? (i - 127.5) * (i - 127.5) / 16256.25 : i / 255.0;
        return std::uint8_t(std::clamp(std::lround(f * (c2 - c1) + c1), 0L, 255L));
    };
    for (int i = 0; i < 256; ++i)
        strip[size_t(i)] = {channel(RedOf(myColor1), RedOf(myColor2), i),
            channel(GreenOf(myColor1), GreenOf(myColor2), i), channel(BlueOf(myColor1), BlueOf(myColor2), i)};
    return strip;
}

void TBackground::Draw(TPicture& picture, int left, int top, int right, int bottom) const
{
    if (myRange == TBackgndRange::bgNone)
        return;
    if (myStyle == TBackgndStyle::bgSolid)
        picture.FillRect(myColor1, left, top, right, bottom);
    else if (StripIsVertical())
        picture.Image(1, 256, Strip(), left, top, right, bottom);
    else
        picture.Image(256, 1, Strip(), left, top, right, bottom);
}

// ---- TPlot ----

void TPlot::SetCount(int n) { myPoints.assign(size_t(std::max(0, n)), TPointD{}); }

void TPlot::SetX(int i, double x)
{
    if (i >= 0 && i < GetCount())
        myPoints[size_t(i)].x = x;
}

void TPlot::SetY(int i, double y)
{
    if (i >= 0 && i < GetCount())
        myPoints[size_t(i)].y = y;
}

double TPlot::GetX(int i) const { return i >= 0 && i < GetCount() ? myPoints[size_t(i)].x : 0.0; }

double TPlot::GetY(int i) const { return i >= 0 && i < GetCount() ? myPoints[size_t(i)].y : 0.0; }

// ---- TVellGrafX ----

TVellGrafX::TVellGrafX()
{
    myBackGnd.SetTitleFont(myFont);
    myXAxis.SetChangeHandler([this] { myNeedsRedraw = true; });
    myYAxis.SetChangeHandler([this] { myNeedsRedraw = true; });
    UpdateLayout();
}

void TVellGrafX::SetSize(int width, int height)
{
    myWidth = std::max(0, width);
    myHeight = std::max(0, height);
    UpdateLayout();
}

void TVellGrafX::SetBoarders(std::uint16_t left, std::uint16_t right, std::uint16_t top, std::uint16_t bottom)
{
    myLBoarder = left;
    myRBoarder = right;
    myTBoarder = top;
    myBBoarder = bottom;
    UpdateLayout();
}

void TVellGrafX::UpdateLayout()
{
    myXAxis.SetPlotArea(PlotLeft(), PlotTop(), PlotRight(), PlotBottom());
    myYAxis.SetPlotArea(PlotLeft(), PlotTop(), PlotRight(), PlotBottom());
    myNeedsRedraw = true;
}

void TVellGrafX::SetMark(double x, double y)
{
    myMarkX = x;
    myMarkY = y;
}

void TVellGrafX::SetMessageHandler(TMessageHandler handler)
{
    myMessage = handler;
    myXAxis.SetMessageHandler(handler);
    myYAxis.SetMessageHandler(handler);
}

void TVellGrafX::SetLoading(bool loading)
{
    myXAxis.SetLoading(loading);
    myYAxis.SetLoading(loading);
}

void TVellGrafX::SetBackgroundTitle(const std::string& title)
{
    myBackGnd.SetTitle(title);
    myNeedsRedraw = true;
}

void TVellGrafX::Message(const std::string& text) const
{
    if (myMessage)
        myMessage(text);
}

// Ticks point out of the frame (x: down from the bottom edge, y: left of the left
// edge), labels beyond them; the x caption is centred below the labels, the y caption
// stands above the plot area at the control's left edge.
void TVellGrafX::DrawAxis(TPicture& picture, const TAxis& axis) const
{
    const bool isX = axis.GetOrientation() == TAxis::x;
    const int left = PlotLeft(), top = PlotTop(), right = PlotRight(), bottom = PlotBottom();
    const TPen gridPen{kGridColor, 1, GridLineStyle(axis.GetGrid())};
    for (const TTick& t : AxisTicks(axis)) {
        const double p = axis.ValueToPixel(t.value);
        if (!std::isfinite(p) || (isX && (p < left || p > right - 1)) || (!isX && (p < top || p > bottom - 1)))
            continue;
        const int length = t.major ? kMajorTick : kMinorTick;
        if (isX)
            picture.Line(myPen, p, bottom, p, bottom + length - 1);
        else
            picture.Line(myPen, left - 1, p, left - length, p);
        if (!t.major)
            continue;
        if (axis.GetGrid() != TGridStyle::gsNone) {
            if (isX && p > left && p < right - 1)
                picture.Line(gridPen, p, top + 1, p, bottom - 2);
            else if (!isX && p > top && p < bottom - 1)
                picture.Line(gridPen, left + 1, p, right - 2, p);
        }
        const std::string label = FormatNumber(axis.GetAxisFormat(), t.value);
        if (isX)
            picture.Text(myFont, p, bottom + kMajorTick + kLabelGap + myFont.pixelSize - 2, TTextAlign::centre, label);
        else
            picture.Text(myFont, left - kMajorTick - kLabelGap - 1, p + 0.36 * myFont.pixelSize, TTextAlign::right,
                label);
    }
    if (axis.GetCaption().empty())
        return;
    if (isX)
        picture.Text(myFont, 0.5 * (left + right), bottom + kMajorTick + 2 * kLabelGap + 2 * myFont.pixelSize,
            TTextAlign::centre, axis.GetCaption());
    else
        picture.Text(myFont, 3, top - 0.64 * myFont.pixelSize - 5, TTextAlign::left, axis.GetCaption());
}

void TVellGrafX::DrawBackground()
{
    myBackground = TPicture(myWidth, myHeight);
    const int left = PlotLeft(), top = PlotTop(), right = PlotRight(), bottom = PlotBottom();
    if (myBackGnd.GetRange() == TBackgndRange::bgAll)
        myBackGnd.Draw(myBackground, 0, 0, myWidth, myHeight);
    else if (myBackGnd.GetRange() == TBackgndRange::bgGraph)
        myBackGnd.Draw(myBackground, left, top, right, bottom);
    DrawAxis(myBackground, myXAxis);
    DrawAxis(myBackground, myYAxis);
    myBackground.FrameRect(TPen{myFrameColor, 1, TLineStyle::solid}, left, top, right, bottom);
    if (!myBackGnd.GetTitle().empty())
        myBackground.Text(myBackGnd.GetTitleFont(), 0.5 * (left + right), myBackGnd.GetTitleFont().pixelSize + 1,
            TTextAlign::centre, myBackGnd.GetTitle());
    myNeedsRedraw = false;
}

void TVellGrafX::ClearForeground() { myForeground = TPicture(myWidth, myHeight); }

void TVellGrafX::DrawPlot()
{
    if (myPlot.Points().empty()) {
        Message("Plot is not initialized");
        return;
    }
    std::vector<TPointD> pixels;
    pixels.reserve(myPlot.Points().size());
    for (const TPointD& p : myPlot.Points())
        pixels.push_back({myXAxis.ValueToPixel(p.x), myYAxis.ValueToPixel(p.y)});
    myForeground.SetSize(myWidth, myHeight);
    if (pixels.size() == 1) // a single point: a dot of one pixel
        pixels.push_back(pixels.front());
    myForeground.Polyline(TPen{myPlot.GetColor(), 1, TLineStyle::solid}, pixels);
}

void TVellGrafX::DrawCrossHair()
{
    if (!myMarkVisible)
        return;
    const TPen pen{myMarkColor, 1, TLineStyle::solid};
    const double px = myXAxis.ValueToPixel(myMarkX), py = myYAxis.ValueToPixel(myMarkY);
    myForeground.SetSize(myWidth, myHeight);
    myForeground.Line(pen, px, PlotTop() + 1, px, PlotBottom() - 2);
    myForeground.Line(pen, PlotLeft() + 1, py, PlotRight() - 2, py);
}

TPicture TVellGrafX::Compose() const
{
    TPicture picture(myWidth, myHeight);
    picture.Append(myBackground);
    if (!myForeground.Empty()) {
        picture.SetClip(PlotLeft() + 1, PlotTop() + 1, PlotRight() - 1, PlotBottom() - 1);
        picture.Append(myForeground);
        picture.ClearClip();
    }
    return picture;
}

bool TVellGrafX::SaveToFile(const std::string& fileName) const { return WriteWmf(fileName, Compose()); }

void TVellGrafX::FitLayout()
{
    const int size = myFont.pixelSize;
    int widestY = 0;
    for (const TTick& t : AxisTicks(myYAxis))
        if (t.major)
            widestY = std::max(widestY, ApproxTextWidth(FormatNumber(myYAxis.GetAxisFormat(), t.value), myFont));
    int lastX = 0;
    for (const TTick& t : AxisTicks(myXAxis))
        if (t.major)
            lastX = ApproxTextWidth(FormatNumber(myXAxis.GetAxisFormat(), t.value), myFont);
    const int left = std::max(kMajorTick + kLabelGap + widestY + 6, 16);
    int top = 8;
    if (!myBackGnd.GetTitle().empty())
        top += myBackGnd.GetTitleFont().pixelSize + 4;
    if (!myYAxis.GetCaption().empty())
        top += size + 6;
    top = std::max(top, size / 2 + 4);
    int bottom = kMajorTick + kLabelGap + size + 6;
    if (!myXAxis.GetCaption().empty())
        bottom += size + kLabelGap + 2;
    const int right = std::max(lastX / 2 + 6, 16);
    const auto fit = [](int v) { return std::uint16_t(std::clamp(v, 0, 65535)); };
    SetBoarders(fit(left), fit(right), fit(top), fit(bottom));
}

} // namespace ksn::vellgrafx
