#include "RunOptionsPanel.h"

#include "EditReaders.h"

#include "config/Configuration.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <thread>

namespace ksn::gui {

int TRunOptionsPanel::ProcessorCount()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? int(n) : 1;
}

TRunOptionsPanel::TRunOptionsPanel(TSimulationDriver& driver, QWidget* parent) : QWidget(parent), myDriver(driver)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* scale = new QGroupBox(QStringLiteral("Scale"), this);
    auto* scaleLayout = new QVBoxLayout(scale);
    auto* scaleGroup = new QButtonGroup(this);
    const char* captions[4] = {"meters [m]", "millimeters [mm]", "micrometers [um]", "nanometers [nm]"};
    const char* logs[4] = {"Set scale meters.", "Set scale millimeters.", "Set scale micrometers.",
        "Set scale nanometers."};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(QLatin1String(captions[i]), scale);
        scaleGroup->addButton(button);
        scaleLayout->addWidget(button);
        myScales[size_t(i)] = button;
        const char* text = logs[i];
        connect(button, &QRadioButton::toggled, this, [this, i, text](bool on) {
            if (!on)
                return;
            if (SetScale(myDriver.Configuration(), TScale(i)))
                Log(text);
            else
                ShowRecords(); // refused (its message shown): back to the unit in force
        });
    }
    layout->addWidget(scale);

    auto* threads = new QGroupBox(QStringLiteral("Multithreaded"), this);
    auto* threadLayout = new QVBoxLayout(threads);
    myMultithreaded = new QCheckBox(QStringLiteral("Run multithreaded"), threads);
    myThreads = new QComboBox(threads);
    myThreads->setObjectName(QStringLiteral("numOfThreads"));
    threadLayout->addWidget(myMultithreaded);
    auto* threadRow = new QHBoxLayout;
    threadRow->addWidget(new QLabel(QStringLiteral("Num of threads"), threads));
    threadRow->addWidget(myThreads, 1);
    threadLayout->addLayout(threadRow);
    layout->addWidget(threads);
    connect(myMultithreaded, &QCheckBox::toggled, this, [this](bool on) {
        myDriver.Configuration().global.multithreaded = on;
        FillThreads(on);
    });
    myThreads->installEventFilter(this);
    // Activated by the user only (filling the list does not choose a count).
    connect(myThreads, &QComboBox::activated, this, [this](int index) {
        if (!myMultithreaded->isChecked()) {
            ShowMessage("Please enable \"Run Multithreaded\"-Checkbox to determine maximum number of available threads.");
            return;
        }
        if (index >= 0)
            myDriver.Configuration().global.threadCount = index + 1;
    });

    auto* modulo = new QGroupBox(QStringLiteral("Modulo Tracking"), this);
    auto* moduloLayout = new QHBoxLayout(modulo);
    myModTracking = new QCheckBox(QStringLiteral("do mod tracking"), modulo);
    myModulus = new QLineEdit(modulo);
    myModulus->setObjectName(QStringLiteral("modulus"));
    myModulus->setMaximumWidth(60);
    moduloLayout->addWidget(myModTracking);
    moduloLayout->addWidget(myModulus);
    layout->addWidget(modulo);
    connect(myModTracking, &QCheckBox::toggled, this, [this](bool on) {
        myDriver.Configuration().global.moduloTracking = on;
        Log(on ? "modulo tracking enabled" : "modulo tracking disabled");
        CheckModulus();
        emit Changed();
    });
    connect(myModulus, &QLineEdit::editingFinished, this, [this] {
        int value = 0;
        const bool ok = ParseInt(myModulus->text(), value);
        MarkEdit(myModulus, ok);
        if (ok)
            myDriver.Configuration().global.modulus = value;
        CheckModulus();
    });
}

bool TRunOptionsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == myThreads && !myMultithreaded->isChecked() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)) {
        ShowMessage("Please enable \"Run Multithreaded\"-Checkbox to determine maximum number of available threads.");
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TRunOptionsPanel::FillThreads(bool on)
{
    myThreads->clear();
    if (on)
        for (int i = 1; i <= ProcessorCount(); ++i)
            myThreads->addItem(QString::number(i));
    myThreads->setCurrentIndex(-1);
}

void TRunOptionsPanel::CheckModulus()
{
    TGlobalParms& g = myDriver.Configuration().global;
    if (g.moduloTracking && g.modulus <= 0) {
        g.modulus = 1;
        Log(g.fileName + " loaded.");
        ShowRecords();
        emit RecordsRefreshed();
    }
}

void TRunOptionsPanel::ShowRecords()
{
    const TGlobalParms& g = myDriver.Configuration().global;
    const int scale = int(g.scale);
    for (int i = 0; i < 4; ++i) {
        const QSignalBlocker block(myScales[size_t(i)]);
        myScales[size_t(i)]->setAutoExclusive(false);
        myScales[size_t(i)]->setChecked(i == scale);
        myScales[size_t(i)]->setAutoExclusive(true);
    }
    {
        const QSignalBlocker block(myMultithreaded);
        myMultithreaded->setChecked(g.multithreaded);
    }
    FillThreads(g.multithreaded);
    if (g.multithreaded && g.threadCount >= 1 && g.threadCount <= myThreads->count())
        myThreads->setCurrentIndex(g.threadCount - 1);
    {
        const QSignalBlocker block(myModTracking);
        myModTracking->setChecked(g.moduloTracking);
    }
    myModulus->setText(QString::number(g.modulus));
    MarkEdit(myModulus, true);
}

} // namespace ksn::gui
