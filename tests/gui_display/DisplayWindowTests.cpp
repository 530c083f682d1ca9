// The display windows under the offscreen platform: edits with bad text, read-outs at
// the image borders, the Fourier view of a plane wave, the full amplitude, the layer
// analysis of a known scene, the string grid and the clipboard, and the refresh that
// coalesces hand-overs.
#include "DisplayTestSupport.h"

#include "display/AmplitudeWindow.h"
#include "display/DisplayWindows.h"
#include "display/FieldWindow.h"
#include "display/IntensityWindow.h"
#include "display/SceneWindow.h"
#include "display/ColourTables.h"
#include "display/NumberFormat.h"
#include "scene/BrelScenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <memory>
#include <numbers>

using namespace ksn;
using namespace ksn::gui;
using namespace ksn::test;

namespace {

QString Text(const char* format, int column, int row, double x, double y, double v)
{
    char text[200];
    std::snprintf(text, sizeof text, format, column, row, x, y, v);
    return QString::fromUtf8(text);
}

// What the read-out map gives for an image pixel: the first and the last image pixel
// carry the axis limits, linearly in between.
double PixelValue(int pixel, int first, int pixels, double lo, double hi)
{
    return lo + (pixel - first) * (hi - lo) / (pixels - 1);
}

void Check(QWidget* window, const char* name, bool on)
{
    auto* box = window->findChild<QAbstractButton*>(name);
    QVERIFY2(box, name);
    if (box->isChecked() != on)
        box->click();
}

} // namespace

class DisplayWindowTests : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        myWindows = std::make_unique<TDisplayWindows>();
        myWindows->SetMessageHandler(myMessages.Handler());
        for (TDisplayKind k :
            {TDisplayKind::amplitude, TDisplayKind::field, TDisplayKind::scene, TDisplayKind::intensity})
            myWindows->SetShown(k, true);
    }
    void cleanup()
    {
        myWindows.reset();
        myMessages.Take();
    }

    void zoomPaletteAndFormatEditsRefuseBadText();
    void readOutsAtTheImageBorders();
    void fourierViewPutsAPlaneWaveAtItsFrequency();
    void fullAmplitudeNeedsAllThreeComponentsAndSquaresComplexValues();
    void layerAnalysisProfilesAKnownScene();
    void stringGridShowsTheValuesAndCopyThenDoesNothing();
    void handOversCoalesceAndTheLatestWins();
    void badComponentOrOrientationStoresNothing();
    void clipLevelLimitsEachPartButNotTheIndex();

private:
    std::unique_ptr<TDisplayWindows> myWindows;
    TMessages myMessages;
};

