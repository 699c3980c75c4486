#include "core/orbit_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_instance.h"
#include "core/model_step.h"
#include "core/progress.h"
#include "core/run_control.h"
#include "core/text_file.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

void Define(ModelWorkspace& ws, const std::string& initial, const std::string& auxiliaries,
            const std::string& equations) {
    AcceptModelDefinition(ws, initial, "", auxiliaries);
    BuildModelScript(ws, equations);
    ws.kind = ModelKind::Discrete;
    CompileModelScript(ws);
}

std::string Orbit(ModelWorkspace& ws, OrbitSampling sampling) {
    std::ostringstream out;
    NullProgress progress;
    WriteOrbit(ws, out, sampling, progress);
    return out.str();
}

TEST(OrbitFile, HalvingMapWritesIteratesOneToN) {
    ModelWorkspace ws;
    Define(ws, "x=1", "", "x=0.5*x");
    EXPECT_EQ(Orbit(ws, {1, 3, 1}),
              " 5.00000000000000E-0001\r\n"
              " 2.50000000000000E-0001\r\n"
              " 1.25000000000000E-0001\r\n");
}

TEST(OrbitFile, AuxiliariesFollowVariablesAndSamplingPicksIterates) {
    ModelWorkspace ws;
    Define(ws, "x=0", "k,l", "x=x+1\r\nk=-x\r\nl=2*x");
    const std::string line = Orbit(ws, {1, 1, 1});
    EXPECT_EQ(line, " 1.00000000000000E+0000 -1.00000000000000E+0000  2.00000000000000E+0000\r\n");
    // Start 10, step 3: iterates 12 and 15.
    EXPECT_EQ(SplitLines(Orbit(ws, {10, 2, 3}))[1].substr(0, 23), " 1.50000000000000E+0001");
}

TEST(OrbitFile, FailureEndsTheFileAfterTheLastCompleteLine) {
    ModelWorkspace ws;
    Define(ws, "x=1", "", "x=x*1e200");
    EXPECT_EQ(SplitLines(Orbit(ws, {1, 10, 1})).size(), 1u);
    EXPECT_TRUE(ws.errorFlag);
    // A failure before the first sampled iterate writes nothing rather than an undefined state.
    EXPECT_EQ(Orbit(ws, {5, 3, 1}), "");
    EXPECT_TRUE(ws.errorFlag);
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
    void breathe() override {}
    void finish() override {}

  private:
    long long at_;
};

TEST(OrbitFile, AStopEndsTheRunAfterTheLastCompleteLineOnAnyRuntime) {
    ModelWorkspace ws;
    Define(ws, "x=1", "", "x=0.5*x");
    ModelInstance instance(ws);
    StoppingProgress progress(3);
    RunControl control(progress);
    progress.control = &control;
    std::ostringstream out;
    const OrbitWriteOutcome outcome = WriteOrbit(instance, ws.kind, out, {1, 10, 1}, control);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.lines, 3);  // the line being written when Stop came is completed
    EXPECT_EQ(SplitLines(out.str()).size(), 3u);
}

TEST(OrbitFile, FileReplacedOnlyWhenWritten) {
    testing::ScratchFolder folder;
    ModelWorkspace ws;
    Define(ws, "x=1", "", "x=0.5*x");
    NullProgress progress;
    EXPECT_EQ(OrbitFileWriter(ws, folder.file("o.txt"), {1, 2, 1}, progress), 2);
    EXPECT_EQ(SplitLines(folder.read("o.txt")).size(), 2u);
    EXPECT_THROW(OrbitFileWriter(ws, folder.file("no/such/dir/o.txt"), {1, 2, 1}, progress),
                 FileError);
    EXPECT_EQ(folder.entries(), 1u);
}

}  // namespace
}  // namespace kalvora
