#include "PlotPanel.h"

#include "EditReaders.h"

#include "config/Messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace ksn::gui {

QCheckBox* TPlotPanel::Box(const QString& caption, const char* onText, const char* offText)
{
    auto* box = new QCheckBox(caption, this);
    connect(box, &QCheckBox::toggled, this, [this, box, onText, offText](bool on) {
        Log(on ? onText : offText);
        if (on)
            Exclude(box);
        emit FlagsChanged();
    });
    return box;
}

TPlotPanel::TPlotPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* options = new QGroupBox(QStringLiteral("Plot Options"), this);
    auto* optionsLayout = new QGridLayout(options);
    myAmplitude = Box(QStringLiteral("Plot Amplitude"), "plot amplitude enabled", "plot amplitude disabled");
    myField = Box(QStringLiteral("Plot E-field [Re(), Im()]"), "plot real and imag of field enabled",
        "plot real and inag of field disabled");
    myIntensity = Box(QStringLiteral("Plot Intensity"), "plot intensity enabled", "plot intensity disabled");
    myAbsorption = Box(QStringLiteral("Plot Absorption"), "plot power absorption enabled", "plot power absorption disabled");
    myEnergyFlux = Box(QStringLiteral("Plot Energy flux"), "plot energy flux enabled", "plot energy flux disabled");
    myScene = Box(QStringLiteral("Plot Scene"), "plot scene enabled", "plot scene disabled");
    QCheckBox* boxes[] = {myAmplitude, myField, myScene, myIntensity, myAbsorption, myEnergyFlux};
    for (int i = 0; i < 6; ++i)
        optionsLayout->addWidget(boxes[i], i % 3, i / 3);
    layout->addWidget(options, 0, 0);

    auto* xsect = new QGroupBox(QStringLiteral("Plot Options - XSect"), this);
    auto* xsectLayout = new QVBoxLayout(xsect);
    myXAmplitude = Box(QStringLiteral("|E| / |Ex| / |Ey| / |Ez|"), "plot XSect amplitude enabled",
        "plot XSect amplitude disabled");
    myXComponents = Box(QStringLiteral("Re(Ex) / Re(Ey) / Re(Ez)"), "plot XSect components enabled",
        "plot XSect components disabled");
    myXIntensity = Box(QStringLiteral(" I/Abs/EFlux/CEff"), "plot XSect Intensity enabled", "plot XSect Intensity disabled");
    xsectLayout->addWidget(myXAmplitude);
    xsectLayout->addWidget(myXComponents);
    xsectLayout->addWidget(myXIntensity);
    layout->addWidget(xsect, 0, 1);

    auto* plane = new QGroupBox(QStringLiteral("Plot XSect"), this);
    auto* planeLayout = new QHBoxLayout(plane);
    auto* group = new QButtonGroup(this);
    myXY = new QRadioButton(QStringLiteral("xy"), plane);
    myXZ = new QRadioButton(QStringLiteral("xz"), plane);
    myYZ = new QRadioButton(QStringLiteral("yz"), plane);
    for (QRadioButton* b : {myXY, myXZ, myYZ}) {
        group->addButton(b);
        planeLayout->addWidget(b);
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                emit XSectChanged();
        });
    }
    myXY->setChecked(true);
    myLevelEdit = new QLineEdit(QStringLiteral("0"), plane);
    myLevelEdit->setObjectName(QStringLiteral("xsectLevel"));
    myLevelEdit->setMaximumWidth(50);
    myLevelBar = new QSlider(Qt::Horizontal, plane);
    myLevelBar->setRange(0, 0);
    planeLayout->addWidget(myLevelEdit);
    planeLayout->addWidget(myLevelBar, 1);
    layout->addWidget(plane, 1, 0);
    connect(myLevelBar, &QSlider::valueChanged, this, [this](int v) {
        const QSignalBlocker block(myLevelEdit);
        myLevelEdit->setText(QString::number(v));
        MarkEdit(myLevelEdit, true);
        emit LevelMoved();
    });
    connect(myLevelEdit, &QLineEdit::editingFinished, this, [this] {
        int v = 0;
        if (!ReadInt(myLevelEdit, TCheckMode::digit, v))
            return;
        myLevelBar->setValue(v); // moves the bar, which redraws
    });

    auto* clipping = new QGroupBox(QStringLiteral("Clipping"), this);
    auto* clipLayout = new QHBoxLayout(clipping);
    myClipEdit = new QLineEdit(QStringLiteral("-1"), clipping);
    myClipEdit->setObjectName(QStringLiteral("clipping"));
    clipLayout->addWidget(myClipEdit);
    layout->addWidget(clipping, 1, 1);
    connect(myClipEdit, &QLineEdit::editingFinished, this, [this] {
        double v = 0;
        if (ParseReal(myClipEdit->text(), v)) {
            myClipLevel = v;
            emit ClipChanged(v);
        } else {
            ResetClipping();
        }
    });
    SetXSectOptionsEnabled(false);
}