void DisplayWindowTests::zoomPaletteAndFormatEditsRefuseBadText()
{
    const TGridParms grid = Grid(8, 16, 4, 1.0, 0.5, 1.0);
    // Modulus 1 + c + 8r: the largest value 128 in the last cell.
    const TComplexArray a = MakeArray(8, 16, [](int c, int r) { return TComplex{0, 1.0 + c + 8 * r}; });
    TAmplitudeWindow* w = myWindows->Amplitude();
    myWindows->DisplayAmplitude(kXY, grid, a, 1);
    w->Refresh();
    TDiagramWidget* d = w->Diagrams()[0];
    QVERIFY(d->isVisible());
    const int width1 = d->width();

    Type(w, "zoomEdit", "3");
    QCOMPARE(d->Model().GetZoom(), 3);
    QCOMPARE(d->width(), d->Picture().Width());
    QVERIFY(d->width() >= width1 + 2 * 8);
    for (const char* bad : {"2.5", "", "3x"}) {
        Type(w, "zoomEdit", bad);
        QCOMPARE(
            myMessages.Take(), std::vector<std::string>{"Error. Cannot convert String to Integer (Zoom of ADisp)."});
        QCOMPARE(w->Zoom(), 3);
        QCOMPARE(w->findChild<QLineEdit*>("zoomEdit")->text(), QString("3"));
    }
    Type(w, "zoomEdit", "0");
    QCOMPARE(myMessages.Take().size(), size_t(1));
    QCOMPARE(d->Model().GetZoom(), 3);

    // The intensity window falls back to zoom 1; the field window keeps its zoom.
    TIntensityWindow* iw = myWindows->Intensity();
    myWindows->DisplayIntensity(kXY, grid, a.FirstPart());
    Type(iw, "zoomEdit", "4");
    Type(iw, "zoomEdit", "four");
    QCOMPARE(myMessages.Take(), std::vector<std::string>{"Error. Cannot convert String to Integer (Zoom of IDisp)."});
    QCOMPARE(iw->Diagrams()[0]->Model().GetZoom(), 1);
    Type(myWindows->Field(), "zoomEdit", "2");
    Type(myWindows->Field(), "zoomEdit", "1,5");
    QCOMPARE(myMessages.Take(),
        std::vector<std::string>{"Error. Cannot convert String to Integer (Zoom of NGrid-Display)."});
    QCOMPARE(myWindows->Field()->Zoom(), 2);

    // Palette: only 0 … 8; a new palette recolours the cells on the screen.
    Type(w, "paletteEdit", "9");
    Type(w, "paletteEdit", "1.0");
    QCOMPARE(myMessages.Take(), (std::vector<std::string>{"Palette must lie between 0 and 8.",
                                    "Please check input. Inappropriate type!"}));
    QCOMPARE(d->Model().GetPalette(), 0);
    Type(w, "paletteEdit", "5");
    QVERIFY(myMessages.Take().empty());
    const TColourTable table = MakeColourTable(5);
    QVERIFY(d->Model().ColourTable() == table);
    const QImage shot = Grab(d);
    QCOMPARE(shot.pixel(CellCentre(d->Model(), 7, 15)), Rgb(table[255]));
    QCOMPARE(shot.pixel(CellCentre(d->Model(), 0, 0)), Rgb(table[0]));

    // Format: one real conversion, else the old one stays.
    Type(w, "formatEdit", "%s");
    QCOMPARE(myMessages.Take().size(), size_t(1));
    QCOMPARE(d->Model().GetBarFormat(), std::string("%.2f"));
    Type(w, "formatEdit", "%.3e");
    QCOMPARE(d->Model().GetBarFormat(), std::string("%.3e"));
    bool barLabel = false;
    for (const TPrimitive& p : d->Picture().Primitives())
        if (const auto* t = std::get_if<TTextPrim>(&p))
            barLabel = barLabel || t->text == "1.280e+02";
    QVERIFY(barLabel);
}

