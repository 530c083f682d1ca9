// The main window's settings: loading through the Open menu, the grid edits with their
// partners and the red "Update Scene", the edit readers' checks and messages, the plot
// exclusions, the thread choice, clipping, and the queued message boxes.
#include "GuiTestSupport.h"

#include "AnalysisPanel.h"
#include "GridPanel.h"
#include "MethodPanel.h"
#include "PlotPanel.h"
#include "RunOptionsPanel.h"
#include "WavePanel.h"
#include "EditReaders.h"
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
#include "display/DisplayWindows.h"
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <thread>

using namespace ksn;
using namespace ksn::gui;
using namespace ksn::gui::test;

class TGuiWindowTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { UseFusion(); }

    void NothingLoadedRefusesStartRedrawAndSave()
    {
        TForm1 w;
        w.Start();
        w.Redraw();
        w.SaveAction()->trigger();
        QCoreApplication::processEvents();
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please load .ini File.")));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please load .ini-file before redraw.")));
        QVERIFY(!w.IsRunning());
        // A file that is not there loads as an empty file.
        QTemporaryDir dir;
        OpenThroughMenu(w, dir.filePath(QStringLiteral("missing.ini")));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Parameter required: global/multithreaded")));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Error. Cannot load file!")));
        QVERIFY(!w.GridPanel()->isEnabled());
        w.Messages()->CloseAll();
    }

    void OpenShowsTheFilesSettings()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        QVERIFY(LogText(w).contains(QStringLiteral("Done. Loading file ") + Example("waveguide.ini")));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::nx)->text(), QStringLiteral("32"));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::X)->text(), QStringLiteral("64"));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::dx)->text(), QStringLiteral("2"));
        QVERIFY(w.MethodPanel()->MethodButton(TSimMethod::swpm)->isChecked());
        QCOMPARE(w.WavePanel()->Selector()->count(), 1);
        QCOMPARE(w.WavePanel()->Selector()->itemText(0), QStringLiteral("gaussian 0"));
        QVERIFY(w.WavePanel()->Gaussian()->isChecked());
        QVERIFY(!w.UpdateCaptionRed());
        QVERIFY(w.GridPanel()->isEnabledTo(&w));
        QVERIFY(w.Messages()->History().isEmpty());
    }

    // ny 32 -> 64 with Y = 64: dy becomes 1 while x keeps dx = 2 (a non-square grid);
    // the scene keeps its grid until "Update Scene".
    void GridEditSetsPartnerAndTurnsUpdateRed()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        Type(w.GridPanel()->Edit(TGridEdit::ny), QStringLiteral("64"));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::dy)->text(), QStringLiteral("1"));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::dx)->text(), QStringLiteral("2"));
        QCOMPARE(w.Driver().Configuration().grid.ny, 64);
        QVERIFY(w.UpdateCaptionRed());
        QCOMPARE(w.UpdateButton()->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QCOMPARE(w.Driver().Scene()->GetNy(), 32);
        w.UpdateButton()->click();
        QVERIFY(!w.UpdateCaptionRed());
        QCOMPARE(w.UpdateButton()->palette().color(QPalette::ButtonText), QColor(Qt::black));
        QCOMPARE(w.Driver().Scene()->GetNy(), 64);
        // dx -> X follows the other way: X = nx * dx.
        Type(w.GridPanel()->Edit(TGridEdit::dx), QStringLiteral("1,5"));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please enter a number.")));
        Type(w.GridPanel()->Edit(TGridEdit::dx), QStringLiteral("1.5"));
        QCOMPARE(w.GridPanel()->Edit(TGridEdit::X)->text(), QStringLiteral("48"));
        w.Messages()->CloseAll();
    }

    void EditReadersColourAndReport()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        QLineEdit* x = w.GridPanel()->Edit(TGridEdit::X);
        // "1." fails the check (last character no digit, no ","): red, logged, X kept.
        Type(x, QStringLiteral("1."));
        QVERIFY(IsMarkedRed(x));
        QVERIFY(LogText(w).contains(QStringLiteral("Please check input. Inappropriate type!")));
        QCOMPARE(w.Driver().Configuration().grid.X, 64.0);
        // "1,5" passes the check and fails the conversion.
        Type(x, QStringLiteral("1,5"));
        QVERIFY(!IsMarkedRed(x));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please enter a number.")));
        QCOMPARE(w.Driver().Configuration().grid.X, 64.0);

        const double dz = w.Driver().Configuration().grid.dz;
        Type(w.GridPanel()->Edit(TGridEdit::nz), QStringLiteral("0"));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please check input! nz is zero!")));
        QCOMPARE(w.Driver().Configuration().grid.dz, dz);
        Type(w.GridPanel()->Edit(TGridEdit::nz), QStringLiteral("2x"));
        QVERIFY(LogText(w).contains(QStringLiteral("Please check input. Inappropriate input for nz!")));

        // Wave edits: a box for most, a log line for sigmaY; both log label and value.
        Type(w.WavePanel()->Edit(TWavePanel::sigmaY), QStringLiteral("2."));
        QVERIFY(LogText(w).contains(QStringLiteral("SigmaY is ")));
        QVERIFY(!w.Messages()->HasShown(QStringLiteral("Please check input. Inappropriate type!")));
        Type(w.WavePanel()->Edit(TWavePanel::lambda), QStringLiteral("abc"));
        QVERIFY(w.Messages()->HasShown(QStringLiteral("Please check input. Inappropriate type!")));
        const double lambda = w.Driver().Configuration().waves[0].lambda;
        QVERIFY(lambda > 0);
        Type(w.WavePanel()->Edit(TWavePanel::lambda), QStringLiteral("0.5"));
        QCOMPARE(w.Driver().Configuration().waves[0].lambda, 0.5);
        QVERIFY(LogText(w).contains(QStringLiteral("Lambda is 0.5")));
        QVERIFY(w.UpdateCaptionRed());
        w.WavePanel()->Gaussian()->setChecked(false);
        QCOMPARE(w.Driver().Configuration().waves[0].shape, TBeamShape::plane);
        QVERIFY(LogText(w).contains(QStringLiteral("Beam is not Gaussian.")));
        QCOMPARE(w.WavePanel()->Selector()->itemText(0), QStringLiteral("plane 0"));
        w.Messages()->CloseAll();
    }

    void PlotOptionsExcludeEachOther()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        TPlotPanel* p = w.PlotPanel();
        p->Intensity()->setChecked(true);
        p->Absorption()->setChecked(true);
        QVERIFY(!p->Intensity()->isChecked());
        p->EnergyFlux()->setChecked(true);
        QVERIFY(!p->Absorption()->isChecked());
        p->Amplitude()->setChecked(true); // other windows are not part of the exclusion
        QVERIFY(p->EnergyFlux()->isChecked());
        const QString log = LogText(w);
        for (const char* line : {"plot intensity enabled", "plot power absorption enabled", "plot intensity disabled",
                 "plot energy flux enabled", "plot power absorption disabled", "plot amplitude enabled"})
            QVERIFY2(log.contains(QLatin1String(line)), line);
        const TPlotFlags flags = w.Observer()->PlotFlags();
        QVERIFY(flags.energyFlux && flags.amplitude && !flags.intensity && !flags.absorption);
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
        // The options show and hide the display windows; the three intensity options
        // share one window.
        QVERIFY(w.DisplayWindows()->IsShown(TDisplayKind::amplitude));
        QVERIFY(w.DisplayWindows()->IsShown(TDisplayKind::intensity));
        QVERIFY(!w.DisplayWindows()->IsShown(TDisplayKind::scene));
        p->EnergyFlux()->setChecked(false);
        QVERIFY(!w.DisplayWindows()->IsShown(TDisplayKind::intensity));
        p->EnergyFlux()->setChecked(true);
