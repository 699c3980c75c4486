// What a result window declares for its picture commands, checked through the commands
// themselves: the EPS layout, which of the dialog's five slots get a series (and a scratch file),
// whether the line boxes show, and the labels the print options start with.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <array>
#include <filesystem>
#include <string>

#include "analysis/window/export/output_commands.h"
#include "analysis/window/plot_window.h"
#include "tests/analysis/window/fake_host.h"

namespace kalvora::testing {

struct Expected {
    EpsLayout layout;
    std::array<bool, 5> slotShown;
    bool lineBoxesShown;
    std::string xLabel;
    std::string yLabel;
};

inline void CheckWindow(FakeHost& host, PlotWindow& window, const Expected& expected,
                        const std::string& name) {
    SCOPED_TRACE(name);
    ASSERT_NE(window.output, nullptr);
    window.output->CreateEPSClick();
    ASSERT_TRUE(host.scripted.errors.empty()) << host.scripted.errors.front();
    TTSEPSform& dialog = window.output->seriesDialog();
    EXPECT_EQ(dialog.layout(), expected.layout);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(dialog.LS[k]->isVisible(), expected.slotShown[k]) << k;
        EXPECT_EQ(std::filesystem::exists(SeriesScratchFile(host.ws, k)), expected.slotShown[k])
            << k;
        EXPECT_EQ(dialog.Sl[k]->isVisible(), expected.slotShown[k] && expected.lineBoxesShown) << k;
    }
    dialog.close();
    window.output->PrintClick();
    Tprintform& print = window.output->printWindow();
    EXPECT_EQ(print.options->Edit2->text().toStdString(), expected.xLabel);
    EXPECT_EQ(print.options->Edit1->text().toStdString(), expected.yLabel);
    print.close();
    EXPECT_EQ(host.disableCalls, host.enableCalls);
}

// A host whose scratch and data folders are a private folder, removed afterwards.
struct OutputFixture : ::testing::Test {
    OutputFixture() {
        scratch = std::filesystem::temp_directory_path() /
                  ("kalvora-output-check-" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch);
        host.ws.tempFolder = scratch.string() + "/";
        host.ws.dataFolder = host.ws.tempFolder;
    }
    ~OutputFixture() override { std::filesystem::remove_all(scratch); }
    std::filesystem::path scratch;
    FakeHost host;
};

}  // namespace kalvora::testing
