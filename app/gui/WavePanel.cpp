#include "WavePanel.h"

#include "EditReaders.h"

#include "config/FloatText.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace ksn::gui {

namespace {

struct TWaveEditInfo {
    const char* label;
    const char* logText;
    double TFieldOptions::*field;
};

const TWaveEditInfo kEdits[TWavePanel::count] = {
    {"wavelength", "Lambda is ", &TFieldOptions::lambda},
    {"Amplitude", "Amplitude is ", &TFieldOptions::amplitude},
    {"psi", "Psi is", &TFieldOptions::psi},
    {"delta", "Delta is ", &TFieldOptions::delta},
    {"theta", "Theta is ", &TFieldOptions::theta},
    {"rho", "Rho is", &TFieldOptions::rho},
    {"sigmaX", "SigmaX is ", &TFieldOptions::sigmaX},
    {"sigmaY", "SigmaY is ", &TFieldOptions::sigmaY},
    {"shift-x", "xShift is ", &TFieldOptions::shiftX},
    {"shift-y", "yShift is ", &TFieldOptions::shiftY},
    {"shift-z", "zShift is ", &TFieldOptions::shiftZ},
};

QString WaveName(const TFieldOptions& wave, int n)
{
    const char* shape = BeamShapeName(wave.shape);
    return QStringLiteral("%1 %2").arg(*shape ? QLatin1String(shape) : QLatin1String("unknown")).arg(n);
}

} // namespace

TWavePanel::TWavePanel(TSimulationDriver& driver, QWidget* parent)
    : QGroupBox(QStringLiteral("InField"), parent), myDriver(driver)
{
    auto* layout = new QGridLayout(this);
    mySelector = new QComboBox(this);
    mySelector->setObjectName(QStringLiteral("waveSelector"));
    layout->addWidget(new QLabel(QStringLiteral("Wave"), this), 0, 0);
    layout->addWidget(mySelector, 0, 1, 1, 3);
    for (int i = 0; i < count; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("wave_") + QLatin1String(kEdits[i].label));
        edit->setMinimumWidth(64);
        edit->setMaximumWidth(110);
        ColourWhileTyping(edit, TCheckMode::digitOrComma);
        myEdits.push_back(edit);
        const int row = 1 + i / 2, column = (i % 2) * 2;
        layout->addWidget(new QLabel(QLatin1String(kEdits[i].label), this), row, column);
        layout->addWidget(edit, row, column + 1);
        const auto e = TWaveEdit(i);
        connect(edit, &QLineEdit::editingFinished, this, [this, e] { EditFinished(e); });
    }
    myGaussian = new QCheckBox(QStringLiteral("Gaussian beam"), this);
    myRadian = new QCheckBox(QStringLiteral("Angles in radian"), this);
    layout->addWidget(myGaussian, 7, 0, 1, 2);
    layout->addWidget(myRadian, 7, 2, 1, 2);

    connect(mySelector, &QComboBox::currentIndexChanged, this, [this] { ShowWave(); });
    connect(myGaussian, &QCheckBox::toggled, this, [this](bool on) {
        if (TFieldOptions* wave = Selected()) {
            wave->shape = on ? TBeamShape::gaussian : TBeamShape::plane;
            const QSignalBlocker block(mySelector);
            mySelector->setItemText(mySelector->currentIndex(), WaveName(*wave, mySelector->currentIndex()));
        }
        Log(on ? "Beam is Gaussian." : "Beam is not Gaussian.");
        emit Changed();
    });
    connect(myRadian, &QCheckBox::toggled, this, [this](bool on) {
        if (TFieldOptions* wave = Selected())
            wave->angular = on ? TAngular::rad : TAngular::deg;
        Log(on ? "Angles in [rad]." : "Angles in [deg].");
        emit Changed();
    });
}

TFieldOptions* TWavePanel::Selected()
{
    TFieldOptionsArr& waves = myDriver.Configuration().waves;
    const int i = mySelector->currentIndex();
    return i >= 0 && i < int(waves.size()) ? &waves[size_t(i)] : nullptr;
}

void TWavePanel::ShowRecords()
{
    const TFieldOptionsArr& waves = myDriver.Configuration().waves;
    const int keep = mySelector->currentIndex();
    {
        const QSignalBlocker block(mySelector);
        mySelector->clear();
        for (size_t n = 0; n < waves.size(); ++n)
            mySelector->addItem(WaveName(waves[n], int(n)));
        mySelector->setCurrentIndex(keep >= 0 && keep < int(waves.size()) ? keep : (waves.empty() ? -1 : 0));
    }
    ShowWave();
}

void TWavePanel::ShowWave()
{
    const TFieldOptions* wave = Selected();
    for (int i = 0; i < count; ++i) {
        myEdits[size_t(i)]->setText(wave ? RealText(wave->*kEdits[i].field) : QString());
        MarkEdit(myEdits[size_t(i)], true);
        myEdits[size_t(i)]->setEnabled(wave != nullptr);
    }
    const QSignalBlocker blockG(myGaussian);
    const QSignalBlocker blockR(myRadian);
    myGaussian->setChecked(wave && wave->shape == TBeamShape::gaussian);
    myRadian->setChecked(wave && wave->angular == TAngular::rad);
    myGaussian->setEnabled(wave != nullptr);
    myRadian->setEnabled(wave != nullptr);
}

void TWavePanel::EditFinished(TWaveEdit e)
{
    TFieldOptions* wave = Selected();
    if (!wave)
        return; // nothing selected: no wave to write
    double value = 0;
    const bool read = ReadReal(Edit(e), TCheckMode::digitOrComma, value);
    if (!read) {
        if (e == sigmaY)
            Log("Please check input. Inappropriate type!");
        else
            ShowMessage("Please check input. Inappropriate type!");
        // The wave keeps its value: a wavelength or width of 0 cannot be run.
        value = wave->*kEdits[e].field;
    } else if (value != wave->*kEdits[e].field) {
        wave->*kEdits[e].field = value;
        emit Changed();
    }
    Log(kEdits[e].logText + FormatReal(value));
}

} // namespace ksn::gui
