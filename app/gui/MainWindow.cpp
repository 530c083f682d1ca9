// The main window: construction, layout, menu, loading and saving, and the settings
// that follow a load.
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
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
#include "display/DisplayWindows.h"
#endif

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

namespace ksn::gui {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kestrin"));
    myObserver = new TGuiObserver(this);
    myDriver.SetObserver(myObserver);
    // What the window's own handlers report goes the same way as a run's reports.
    mySinkScope = std::make_unique<TScopedMessageSink>(myObserver);
    myMessages = new TMessageBoxes(this);
    myWorker = new TRunWorker(this);
    mySeries = std::make_unique<TSeriesRun>(myDriver);
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    myDisplays = new TDisplayWindows(this);
    // The windows' messages go to the same queued boxes as everything else.
    myDisplays->SetMessageHandler([](const std::string& text) { ShowMessage(text); });
#endif
    BuildMenu();
    BuildLayout();
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    // A window closed with its title-bar button turns its plot option off.
    connect(myDisplays, &TDisplayWindows::Closed, this, [this](TDisplayKind kind) {
        switch (kind) {
        case TDisplayKind::amplitude:
            myPlotPanel->Amplitude()->setChecked(false);
            break;
        case TDisplayKind::field:
            myPlotPanel->Field()->setChecked(false);
            break;
        case TDisplayKind::scene:
            myPlotPanel->Scene()->setChecked(false);
            break;
        case TDisplayKind::intensity:
            for (QCheckBox* b : {myPlotPanel->Intensity(), myPlotPanel->Absorption(), myPlotPanel->EnergyFlux()})
                b->setChecked(false);
            break;
        }
    });
    connect(myPlotPanel, &TPlotPanel::ClipChanged, myDisplays, &TDisplayWindows::SetClipLevel);
#endif
    ConnectObserver();
    connect(myWorker, &TRunWorker::Finished, this, &TForm1::RunEnded);
    mySettings->setEnabled(false);
    resize(1360, 860);
}

TForm1::~TForm1()
{
    if (myWorker->IsRunning()) {
        myDriver.RequestStop();
        myWorker->Wait();
    }
    myMessages->CloseAll();
}

void TForm1::BuildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    myOpenAction = file->addAction(QStringLiteral("&Open ..."));
    myOpenAction->setShortcut(QKeySequence::Open);
    mySaveAction = file->addAction(QStringLiteral("&Save ..."));
    mySaveAction->setShortcut(QKeySequence::Save);
    file->addSeparator();
    myExitAction = file->addAction(QStringLiteral("E&xit"));
    myExitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    myExitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(myOpenAction, &QAction::triggered, this, [this] {
        const QString name = myFileChooser ? myFileChooser(false)
                                           : QFileDialog::getOpenFileName(this, QStringLiteral("Load Scene ..."),
                                                 QString(), QStringLiteral("Scenes (*.ini);;All files (*)"));
        if (!name.isEmpty())
            OpenFile(name);
    });
    connect(mySaveAction, &QAction::triggered, this, [this] {
        if (!myDriver.IsLoaded()) {
            ShowMessage("Please load .ini File.");
            return;
        }
        const QString name = myFileChooser ? myFileChooser(true)
                                           : QFileDialog::getSaveFileName(this, QStringLiteral("Save scene ..."),
                                                 QString::fromStdString(myDriver.Configuration().global.fileName),
                                                 QStringLiteral("Scenes (*.ini);;All files (*)"));
        if (!name.isEmpty())
            SaveFile(name);
    });
    connect(myExitAction, &QAction::triggered, this, &QWidget::close);
}

