// The main window's commands that run: Start (a run or a series on the worker thread),
// Stop, the end of a run, the per-slice hand-over to the display windows, and Redraw.
#include "MainWindow.h"

#include "AnalysisPanel.h"
#include "CrossSection.h"
#include "GridPanel.h"
#include "MessageBoxes.h"
#include "MethodPanel.h"
#include "PlotPanel.h"
#include "RunOptionsPanel.h"
#include "RunWorker.h"
#include "SeriesRun.h"
#include "WavePanel.h"

#include "config/Messages.h"
#include "field/Field.h"
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
#include "display/DisplayWindows.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace ksn::gui {

bool TForm1::IsRunning() const { return myWorker->IsRunning(); }

void TForm1::SetRunning(bool running)
{
    // Everything that would change the run in progress waits until it has ended; the
    // plot options stay usable (they only choose what the window shows).
    mySettings->setEnabled(!running && myDriver.IsLoaded());
    for (QWidget* w : std::initializer_list<QWidget*>{myUpdateButton, myStartButton, myRedrawButton,
             myAnalysis->XParm(), myAnalysis->YParm(), myAnalysis->Plot2D(), myAnalysis->SaveIniFiles(),
             myAnalysis->FormatEdit()})
        w->setEnabled(!running);
    if (!running)
        myAnalysis->Plot2D()->setEnabled(myDriver.Configuration().global.parmVariation);
    myOpenAction->setEnabled(!running);
    mySaveAction->setEnabled(!running);
    myStopButton->setEnabled(running);
    if (running)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TForm1::Start()
{
    if (IsRunning())
        return;
    const TConfiguration& c = myDriver.Configuration();
    // A 2-D configuration has no transverse plane to show per slice.
    if (c.grid.X == 0 || c.grid.Y == 0)
        myPlotPanel->UncheckTransverseOptions();
    myPlotPanel->SetXSectOptionsEnabled(false);
    myPlotPanel->SelectOrientation(kXY);
    if (!myDriver.IsLoaded()) {
        ShowMessage("Please load .ini File.");
        return;
    }
    StartRun();
}

void TForm1::StartRun()
{
    const TConfiguration& c = myDriver.Configuration();
    myObserver->SetPlotFlags(myPlotPanel->Flags());
    myObserver->SetTransverse(c.grid.X != 0 && c.grid.Y != 0);
    // The incident field is of the kind of the method it was built for; after a change
    // between a scalar and a vector method it is rebuilt before the run.
    const TField* incident = myDriver.IncidentField();
    const bool rebuild = incident && incident->IsVector() == IsScalarMethod(c.global.simMethod);
    const bool series = c.global.parmVariation;
    mySeriesRunning = series;
    if (series)
        mySeries->Prepare(myAnalysis->SaveIniFiles()->isChecked(), myAnalysis->NumberFormat());
    myGauge->setValue(0);
    SetRunning(true);
    myWorker->Start([this, rebuild, series] {
        if (rebuild && !myDriver.UpdateScene())
            return false;
        return series ? mySeries->Start() : myDriver.Run();
    });
}

void TForm1::Stop()
{
    if (IsRunning())
        myDriver.RequestStop();
}

void TForm1::RunEnded(bool ok, const QString& error)
{
    SetRunning(false);
    myStartButton->setText(QStringLiteral("Start"));
    const bool series = mySeriesRunning;
    mySeriesRunning = false;
    if (!error.isEmpty()) {
        // The system's general error ends the run and is shown in the standard error box.
        myMessages->Show(error);
        emit RunFinished();
        return;
    }
    if (ok) {
        myGauge->setValue(100);
        if (series)
            mySeries->Show(*myAnalysis); // the series has logged its end and summary
        else
            myAnalysis->ShowZCurves(myDriver.ZCurves(), myDriver.Configuration().grid);
        myPlotPanel->SetXSectOptionsEnabled(true);
        UpdateLevelRange();
        const bool stopped = series ? mySeries->WasStopped() : myDriver.WasStopped();
        if (!series)
            Log(stopped ? "Simulation stopped." : "Simulation Finished.");
        ShowMessage(stopped ? "Simulation stopped." : "Simulation Finished.");
    }
    emit RunFinished();
}

void TForm1::ShowSlice()
{
    std::optional<TSliceSnapshot> slice = myObserver->TakeSlice();
    if (!slice)
        return;
    ++mySlicesShown;
    myLastSliceShown = slice->z;
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    const TPlotFlags flags = myObserver->PlotFlags();
    for (size_t k = 0; k < slice->components.size(); ++k) {
        if (flags.amplitude)
            myDisplays->DisplayAmplitude(kXY, slice->grid, slice->components[k], int(k) + 1);
        if (flags.field)
            myDisplays->DisplayField(kXY, slice->grid, slice->components[k], int(k) + 1);
    }
    if (slice->hasMap)
        myDisplays->DisplayIntensity(kXY, slice->grid, slice->map);
    if (slice->hasIndex)
        myDisplays->DisplayScene(kXY, slice->grid, slice->index);
#endif
}

void TForm1::Redraw()
{
    if (IsRunning())
        return;
    const TConfiguration& c = myDriver.Configuration();
    if (!myDriver.IsLoaded()) {
        ShowMessage("Please load .ini-file before redraw.");
        return;
    }
    const TOrientation orientation = myPlotPanel->Orientation();
    if (orientation == kXY && (c.grid.X == 0 || c.grid.Y == 0)) {
        ShowMessage("2D simulation configured and no orientation for cross section selected. Please enable "
                    "appropriate cross-section.");
        return;
    }
    auto section = std::make_unique<TCrossSection>();
    if (!BuildCrossSection(myDriver.ForwardStore(), orientation, myPlotPanel->Level(), *section))
        return; // no run yet, or a level outside the plane
    const double clip = myPlotPanel->ClipLevel();
    if (clip != -1)
        for (TComplexArray& a : section->components)
            ClipCrossSection(a, clip);
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    const TGridParms& g = c.grid;
    for (size_t k = 0; k < section->components.size(); ++k) {
        if (myPlotPanel->XSectAmplitude()->isChecked())
            myDisplays->DisplayAmplitude(orientation, g, section->components[k], int(k) + 1);
        if (myPlotPanel->XSectComponents()->isChecked())
            myDisplays->DisplayField(orientation, g, section->components[k], int(k) + 1);
    }
    if (myPlotPanel->XSectIntensity()->isChecked())
        myDisplays->DisplayIntensity(orientation, g, section->intensity);
#endif
    myLastCrossSection = std::move(section);
}

} // namespace ksn::gui
