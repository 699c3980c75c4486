#pragma once

#include <functional>

#include "core/run_control.h"

namespace kalvora {

// The workers a run uses: requested (0 or less: one per core), never more than there are pieces,
// at least one.
int WorkerCount(int requested, long long pieceCount);

struct PiecesOutcome {
    // The pieces whose results count, 0 .. kept - 1: every piece before the first failure (or
    // before the first piece not finished when a stop came), and the failing piece itself.
    long long kept = 0;
    bool failed = false;   // piece kept - 1 failed
    bool stopped = false;  // a stop request ended the run before its last piece
};

// Runs the independent pieces 0 .. count - 1 of a computation (a sweep's parameter values, a
// scan's columns) on `workers` threads, each piece on the data of the worker that runs it (its
// own model instance). piece(worker, index) returns false when the piece failed: the run then ends
// as a one-thread loop would at its first failure, so pieces after the first failing one are
// dropped even if a worker finished them ahead. Workers take pieces in increasing order.
//
// With one worker the pieces run on the calling thread in order, the stop request polled before
// each, exactly as the one-thread algorithm. With more, the calling thread only waits and
// reports: progress positions (pieces done in order) and completedPrefix(n) each time the first
// n pieces have all finished, so a window can draw them in order while the rest run. An exception
// in a piece ends the run and is thrown again here, after every worker has stopped.
PiecesOutcome RunPieces(long long count, int workers, RunControl& control,
                        const std::function<bool(int worker, long long index)>& piece,
                        const std::function<void(long long completedPrefix)>& completedPrefix = {});

}  // namespace kalvora
