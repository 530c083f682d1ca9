// The false-colour diagram's model: colour indices, the image's row order, the axis
// maps and conversions at zoom > 1 on a non-square grid with signed, reversed axes,
// read-outs, and what Draw records.
#include "display/VellDiagram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ksn::test {
namespace {

constexpr int kW = 8, kH = 16, kZoom = 3;

// 8 x 16 cells, zoom 3, x from -4 to 12, y rising from -6 to 10 (or falling).
TVellDiagram MakeDiagram(bool yRises = true)
{
    TVellDiagram d;
    d.SetBmpSize(kW, kH);
    d.SetZoom(kZoom);
    d.XAxis().SetLimits(-4, 12);
    d.YAxis().SetLimits(yRises ? -6 : 10, yRises ? 10 : -6);
    return d;
}

// Value of a cell: its row number (column added as a tiebreaker small enough not to
// change the colour index ordering by rows).
std::vector<double> RowRamp()
{
    std::vector<double> v(size_t(kW) * kH);
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c)
            v[size_t(c + r * kW)] = r;
    return v;
}

template <class T>
std::vector<T> PrimitivesOf(const TPicture& p)
{
    std::vector<T> out;
    for (const TPrimitive& q : p.Primitives())
        if (const T* t = std::get_if<T>(&q))
            out.push_back(*t);
    return out;
}

TEST(Diagram, AllEqualValuesGiveIndexZero)
{
    TVellDiagram d = MakeDiagram();
    ASSERT_TRUE(d.SetData(std::vector<double>(size_t(kW) * kH, -2.5)));
    EXPECT_EQ(d.GetMaxValue(), -2.5);
    EXPECT_EQ(d.GetMinValue(), -2.5);
    for (std::uint8_t i : d.ImageIndices())
        ASSERT_EQ(i, 0);
}

TEST(Diagram, FixedScaleSaturatesOutsideAndRoundsInside)
{
    TVellDiagram d = MakeDiagram();
    d.SetAutoGain(false);
    d.SetValueRange(-1, 3); // gain 255/4 = 63.75
    EXPECT_EQ(d.ColourIndex(-5), 0);
    EXPECT_EQ(d.ColourIndex(7), 255);
    EXPECT_EQ(d.ColourIndex(-1), 0);
    EXPECT_EQ(d.ColourIndex(3), 255);
    EXPECT_EQ(d.ColourIndex(1), 128); // round(127.5)
    EXPECT_EQ(d.ColourIndex(0.5), 96); // round(95.625)
    EXPECT_EQ(d.ColourIndex(std::numeric_limits<double>::quiet_NaN()), 0);
    // Data does not move a fixed scale.
    std::vector<double> v(size_t(kW) * kH, 100.0);
    v[0] = -100;
    ASSERT_TRUE(d.SetData(v));
    EXPECT_EQ(d.GetMinValue(), -1);
    EXPECT_EQ(d.GetMaxValue(), 3);
}

TEST(Diagram, AutoGainTakesTheFiniteExtremes)
{
    TVellDiagram d = MakeDiagram();
    std::vector<double> v(size_t(kW) * kH, 1.0);
    v[0] = std::numeric_limits<double>::quiet_NaN();
    v[1] = std::numeric_limits<double>::infinity();
    v[2] = -std::numeric_limits<double>::infinity();
    v[3] = -3;
    v[4] = 5;
    ASSERT_TRUE(d.SetData(v));
    EXPECT_EQ(d.GetMinValue(), -3);
    EXPECT_EQ(d.GetMaxValue(), 5);
    EXPECT_EQ(d.ColourIndex(v[1]), 255);
    EXPECT_EQ(d.ColourIndex(v[2]), 0);
    EXPECT_EQ(d.ColourIndex(1.0), 128); // round(255/8 * 4) = round(127.5)
}

TEST(Diagram, WrongDataCountIsRefused)
{
    TVellDiagram d = MakeDiagram();
    ASSERT_TRUE(d.SetData(RowRamp()));
    EXPECT_FALSE(d.SetData(std::vector<double>(size_t(kW) * kH - 1, 9.0)));
    EXPECT_EQ(d.GetValue(0, kH - 1), kH - 1);
    EXPECT_EQ(d.GetValue(kW, 0), 0.0);
    EXPECT_EQ(d.GetValue(-1, 0), 0.0);
}

