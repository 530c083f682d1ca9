#pragma once
// The string grid of the display windows: a table view of a TGridText, whose fixed
// header column (and header row, where the grid has one) become the table's headers.
#include "numerics/GridText.h"

#include <QAbstractTableModel>
#include <QTableView>

namespace ksn::gui {

class TGridTextModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // headerRow: the grid's row 0 holds the column labels (arrays); without it (vectors)
    // every row is data.
    void SetGrid(TGridText grid, bool headerRow);
    const TGridText& Grid() const { return myGrid; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TGridText myGrid;
    bool myHeaderRow = true;
};

class TStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    void SetGrid(TGridText grid, bool headerRow);
    const TGridText& Grid() const { return myModel.Grid(); }
    // The text of data cell (column, row), headers not counted.
    QString CellText(int column, int row) const;

private:
    TGridTextModel myModel;
};

} // namespace ksn::gui