void DisplayWindowTests::readOutsAtTheImageBorders()
{
    // Signed values on a non-square grid: Re = (c - 3)(r - 5)/7, Im = -(c + r).
    const int nx = 8, ny = 16, zoom = 3;
    const TGridParms grid = Grid(nx, ny, 4, 1.0, 0.5, 1.0); // x and y from -4 to 4
    const auto re = [](int c, int r) { return (c - 3) * (r - 5) / 7.0; };
    const TComplexArray a = MakeArray(nx, ny, [&](int c, int r) { return TComplex{re(c, r), -double(c + r)}; });
    TFieldWindow* w = myWindows->Field();
    Type(w, "zoomEdit", QString::number(zoom));
    myWindows->DisplayField(kXY, grid, a, 1);
    w->Refresh();
    TDiagramWidget* real = w->Diagrams()[0];
    TDiagramWidget* imag = w->Diagrams()[3];
    const TVellDiagram& m = real->Model();
    const int left = m.GetLBoarder(), top = m.GetTBoarder();
    const int right = left + zoom * nx - 1, bottom = top + zoom * ny - 1; // last image pixels

    struct TCase {
        int px, py, column, row;
    };
    const TCase cases[] = {
        {left, bottom, 0, 0},          // bottom-left corner pixel: data row 0 is at the bottom
        {right, top, nx - 1, ny - 1},  // top-right corner pixel
        {left + zoom - 1, bottom, 0, 0}, // last pixel of the zoomed cell 0
        {left + zoom, bottom - zoom, 1, 1}, // first pixel of cell (1, 1)
    };
    for (const TCase& c : cases) {
        QTest::mouseClick(real, Qt::LeftButton, {}, QPoint(c.px, c.py));
        const double x = PixelValue(c.px, left, zoom * nx, -4, 4);
        const double y = PixelValue(-c.py, -bottom, zoom * ny, -4, 4); // upwards from the bottom pixel
        QCOMPARE(w->windowTitle(),
            Text("Real(E) @ (%d,%d) - (%.2f, %.2f): %.6f", c.column, c.row, x, y, re(c.column, c.row)));
        // Through the window, as the window system delivers a move.
        QTest::mouseMove(w->windowHandle(), real->mapTo(w, QPoint(c.px, c.py)));
        char move[120];
        std::snprintf(move, sizeof move, "x = %.2f, y = %.2f, v = %.6f", x, y, re(c.column, c.row));
        QCOMPARE(w->MoveText(), QString(move));
    }
    // The frame around the image is no cell: the caption stays.
    const QString before = w->windowTitle();
    for (QPoint p :
        {QPoint(left - 1, bottom), QPoint(right + 1, top), QPoint(left, bottom + 1), QPoint(left, top - 1)}) {
        QTest::mouseClick(real, Qt::LeftButton, {}, p);
        QCOMPARE(w->windowTitle(), before);
    }
    QTest::mouseClick(imag, Qt::LeftButton, {}, QPoint(right, top));
    QCOMPARE(
        w->windowTitle(), Text("Imag(E) @ (%d,%d) - (%.2f, %.2f): %.6f", nx - 1, ny - 1, 4, 4, -double(nx + ny - 2)));

    // The intensity window reads out with three and eighteen decimals.
    const TComplexArray ia = MakeArray(nx, ny, [](int c, int r) { return TComplex{0.125 * c + r, 0}; });
    TIntensityWindow* iw = myWindows->Intensity();
    myWindows->DisplayIntensity(kXY, grid, ia.FirstPart());
    iw->Refresh();
    const TVellDiagram& im = iw->Diagrams()[0]->Model();
    QTest::mouseClick(iw->Diagrams()[0], Qt::LeftButton, {},
        QPoint(im.GetLBoarder() + nx - 1, im.GetTBoarder() + ny - 1));
    QCOMPARE(iw->windowTitle(), Text("Intensity @ (%d,%d) - (%.3f, %.3f): %.18f", nx - 1, 0, 4, -4, 0.875));

    // A right click puts the cross-hair through the point, the next one takes it away.
    const QPoint centre = CellCentre(m, 2, 9);
    QTest::mouseClick(real, Qt::RightButton, {}, centre);
    QVERIFY(m.GetMarkVisible());
    QCOMPARE(Grab(real).pixel(centre.x(), top + 1), qRgb(255, 0, 0));
    QCOMPARE(Grab(real).pixel(left + 1, centre.y()), qRgb(255, 0, 0));
    QTest::mouseClick(real, Qt::RightButton, {}, centre);
    QVERIFY(!m.GetMarkVisible());
    QVERIFY(Grab(real).pixel(centre.x(), top + 1) != qRgb(255, 0, 0));
}

