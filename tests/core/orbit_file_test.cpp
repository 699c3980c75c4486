#include "core/orbit_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_step.h"
#include "core/progress.h"
#include "core/run_control.h"
#include "core/text_file.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

// An evaluator of the map, as a run makes one.
std::unique_ptr<ModelEvaluator> Define(const std::string& initial, const std::string& auxiliaries,
                                       const std::string& equations) {
    ModelDefinition model = ParseModelDefinition(initial, "", auxiliaries);
    BuildModelScript(model, equations);
    SetModelKind(model, ModelKind::Discrete);
    return std::make_unique<ModelEvaluator>(ShareDefinition(std::move(model)));
}

std::string Orbit(ModelEvaluator& model, OrbitSampling sampling) {
    std::ostringstream out;
    QuietRunControl control;
    WriteOrbit(model, model.model().kind, out, sampling, control);
    return out.str();
}

TEST(OrbitFile, HalvingMapWritesIteratesOneToN) {
    const auto model = Define("x=1", "", "x=0.5*x");
    EXPECT_EQ(Orbit(*model, {1, 3, 1}),
              " 5.00000000000000E-0001\r\n"
              " 2.50000000000000E-0001\r\n"
              " 1.25000000000000E-0001\r\n");
}

TEST(OrbitFile, AuxiliariesFollowVariablesAndSamplingPicksIterates) {
    const auto model = Define("x=0", "k,l", "x=x+1\r\nk=-x\r\nl=2*x");
    const std::string line = Orbit(*model, {1, 1, 1});
    EXPECT_EQ(line, " 1.00000000000000E+0000 -1.00000000000000E+0000  2.00000000000000E+0000\r\n");
    // Start 10, step 3: iterates 12 and 15.
    EXPECT_EQ(SplitLines(Orbit(*model, {10, 2, 3}))[1].substr(0, 23), " 1.50000000000000E+0001");
}

TEST(OrbitFile, FailureEndsTheFileAfterTheLastCompleteLine) {
    const auto model = Define("x=1", "", "x=x*1e200");
    EXPECT_EQ(SplitLines(Orbit(*model, {1, 10, 1})).size(), 1u);
    EXPECT_TRUE(model->errorFlag);
    // A failure before the first sampled iterate writes nothing rather than an undefined state.
    EXPECT_EQ(Orbit(*model, {5, 3, 1}), "");
    EXPECT_TRUE(model->errorFlag);
}

// Asks the run to stop once the gauge reaches a position, as the Stop button does meanwhile.
class StoppingProgress final : public Progress {
  public:
    explicit StoppingProgress(long long at) : at_(at) {}
    RunControl* control = nullptr;
    void start(long long) override {}
    void setPosition(long long position) override {
        if (position == at_) {
            control->requestStop();
        }
    }
    void finish() override {}

  private:
    long long at_;
};

TEST(OrbitFile, AStopEndsTheRunAfterTheLastCompleteLine) {
    const auto model = Define("x=1", "", "x=0.5*x");
    StoppingProgress progress(3);
    RunControl control(progress);
    progress.control = &control;
    std::ostringstream out;
    const OrbitWriteOutcome outcome =
        WriteOrbit(*model, model->model().kind, out, {1, 10, 1}, control);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.lines, 3);  // the line being written when Stop came is completed
    EXPECT_EQ(SplitLines(out.str()).size(), 3u);
}

// A stop that reaches the model inside an endless step is a stop too, not a failure of the model,
// in the sampled steps as in the iterates before the first sampled one.
TEST(OrbitFile, AStopInsideAStepEndsTheRunAsAStop) {
    struct Case {
        OrbitSampling sampling;
        std::int64_t lines;
    };
    // x: 0.5, 0.25, 0.125, then the step from 0.125 never ends.
    for (const Case& c : {Case{{1, 10, 1}, 3}, Case{{10, 5, 1}, 0}}) {
        ModelDefinition definition = ParseModelDefinition("x=1", "", "");
        BuildModelScript(definition, "if x < 0.2 then while true do end end\nx=0.5*x");
        SetModelKind(definition, ModelKind::Discrete);
        QuietRunControl control;
        ModelEvaluator model(ShareDefinition(std::move(definition)), {}, nullptr, &control);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            control.requestStop();
        });
        std::ostringstream out;
        const OrbitWriteOutcome outcome =
            WriteOrbit(model, ModelKind::Discrete, out, c.sampling, control);
        stopper.join();
        EXPECT_TRUE(outcome.stopped) << c.sampling.start;
        EXPECT_FALSE(outcome.failed) << c.sampling.start;
        EXPECT_FALSE(model.errorFlag) << c.sampling.start;
        EXPECT_EQ(outcome.lines, c.lines) << c.sampling.start;
    }
}

TEST(OrbitFile, FileReplacedOnlyWhenWritten) {
    testing::ScratchFolder folder;
    const auto model = Define("x=1", "", "x=0.5*x");
    // As the data tools write an orbit file: into a writer that replaces the file once complete.
    auto writeFile = [&](const std::string& path) {
        AtomicFileWriter file(path);
        QuietRunControl control;
        const OrbitWriteOutcome outcome =
            WriteOrbit(*model, model->model().kind, file.stream(), {1, 2, 1}, control, path);
        file.commit();
        return outcome.lines;
    };
    EXPECT_EQ(writeFile(folder.file("o.txt")), 2);
    EXPECT_EQ(SplitLines(folder.read("o.txt")).size(), 2u);
    EXPECT_THROW(writeFile(folder.file("no/such/dir/o.txt")), FileError);
    EXPECT_EQ(folder.entries(), 1u);
}

// A disk that fills ends a long run at once with the file's name, not after the last line; a
// short one fills only the stream's own buffer, whose commit names the system's reason.
TEST(OrbitFile, AFullDiskEndsTheRunNamingTheFile) {
    const auto model = Define("x=1", "", "x=0.5*x");
    QuietRunControl control;
    AtomicFileWriter full("/dev/full");
    try {
        WriteOrbit(*model, model->model().kind, full.stream(), {1, 100'000'000, 1}, control,
                   "/dev/full");
        ADD_FAILURE() << "no FileError";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "Cannot write file \"/dev/full\"");
    }
    AtomicFileWriter shortRun("/dev/full");
    EXPECT_EQ(
        WriteOrbit(*model, model->model().kind, shortRun.stream(), {1, 3, 1}, control, "/dev/full")
            .lines,
        3);
    EXPECT_THROW(shortRun.commit(), FileError);
}

}  // namespace
}  // namespace kalvora
