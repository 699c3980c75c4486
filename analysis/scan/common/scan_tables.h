#pragma once

#include <QComboBox>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTableWidget>

#include "analysis/scan/common/scan_raster.h"

namespace kalvora {

// The tables and axis lists that the settings dialogs of both plane scans are made of.

inline constexpr int kCycleTableRows = 100;

// The cycle table: kCycleTableRows numbered rows under "Nr." and "Cycle Period" (a dialog may add
// columns), narrow columns, Tab leaving the table.
QTableWidget* MakeCycleTable(QWidget* parent);
// The first rows show; the others are hidden and keep their entries for when the count grows again
// (or a Cancel restores it).
void ShowCycleRows(QTableWidget* cycles, int rows);

// The domain table: a row for each axis, named after the axis chosen, with its minimum, maximum and
// resolution.
QTableWidget* MakeDomainTable(QWidget* parent);
// The empty cells get 0 to 1.4 and the image area's size as resolution; entries typed stay.
void FillDomainDefaults(QTableWidget* domain, const QSize& imageArea);
// The rectangle as the cells hold it; a cell that does not parse raises its conversion error.
ScanDomain ReadDomain(const QTableWidget* domain);

// The text of a cell, empty when the cell was never filled.
QString CellText(const QTableWidget* table, int row, int column);

// The two axis lists name the domain rows, now and whenever the choice changes.
void ConnectAxisLists(QComboBox* horizontal, QComboBox* vertical, QTableWidget* domain);
// Both lists offer names, with the first and the second selected.
void FillAxisLists(QComboBox* horizontal, QComboBox* vertical, const QStringList& names,
                   QTableWidget* domain);

}  // namespace kalvora
