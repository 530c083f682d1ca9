#include "StringGrid.h"

#include <QFontDatabase>
#include <QHeaderView>

namespace ksn::gui {

void TGridTextModel::SetGrid(TGridText grid, bool headerRow)
{
    beginResetModel();
    myGrid = std::move(grid);
    myHeaderRow = headerRow;
    endResetModel();
}

int TGridTextModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return std::max(0, myGrid.rowCount - (myHeaderRow ? 1 : 0));
}

int TGridTextModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return std::max(0, myGrid.colCount - 1);
}

QVariant TGridTextModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(myGrid.Cell(index.column() + 1, index.row() + (myHeaderRow ? 1 : 0)));
}

QVariant TGridTextModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal) {
        if (!myHeaderRow)
            return QStringLiteral("Value");
        return section + 1 < myGrid.colCount ? QString::fromStdString(myGrid.Cell(section + 1, 0)) : QVariant();
    }
    const int row = section + (myHeaderRow ? 1 : 0);
    return row < myGrid.rowCount ? QString::fromStdString(myGrid.Cell(0, row)).trimmed() : QVariant();
}

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent)
{
    setModel(&myModel);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(21);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

void TStringGrid::SetGrid(TGridText grid, bool headerRow)
{
    // Column widths in characters, as the grid writer measured them.
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    std::vector<int> widths(grid.colWidths.begin() + std::min<size_t>(1, grid.colWidths.size()), grid.colWidths.end());
    myModel.SetGrid(std::move(grid), headerRow);
    for (size_t c = 0; c < widths.size(); ++c)
        setColumnWidth(int(c), std::max(40, widths[c] * charWidth + 8));
}

QString TStringGrid::CellText(int column, int row) const
{
    return myModel.data(myModel.index(row, column), Qt::DisplayRole).toString();
}

} // namespace ksn::gui