void TForm1::BuildLayout()
{
    myGridPanel = new TGridPanel(myDriver, this);
    myWavePanel = new TWavePanel(myDriver, this);
    myMethodPanel = new TMethodPanel(myDriver, this);
    myRunOptions = new TRunOptionsPanel(myDriver, this);
    myPlotPanel = new TPlotPanel(this);
    myAnalysis = new TAnalysisPanel(this);

    myUpdateButton = new QPushButton(QStringLiteral("Update Scene"), this);
    myStartButton = new QPushButton(QStringLiteral("Start"), this);
    myStopButton = new QPushButton(QStringLiteral("Stop"), this);
    myRedrawButton = new QPushButton(QStringLiteral("Redraw"), this);
    myStopButton->setEnabled(false);
    myGauge = new QProgressBar(this);
    myGauge->setRange(0, 100);
    myGauge->setValue(0);

    // Left: the settings (scrolling when the screen is small); right: the analysis area.
    mySettings = new QWidget(this);
    auto* settings = new QGridLayout(mySettings);
    settings->addWidget(myGridPanel, 0, 0);
    settings->addWidget(myMethodPanel, 0, 1);
    settings->addWidget(myWavePanel, 1, 0);
    settings->addWidget(myRunOptions, 1, 1);
    settings->addWidget(myPlotPanel, 2, 0, 1, 2);
    settings->setContentsMargins(4, 4, 4, 4);
    settings->setColumnStretch(2, 1); // spare width goes beside the groups, not into them

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* scrolled = new QWidget(scroll);
    auto* scrolledLayout = new QVBoxLayout(scrolled);
    scrolledLayout->setContentsMargins(0, 0, 0, 0);
    scrolledLayout->addWidget(mySettings);
    scrolledLayout->addStretch(1);
    scroll->setWidget(scrolled);
    // The settings scroll up and down only: the column is as wide as they need.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(scrolled->minimumSizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 4);
    leftLayout->addWidget(scroll, 1);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {myUpdateButton, myStartButton, myStopButton, myRedrawButton}) {
        b->setMinimumWidth(90);
        commands->addWidget(b);
    }
    leftLayout->addLayout(commands);
    leftLayout->addWidget(myGauge);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left);
    splitter->addWidget(myAnalysis);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    connect(myUpdateButton, &QPushButton::clicked, this, &TForm1::UpdateScene);
    connect(myStartButton, &QPushButton::clicked, this, &TForm1::Start);
    connect(myStopButton, &QPushButton::clicked, this, &TForm1::Stop);
    connect(myRedrawButton, &QPushButton::clicked, this, &TForm1::Redraw);
    connect(myGridPanel, &TGridPanel::Changed, this, [this] { SetUpdateRed(true); });
    connect(myWavePanel, &TWavePanel::Changed, this, [this] { SetUpdateRed(true); });
    connect(myRunOptions, &TRunOptionsPanel::Changed, this, [this] { SetUpdateRed(true); });
    connect(myRunOptions, &TRunOptionsPanel::RecordsRefreshed, this, &TForm1::ShowRecords);
    connect(myMethodPanel, &TMethodPanel::MethodChanged, this, [this] { SetUpdateRed(true); });
    connect(myMethodPanel, &TMethodPanel::ParmVariationToggled, myAnalysis, &TAnalysisPanel::SetVariationEnabled);
    connect(myPlotPanel, &TPlotPanel::FlagsChanged, this, &TForm1::PlotFlagsChanged);
    connect(myPlotPanel, &TPlotPanel::XSectChanged, this, &TForm1::UpdateLevelRange);
    connect(myPlotPanel, &TPlotPanel::LevelMoved, this, &TForm1::Redraw);
    connect(myAnalysis, &TAnalysisPanel::XParmChosen, this, [this](int i) { ParmChosen(true, i); });
    connect(myAnalysis, &TAnalysisPanel::YParmChosen, this, [this](int i) { ParmChosen(false, i); });
    connect(myAnalysis->GraphDrawButton(), &QPushButton::clicked, this,
        [this] { myAnalysis->DrawGraphs(myDriver.Configuration().global.parmVariation); });
    connect(myAnalysis->GraphSaveButton(), &QPushButton::clicked, this, [this] {
        if (!myDriver.IsLoaded()) {
            ShowMessage("Please load .ini File.");
            return;
        }
        const std::string name = myDriver.Configuration().global.fileName;
        if (myAnalysis->SaveGraphs(name))
            Log("Saved graphs " + name + "_absn.wmf, " + name + "_inty.wmf, " + name + "_eflx.wmf");
        else
            ShowMessage("Error. Cannot save file!");
    });
    connect(myAnalysis->DiagramSaveButton(), &QPushButton::clicked, this, [this] {
        if (!myAnalysis->MapsOn())
            return;
        const std::string name = myDriver.Configuration().global.fileName;
        if (myAnalysis->SaveDiagrams(name))
            Log("Saved diagrams " + name + "_absn_2d.png, " + name + "_inty_2d.png, " + name + "_eflx_2d.png");
        else
            ShowMessage("Error. Cannot save file!");
    });
}

void TForm1::ConnectObserver()
{
    connect(myObserver, &TGuiObserver::MessageArrived, myMessages, &TMessageBoxes::Show);
    connect(myObserver, &TGuiObserver::LogArrived, myAnalysis, &TAnalysisPanel::AppendLog);
    connect(myObserver, &TGuiObserver::ProgressArrived, this, [this](int slice, int slices) {
        myGauge->setValue(slices > 0 ? int(std::lround(100.0 * slice / slices)) : 0);
        setWindowTitle(QStringLiteral("Iteration %1 of %2").arg(slice).arg(slices - 1));
    });
    connect(myObserver, &TGuiObserver::RunProgressArrived, this,
        [this](int run, int runs) { myStartButton->setText(QStringLiteral("%1/%2").arg(run).arg(runs)); });
    connect(myObserver, &TGuiObserver::SliceArrived, this, &TForm1::ShowSlice);
    connect(myObserver, &TGuiObserver::VariationArrived, this, [this] { mySeries->Show(*myAnalysis); });
    myObserver->SetVariationHook([this] { mySeries->TakeSnapshot(); });
}

