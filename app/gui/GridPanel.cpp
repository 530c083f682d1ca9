#include "GridPanel.h"

#include "EditReaders.h"

#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace ksn::gui {

namespace {

bool IsCount(TGridEdit e) { return e == TGridEdit::nx || e == TGridEdit::ny || e == TGridEdit::nz; }

} // namespace

TGridPanel::TGridPanel(TSimulationDriver& driver, QWidget* parent) : QGroupBox(QStringLiteral("Grid"), parent), myDriver(driver)
{
    auto* layout = new QGridLayout(this);
    const char* names[9] = {"X", "Y", "Z", "nx", "ny", "nz", "dx", "dy", "dz"};
    for (int i = 0; i < 9; ++i) {
        const auto e = TGridEdit(i);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edit_") + QLatin1String(names[i]));
        edit->setMinimumWidth(70);
        edit->setMaximumWidth(110);
        myEdits[size_t(i)] = edit;
        // Rows: extents, counts, spacings; columns x, y, z.
        const int row = i / 3, column = i % 3;
        auto* label = new QLabel(QLatin1String(names[i]), this);
        label->setBuddy(edit);
        layout->addWidget(label, row, column * 2);
        layout->addWidget(edit, row, column * 2 + 1);
        const TCheckMode mode = IsCount(e) ? TCheckMode::digit : TCheckMode::digitOrComma;
        ColourWhileTyping(edit, mode);
        connect(edit, &QLineEdit::editingFinished, this, [this, e] { EditFinished(e); });
    }
}

void TGridPanel::ShowRecords()
{
    const TGridParms& g = myDriver.Configuration().grid;
    const double values[9] = {g.X, g.Y, g.Z, double(g.nx), double(g.ny), double(g.nz), g.dx, g.dy, g.dz};
    for (int i = 0; i < 9; ++i) {
        const auto e = TGridEdit(i);
        myEdits[size_t(i)]->setText(IsCount(e) ? QString::number(int(values[i])) : RealText(values[i]));
        MarkEdit(myEdits[size_t(i)], true);
    }
}

void TGridPanel::EditFinished(TGridEdit e)
{
    QLineEdit* edit = Edit(e);
    double value = 0;
    bool read = false;
    if (IsCount(e)) {
        int n = 0;
        read = ReadInt(edit, TCheckMode::digit, n);
        value = n;
    } else {
        read = ReadReal(edit, TCheckMode::digitOrComma, value);
    }
    if (!read) {
        // The grid keeps its value: a grid of 0 points or of spacing 0 cannot be run.
        Log(e == TGridEdit::nz ? "Please check input. Inappropriate input for nz!"
                               : "Please check input. Inappropriate type!");
        return;
    }
    TConfiguration& config = myDriver.Configuration();
    const TGridParms before = config.grid;
    if (EditGrid(config, e, value)) {
        // The partner edits show what the edit derived (and the fitted slice count).
        ShowRecords();
        if (!(before == config.grid))
            emit Changed();
    } else {
        ShowRecords();
    }
}

} // namespace ksn::gui
