#include "analysis/data/sheet/sheet_grid_model.h"

#include <QSet>
#include <algorithm>

namespace kalvora {

void SheetGridModel::setTable(SheetTable table) {
    beginResetModel();
    table_ = std::move(table);
    filled_ = true;
    edits_.clear();
    endResetModel();
}

int SheetGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(filled_ ? table_.rowCount() : kDesignRows) - 1;
}

int SheetGridModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(filled_ ? table_.columnCount() : kDesignColumns);
}

QString SheetGridModel::cellText(int row, int column) const {
    if (row > 0) {
        const auto edited = edits_.constFind({row, column});
        if (edited != edits_.constEnd()) {
            return *edited;
        }
    }
    return filled_ ? QString::fromStdString(table_.cell(row, column)) : QString();
}

QString SheetGridModel::selectionText(const QModelIndexList& selected) const {
    QSet<QPair<int, int>> cells;
    QList<int> rows;
    QList<int> columns;
    for (const QModelIndex& index : selected) {
        cells.insert({index.row(), index.column()});
        rows << index.row();
        columns << index.column();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    if (rows.isEmpty()) {
        return {};
    }
    QString text;
    const auto line = [&](int row, bool header) {
        for (int k = 0; k < columns.size(); ++k) {
            if (k > 0) {
                text += QLatin1Char('\t');
            }
            if (header || cells.contains({row, columns[k]})) {
                text += cellText(header ? 0 : row + 1, columns[k]);
            }
        }
        text += QLatin1Char('\n');
    };
    line(0, true);
    for (int row : rows) {
        line(row, false);
    }
    return text;
}

QVariant SheetGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return cellText(index.row() + 1, index.column());
}

bool SheetGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    edits_.insert({index.row() + 1, index.column()}, value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags SheetGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant SheetGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return cellText(0, section);
    }
    return QString();
}

}  // namespace kalvora
