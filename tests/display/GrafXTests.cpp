// The x-y graph and the tick rule both plotting components share: limits and their
// guarded setters, the axis maps, the curve's points and its message, the background
// strip, and the composed picture.
#include "display/TickSpacing.h"
#include "display/VellGrafX.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ksn::test {
namespace {

using namespace ksn::vellgrafx;

TEST(TickSpacing, MajorAndMinorStepsForTypicalRanges)
{
    struct TCase {
        double lo, hi;
        int division;
        double major, minor;
    };
    const TCase cases[] = {
        {0, 100, 3, 25, 5},        // m = 3.33
        {100, 0, 3, 25, 5},        // reversed limits
        {0, 10, 5, 2, 0.5},        // m = 2
        {-0.5, 0.5, 5, 0.2, 0.05}, // m = 2, b = -1
        {0, 15, 1, 10, 2.5},       // m = 1.5 exactly: still 1 x 10
        {0, 22.5, 1, 20, 5},       // m = 2.25 exactly: still 2 x 10
        {0, 40, 10, 5, 1},         // m = 4 exactly: 5
        {0, 1000, 1, 1000, 250},   // an exact power of ten
        {0, 35, 10, 2.5, 0.5},     // m = 3.5
        {-3e-6, 5e-6, 4, 2e-6, 5e-7},
        {0, 64, 0, 50, 10},        // MinDivision 0 counts as 1
    };
    for (const TCase& c : cases) {
        const TTickSteps s = TickSteps(c.lo, c.hi, c.division);
        EXPECT_NEAR(s.major, c.major, 1e-12 * c.major) << c.lo << " … " << c.hi << " / " << c.division;
        EXPECT_NEAR(s.minor, c.minor, 1e-12 * c.minor) << c.lo << " … " << c.hi << " / " << c.division;
    }
    EXPECT_EQ(TickSteps(3, 3, 5).major, 0);
    EXPECT_EQ(TickSteps(0, INFINITY, 5).major, 0);
}

TEST(TickSpacing, TickValuesCoverTheRangeWithoutNegativeZero)
{
    const std::vector<double> ticks = TickValues(7, -7, 2.5);
    ASSERT_EQ(ticks, (std::vector<double>{-5, -2.5, 0, 2.5, 5}));
    EXPECT_FALSE(std::signbit(ticks[2]));
    EXPECT_EQ(TickValues(0, 0.3, 0.1).size(), 4u); // 0.3 despite 3 * 0.1 > 0.3
    EXPECT_TRUE(TickValues(0, 1, 0).empty());
    EXPECT_EQ(TickValues(0, 1e9, 1, 50).size(), 50u);
}

TEST(GrafXAxis, EqualLimitsWidenReversedLimitsChangeNothing)
{
    TVellGrafX g;
    ASSERT_TRUE(g.XAxis().SetLimits(5, 5));
    EXPECT_EQ(g.XAxis().GetLoLimit(), 4);
    EXPECT_EQ(g.XAxis().GetHiLimit(), 6);
    EXPECT_FALSE(g.XAxis().SetLimits(6, 5));
    EXPECT_FALSE(g.XAxis().SetLimits(NAN, 5));
    EXPECT_FALSE(g.XAxis().SetLimits(1e300, 1e300)); // +-1 vanishes: still min >= max
    EXPECT_EQ(g.XAxis().GetLoLimit(), 4);
    EXPECT_EQ(g.XAxis().GetHiLimit(), 6);
}

TEST(GrafXAxis, DirectLimitsOnlyWhileLoading)
{
    TVellGrafX g;
    std::vector<std::string> messages;
    g.SetMessageHandler([&](const std::string& m) { messages.push_back(m); });
    g.YAxis().SetLoLimit(-3);
    g.YAxis().SetHiLimit(300);
    EXPECT_EQ(g.YAxis().GetLoLimit(), 0);
    EXPECT_EQ(g.YAxis().GetHiLimit(), 100);
    ASSERT_EQ(messages, std::vector<std::string>{"Don't set LoLimit directly, use SetLimits(min, max) instead"});

    g.SetLoading(true);
    g.YAxis().SetLoLimit(-3);
    g.YAxis().SetHiLimit(-5); // not above LoLimit: ignored
    g.YAxis().SetHiLimit(300);
    g.YAxis().SetLoLimit(400); // not below HiLimit: ignored
    EXPECT_EQ(g.YAxis().GetLoLimit(), -3);
    EXPECT_EQ(g.YAxis().GetHiLimit(), 300);
    EXPECT_EQ(messages.size(), 1u);
}

TEST(GrafXAxis, LimitsMapInsideTheFrameAndBack)
{
    TVellGrafX g; // 305 x 185, margins 32, 16, 16, 32: plot area (32, 16) - (289, 153)
    g.XAxis().SetLimits(-2, 8);
    g.YAxis().SetLimits(-1, 3);
    EXPECT_EQ(g.XAxis().ValueToPixel(-2), 33);  // left + 1
    EXPECT_EQ(g.XAxis().ValueToPixel(8), 288);  // right - 1
    EXPECT_EQ(g.YAxis().ValueToPixel(3), 17);   // top + 1
    EXPECT_EQ(g.YAxis().ValueToPixel(-1), 152); // bottom - 1
    EXPECT_NEAR(g.XAxis().PixelToValue(g.XAxis().ValueToPixel(3)), 3, 10.0 / 255);
    EXPECT_NEAR(g.YAxis().PixelToValue(100), 3 - 83 * 4.0 / 135, 1e-12);
    g.SetBoarders(100, 100, 16, 32);
    EXPECT_EQ(g.XAxis().ValueToPixel(8), 204); // the map follows the margins
}

TEST(GrafXAxis, LogarithmicAxisMapsDecadesEvenly)
{
    TVellGrafX g;
    g.YAxis().SetLimits(1, 1000);
    g.YAxis().SetLogarithmic(true);
    const double p1 = g.YAxis().ValueToPixel(1), p10 = g.YAxis().ValueToPixel(10), p100 = g.YAxis().ValueToPixel(100);
    EXPECT_NEAR(p1 - p10, p10 - p100, 1.0);
    EXPECT_TRUE(std::isnan(g.YAxis().ValueToPixel(0)));
    EXPECT_NEAR(g.YAxis().PixelToValue(p10), 10, 0.5);
}

TEST(GrafXPlot, PointsBeyondTheCountAreIgnored)
{
    TPlot plot;
    plot.SetCount(3);
    plot.SetY(2, 7);
    plot.SetY(3, 9);
    plot.SetX(-1, 9);
    EXPECT_EQ(plot.GetY(2), 7);
    EXPECT_EQ(plot.GetY(3), 0);
    EXPECT_EQ(plot.GetX(-1), 0);
    plot.SetCount(-4);
    EXPECT_EQ(plot.GetCount(), 0);
}

TEST(GrafXPlot, DrawingWithoutPointsShowsThatThePlotIsNotInitialized)
{
    TVellGrafX g;
    std::vector<std::string> messages;
    g.SetMessageHandler([&](const std::string& m) { messages.push_back(m); });
    g.ClearForeground();
    g.DrawPlot();
    EXPECT_EQ(messages, std::vector<std::string>{"Plot is not initialized"});
    EXPECT_TRUE(g.ForegroundPicture().Empty());
}

TEST(GrafXPlot, CurveFollowsTheAxisMapAndBreaksAtNonFinitePoints)
{
    TVellGrafX g;
    g.XAxis().SetLimits(0, 4);
    g.YAxis().SetLimits(-2, 2);
    const double ys[] = {-2, 1, NAN, 0, 2};
    g.Plot().SetCount(5);
    for (int i = 0; i < 5; ++i) {
        g.Plot().SetX(i, i);
        g.Plot().SetY(i, ys[i]);
    }
    g.ClearForeground();
    g.DrawPlot();
    std::vector<TPolylinePrim> lines;
    for (const TPrimitive& p : g.ForegroundPicture().Primitives())
        lines.push_back(std::get<TPolylinePrim>(p));
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].points.size(), 2u);
    ASSERT_EQ(lines[1].points.size(), 2u);
    EXPECT_EQ(lines[0].points[0].x, g.XAxis().ValueToPixel(0));
    EXPECT_EQ(lines[0].points[0].y, g.YAxis().ValueToPixel(-2));
    EXPECT_EQ(lines[1].points[1].x, g.XAxis().ValueToPixel(4));
    EXPECT_EQ(lines[1].points[1].y, g.YAxis().ValueToPixel(2));
    EXPECT_EQ(lines[0].pen.color, g.Plot().GetColor());
}