void TPlotPanel::Exclude(QCheckBox* checked)
{
    // "Plot Intensity", "Plot Absorption" and "Plot Energy flux" share one window.
    QCheckBox* shared[] = {myIntensity, myAbsorption, myEnergyFlux};
    bool isShared = false;
    for (QCheckBox* b : shared)
        isShared = isShared || b == checked;
    if (!isShared)
        return;
    for (QCheckBox* b : shared)
        if (b != checked && b->isChecked())
            b->setChecked(false);
}

TPlotFlags TPlotPanel::Flags() const
{
    TPlotFlags f;
    f.amplitude = myAmplitude->isChecked();
    f.field = myField->isChecked();
    f.intensity = myIntensity->isChecked();
    f.absorption = myAbsorption->isChecked();
    f.energyFlux = myEnergyFlux->isChecked();
    f.scene = myScene->isChecked();
    return f;
}

QRadioButton* TPlotPanel::OrientationButton(TOrientation o) const
{
    return o == kXZ ? myXZ : o == kYZ ? myYZ : myXY;
}

TOrientation TPlotPanel::Orientation() const
{
    return myXZ->isChecked() ? kXZ : myYZ->isChecked() ? kYZ : kXY;
}

void TPlotPanel::SelectOrientation(TOrientation o) { OrientationButton(o)->setChecked(true); }

int TPlotPanel::Level() const { return myLevelBar->value(); }

void TPlotPanel::SetLevelRange(int maximum)
{
    const QSignalBlocker block(myLevelBar);
    myLevelBar->setRange(0, std::max(0, maximum));
    myLevelEdit->setText(QString::number(myLevelBar->value()));
}

void TPlotPanel::ResetClipping()
{
    myClipLevel = -1;
    myClipEdit->setText(QStringLiteral("-1"));
    emit ClipChanged(-1);
}

void TPlotPanel::UncheckTransverseOptions()
{
    for (QCheckBox* b : {myScene, myAmplitude, myField, myIntensity, myAbsorption})
        b->setChecked(false);
}

void TPlotPanel::SetXSectOptionsEnabled(bool on)
{
    for (QCheckBox* b : {myXAmplitude, myXComponents, myXIntensity})
        b->setEnabled(on);
}

void TPlotPanel::UncheckXSectOptions()
{
    for (QCheckBox* b : {myXAmplitude, myXComponents, myXIntensity}) {
        const QSignalBlocker block(b);
        b->setChecked(false);
    }
}

void TPlotPanel::SetOrientationsAvailable(bool xz, bool yz)
{
    myXZ->setEnabled(xz);
    myYZ->setEnabled(yz);
    if (!xz && myXZ->isChecked())
        myXY->setChecked(true);
    if (!yz && myYZ->isChecked())
        myXY->setChecked(true);
    myLevelBar->setEnabled(xz && yz);
}

} // namespace ksn::gui