TEST(Diagram, RisingYAxisPutsRowZeroAtTheBottomFallingKeepsItOnTop)
{
    for (bool rises : {true, false}) {
        TVellDiagram d = MakeDiagram(rises);
        ASSERT_TRUE(d.SetData(RowRamp()));
        for (int imageRow = 0; imageRow < kH; ++imageRow) {
            const int dataRow = rises ? kH - 1 - imageRow : imageRow;
            EXPECT_EQ(d.ImageIndices()[size_t(imageRow) * kW], d.ColourIndex(dataRow)) << "rises " << rises;
        }
    }
}

TEST(Diagram, LimitsLandOnTheFirstAndLastImagePixel)
{
    TVellDiagram d = MakeDiagram();
    d.SetBoarders(48, 8, 10, 24);
    EXPECT_EQ(d.XAxis().ValueToPixel(-4), 48);
    EXPECT_EQ(d.XAxis().ValueToPixel(12), 48 + kZoom * kW - 1);
    EXPECT_EQ(d.YAxis().ValueToPixel(10), 10);
    EXPECT_EQ(d.YAxis().ValueToPixel(-6), 10 + kZoom * kH - 1);
    double x = 0, y = 0;
    d.PixelToAxis(48 + kZoom * kW - 1, 10, x, y);
    EXPECT_NEAR(x, 12, 1e-12);
    EXPECT_NEAR(y, 10, 1e-12);
}

TEST(Diagram, EveryZoomedPixelConvertsToItsOwnCell)
{
    for (bool rises : {true, false}) {
        TVellDiagram d = MakeDiagram(rises);
        const int lb = d.GetLBoarder(), tb = d.GetTBoarder();
        for (int py = tb - 4; py < tb + kZoom * kH + 4; ++py)
            for (int px = lb - 4; px < lb + kZoom * kW + 4; ++px) {
                double x = 0, y = 0;
                int column = 0, row = 0;
                d.PixelToAxis(px, py, x, y);
                d.AxisToCell(x, y, column, row);
                const bool inX = px >= lb && px < lb + kZoom * kW;
                const bool inY = py >= tb && py < tb + kZoom * kH;
                const int wantColumn = inX ? (px - lb) / kZoom : -1;
                const int wantRow = !inY ? -1 : rises ? (tb + kZoom * kH - 1 - py) / kZoom : (py - tb) / kZoom;
                ASSERT_EQ(column, wantColumn) << "pixel (" << px << ", " << py << ") rises " << rises;
                ASSERT_EQ(row, wantRow) << "pixel (" << px << ", " << py << ") rises " << rises;
            }
    }
}

TEST(Diagram, ReadOutsNameCellCoordinatesAndValue)
{
    TVellDiagram d = MakeDiagram();
    std::vector<double> v(size_t(kW) * kH, 0.0);
    v[size_t(2 + 3 * kW)] = -0.125;
    ASSERT_TRUE(d.SetData(v));
    // Middle pixel of cell (2, 3): x = -4 + (6 + 1) * 16/23, y = -6 + (9 + 1) * 16/47.
    const int px = d.GetLBoarder() + 2 * kZoom + 1;
    const int py = d.GetTBoarder() + kZoom * (kH - 1 - 3) + 1;
    EXPECT_EQ(d.ReadOutText(TReadOut::intensity, px, py),
        "Intensity @ (2,3) - (0.870, -2.596): -0.125000000000000000");
    EXPECT_EQ(d.ReadOutText(TReadOut::realE, px, py), "Real(E) @ (2,3) - (0.87, -2.60): -0.125000");
    EXPECT_EQ(d.MoveText(px, py), "x = 0.87, y = -2.60, v = -0.125000");
    EXPECT_EQ(d.ReadOutText(TReadOut::amplitude, d.GetLBoarder() - 1, py), "");
    EXPECT_EQ(d.MoveText(px, d.GetTBoarder() + kZoom * kH), "");
}

