#include "MethodPanel.h"

#include "EditReaders.h"

#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include <functional>

namespace ksn::gui {

namespace {

// A check box that writes a flag and logs "<what> enabled" / "<what> disabled".
QCheckBox* FlagBox(QWidget* parent, const QString& caption, const char* logWhat, std::function<bool&()> flag)
{
    auto* box = new QCheckBox(caption, parent);
    QObject::connect(box, &QCheckBox::toggled, parent, [logWhat, flag](bool on) {
        flag() = on;
        if (logWhat)
            Log(std::string(logWhat) + (on ? " enabled" : " disabled"));
    });
    return box;
}

} // namespace

TMethodPanel::TMethodPanel(TSimulationDriver& driver, QWidget* parent)
    : QGroupBox(QStringLiteral("Method"), parent), myDriver(driver)
{
    auto* layout = new QGridLayout(this);
    auto* group = new QButtonGroup(this);
    const std::pair<TSimMethod, const char*> methods[] = {{TSimMethod::vwpm, "VWPM"}, {TSimMethod::vbpmf, "VBPM-F"},
        {TSimMethod::vbpm, "VBPM"}, {TSimMethod::swpm, "SWPM"}, {TSimMethod::sbpm, "SBPM"},
        {TSimMethod::vwpmh, "VWPM-PWS"}, {TSimMethod::swpmh, "SWPM-H"}};
    int row = 0, column = 0;
    for (const auto& [method, caption] : methods) {
        auto* button = new QRadioButton(QLatin1String(caption), this);
        group->addButton(button);
        myMethods[method] = button;
        layout->addWidget(button, row, column);
        if (++column == 3) {
            column = 0;
            ++row;
        }
        const TSimMethod m = method;
        connect(button, &QRadioButton::toggled, this, [this, m](bool on) {
            if (!on)
                return;
            myDriver.Configuration().global.simMethod = m;
            emit MethodChanged();
        });
    }
    auto global = [this]() -> TGlobalParms& { return myDriver.Configuration().global; };
    myLargeScene = FlagBox(this, QStringLiteral("LargeSys"), "simulate large scene", [global]() -> bool& { return global().largeScene; });
    myBidirectional = FlagBox(this, QStringLiteral("bidir"), "bidirectional", [global]() -> bool& { return global().bidirectional; });
    myAllComplex = FlagBox(this, QStringLiteral("allComplex"), "compute with complex quantities",
        [global]() -> bool& { return global().allComplex; });
    myParmVariation = FlagBox(this, QStringLiteral("Parameter variation"), nullptr, [global]() -> bool& { return global().parmVariation; });
    myIndependent = FlagBox(this, QStringLiteral("calculate intensity wo/ n"), nullptr,
        [this]() -> bool& { return myDriver.Configuration().independent; });
    myEvanescent = FlagBox(this, QStringLiteral("calc. evanescent waves"), "compute with evanescent waves",
        [this]() -> bool& { return myDriver.Configuration().grid.evanescent; });
    myReflections = new QLineEdit(this);
    myExtraModes = new QLineEdit(this);
    myReflections->setObjectName(QStringLiteral("reflections"));
    myExtraModes->setObjectName(QStringLiteral("extraModes"));
    myReflections->setMaximumWidth(60);
    myExtraModes->setMaximumWidth(60);

    // Options below the methods, two to a row.
    layout->addWidget(myLargeScene, 3, 0);
    layout->addWidget(myAllComplex, 3, 1, 1, 2);
    layout->addWidget(myEvanescent, 4, 0, 1, 3);
    layout->addWidget(myIndependent, 5, 0, 1, 3);
    layout->addWidget(myParmVariation, 6, 0, 1, 3);
    layout->addWidget(myBidirectional, 7, 0);
    auto* reflections = new QHBoxLayout;
    reflections->addWidget(new QLabel(QStringLiteral("Num of reflections"), this));
    reflections->addWidget(myReflections);
    layout->addLayout(reflections, 7, 1, 1, 2);
    auto* modes = new QHBoxLayout;
    modes->addWidget(new QLabel(QStringLiteral("Extra Modes"), this));
    modes->addWidget(myExtraModes);
    layout->addLayout(modes, 8, 1, 1, 2);
    layout->setRowStretch(9, 1);

    connect(myBidirectional, &QCheckBox::toggled, myReflections, &QLineEdit::setEnabled);
    connect(myParmVariation, &QCheckBox::toggled, this, &TMethodPanel::ParmVariationToggled);
    connect(myReflections, &QLineEdit::editingFinished, this,
        [this] { IntEditFinished(myReflections, myDriver.Configuration().global.reflections); });
    connect(myExtraModes, &QLineEdit::editingFinished, this,
        [this] { IntEditFinished(myExtraModes, myDriver.Configuration().global.extraModes); });
}

QRadioButton* TMethodPanel::MethodButton(TSimMethod method) const
{
    const auto it = myMethods.find(method);
    return it == myMethods.end() ? nullptr : it->second;
}

void TMethodPanel::IntEditFinished(QLineEdit* edit, std::int32_t& target)
{
    // White when it converts, red otherwise (the value stays).
    int value = 0;
    const bool ok = ParseInt(edit->text(), value);
    MarkEdit(edit, ok);
    if (ok)
        target = value;
}

void TMethodPanel::ShowRecords()
{
    const TConfiguration& c = myDriver.Configuration();
    const TGlobalParms& g = c.global;
    for (auto& [method, button] : myMethods) {
        const QSignalBlocker block(button);
        button->setAutoExclusive(false);
        button->setChecked(method == g.simMethod);
        button->setAutoExclusive(true);
    }
    const std::pair<QCheckBox*, bool> boxes[] = {{myLargeScene, g.largeScene}, {myBidirectional, g.bidirectional},
        {myAllComplex, g.allComplex}, {myParmVariation, g.parmVariation}, {myIndependent, c.independent},
        {myEvanescent, c.grid.evanescent}};
    for (const auto& [box, on] : boxes) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
    myReflections->setText(QString::number(g.reflections));
    myExtraModes->setText(QString::number(g.extraModes));
    MarkEdit(myReflections, true);
    MarkEdit(myExtraModes, true);
    // Both edits are enabled when the file is read; bidir switches the first.
    myReflections->setEnabled(true);
    myExtraModes->setEnabled(true);
    emit ParmVariationToggled(g.parmVariation);
}

} // namespace ksn::gui