TEST(GrafXBackground, GradientAndTubeStrips)
{
    TBackground b;
    b.SetColors(RGBColor(10, 200, 0), RGBColor(250, 20, 255));
    b.SetStyle(TBackgndStyle::bgVGrad);
    std::vector<TRgb> s = b.Strip();
    EXPECT_TRUE((s[0] == TRgb{10, 200, 0}));
    EXPECT_TRUE((s[255] == TRgb{250, 20, 255}));
    EXPECT_TRUE((s[100] == TRgb{104, 129, 100})); // round(100*240/255 + 10) = 104.1, 129.4, 100
    EXPECT_TRUE(b.StripIsVertical());
    b.SetStyle(TBackgndStyle::bgHTube);
    s = b.Strip();
    EXPECT_TRUE((s[0] == TRgb{250, 20, 255}));
    EXPECT_TRUE((s[255] == TRgb{250, 20, 255}));
    EXPECT_TRUE((s[127] == TRgb{10, 200, 0})); // (0.5)^2 * 240 / 16256.25 rounds away
    EXPECT_TRUE((s[64] == TRgb{70, 155, 63}));  // 63.5^2/16256.25 = 0.24804: 10 + 59.53, 200 - 44.65, 63.25
    EXPECT_FALSE(b.StripIsVertical());
}

