// The Qt painter of the pictures: the colours of known cells of a small false-colour map
// in the rendered image, the curve and the clip of a graph, text painted with an
// installed font, and SVG that an XML parser reads to the end.
#include "display/SvgWriter.h"
#include "display/VellDiagram.h"
#include "display/VellGrafX.h"
#include "render/PictureRender.h"

#include <QColor>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace ksn::test {
namespace {

class Render : public ::testing::Test {
protected:
    void SetUp() override { render::StartOffscreenApplication(); }
};

QColor Colour(TRgb c) { return QColor(c.r, c.g, c.b); }

std::string Name(const QColor& c)
{
    char text[64];
    std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", c.red(), c.green(), c.blue(), c.alpha());
    return text;
}

TEST_F(Render, KnownCellsOfASmallMapShowTheirPaletteColour)
{
    constexpr int w = 8, h = 16, zoom = 3;
    // Signed values on a non-square grid: v = (c - 3) * (r - 5) / 7.
    std::vector<double> v(size_t(w) * h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            v[size_t(c + r * w)] = (c - 3) * (r - 5) / 7.0;
    const double lo = *std::min_element(v.begin(), v.end()), hi = *std::max_element(v.begin(), v.end());
    for (bool rises : {true, false}) {
        TVellDiagram d;
        d.SetBgColor(kWhite);
        d.SetBmpSize(w, h);
        d.SetZoom(zoom);
        d.XAxis().SetLimits(-8, 8);
        d.YAxis().SetLimits(rises ? -16 : 16, rises ? 16 : -16);
        d.SetPalette(6);
        d.SetWithBar(true);
        ASSERT_TRUE(d.SetData(v));
        const QImage image = render::RenderPicture(d.Draw());
        ASSERT_EQ(image.width(), d.GetWidth());
        const TColourTable table = MakeColourTable(6);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const int k = int(std::lround(255 * (v[size_t(c + r * w)] - lo) / (hi - lo)));
                const int imageRow = rises ? h - 1 - r : r;
                // Every pixel of the cell, not only its middle.
                for (int dy = 0; dy < zoom; ++dy)
                    for (int dx = 0; dx < zoom; ++dx) {
                        const QColor got = image.pixelColor(d.GetLBoarder() + zoom * c + dx,
                            d.GetTBoarder() + zoom * imageRow + dy);
                        ASSERT_EQ(got, Colour(table[size_t(k)]))
                            << "cell (" << c << ", " << r << ") rises " << rises << ": " << Name(got);
                    }
            }
        // The frame around the image, and the bar: pixel row j of the bar shows strip row
        // floor((j + 1/2) * 256 / (zoom * h)), which holds colour 255 minus that row.
        EXPECT_EQ(image.pixelColor(d.GetLBoarder() - 1, d.GetTBoarder() + 5), QColor(Qt::black));
        const int barX = d.GetLBoarder() + zoom * w + 1 + 13;
        for (int j : {0, zoom * h / 2, zoom * h - 1}) {
            const int stripRow = int((j + 0.5) * 256 / (zoom * h));
            EXPECT_EQ(image.pixelColor(barX + 4, d.GetTBoarder() + j), Colour(table[size_t(255 - stripRow)])) << j;
        }
    }
}

TEST_F(Render, GraphCurveIsPaintedInsideTheFrameOnly)
{
    vellgrafx::TVellGrafX g;
    g.BackGnd().SetRange(vellgrafx::TBackgndRange::bgAll);
    g.XAxis().SetLimits(0, 10);
    g.YAxis().SetLimits(0, 10);
    // A level line at y = 5 that leaves through the top at x = 8.
    const double xs[] = {0, 7, 8, 10}, ys[] = {5, 5, 50, 50};
    g.Plot().SetCount(4);
    for (int i = 0; i < 4; ++i) {
        g.Plot().SetX(i, xs[i]);
        g.Plot().SetY(i, ys[i]);
    }
    g.DrawBackground();
    g.ClearForeground();
    g.DrawPlot();
    const QImage image = render::RenderPicture(g.Compose());
    const int y5 = int(g.YAxis().ValueToPixel(5));
    const int x3 = int(g.XAxis().ValueToPixel(3));
    EXPECT_EQ(image.pixelColor(x3, y5), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(x3, y5 - 2), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(g.PlotLeft(), g.PlotTop()), QColor(Qt::black)); // frame corner
    // Nothing of the steep part above the frame.
    const int x8 = int(g.XAxis().ValueToPixel(8.05));
    for (int y = 0; y < g.PlotTop(); ++y)
        EXPECT_NE(image.pixelColor(x8, y), QColor(0, 0, 255)) << "y " << y;
}

TEST_F(Render, TextIsPaintedWithAnInstalledFont)
{
    TPicture picture(120, 40);
    picture.FillRect(kWhite, 0, 0, 120, 40);
    picture.Text(TFontSpec{"Times New Roman", 20, true, true, kBlack}, 60, 30, TTextAlign::centre, "Kestrin");
    const QImage image = render::RenderPicture(picture);
    int dark = 0, leftmost = 120, rightmost = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (image.pixelColor(x, y).lightness() < 100) {
                ++dark;
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
    EXPECT_GT(dark, 60);
    EXPECT_NEAR(0.5 * (leftmost + rightmost), 60, 3); // centred on its anchor
}

TEST_F(Render, SvgOfDiagramAndGraphIsWellFormedXml)
{
    TVellDiagram d;
    d.SetTitle("n & \"<index>\" \xC2\xB5m");
    d.SetWithBar(true);
    d.XAxis().SetGrid(TDGridStyle::dgsDotted);
    vellgrafx::TVellGrafX g;
    g.SetBackgroundTitle("Irradiance over propagation dist.");
    g.Plot().SetCount(3);
    g.DrawBackground();
    g.ClearForeground();
    g.DrawPlot();
    for (const TPicture& picture : {d.Draw(), g.Compose()}) {
        QXmlStreamReader xml(QByteArray::fromStdString(PictureToSvg(picture)));
        int elements = 0;
        QString root;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && elements++ == 0)
                root = xml.name().toString();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(root.toStdString(), "svg");
        EXPECT_GT(elements, 20);
    }
}

} // namespace
} // namespace ksn::test