TEST(Diagram, EqualAxisLimitsKeepConversionsFinite)
{
    TVellDiagram d = MakeDiagram();
    d.XAxis().SetLimits(5, 5);
    double x = 0, y = 0;
    d.PixelToAxis(60, 20, x, y);
    EXPECT_EQ(x, 5);
    int column = 7, row = 7;
    d.AxisToCell(x, y, column, row);
    EXPECT_EQ(column, 0);
    d.SetZoom(0); // counts as 1
    EXPECT_EQ(d.GetZoom(), 1);
}

TEST(Diagram, DrawRecordsImageColourBarAndCrossHair)
{
    TVellDiagram d = MakeDiagram();
    ASSERT_TRUE(d.SetPalette(1));
    ASSERT_TRUE(d.SetData(RowRamp()));
    d.SetWithBar(true);
    d.SetMarkVisible(true);
    d.SetMark(0, 30); // x inside, y above the image
    const TPicture picture = d.Draw();
    const int lb = d.GetLBoarder(), tb = d.GetTBoarder();

    const auto images = PrimitivesOf<TImagePrim>(picture);
    ASSERT_EQ(images.size(), 2u);
    const TImagePrim& image = images[0];
    EXPECT_EQ(image.width, kW);
    EXPECT_EQ(image.left, lb);
    EXPECT_EQ(image.top, tb);
    EXPECT_EQ(image.right, lb + kZoom * kW);
    EXPECT_EQ(image.bottom, tb + kZoom * kH);
    // Top image row shows the highest data row: palette 1's last entry.
    EXPECT_TRUE((image.pixels[0] == TRgb{254, 254, 0}));
    EXPECT_TRUE((image.pixels[size_t(kW) * (kH - 1)] == TRgb{0, 254, 254}));

    const TImagePrim& bar = images[1];
    const int right = lb + kZoom * kW + 1;
    EXPECT_EQ(bar.left, right + 13);
    EXPECT_EQ(bar.right, right + 23);
    EXPECT_EQ(bar.bottom - bar.top, kZoom * kH);
    EXPECT_TRUE((bar.pixels[0] == TRgb{254, 254, 0})); // highest colour on top
    EXPECT_TRUE((bar.pixels[255] == TRgb{0, 254, 254}));

    // Bar labels: max - i*(max - min)/4 at round(i*Zoom*BmpHeight/4) + 4 below the top.
    std::vector<TTextPrim> labels;
    for (const TTextPrim& t : PrimitivesOf<TTextPrim>(picture))
        if (t.x == right + 28)
            labels.push_back(t);
    ASSERT_EQ(labels.size(), 5u);
    const char* want[] = {"15.00", "11.25", "7.50", "3.75", "0.00"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(labels[size_t(i)].text, want[i]);
        EXPECT_EQ(labels[size_t(i)].y, tb - 1 + std::lround(i * kZoom * kH / 4.0) + 4);
    }

    // Cross-hair: the vertical line only (MarkY lies above the image).
    const int markPixel = d.XAxis().ValueToPixel(0);
    int crossLines = 0;
    for (const TPolylinePrim& line : PrimitivesOf<TPolylinePrim>(picture))
        if (line.pen.color == d.GetMarkColor()) {
            ++crossLines;
            EXPECT_EQ(line.points[0].x, markPixel);
            EXPECT_EQ(line.points[1].x, markPixel);
        }
    EXPECT_EQ(crossLines, 1);
}

TEST(Diagram, FitLayoutMakesRoomForLabelsTitleAndBar)
{
    TVellDiagram d = MakeDiagram();
    d.YAxis().SetLimits(-100000, 100000);
    d.SetTitle("A title much wider than the image itself");
    d.SetWithBar(true);
    d.FitLayout();
    const TPicture picture = d.Draw();
    // Every text lies within the control (approximate widths).
    for (const TTextPrim& t : PrimitivesOf<TTextPrim>(picture)) {
        const int w = ApproxTextWidth(t.text, t.font);
        const double left = t.align == TTextAlign::left ? t.x : t.align == TTextAlign::centre ? t.x - w / 2.0 : t.x - w;
        EXPECT_GE(left, 0) << t.text;
        EXPECT_LE(left + w, d.GetWidth()) << t.text;
        EXPECT_GE(t.y - t.font.pixelSize, 0) << t.text;
        EXPECT_LE(t.y, d.GetHeight()) << t.text;
    }
}

} // namespace
} // namespace ksn::test