void DisplayWindowTests::fourierViewPutsAPlaneWaveAtItsFrequency()
{
    // E = exp(i kx x) with kx = m * 2 pi / (nx dx) on x = (c - nx/2) dx: the centred
    // forward transform is nx*ny at column nx/2 + m of row ny/2, zero elsewhere; the
    // backward one (1/(nx ny)) * nx*ny = 1 at column nx/2 - m.
    const int nx = 16, ny = 8, m = 3;
    const double dx = 0.5, dy = 1.0;
    const TGridParms grid = Grid(nx, ny, 4, dx, dy, 1.0);
    const double kx = m * 2 * std::numbers::pi / (nx * dx);
    const TComplexArray wave = MakeArray(nx, ny, [&](int c, int) {
        const double x = (c - nx / 2) * dx;
        return TComplex{std::cos(kx * x), std::sin(kx * x)};
    });
    TAmplitudeWindow* w = myWindows->Amplitude();
    Type(w, "zoomEdit", "4");
    myWindows->DisplayAmplitude(kXY, grid, wave, 1);
    w->Refresh();
    Check(w, "fourierFFT", true);
    TDiagramWidget* d = w->Diagrams()[0];
    const TVellDiagram& model = d->Model();
    QCOMPARE(model.XAxis().GetLoLimit(), -std::numbers::pi / dx);
    QCOMPARE(model.XAxis().GetHiLimit(), std::numbers::pi / dx);
    QCOMPARE(model.YAxis().GetHiLimit(), std::numbers::pi / dy);
    QCOMPARE(model.XAxis().GetCaption(), std::string("kx [1/\xC2\xB5m]"));
    QVERIFY(std::fabs(model.GetValue(nx / 2 + m, ny / 2) - nx * ny) < 1e-9);
    const TColourTable table = MakeColourTable(0);
    const QImage shot = Grab(d);
    for (int r = 0; r < ny; ++r)
        for (int c = 0; c < nx; ++c) {
            const bool peak = c == nx / 2 + m && r == ny / 2;
            QVERIFY2(shot.pixel(CellCentre(model, c, r)) == Rgb(table[peak ? 255 : 0]),
                qPrintable(QString("cell %1, %2").arg(c).arg(r)));
        }

    Check(w, "fourierIFFT", true);
    QVERIFY(std::fabs(model.GetValue(nx / 2 - m, ny / 2) - 1) < 1e-12);
    QCOMPARE(model.XAxis().GetLoLimit(), -nx * dx / 2); // back to space
    QCOMPARE(Grab(d).pixel(CellCentre(model, nx / 2 - m, ny / 2)), Rgb(table[255]));

    // A z-cut of 20 slices has no power-of-two side: the view says so and goes back to "None".
    myWindows->DisplayAmplitude(kXZ, grid, MakeArray(20, nx, [](int c, int) { return TComplex{double(c), 0}; }), 1);
    Check(w, "fourierFFT", true);
    QCOMPARE(myMessages.Take().size(), size_t(1));
    QVERIFY(w->findChild<QRadioButton*>("fourierNone")->isChecked());
    QCOMPARE(model.GetBmpWidth(), 20);
    QCOMPARE(model.GetValue(19, 3), 19.0);
}

void DisplayWindowTests::fullAmplitudeNeedsAllThreeComponentsAndSquaresComplexValues()
{
    const int nx = 8, ny = 4;
    const TGridParms grid = Grid(nx, ny, 4, 1.0, 1.0, 1.0);
    TAmplitudeWindow* w = myWindows->Amplitude();
    // Ex = 1 + c/10, Ey = i, Ez = 1/2: Ex^2 + Ey^2 + Ez^2 = (1 + c/10)^2 - 3/4, whose
    // root differs from the root of the squared moduli, sqrt((1 + c/10)^2 + 5/4).
    const TComplexArray ex = MakeArray(nx, ny, [](int c, int) { return TComplex{1 + c / 10.0, 0}; });
    myWindows->DisplayAmplitude(kXY, grid, ex, 1);
    w->Refresh();
    TDiagramWidget* first = w->Diagrams()[0];
    const QImage before = first->RenderedImage();

    Check(w, "fullAmplitudeCheck", true);
    QCOMPARE(myMessages.Take(),
        std::vector<std::string>{"TForm2.display:: Please draw all vector components before you enable the \"full "
                                 "amplitude\" drawing to reserve the required memory."});
    QVERIFY(!w->FullAmplitudeOn());
    QCOMPARE(first->RenderedImage(), before);

    myWindows->DisplayAmplitude(kXY, grid, MakeArray(nx, ny, [](int, int) { return TComplex{0, 1}; }), 2);
    myWindows->DisplayAmplitude(kXY, grid, MakeArray(nx, ny, [](int, int) { return TComplex{0.5, 0}; }), 3);
    w->Refresh();
    QVERIFY(w->Diagrams()[1]->isVisible() && w->Diagrams()[2]->isVisible());
    Check(w, "fullAmplitudeCheck", true);
    QVERIFY(myMessages.Take().empty());
    QVERIFY(w->FullAmplitudeOn());
    QVERIFY(!w->Diagrams()[1]->isVisible() && !w->Diagrams()[2]->isVisible());
    for (int c = 0; c < nx; ++c) {
        const double expected = std::sqrt((1 + c / 10.0) * (1 + c / 10.0) - 0.75);
        QVERIFY2(std::fabs(first->Model().GetValue(c, 2) - expected) < 1e-12, qPrintable(QString::number(c)));
    }

    // A component of another size starts a new cut: the other two go, and without them
    // the full amplitude gives way to the message.
    myWindows->DisplayAmplitude(kXY, grid, MakeArray(4, 4, [](int, int) { return TComplex{1, 0}; }), 3);
    w->Refresh();
    QCOMPARE(myMessages.Take().size(), size_t(1));
    QVERIFY(!w->FullAmplitudeOn());
    QVERIFY(!w->HasComponent(1) && !w->HasComponent(2) && w->HasComponent(3));
    QVERIFY(!first->isVisible() && w->Diagrams()[2]->isVisible());
}

