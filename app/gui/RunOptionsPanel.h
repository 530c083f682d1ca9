#pragma once
// Groups "Scale", "Multithreaded" and "Modulo Tracking": the length unit, the thread
// count of pooled steps and the slice interval of the slice store.
#include "config/Records.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

class TRunOptionsPanel : public QWidget {
    Q_OBJECT
public:
    TRunOptionsPanel(TSimulationDriver& driver, QWidget* parent = nullptr);

    void ShowRecords();
    QRadioButton* ScaleButton(TScale scale) const { return myScales[size_t(scale)]; }
    QCheckBox* Multithreaded() const { return myMultithreaded; }
    QComboBox* Threads() const { return myThreads; }
    QCheckBox* ModTracking() const { return myModTracking; }
    QLineEdit* Modulus() const { return myModulus; }
    // The processors the system reports (at least 1).
    static int ProcessorCount();

protected:
    // A click on "Num of threads" while "Run multithreaded" is off says why it is empty.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void Changed();        // "do mod tracking" ("Update Scene" turns red)
    void RecordsRefreshed(); // the controls were refreshed from the records

private:
    void FillThreads(bool on);
    void CheckModulus();

    TSimulationDriver& myDriver;
    std::array<QRadioButton*, 4> myScales{};
    QCheckBox* myMultithreaded;
    QComboBox* myThreads;
    QCheckBox* myModTracking;
    QLineEdit* myModulus;
};

} // namespace ksn::gui
