#pragma once

#include <functional>

#include "core/progress.h"
#include "core/run_control.h"

namespace kalvora {

struct ModelWorkspace;

// Runs a long computation on a worker thread while the user-interface thread goes on handling
// events, so the windows repaint and the computing window's Stop button works. The worker reports
// progress through the run control it is given; it reaches `display` (the computing window) from
// the user-interface thread. Stop sets the workspace's stopFlag, which becomes the run control's
// stop request; the display's start clears it, as every run must. Returns when the computation has
// ended; an exception it threw is thrown again here.
//
// The job must not touch the workspace or any widget: it runs on model instances made before the
// call and hands its results back by value. Each instance registered with the job's control
// (RunningModel) is interrupted by Stop wherever its interpreter is, even inside one endless step. While it runs the caller's window must not start
// another run (lock the controls that would).
void RunWithComputingWindow(Progress& display, ModelWorkspace& workspace,
                            const std::function<void(RunControl& control)>& job);

}  // namespace kalvora