void DisplayWindowTests::layerAnalysisProfilesAKnownScene()
{
    // Air for 2 µm, then glass n = 1.5 + 0.01i for 3 µm; levels every 0.5 µm. The x-z
    // cut through the middle row has one column per level and one row per x point.
    const int nx = 8, ny = 4, nz = 10;
    const TGridParms grid = Grid(nx, ny, nz, 1.0, 1.0, 0.5);
    TBrelScenes scene(0, grid, false);
    TLayerParms air, glass;
    air.zStart = 0;
    air.thickness = 2;
    air.nSubject = air.nSpace = {1.0, 0.0};
    glass.zStart = 2;
    glass.thickness = 3;
    glass.nSubject = glass.nSpace = {1.5, 0.01};
    scene.Replace(0, air);
    scene.Replace(1, glass);
    QVERIFY(scene.BuildSystemArray());
    TComplexArray cut(nz, nx);
    for (int iz = 0; iz < nz; ++iz)
        for (int x = 0; x < nx; ++x)
            cut.SetAt(iz, x, scene.GetLevel(iz)->At(x, ny / 2));

    TSceneWindow* w = myWindows->Scene();
    myWindows->DisplayScene(kXZ, grid, cut);
    w->Refresh();
    Check(w, "layerCheck", true);
    QCOMPARE(w->CurrentPage(), w->ProfilePage());
    QCOMPARE(w->LayerIndex(), nx / 2); // the track bar starts in the middle row
    const auto& graph = w->Graphs()[0]->Model();
    QCOMPARE(graph.Plot().GetCount(), nz);
    for (int iz = 0; iz < nz; ++iz) {
        QCOMPARE(graph.Plot().GetX(iz), iz * 0.5); // along z from 0, not centred
        if (iz != 4)                               // level 4 lies on the interface
            QCOMPARE(graph.Plot().GetY(iz), iz < 4 ? 1.0 : 1.5);
    }
    QCOMPARE(graph.XAxis().GetLoLimit(), 0.0);
    QCOMPARE(graph.XAxis().GetHiLimit(), nz * 0.5);
    QCOMPARE(graph.YAxis().GetLoLimit(), 1.0);
    QCOMPARE(graph.YAxis().GetHiLimit(), 1.5);

    Check(w, "imagN", true);
    QCOMPARE(graph.Plot().GetY(9), 0.01);
    QCOMPARE(graph.YAxis().GetHiLimit(), 0.01);

    // Along "Y": a column (here level 9), centred positions (i - nx/2) dx; a flat
    // profile widens its y limits by one either way.
    Check(w, "layerAxisY", true);
    auto* slider = w->findChild<QSlider*>("layerSlider");
    QCOMPARE(slider->maximum(), nz - 1);
    slider->setValue(9);
    QCOMPARE(graph.Plot().GetCount(), nx);
    QCOMPARE(graph.Plot().GetX(0), -4.0);
    QCOMPARE(graph.Plot().GetX(nx - 1), 3.0);
    QCOMPARE(graph.YAxis().GetLoLimit(), 0.01 - 1);
    Type(w, "layerEdit", "0");
    QCOMPARE(slider->value(), 0);
    QCOMPARE(graph.Plot().GetY(3), 0.0);
    Type(w, "layerEdit", "x");
    QCOMPARE(myMessages.Take(), std::vector<std::string>{"Please check input. Inappropriate type!"});

    // With the string grid the profile goes into the grid, one index per row.
    Check(w, "stringGridCheck", true);
    slider->setValue(9);
    QCOMPARE(w->CurrentPage(), w->GridPage());
    QCOMPARE(w->StringGrid()->model()->rowCount(), nx);
    QCOMPARE(w->StringGrid()->CellText(0, 2), QString("1.5+0.01i"));
}

