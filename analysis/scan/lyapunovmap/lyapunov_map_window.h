#pragma once

#include "analysis/scan/common/scan_analysis_window.h"
#include "analysis/scan/lyapunovmap/lyapunov_map_dialog.h"

namespace kalvora {

// "Lyapunov Map": the largest exponent over the plane on the diverging scale, with its colour bar;
// "Save Data As..." writes a line per pixel (h value, v value, exponent) as the batch tool does.
class LyapunovMapWindow : public ScanAnalysisWindow<LyapunovMapDialog, LyapunovMapSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::LyapunovMap;

    LyapunovMapWindow(AnalysisHost& host, LyapunovMapDialog& settings);

    const LyapunovMapResult& result() const { return result_; }
    void SaveDataAs1Click();

  private:
    void validate(const LyapunovMapSettings& settings) const override;
    void scanAndShow(const LyapunovMapSettings& settings) override;

    LyapunovMapResult result_;
};

}  // namespace kalvora
