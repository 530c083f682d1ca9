#pragma once
// Group "InField": the wave selector and the edits of the selected wave. Each edit
// writes one field of the selected entry of the configuration's wave list and logs it;
// the incident field is rebuilt from the list by "Update Scene".
#include "config/Records.h"

#include <QGroupBox>

#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

class TWavePanel : public QGroupBox {
    Q_OBJECT
public:
    TWavePanel(TSimulationDriver& driver, QWidget* parent = nullptr);

    // Refills the selector from the wave list (keeping the selection where it can) and
    // shows the selected wave.
    void ShowRecords();
    QComboBox* Selector() const { return mySelector; }
    // The edits in the order of the wave fields below.
    enum TWaveEdit { lambda, amplitude, psi, delta, theta, rho, sigmaX, sigmaY, shiftX, shiftY, shiftZ, count };
    QLineEdit* Edit(TWaveEdit e) const { return myEdits[size_t(e)]; }
    QCheckBox* Gaussian() const { return myGaussian; }
    QCheckBox* Radian() const { return myRadian; }

signals:
    void Changed();

private:
    TFieldOptions* Selected();
    void ShowWave();
    void EditFinished(TWaveEdit e);

    TSimulationDriver& myDriver;
    QComboBox* mySelector;
    std::vector<QLineEdit*> myEdits;
    QCheckBox* myGaussian;
    QCheckBox* myRadian;
};

} // namespace ksn::gui