void DisplayWindowTests::stringGridShowsTheValuesAndCopyThenDoesNothing()
{
    const TGridParms grid = Grid(8, 4, 4, 1.0, 1.0, 1.0);
    const TComplexArray a = MakeArray(8, 4, [](int c, int r) { return TComplex{1.25 * c - r, 0}; });
    TIntensityWindow* w = myWindows->Intensity();
    myWindows->DisplayIntensity(kXY, grid, a.FirstPart());
    w->Refresh();
    QClipboard* clipboard = QGuiApplication::clipboard();

    Check(w, "stringGridCheck", true);
    QCOMPARE(w->CurrentPage(), w->GridPage());
    QCOMPARE(w->StringGrid()->model()->columnCount(), 8);
    QCOMPARE(w->StringGrid()->model()->rowCount(), 4);
    QCOMPARE(w->StringGrid()->CellText(2, 3), QString("-0.50 + i0.00"));
    clipboard->setText("untouched");
    w->findChild<QPushButton*>("copyButton")->click();
    QCOMPARE(clipboard->text(), QString("untouched"));
    QVERIFY(clipboard->image().isNull());

    // The number format reaches the grid.
    Type(w, "formatEdit", "%.3f");
    QCOMPARE(w->StringGrid()->CellText(5, 0), QString("6.250 + i0.000"));

    Check(w, "stringGridCheck", false);
    QCOMPARE(w->CurrentPage(), w->MapsPage());
    w->findChild<QPushButton*>("copyButton")->click();
    QCOMPARE(clipboard->image().convertToFormat(QImage::Format_RGB32),
        w->Diagrams()[0]->RenderedImage().convertToFormat(QImage::Format_RGB32));

    // The scene writes n + i kappa in the shortest decimal form.
    TSceneWindow* sw = myWindows->Scene();
    myWindows->DisplayScene(kXY, grid, MakeArray(8, 4, [](int c, int) {
        return TComplex{1.45, c == 1 ? -0.002 : 0.0};
    }));
    Check(sw, "stringGridCheck", true);
    sw->Refresh();
    QCOMPARE(sw->StringGrid()->CellText(0, 0), QString("1.45+0i"));
    QCOMPARE(sw->StringGrid()->CellText(1, 0), QString("1.45-0.002i"));
}

void DisplayWindowTests::handOversCoalesceAndTheLatestWins()
{
    const TGridParms grid = Grid(8, 4, 4, 1.0, 1.0, 1.0);
    TIntensityWindow* w = myWindows->Intensity();
    QTRY_VERIFY(!w->RefreshPending());
    const int before = w->RefreshCount();
    TRealArray map(8, 4);
    for (int slice = 0; slice < 200; ++slice) {
        map.At(3, 2) = slice;
        myWindows->DisplayIntensity(kXY, grid, map);
    }
    QVERIFY(w->RefreshPending());
    QTRY_VERIFY(!w->RefreshPending());
    QCOMPARE(w->RefreshCount(), before + 1);
    QCOMPARE(w->Diagrams()[0]->Model().GetValue(3, 2), 199.0);

    // A hidden window stores what it gets and draws it when it is shown again.
    myWindows->SetShown(TDisplayKind::intensity, false);
    map.At(3, 2) = 500;
    myWindows->DisplayIntensity(kXY, grid, map);
    QTest::qWait(60);
    QCOMPARE(w->RefreshCount(), before + 1);
    myWindows->SetShown(TDisplayKind::intensity, true);
    QTRY_COMPARE(w->Diagrams()[0]->Model().GetValue(3, 2), 500.0);
}

