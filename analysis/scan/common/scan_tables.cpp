#include "analysis/scan/common/scan_tables.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include "analysis/window/settings_dialog.h"
#include "core/numbers.h"

namespace kalvora {

namespace {

// Narrow columns, so that a table of a few columns shows whole in the dialog. Tab leaves a table
// for the next control, as in the other dialogs; the arrows move between cells.
void FitTable(QTableWidget* table) {
    table->setTabKeyNavigation(false);
    table->horizontalHeader()->setDefaultSectionSize(84);
    table->horizontalHeader()->setMinimumSectionSize(40);
}

QTableWidgetItem* FixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

void NameDomainRow(QTableWidget* domain, int row, const QString& name) {
    domain->setItem(row, 0, FixedItem(name));
}

}  // namespace

QTableWidget* MakeCycleTable(QWidget* parent) {
    auto* cycles = new QTableWidget(kCycleTableRows, 2, parent);
    cycles->setObjectName("CycleGrid");
    cycles->verticalHeader()->hide();
    cycles->setHorizontalHeaderLabels({QStringLiteral("Nr."), QStringLiteral("Cycle Period")});
    FitTable(cycles);
    cycles->setMinimumHeight(130);
    for (int r = 0; r < kCycleTableRows; ++r) {
        cycles->setItem(r, 0, FixedItem(QString::number(r + 1)));
    }
    return cycles;
}

void ShowCycleRows(QTableWidget* cycles, int rows) {
    for (int r = 0; r < kCycleTableRows; ++r) {
        cycles->setRowHidden(r, r >= rows);
    }
}

QTableWidget* MakeDomainTable(QWidget* parent) {
    auto* domain = new QTableWidget(2, 4, parent);
    domain->setObjectName("DomainGrid");
    domain->verticalHeader()->hide();
    domain->setHorizontalHeaderLabels({QStringLiteral("Domain"), QStringLiteral("Minimum"),
                                       QStringLiteral("Maximum"), QStringLiteral("Resolution")});
    FitTable(domain);
    domain->setFixedHeight(domain->horizontalHeader()->sizeHint().height() +
                           2 * domain->verticalHeader()->defaultSectionSize() +
                           2 * domain->frameWidth());
    return domain;
}

void FillDomainDefaults(QTableWidget* domain, const QSize& imageArea) {
    const QString defaults[2][3] = {
        {QStringLiteral("0"), QStringLiteral("1.4"), QString::number(imageArea.width())},
        {QStringLiteral("0"), QStringLiteral("1.4"), QString::number(imageArea.height())}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 1; c < 4; ++c) {
            if (CellText(domain, r, c).isEmpty()) {
                domain->setItem(r, c, new QTableWidgetItem(defaults[r][c - 1]));
            }
        }
    }
}

ScanDomain ReadDomain(const QTableWidget* domain) {
    const auto number = [domain](int row, int column) { return CellNumber(domain, row, column); };
    const auto count = [domain](int row) { return CellInteger(domain, row, 3); };
    ScanDomain read;
    read.horizontalMinimum = number(0, 1);
    read.horizontalMaximum = number(0, 2);
    read.horizontalResolution = count(0);
    read.verticalMinimum = number(1, 1);
    read.verticalMaximum = number(1, 2);
    read.verticalResolution = count(1);
    return read;
}

QString CellText(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? item->text() : QString();
}

void ConnectAxisLists(QComboBox* horizontal, QComboBox* vertical, QTableWidget* domain) {
    QObject::connect(horizontal, &QComboBox::currentTextChanged, domain,
                     [domain](const QString& name) { NameDomainRow(domain, 0, name); });
    QObject::connect(vertical, &QComboBox::currentTextChanged, domain,
                     [domain](const QString& name) { NameDomainRow(domain, 1, name); });
}

void FillAxisLists(QComboBox* horizontal, QComboBox* vertical, const QStringList& names,
                   QTableWidget* domain) {
    for (QComboBox* box : {horizontal, vertical}) {
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItems(names);
    }
    horizontal->setCurrentIndex(0);
    vertical->setCurrentIndex(names.size() > 1 ? 1 : -1);
    NameDomainRow(domain, 0, horizontal->currentText());
    NameDomainRow(domain, 1, vertical->currentText());
}

}  // namespace kalvora
