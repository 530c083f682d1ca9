#pragma once
// The grid edits X, Y, Z, nx, ny, nz, dx, dy, dz. Each writes the configuration's grid
// through EditGrid, which derives the partner value (dx from X and nx, …) and fits the
// slice count to the layer stack; the edits then show the grid as it now stands. The
// scene keeps the grid of its build until the next "Update Scene", Open or Start.
#include "config/Configuration.h"

#include <QGroupBox>

#include <array>

class QLineEdit;

namespace ksn {
class TSimulationDriver;
}

namespace ksn::gui {

class TGridPanel : public QGroupBox {
    Q_OBJECT
public:
    TGridPanel(TSimulationDriver& driver, QWidget* parent = nullptr);

    // Shows the configuration's grid in the nine edits.
    void ShowRecords();
    QLineEdit* Edit(TGridEdit edit) const { return myEdits[size_t(edit)]; }

signals:
    // A grid value has changed ("Update Scene" turns red).
    void Changed();

private:
    void EditFinished(TGridEdit edit);

    TSimulationDriver& myDriver;
    std::array<QLineEdit*, 9> myEdits{};
};

} // namespace ksn::gui