void DisplayWindowTests::badComponentOrOrientationStoresNothing()
{
    const TGridParms grid = Grid(8, 4, 4, 1.0, 1.0, 1.0);
    const TComplexArray a = MakeArray(8, 4, [](int c, int) { return TComplex{double(c), 0}; });
    myWindows->DisplayAmplitude(kXY, grid, a, 4);
    myWindows->DisplayAmplitude(3, grid, a, 1);
    myWindows->DisplayField(kXY, grid, a, 0);
    myWindows->DisplayField(-1, grid, a, 2);
    myWindows->DisplayScene(3, grid, a);
    myWindows->DisplayIntensity(7, grid, a.FirstPart());
    QCOMPARE(myMessages.Take(), (std::vector<std::string>{"Error in TForm2.display(). Invalid axes.",
                                    "TForm2.display() : Error in XSect. Unknown orientation.",
                                    "Error in TForm3.display(). Invalid axes.",
                                    "Error in TForm3.display(). Invalid axes.",
                                    "TForm2.display() : Error in XSect. Unknown orientation.",
                                    "TForm5.Display(). Invalid axis."}));
    QVERIFY(!myWindows->Amplitude()->HasComponent(1) && !myWindows->Amplitude()->HasComponent(4));
    QVERIFY(!myWindows->Field()->HasComponent(2));
    QVERIFY(!myWindows->Scene()->HasIndex());
    QVERIFY(!myWindows->Intensity()->HasMap());
}

void DisplayWindowTests::clipLevelLimitsEachPartButNotTheIndex()
{
    const TGridParms grid = Grid(8, 4, 4, 1.0, 1.0, 1.0);
    // (3 - 4i) at one cell, (0.5 + 0.25i) elsewhere; clipped at 2 the cell is (2 - 2i):
    // modulus sqrt(8), not the modulus 5 cut to 2.
    const TComplexArray e = MakeArray(8, 4, [](int c, int r) {
        return c == 5 && r == 1 ? TComplex{3, -4} : TComplex{0.5, 0.25};
    });
    myWindows->DisplayAmplitude(kXY, grid, e, 1);
    myWindows->DisplayField(kXY, grid, e, 1);
    myWindows->DisplayIntensity(kXY, grid, e.SecondPart());
    myWindows->DisplayScene(kXY, grid, e);
    myWindows->SetClipLevel(2);
    myWindows->RefreshNow();
    QCOMPARE(myWindows->Amplitude()->Diagrams()[0]->Model().GetValue(5, 1), std::sqrt(8.0));
    QCOMPARE(myWindows->Amplitude()->Diagrams()[0]->Model().GetValue(0, 0), std::hypot(0.5, 0.25));
    QCOMPARE(myWindows->Field()->Diagrams()[0]->Model().GetValue(5, 1), 2.0);
    QCOMPARE(myWindows->Field()->Diagrams()[3]->Model().GetValue(5, 1), -2.0);
    QCOMPARE(myWindows->Intensity()->Diagrams()[0]->Model().GetValue(5, 1), 2.0); // |-4| clipped to 2
    QCOMPARE(myWindows->Scene()->Diagrams()[0]->Model().GetValue(5, 1), 3.0);

    myWindows->SetClipLevel(-1);
    myWindows->RefreshNow();
    QCOMPARE(myWindows->Amplitude()->Diagrams()[0]->Model().GetValue(5, 1), 5.0);
}

QTEST_MAIN(DisplayWindowTests)
#include "DisplayWindowTests.moc"
