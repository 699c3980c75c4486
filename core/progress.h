#pragma once

namespace kalvora {

// Long computations report here and keep the user interface alive through breathe(); they end when
// the workspace's stopFlag is set. The desktop shows the computing window, the batch tool a bar on
// standard error, tests nothing.
class Progress {
  public:
    virtual ~Progress() = default;
    // Shows the progress display with positions 0 .. maximum.
    virtual void start(long long maximum) = 0;
    virtual void setPosition(long long position) = 0;
    // Lets the user interface process its pending events (where the Stop button is pressed).
    virtual void breathe() = 0;
    // Hides the progress display.
    virtual void finish() = 0;
};

class NullProgress final : public Progress {
  public:
    void start(long long) override {}
    void setPosition(long long) override {}
    void breathe() override {}
    void finish() override {}
};

}  // namespace kalvora
