#pragma once

namespace kalvora {

// Long computations report their progress here; their stop comes through their run control. The
// desktop shows the computing window, the batch tool a bar on standard error, tests nothing.
class Progress {
  public:
    virtual ~Progress() = default;
    // Shows the progress display with positions 0 .. maximum.
    virtual void start(long long maximum) = 0;
    virtual void setPosition(long long position) = 0;
    // Hides the progress display.
    virtual void finish() = 0;
};

class NullProgress final : public Progress {
  public:
    void start(long long) override {}
    void setPosition(long long) override {}
    void finish() override {}
};

}  // namespace kalvora