bool TForm1::OpenFile(const QString& path)
{
    if (IsRunning())
        return false;
    const bool ok = myDriver.Open(path.toStdString());
    mySettings->setEnabled(ok);
    if (ok) {
        ShowRecords();
        AfterLoad();
    }
    SetUpdateRed(false);
    return ok;
}

bool TForm1::SaveFile(const QString& path)
{
    return SaveConfiguration(path.toStdString(), myDriver.Configuration());
}

void TForm1::ShowRecords()
{
    myGridPanel->ShowRecords();
    myWavePanel->ShowRecords();
    myMethodPanel->ShowRecords();
    myRunOptions->ShowRecords();
}

// What a load (Open or "Update Scene") sets besides the records: the cross-section
// options off until a run has stored slices, "Plot Scene" usable, the xy plane, the
// parameter selectors, and the planes a 2-D configuration cannot show.
void TForm1::AfterLoad()
{
    const TConfiguration& c = myDriver.Configuration();
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    myDisplays->Clear(); // nothing of the old grid stays on screen
#endif
    myPlotPanel->UncheckXSectOptions();
    myPlotPanel->SetXSectOptionsEnabled(false);
    myPlotPanel->Scene()->setEnabled(true);
    myPlotPanel->SelectOrientation(kXY);
    myPlotPanel->ResetClipping();
    QStringList items;
    for (size_t n = 0; n < c.parms.size() && n < c.parmTypes.size(); ++n) {
        if (c.parmTypes[n] == TParmsType::wave)
            items << QStringLiteral("parm%1 [wav]").arg(n);
        else if (c.parmTypes[n] == TParmsType::layer)
            items << QStringLiteral("parm%1 [lay]").arg(n);
    }
    myAnalysis->SetParmItems(items);
    if (items.size() > 1)
        myAnalysis->YParm()->setCurrentIndex(1);
    mySeries->Loaded(items);
    myPlotPanel->SetOrientationsAvailable(c.grid.X != 0, c.grid.Y != 0);
    UpdateLevelRange();
}

void TForm1::UpdateScene()
{
    if (IsRunning())
        return;
    if (myDriver.UpdateScene()) {
        myWavePanel->ShowRecords();
        myGridPanel->ShowRecords();
        AfterLoad();
    }
    SetUpdateRed(false);
}

void TForm1::SetUpdateRed(bool red)
{
    myUpdateRed = red;
    QPalette palette = myUpdateButton->palette();
    palette.setColor(QPalette::ButtonText, red ? QColor(Qt::red) : QColor(Qt::black));
    myUpdateButton->setPalette(palette);
}

void TForm1::UpdateLevelRange()
{
    const TConfiguration& c = myDriver.Configuration();
    int maximum = 0;
    switch (myPlotPanel->Orientation()) {
    case kXY: {
        const int stored = int(myDriver.ForwardStore().size());
        maximum = stored > 0 ? stored - 1 : (myPlotPanel->Scene()->isChecked() ? c.grid.nz - 1 : 0);
        break;
    }
    case kXZ:
        maximum = c.grid.ny - 1;
        break;
    case kYZ:
        maximum = c.grid.nx - 1;
        break;
    }
    myPlotPanel->SetLevelRange(maximum);
}

void TForm1::PlotFlagsChanged()
{
    const TPlotFlags flags = myPlotPanel->Flags();
    myObserver->SetPlotFlags(flags);
#ifdef KESTRIN_HAVE_DISPLAY_WINDOWS
    myDisplays->SetShown(TDisplayKind::amplitude, flags.amplitude);
    myDisplays->SetShown(TDisplayKind::field, flags.field);
    myDisplays->SetShown(TDisplayKind::scene, flags.scene);
    myDisplays->SetShown(TDisplayKind::intensity, flags.intensity || flags.absorption || flags.energyFlux);
    myDisplays->SetIntensityCaption(flags.absorption   ? "Local absorption"
                                    : flags.energyFlux ? "Energy flux"
                                                       : "Wave intensity");
#endif
}

void TForm1::ParmChosen(bool x, int index)
{
    // The series says why a choice fails; the selector then shows the choice in force.
    QComboBox* selector = x ? myAnalysis->XParm() : myAnalysis->YParm();
    if (!mySeries->Choose(x, selector->itemText(index))) {
        const int inForce = x ? mySeries->Series().XParm() : mySeries->Series().YParm();
        selector->setCurrentIndex(selector->findText(QStringLiteral("parm%1 ").arg(inForce), Qt::MatchStartsWith));
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A run in progress stops after its current step; the program then ends.
    if (myWorker->IsRunning()) {
        myDriver.RequestStop();
        myWorker->Wait();
    }
    myMessages->CloseAll();
    event->accept();
}

} // namespace ksn::gui
