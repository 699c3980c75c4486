#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>

#include "analysis/data/sheet/sheet_fill.h"

namespace kalvora {

// The contents of the sheet's grid. The header row of the grid is the view's column header, so it
// stays in place while the rows scroll; model row r is grid row r + 1. Cells format their values
// only when shown, so a sheet of 50000 rows costs no more than its numbers. Cells can be edited by
// hand; the edits are shown until the next fill and never read back.
class SheetGridModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Before the first fill the grid has its design size: 6 columns and 100 rows.
    static constexpr int kDesignColumns = 6;
    static constexpr int kDesignRows = 100;

    using QAbstractTableModel::QAbstractTableModel;

    void setTable(SheetTable table);
    const SheetTable* table() const { return filled_ ? &table_ : nullptr; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text of grid cell (row, column) as shown, the header being row 0.
    QString cellText(int row, int column) const;

    // The selected cells as tab-separated lines, as spreadsheets paste them: the header row of the
    // selected columns, then one line per row holding a selected cell; a cell of those rows and
    // columns that is not selected stays empty. Empty for no selection.
    QString selectionText(const QModelIndexList& selected) const;

  private:
    SheetTable table_;
    bool filled_ = false;
    QHash<QPair<int, int>, QString> edits_;
};

}  // namespace kalvora
