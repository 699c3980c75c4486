#include "analysis/window/slot_plot_window.h"

#include <QPixmap>
#include <iterator>

#include "analysis/window/export/output_commands.h"

namespace kalvora {

namespace {

static_assert(std::size(kSlotColours) == SlotPlotWindow::kSlotCount);

const QString kAdd = QStringLiteral("Add");
const QString kRemove = QStringLiteral("Remove");

}  // namespace

SlotPlotWindow::SlotPlotWindow(AnalysisHost& host, const QString& objectName,
                               const QString& caption, const QSize& size,
                               const QList<int>& panelWidths)
    : PlotWindow(host, objectName, caption, size, panelWidths) {
    MultiPlot1 = new QMenu(QStringLiteral("&MultiPlot"), this);
    MultiPlot1->setObjectName("MultiPlot1");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        series_[slot] = std::make_unique<Tsp_XYLine>();
        StyleNewSeries(*series_[slot], kSlotColours[slot]);
        QPixmap swatch(12, 12);
        swatch.fill(ToQColor(kSlotColours[slot]));
        auto* button = new QAction(QIcon(swatch), slot == 0 ? kRemove : kAdd, this);
        button->setObjectName(QStringLiteral("button%1").arg(slot + 1));
        button->setIconVisibleInMenu(true);
        connect(button, &QAction::triggered, this, [this, slot] { slotClick(slot); });
        MultiPlot1->addAction(button);
        buttons[slot] = button;
    }
    Dummy = new QAction(QStringLiteral("Dummy"), this);
    Dummy->setObjectName("Dummy");
    Dummy->setVisible(false);
    Dummy->setEnabled(false);
    MultiPlot1->addAction(Dummy);
    data = series_[0].get();
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
}

void SlotPlotWindow::resetSlots() {
    for (int slot = 1; slot < kSlotCount; ++slot) {
        buttons[slot]->setText(kAdd);
    }
    for (auto& line : series_) {
        line->ClearPoints();
    }
    currentSlot_ = 0;
    data = series_[0].get();
}

void SlotPlotWindow::slotClick(int slot) {
    if (buttons[slot]->text() != kAdd) {
        buttons[slot]->setText(kAdd);
        series_[slot]->ClearPoints();
        if (slot > 0) {
            // The next run goes into the first series again, so its points never vanish with a
            // slot that has just been emptied.
            currentSlot_ = 0;
            data = series_[0].get();
            slotRemoved();
        }
        graph->Invalidate();
        return;
    }
    currentSlot_ = slot;
    data = series_[slot].get();
    startRunIntoSlot();
}

void SlotPlotWindow::markCurrentSlotFilled() {
    buttons[currentSlot_]->setText(kRemove);
}

void SlotPlotWindow::SaveDataAs1Click() {
    guarded([this] {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (buttons[slot]->text() == kRemove) {
                saveSeriesAsked("Indicate File to Save Series " + std::to_string(slot + 1),
                                *series_[slot]);
            }
        }
    });
}

OutputCommands* SlotPlotWindow::offerSlotOutput(
    EpsLayout layout, std::function<std::pair<std::string, std::string>()> labels) {
    OutputDeclaration declaration;
    declaration.layout = layout;
    declaration.epsSeries = [this] {
        std::array<const Tsp_XYLine*, 5> lines{};
        for (int slot = 0; slot < kSlotCount; ++slot) {
            lines[slot] = series_[slot].get();
        }
        return lines;
    };
    declaration.printLabels = std::move(labels);
    return offerOutput(std::move(declaration));
}

}  // namespace kalvora
