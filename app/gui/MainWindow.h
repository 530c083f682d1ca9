#pragma once
// The main window TForm1 ("Kestrin"): menu File (Open, Save, Exit), the settings panels,
// the commands "Update Scene", "Start", "Stop" and "Redraw", the progress gauge and the
// analysis area. It wires the controls to the driver and draws the driver's results;
// runs go to a worker thread and report back through the queued observer.
#include "GuiObserver.h"

#include "control/SimulationDriver.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace ksn {
class TScopedMessageSink;
}

namespace ksn::gui {

class TAnalysisPanel;
class TDisplayWindows;
class TGridPanel;
class TMessageBoxes;
class TMethodPanel;
class TPlotPanel;
class TRunOptionsPanel;
class TRunWorker;
class TWavePanel;
class TSeriesRun;
struct TCrossSection;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Menu File, Open, after the dialog: loads the file and shows its settings.
    bool OpenFile(const QString& path);
    // Menu File, Save, after the dialog.
    bool SaveFile(const QString& path);
    // The dialogs of Open and Save (a test answers them): (save?) -> file name, empty
    // for cancel.
    void SetFileChooser(std::function<QString(bool save)> chooser) { myFileChooser = std::move(chooser); }

    void UpdateScene();
    void Start();
    void Stop();
    void Redraw();
    bool IsRunning() const;

    TSimulationDriver& Driver() { return myDriver; }
    TGuiObserver* Observer() const { return myObserver; }
    TMessageBoxes* Messages() const { return myMessages; }
    TGridPanel* GridPanel() const { return myGridPanel; }
    TWavePanel* WavePanel() const { return myWavePanel; }
    TMethodPanel* MethodPanel() const { return myMethodPanel; }
    TRunOptionsPanel* RunOptionsPanel() const { return myRunOptions; }
    TPlotPanel* PlotPanel() const { return myPlotPanel; }
    TAnalysisPanel* AnalysisPanel() const { return myAnalysis; }
    QPushButton* UpdateButton() const { return myUpdateButton; }
    QPushButton* StartButton() const { return myStartButton; }
    QPushButton* StopButton() const { return myStopButton; }
    QPushButton* RedrawButton() const { return myRedrawButton; }
    QProgressBar* Gauge() const { return myGauge; }
    QAction* OpenAction() const { return myOpenAction; }
    QAction* SaveAction() const { return mySaveAction; }
    QAction* ExitAction() const { return myExitAction; }
    // The display windows (nullptr in a build without them).
    TDisplayWindows* DisplayWindows() const { return myDisplays; }
    // Per-slice hand-overs the window has drawn during runs, and the last slice drawn.
    int SlicesShown() const { return mySlicesShown; }
    int LastSliceShown() const { return myLastSliceShown; }
    // The cross-section the last Redraw built (clipping applied).
    const TCrossSection* LastCrossSection() const { return myLastCrossSection.get(); }
    bool UpdateCaptionRed() const { return myUpdateRed; }

signals:
    // A run or a series has ended (also after a refusal or an error).
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildLayout();
    void ConnectObserver();
    void ShowRecords();
    void AfterLoad();
    void SetUpdateRed(bool red);
    void SetRunning(bool running);
    void StartRun();
    void RunEnded(bool ok, const QString& error);
    void ShowSlice();
    void UpdateLevelRange();
    void ParmChosen(bool x, int index);
    void PlotFlagsChanged();

    TSimulationDriver myDriver;
    TGuiObserver* myObserver;
    std::unique_ptr<TScopedMessageSink> mySinkScope;
    TMessageBoxes* myMessages;
    TRunWorker* myWorker;
    TDisplayWindows* myDisplays = nullptr;
    std::unique_ptr<TSeriesRun> mySeries;
    bool mySeriesRunning = false;

    TGridPanel* myGridPanel;
    TWavePanel* myWavePanel;
    TMethodPanel* myMethodPanel;
    TRunOptionsPanel* myRunOptions;
    TPlotPanel* myPlotPanel;
    TAnalysisPanel* myAnalysis;
    QWidget* mySettings;
    QPushButton* myUpdateButton;
    QPushButton* myStartButton;
    QPushButton* myStopButton;
    QPushButton* myRedrawButton;
    QProgressBar* myGauge;
    QAction* myOpenAction;
    QAction* mySaveAction;
    QAction* myExitAction;
    std::function<QString(bool)> myFileChooser;
    bool myUpdateRed = false;
    int mySlicesShown = 0;
    int myLastSliceShown = -1;
    std::unique_ptr<TCrossSection> myLastCrossSection;
};

} // namespace ksn::gui
