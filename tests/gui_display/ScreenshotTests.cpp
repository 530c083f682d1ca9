// A run of a bundled example feeds the four display windows as the main window does:
// every slice of the forward sweep as it is computed, then the x-z cuts of the stored
// slices. Each window is saved as a screenshot (build/screenshots/display-*.png), and
// every diagram and graph on the screen equals the PNG the render library writes for
// its model.
#include "DisplayTestSupport.h"

#include "control/SimulationDriver.h"
#include "display/AmplitudeWindow.h"
#include "display/DisplayWindows.h"
#include "display/FieldWindow.h"
#include "display/IntensityWindow.h"
#include "display/SceneWindow.h"
#include "field/VectorEField.h"
#include "render/PictureRender.h"

#include <QAbstractButton>
#include <QDir>
#include <QSlider>

#include <cstdlib>
#include <filesystem>
#include <stdlib.h>

using namespace ksn;
using namespace ksn::gui;
using namespace ksn::test;

namespace {

// What the main window does with each slice: the field components and the index slice
// go to their windows on the window thread (here the run's own thread).
class TWindowFeed : public TRunObserver {
public:
    TWindowFeed(TDisplayWindows& windows, TBrelScenes& scene, const TGridParms& grid)
        : myWindows(windows), myScene(scene), myGrid(grid)
    {
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LogLine(const std::string&) override {}
    void SliceComputed(int z, int pass, const TField& field, const TBrelScenes&) override
    {
        if (pass != 0)
            return;
        ++slices;
        const auto& e = dynamic_cast<const TVectorEField&>(field);
        myWindows.DisplayField(kXY, myGrid, e.EX(), 1);
        myWindows.DisplayField(kXY, myGrid, e.EY(), 2);
        myWindows.DisplayField(kXY, myGrid, e.EZ(), 3);
        if (const TComplexArray* n = myScene.GetLevel(z))
            myWindows.DisplayScene(kXY, myGrid, *n);
    }

    std::vector<std::string> messages;
    int slices = 0;

private:
    TDisplayWindows& myWindows;
    TBrelScenes& myScene;
    TGridParms myGrid;
};

// The x-z cut through row `row`: one column per stored slice, one row per x point.
TComplexArray ZCut(const std::vector<TFieldRef>& store, int row, int component)
{
    const int nx = store.front()->GetXSize();
    TComplexArray cut(int(store.size()), nx);
    for (size_t k = 0; k < store.size(); ++k)
        for (int x = 0; x < nx; ++x) {
            TField& f = *store[k];
            cut.SetAt(int(k), x, component == 1 ? f.GetEX(x, row) : component == 2 ? f.GetEY(x, row) : f.GetEZ(x, row));
        }
    return cut;
}

std::filesystem::path TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ksn_gui_display_XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

} // namespace

class ScreenshotTests : public QObject {
    Q_OBJECT
private slots:
    void runOfAnExampleFillsEveryWindow();
};

void ScreenshotTests::runOfAnExampleFillsEveryWindow()
{
    TSimulationDriver driver;
    QVERIFY(driver.Open(KSN_SOURCE_DIR "/examples/waveguide.ini"));
    // A vector method, so that the field windows show all three components.
    driver.Configuration().global.simMethod = TSimMethod::vbpmf;
    QVERIFY(driver.UpdateScene());
    const TGridParms grid = driver.Configuration().grid;

    TDisplayWindows windows;
    TMessages messages;
    windows.SetMessageHandler(messages.Handler());
    for (TDisplayKind k : {TDisplayKind::amplitude, TDisplayKind::field, TDisplayKind::scene, TDisplayKind::intensity})
        windows.SetShown(k, true);
    // A 32 x 32 grid wants a larger zoom than the default 1 to be read; the palettes
    // as a user might pick them.
    Type(windows.Amplitude(), "zoomEdit", "8");
    Type(windows.Amplitude(), "paletteEdit", "8");
    Type(windows.Field(), "zoomEdit", "6");
    Type(windows.Field(), "paletteEdit", "1");
    Type(windows.Scene(), "zoomEdit", "8");
    Type(windows.Scene(), "paletteEdit", "6");
    Type(windows.Scene(), "formatEdit", "%.3f");
    Type(windows.Intensity(), "zoomEdit", "8");
    Type(windows.Intensity(), "paletteEdit", "8");
    windows.SetIntensityCaption("Wave intensity");

    TWindowFeed feed(windows, *driver.Scene(), grid);
    driver.SetObserver(&feed);
    QVERIFY(driver.Run());
    QCOMPARE(feed.slices, grid.nz);
    QVERIFY2(feed.messages.empty(), feed.messages.empty() ? "" : feed.messages.front().c_str());

    // After the run: the x-z cuts through the middle row, the intensity of the last
    // slice.
    const auto& store = driver.ForwardStore();
    QVERIFY(!store.empty());
    for (int k = 1; k <= 3; ++k)
        windows.DisplayAmplitude(kXZ, grid, ZCut(store, grid.ny / 2, k), k);
    TComplexArray sceneCut(grid.nz, grid.nx);
    for (int iz = 0; iz < grid.nz; ++iz)
        for (int x = 0; x < grid.nx; ++x)
            sceneCut.SetAt(iz, x, driver.Scene()->GetLevel(iz)->At(x, grid.ny / 2));
    windows.DisplayScene(kXZ, grid, sceneCut);
    windows.DisplayIntensity(kXY, grid, store.back()->IntensityMap());
    windows.RefreshNow();
    QVERIFY(messages.texts.empty());

    const QString folder = QString(KSN_BINARY_DIR) + "/screenshots";
    QVERIFY(QDir().mkpath(folder));
    const std::filesystem::path temp = TempDir();
    QVERIFY(!temp.empty());
    int compared = 0;
    const auto sameAsPng = [&](QWidget* widget, const TPicture& picture) {
        std::string name = std::to_string(compared++);
        name += ".png";
        const std::string png = (temp / name).string();
        QVERIFY(render::WritePicturePng(png, picture));
        const QImage written(QString::fromStdString(png));
        QCOMPARE(Grab(widget), written.convertToFormat(QImage::Format_RGB32));
    };
    const std::pair<TDisplayWindow*, const char*> shots[] = {{windows.Amplitude(), "display-amplitude.png"},
        {windows.Field(), "display-field.png"}, {windows.Scene(), "display-scene.png"},
        {windows.Intensity(), "display-intensity.png"}};
    for (const auto& [window, name] : shots) {
        int shown = 0;
        for (TDiagramWidget* d : window->Diagrams()) {
            if (d->isHidden())
                continue;
            ++shown;
            QVERIFY2(d->Model().GetMaxValue() > d->Model().GetMinValue(), name);
            // The five colour-bar labels tell their values apart (a tiny |Ey| with the
            // default "%.2f" would read 0.00 five times).
            std::vector<double> labels;
            const int barX = d->Model().XAxis().Right() + 28;
            for (const TPrimitive& p : d->Picture().Primitives())
                if (const auto* t = std::get_if<TTextPrim>(&p); t && int(t->x) == barX)
                    labels.push_back(std::strtod(t->text.c_str(), nullptr));
            QCOMPARE(labels.size(), size_t(5));
            for (size_t i = 1; i < labels.size(); ++i)
                QVERIFY2(labels[i] < labels[i - 1], name);
            sameAsPng(d, d->Picture());
        }
        QVERIFY2(shown > 0, name);
        QVERIFY(Grab(window).save(folder + "/" + name));
    }
    QCOMPARE(windows.Amplitude()->Diagrams()[0]->Model().GetBmpWidth(), int(store.size()));
    QCOMPARE(windows.Field()->Diagrams()[5]->isHidden(), false);

    // A profile on the screen equals its PNG as well.
    TIntensityWindow* iw = windows.Intensity();
    iw->findChild<QAbstractButton*>("layerCheck")->click();
    QVERIFY(!iw->Graphs()[0]->isHidden());
    sameAsPng(iw->Graphs()[0], iw->Graphs()[0]->Picture());
    QVERIFY(Grab(iw).save(folder + "/display-intensity-profile.png"));
    std::filesystem::remove_all(temp);
}

QTEST_MAIN(ScreenshotTests)
#include "ScreenshotTests.moc"
