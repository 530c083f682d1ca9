#pragma once
// Group "Method": the propagation method and the options of a run. Each control writes
// the configuration's global record (and independent) and logs what it switched.
#include "config/Records.h"

#include <QGroupBox>

#include <map>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

class TMethodPanel : public QGroupBox {
    Q_OBJECT
public:
    TMethodPanel(TSimulationDriver& driver, QWidget* parent = nullptr);

    // Checks the method's button and shows the options of the records.
    void ShowRecords();
    QRadioButton* MethodButton(TSimMethod method) const;
    QCheckBox* LargeScene() const { return myLargeScene; }
    QCheckBox* Bidirectional() const { return myBidirectional; }
    QCheckBox* AllComplex() const { return myAllComplex; }
    QCheckBox* ParmVariation() const { return myParmVariation; }
    QCheckBox* Independent() const { return myIndependent; }
    QCheckBox* Evanescent() const { return myEvanescent; }
    QLineEdit* Reflections() const { return myReflections; }
    QLineEdit* ExtraModes() const { return myExtraModes; }

signals:
    // The method changed: the incident field may need another kind (scalar or vector).
    void MethodChanged();
    void ParmVariationToggled(bool on);

private:
    void IntEditFinished(QLineEdit* edit, std::int32_t& target);

    TSimulationDriver& myDriver;
    std::map<TSimMethod, QRadioButton*> myMethods;
    QCheckBox* myLargeScene;
    QCheckBox* myBidirectional;
    QCheckBox* myAllComplex;
    QCheckBox* myParmVariation;
    QCheckBox* myIndependent;
    QCheckBox* myEvanescent;
    QLineEdit* myReflections;
    QLineEdit* myExtraModes;
};

} // namespace ksn::gui