#endif
        // The cross-section options wait for a run's slices.
        QVERIFY(!p->XSectAmplitude()->isEnabled());
    }

    void ThreadChoiceNeedsMultithreaded()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        TRunOptionsPanel* r = w.RunOptionsPanel();
        QVERIFY(!r->Multithreaded()->isChecked());
        QCOMPARE(r->Threads()->count(), 0);
        QTest::mouseClick(r->Threads(), Qt::LeftButton);
        QVERIFY(w.Messages()->HasShown(QStringLiteral(
            "Please enable \"Run Multithreaded\"-Checkbox to determine maximum number of available threads.")));
        QCOMPARE(w.Driver().Configuration().global.threadCount, 0);
        w.Messages()->CloseAll();
        r->Multithreaded()->setChecked(true);
        QCOMPARE(r->Threads()->count(), TRunOptionsPanel::ProcessorCount());
        QCOMPARE(r->Threads()->itemText(0), QStringLiteral("1"));
        emit r->Threads()->activated(0);
        QCOMPARE(w.Driver().Configuration().global.threadCount, 1);
        r->Multithreaded()->setChecked(false);
        QCOMPARE(r->Threads()->count(), 0);
        QVERIFY(!w.Driver().Configuration().global.multithreaded);
    }

    void ClippingModulusAndScale()
    {
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        TPlotPanel* p = w.PlotPanel();
        Type(p->ClipEdit(), QStringLiteral("0.25"));
        QCOMPARE(p->ClipLevel(), 0.25);
        Type(p->ClipEdit(), QStringLiteral("abc"));
        QCOMPARE(p->ClipEdit()->text(), QStringLiteral("-1"));
        QCOMPARE(p->ClipLevel(), -1.0);

        TRunOptionsPanel* r = w.RunOptionsPanel();
        Type(r->Modulus(), QStringLiteral("0"));
        r->ModTracking()->setChecked(true);
        QCOMPARE(w.Driver().Configuration().global.modulus, 1);
        QCOMPARE(r->Modulus()->text(), QStringLiteral("1"));
        QVERIFY(LogText(w).contains(Example("waveguide.ini") + QStringLiteral(" loaded.")));
        QVERIFY(LogText(w).contains(QStringLiteral("modulo tracking enabled")));
        QVERIFY(w.UpdateCaptionRed());
        Type(r->Modulus(), QStringLiteral("x"));
        QVERIFY(IsMarkedRed(r->Modulus()));
        QCOMPARE(w.Driver().Configuration().global.modulus, 1);

        r->ScaleButton(TScale::mm)->click();
        QCOMPARE(w.Driver().Configuration().grid.scaleFactor, 1e-3);
        QVERIFY(LogText(w).contains(QStringLiteral("Set scale millimeters.")));

        w.MethodPanel()->Bidirectional()->setChecked(true);
        QVERIFY(w.MethodPanel()->Reflections()->isEnabled());
        QVERIFY(LogText(w).contains(QStringLiteral("bidirectional enabled")));
        Type(w.MethodPanel()->Reflections(), QStringLiteral("3"));
        QCOMPARE(w.Driver().Configuration().global.reflections, 3);
    }

    // Save writes what the controls set; Open reads it back.
    void SaveThenOpenKeepsTheEdits()
    {
        QTemporaryDir dir;
        TForm1 w;
        OpenThroughMenu(w, Example("waveguide.ini"));
        Type(w.GridPanel()->Edit(TGridEdit::nx), QStringLiteral("16"));
        w.MethodPanel()->MethodButton(TSimMethod::vwpm)->click();
        const QString saved = dir.filePath(QStringLiteral("saved.ini"));
        w.SetFileChooser([saved](bool) { return saved; });
        w.SaveAction()->trigger();
        QVERIFY(LogText(w).contains(QStringLiteral("Saved file ") + saved));
        TForm1 again;
        OpenThroughMenu(again, saved);
        QCOMPARE(again.Driver().Configuration().grid.nx, 16);
        QCOMPARE(again.Driver().Configuration().grid.dx, 4.0);
        QVERIFY(again.MethodPanel()->MethodButton(TSimMethod::vwpm)->isChecked());
    }

    // A message that a run repeats many times reaches the user once, with its count;
    // log lines from the run's thread arrive in order.
    void RepeatedMessageShownOnceWithCount()
    {
        TForm1 w;
        std::thread run([&w] {
            for (int i = 0; i < 500; ++i)
                w.Observer()->ShowMessage("Error in TField.GetEFlux(const x, y : Integer). Index out of range.");
            for (int i = 0; i < 50; ++i)
                w.Observer()->LogLine("line " + std::to_string(i));
            w.Observer()->ShowMessage("Another message.");
        });
        run.join();
        QTRY_COMPARE(w.Messages()->History().size(), 2);
        QVERIFY(w.Messages()->Current());
        QVERIFY(w.Messages()->Current()->text().contains(QStringLiteral("(500 times)")));
        QCOMPARE(w.Messages()->Waiting(), 1);
        const QStringList lines = LogText(w).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(lines[i], QStringLiteral("line %1").arg(i));
        // Closing the box shows the next one.
        w.Messages()->Current()->accept();
        QCoreApplication::processEvents();
        QVERIFY(w.Messages()->Current());
        QCOMPARE(w.Messages()->Current()->text(), QStringLiteral("Another message."));
        w.Messages()->CloseAll();
    }
};

QTEST_MAIN(TGuiWindowTests)
#include "GuiWindowTests.moc"
