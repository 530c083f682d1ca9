// Runs from the main window: Start fills the log, the graphs and the per-slice
// hand-over; Redraw builds clipped cross-sections; a slow run can be stopped and the
// window answers while it runs; screenshots for a look by eye.
#include "GuiTestSupport.h"

#include "AnalysisPanel.h"
#include "CrossSection.h"
#include "PictureViews.h"
#include "display/VellDiagram.h"
#include "PlotPanel.h"
#include "GridPanel.h"

#include "field/Field.h"

#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace ksn;
using namespace ksn::gui;
using namespace ksn::gui::test;

class TGuiRunTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { UseFusion(); }

    void StartFillsLogGraphsAndSliceHandOver()
    {
        TForm1 w;
        w.resize(1360, 860);
        w.show();
        OpenThroughMenu(w, Example("waveguide.ini"));
        w.PlotPanel()->Amplitude()->setChecked(true);
        QVERIFY(RunToEnd(w));
        const QString log = LogText(w);
        for (const char* line : {"Simulation Started.", "---------------- Begin-Report ------------------ ",
                 "Overall time    : ", "min time / iter : ", "---------------- Absorption --------------------- ",
                 "Absorption      : ", "---------------- End-Report --------------------- ", "Simulation Finished."})
            QVERIFY2(log.contains(QLatin1String(line)), line);
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Simulation Finished.")));
        QCOMPARE(w.StartButton()->text(), QStringLiteral("Start"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Iteration 19 of 19"));
        QCOMPARE(w.Gauge()->value(), 100); // 95 after the last slice, 100 once the run has ended
        QVERIFY(w.StartButton()->isEnabled());
        QVERIFY(!w.StopButton()->isEnabled());

        // One point per stored slice at z = i * dz; the irradiance carries the beam.
        const double dz = w.Driver().Configuration().grid.dz;
        for (TQuantity q : {kIrradiance, kAbsorption, kEnergyFlux}) {
            const auto& plot = w.AnalysisPanel()->Graph(q)->Graph().Plot();
            QCOMPARE(plot.GetCount(), 20);
            QCOMPARE(plot.GetX(19), 19 * dz);
        }
        const auto& irradiance = w.AnalysisPanel()->Graph(kIrradiance)->Graph();
        QVERIFY(irradiance.Plot().GetY(0) > 0);
        QCOMPARE(irradiance.XAxis().GetHiLimit(), 19 * dz);
        QVERIFY(irradiance.YAxis().GetHiLimit() >= irradiance.Plot().GetY(0));
        // The per-slice hand-over reached the window (coalesced: at least the last slice).
        QVERIFY(w.SlicesShown() >= 1);
        QCOMPARE(w.LastSliceShown(), 19);
        QVERIFY(w.PlotPanel()->XSectAmplitude()->isEnabled());

        w.Messages()->CloseAll();
        w.AnalysisPanel()->ShowQuantity(kIrradiance);
        QCoreApplication::processEvents();
        QVERIFY(w.grab().save(ScreenshotPath("main-run.png")));
        w.AnalysisPanel()->ShowQuantity(3);
        QCoreApplication::processEvents();
        QVERIFY(w.grab().save(ScreenshotPath("main-run-log.png")));

        // Graphs saved under the names of the loaded file, in a scratch copy.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("waveguide.ini"));
        QVERIFY(QFile::copy(Example("waveguide.ini"), copy));
        OpenThroughMenu(w, copy);
        QVERIFY(RunToEnd(w));
        w.Messages()->CloseAll();
        w.AnalysisPanel()->ShowQuantity(kAbsorption);
        w.AnalysisPanel()->GraphSaveButton()->click();
        for (const char* suffix : {"_absn", "_inty", "_eflx"})
            for (const char* ext : {".wmf", ".svg", ".png"}) {
                const QString file = copy + QLatin1String(suffix) + QLatin1String(ext);
                QVERIFY2(QFileInfo(file).size() > 100, qPrintable(file));
            }
        // Clipboard: the graph as a vector picture and as a bitmap.
        w.AnalysisPanel()->GraphCopyButton()->click();
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        QVERIFY(mime && mime->hasImage());
        QVERIFY(mime->data(QStringLiteral("image/svg+xml")).contains("<svg"));
    }

    // xz cut through row 16 of every stored slice, each part clipped to +-level.
    void RedrawBuildsClippedCrossSection()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        w.Redraw();
        QVERIFY(!w.LastCrossSection()); // no run yet
        QVERIFY(RunToEnd(w));
        w.Messages()->CloseAll();
        w.PlotPanel()->SelectOrientation(kXZ);
        QCOMPARE(w.PlotPanel()->LevelBar()->maximum(), 31); // ny - 1
        Type(w.PlotPanel()->ClipEdit(), QStringLiteral("0.05"));
        Type(w.PlotPanel()->LevelEdit(), QStringLiteral("16")); // moving the bar redraws
        const TCrossSection* cut = w.LastCrossSection();
        QVERIFY(cut);
        QCOMPARE(int(cut->components.size()), 1); // swpm: a scalar field
        const TComplexArray& e = cut->components[0];
        QCOMPARE(e.Nx(), 20); // stored slices along the horizontal axis
        QCOMPARE(e.Ny(), 32); // x along the vertical one
        bool reached = false;
        for (int k = 0; k < e.Nx(); ++k)
            for (int i = 0; i < e.Ny(); ++i) {
                const TComplex v = e.At(k, i);
                QVERIFY(std::fabs(v.re) <= 0.05 && std::fabs(v.im) <= 0.05);
                reached = reached || std::fabs(v.re) == 0.05 || std::fabs(v.im) == 0.05;
            }
        QVERIFY(reached);
        // The unclipped value of a point matches the stored slice.
        Type(w.PlotPanel()->ClipEdit(), QStringLiteral("-1"));
        w.Redraw();
        TField& slice7 = *w.Driver().ForwardStore()[7];
        QCOMPARE(w.LastCrossSection()->components[0].At(7, 5).re, slice7.GetEX(5, 16).re);
        QCOMPARE(w.LastCrossSection()->intensity.At(7, 5), slice7.IntensityMap().At(5, 16));
    }

    // A series of 3 x 3 runs (beam width against core absorption): the Start caption
    // counts the runs, the graphs take one point per run, the 2-D maps one cell per run,
    // and every run's configuration is written to parmvar<j>.txt.
    void SeriesFillsGraphsAndMaps()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TForm1 w;
        w.resize(1360, 860);
        w.show();
        OpenThroughMenu(w, QStringLiteral(KSN_SOURCE_DIR "/examples/variation/waveguide_variation.ini"));
        TAnalysisPanel* a = w.AnalysisPanel();
        QCOMPARE(a->XParm()->count(), 2);
        QCOMPARE(a->XParm()->itemText(0), QStringLiteral("parm0 [wav]"));
        QCOMPARE(a->YParm()->currentText(), QStringLiteral("parm1 [lay]"));
        QVERIFY(a->Plot2D()->isEnabled());
        a->SaveIniFiles()->setChecked(true);
        QStringList captions;
        connect(w.Observer(), &TGuiObserver::RunProgressArrived, this,
            [&] { captions << w.StartButton()->text(); });
        QVERIFY(RunToEnd(w));
        QDir::setCurrent(previous);
        QVERIFY(captions.contains(QStringLiteral("0/9")) && captions.contains(QStringLiteral("8/9")));
        QCOMPARE(w.StartButton()->text(), QStringLiteral("Start"));
        const QString log = LogText(w);
        QVERIFY(log.contains(QStringLiteral("9 parameter variations completed.")));
        QVERIFY(log.contains(QStringLiteral("Integral of Abs over dX : ")));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Simulation Finished.")));
        for (int j = 0; j < 9; ++j)
            QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("parmvar%1.txt").arg(j))));

        // Variation 0 (beam width) is the fast one: runs 0-2 have a lossless core,
        // 3-5 kappa 5e-4, 6-8 kappa 1e-3.
        const auto& absorption = a->Graph(kAbsorption)->Graph();
        QCOMPARE(absorption.Plot().GetCount(), 9);
        QCOMPARE(absorption.XAxis().GetHiLimit(), 9.0);
        QCOMPARE(absorption.Plot().GetY(0), 0.0);
        QVERIFY(absorption.Plot().GetY(3) > 0);
        QVERIFY(absorption.Plot().GetY(6) > absorption.Plot().GetY(3));
        QVERIFY(absorption.YAxis().GetHiLimit() >= absorption.Plot().GetY(6));
        QVERIFY(a->Graph(kIrradiance)->Graph().Plot().GetY(0) > 0);

        // The maps: x = beam width (columns), y = the core's kappa (rows).
        QVERIFY(a->MapsOn());
        const TVellDiagram& map = a->Diagram(kAbsorption)->Diagram();
        QCOMPARE(int(map.GetBmpWidth()), 3);
        QCOMPARE(int(map.GetBmpHeight()), 3);
        QCOMPARE(map.GetValue(0, 0), 0.0);
        QCOMPARE(map.GetValue(1, 2), absorption.Plot().GetY(7));
        QVERIFY(map.GetValue(0, 2) > map.GetValue(0, 1));
        // Axes centred on the cells: first - delta/2 ... first + (n - 1/2) delta.
        QCOMPARE(map.YAxis().GetLoLimit(), -0.00025); // kappa 0, 5e-4, 1e-3 (imaginary parts)
        QCOMPARE(map.YAxis().GetHiLimit(), 0.00125);
        QCOMPARE(map.XAxis().GetLoLimit(), 3.0);      // sigmax 4, 6, 8
        QCOMPARE(map.XAxis().GetHiLimit(), 9.0);

        w.Messages()->CloseAll();
        a->ShowQuantity(kAbsorption);
        QCoreApplication::processEvents();
        QVERIFY(w.grab().save(ScreenshotPath("main-series.png")));
        a->Plot2D()->setChecked(true);
        QCoreApplication::processEvents();
        QVERIFY(w.grab().save(ScreenshotPath("main-series-2d.png")));
        a->DiagramCopyButton()->click();
        QVERIFY(QApplication::clipboard()->mimeData()->hasImage());
    }

    // A slow run (scalar WPM, 256 x 256, 3000 slices built level by level, every 100th
    // stored) is stopped after its current step;
    // while it runs the window's event loop answers a 10 ms timer within 100 ms.
    void SlowRunStopsAndWindowStaysResponsive()
    {
        QTemporaryDir dir;
        const QString slow = VariantOf(dir, "waveguide.ini", QStringLiteral("slow.ini"),
            {{QStringLiteral("nx"), QStringLiteral("256")}, {QStringLiteral("ny"), QStringLiteral("256")},
                {QStringLiteral("nz"), QStringLiteral("3000")}, {QStringLiteral("modulotracking"), QStringLiteral("1")},
                {QStringLiteral("modulus"), QStringLiteral("100")},
                {QStringLiteral("largescene"), QStringLiteral("1")}});
        TForm1 w;
        w.show();
        OpenThroughMenu(w, slow);
        QCOMPARE(w.Driver().Configuration().grid.nz, 3000);
        w.PlotPanel()->Intensity()->setChecked(true);
        QSignalSpy finished(&w, &TForm1::RunFinished);
        w.Start();
        QVERIFY(w.IsRunning());
        QVERIFY(!w.StartButton()->isEnabled());
        QVERIFY(!w.GridPanel()->isEnabled());
        QVERIFY(w.StopButton()->isEnabled());

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, worst = 0;
        int ticks = 0;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            worst = std::max(worst, now - last);
            last = now;
            ++ticks;
        });
        timer.start();
        QTest::qWait(1500);
        timer.stop();
        QVERIFY2(w.IsRunning(), qPrintable(LogText(w) + w.Messages()->History().join(QLatin1Char('|'))));
        qInfo("longest gap between 10 ms ticks during the run: %lld ms (%d ticks)", worst, ticks);
        QVERIFY2(worst < 100, qPrintable(QStringLiteral("longest gap between ticks: %1 ms").arg(worst)));
        QVERIFY(ticks > 50);

        w.StopButton()->click();
        QVERIFY(finished.wait(30000));
        QVERIFY(!w.IsRunning());
        QVERIFY(w.Driver().WasStopped());
        const QString log = LogText(w);
        QVERIFY(log.contains(QStringLiteral("Simulation stopped at slice ")));
        QVERIFY(log.contains(QStringLiteral("---------------- End-Report")));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Simulation stopped.")));
        QVERIFY(!w.Messages()->HasShown(QStringLiteral("Simulation Finished.")));
        const int done = int(w.Driver().ForwardStore().size());
        QVERIFY(done > 0 && done < 30);
        QCOMPARE(w.AnalysisPanel()->Graph(kIrradiance)->Graph().Plot().GetCount(), done);
        QVERIFY(w.SlicesShown() >= 1);
        QVERIFY(w.StartButton()->isEnabled());
        w.Messages()->CloseAll();
    }
};

QTEST_MAIN(TGuiRunTests)
#include "GuiRunTests.moc"