TEST(GrafXPicture, BackgroundThenClippedForeground)
{
    TVellGrafX g;
    g.BackGnd().SetRange(TBackgndRange::bgGraph);
    g.BackGnd().SetStyle(TBackgndStyle::bgVTube);
    g.SetBackgroundTitle("Title");
    g.Plot().SetCount(2);
    g.Plot().SetX(1, 100);
    g.Plot().SetY(1, 100);
    g.DrawBackground();
    EXPECT_FALSE(g.NeedsRedraw());
    g.ClearForeground();
    g.DrawPlot();
    const TPicture picture = g.Compose();
    const auto& p = picture.Primitives();
    ASSERT_GE(p.size(), 4u);
    // The strip fills the plot area first.
    const auto* strip = std::get_if<TImagePrim>(&p.front());
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->left, g.PlotLeft());
    EXPECT_EQ(strip->bottom, g.PlotBottom());
    EXPECT_EQ(strip->height, 256);
    // Then the clip to the inside of the frame, the curve, and the clip's end.
    const auto* clip = std::get_if<TClipPrim>(&p[p.size() - 3]);
    ASSERT_NE(clip, nullptr);
    EXPECT_TRUE(clip->enabled);
    EXPECT_EQ(clip->left, g.PlotLeft() + 1);
    EXPECT_EQ(clip->bottom, g.PlotBottom() - 1);
    EXPECT_NE(std::get_if<TPolylinePrim>(&p[p.size() - 2]), nullptr);
    EXPECT_FALSE(std::get<TClipPrim>(p.back()).enabled);
    g.XAxis().SetCaption("Z");
    EXPECT_TRUE(g.NeedsRedraw());
}

} // namespace
} // namespace ksn::test
