#pragma once

#include <QAction>
#include <QMenu>
#include <array>
#include <memory>

#include "analysis/window/export/gnuplot_script.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// A result window with the five overlay slots of "&MultiPlot": slot i pairs the menu item button<i>
// with the series data<i> (blue, red, lime, fuchsia, navy). The caption alone carries the slot's
// state: "Remove" holds a run (clicking removes it), "Add" is free (clicking starts a run into it).
class SlotPlotWindow : public PlotWindow {
    Q_OBJECT
  public:
    static constexpr int kSlotCount = 5;

    SlotPlotWindow(AnalysisHost& host, const QString& objectName, const QString& caption,
                   const QSize& size, const QList<int>& panelWidths);

    QMenu* MultiPlot1;
    std::array<QAction*, kSlotCount> buttons{};  // button1 .. button5
    QAction* Dummy;

    Tsp_XYLine& series(int slot) { return *series_[slot]; }
    const Tsp_XYLine& series(int slot) const { return *series_[slot]; }
    // 0-based index of the current slot, whose series is `data`.
    int currentSlot() const { return currentSlot_; }
    QString slotCaption(int slot) const { return buttons[slot]->text(); }

    // Opening the analysis from the main window: slots 2 to 5 become "Add", every series is
    // emptied and slot 1 is current again (its caption stays; the next run sets it).
    void resetSlots();
    // Clicking slot item i.
    void slotClick(int slot);
    // A run accepted into the current slot.
    void markCurrentSlotFilled();
    // "Save Data As...": one dialog per filled slot, titled with the slot's number.
    void SaveDataAs1Click();

    // The output commands with the five slots as the EPS series in this layout.
    OutputCommands* offerSlotOutput(EpsLayout layout,
                                    std::function<std::pair<std::string, std::string>()> labels);

  protected:
    // A free slot was clicked and made current: start this analysis's way of running into it.
    virtual void startRunIntoSlot() = 0;
    // A filled slot 2 to 5 was removed and slot 1 made current again.
    virtual void slotRemoved() {}

  private:
    std::array<std::unique_ptr<Tsp_XYLine>, kSlotCount> series_;
    int currentSlot_ = 0;
};

}  // namespace kalvora
