#include "core/parallel_pieces.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvora {

int WorkerCount(int requested, long long pieceCount) {
    long long workers = requested;
    if (workers <= 0) {
        workers = std::max(1u, std::thread::hardware_concurrency());
    }
    workers = std::min(workers, pieceCount);
    return static_cast<int>(std::max(1LL, workers));
}

namespace {

enum class PieceState : unsigned char { Pending, Succeeded, Failed };

// How often the calling thread hands on the pieces done in order while workers run. Often, so
// that handing on many points (a sweep plotting thousands per value) goes along with the work
// instead of piling up for after it; a wake-up costs microseconds, 500 a second next to nothing.
constexpr std::chrono::milliseconds kReportInterval{2};

PiecesOutcome RunOnCallingThread(long long count, RunControl& control,
                                 const std::function<bool(int, long long)>& piece,
                                 const std::function<void(long long)>& completedPrefix) {
    PiecesOutcome outcome;
    for (long long index = 0; index < count; ++index) {
        if (control.stopRequested()) {
            outcome.stopped = true;
            break;
        }
        const bool ok = piece(0, index);
        outcome.kept = index + 1;
        control.progress().setPosition(outcome.kept);
        if (completedPrefix) {
            completedPrefix(outcome.kept);
        }
        if (!ok) {
            outcome.failed = true;
            break;
        }
    }
    return outcome;
}

}  // namespace

PiecesOutcome RunPieces(long long count, int workers, RunControl& control,
                        const std::function<bool(int worker, long long index)>& piece,
                        const std::function<void(long long completedPrefix)>& completedPrefix) {
    if (count <= 0) {
        return {};
    }
    workers = WorkerCount(workers, count);
    if (workers == 1) {
        return RunOnCallingThread(count, control, piece, completedPrefix);
    }

    std::vector<std::atomic<PieceState>> states(static_cast<std::size_t>(count));
    for (auto& state : states) {
        state.store(PieceState::Pending, std::memory_order_relaxed);
    }
    std::atomic<long long> next{0};
    // The lowest failing piece so far; no worker starts a piece beyond it.
    std::atomic<long long> firstFailure{count};
    std::atomic<bool> abandon{false};
    std::exception_ptr thrown;
    std::mutex mutex;
    std::condition_variable changed;
    int running = workers;

    auto work = [&](int worker) {
        for (;;) {
            if (control.stopRequested() || abandon.load(std::memory_order_relaxed)) {
                break;
            }
            const long long index = next.fetch_add(1, std::memory_order_relaxed);
            if (index >= count || index > firstFailure.load(std::memory_order_acquire)) {
                break;
            }
            bool ok = false;
            try {
                ok = piece(worker, index);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!thrown) {
                    thrown = std::current_exception();
                }
                abandon.store(true, std::memory_order_relaxed);
                break;
            }
            if (!ok) {
                long long seen = firstFailure.load(std::memory_order_relaxed);
                while (index < seen && !firstFailure.compare_exchange_weak(
                                           seen, index, std::memory_order_release)) {
                }
            }
            states[static_cast<std::size_t>(index)].store(
                ok ? PieceState::Succeeded : PieceState::Failed, std::memory_order_release);
            // No wake-up per piece: the reporting thread looks every kReportInterval. Waking it
            // for each of many short pieces cost a system call and a context switch per piece, and
            // took a core from the workers.
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_one();
    };

    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int worker = 0; worker < workers; ++worker) {
        threads.emplace_back(work, worker);
    }

    PiecesOutcome outcome;
    long long prefix = 0;
    auto advancePrefix = [&] {
        const long long before = prefix;
        while (prefix < count && !outcome.failed) {
            const PieceState state =
                states[static_cast<std::size_t>(prefix)].load(std::memory_order_acquire);
            if (state == PieceState::Pending) {
                break;
            }
            ++prefix;
            outcome.failed = state == PieceState::Failed;
        }
        if (prefix != before) {
            control.progress().setPosition(prefix);
            if (completedPrefix) {
                completedPrefix(prefix);
            }
        }
    };
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            changed.wait_for(lock, kReportInterval);
            lock.unlock();
            if (!thrown) {
                // The callback draws or writes what is done; when it fails, the workers must still
                // be stopped and joined before the failure goes on, or their threads would be
                // destroyed while running.
                try {
                    advancePrefix();
                } catch (...) {
                    const std::lock_guard<std::mutex> guard(mutex);
                    if (!thrown) {
                        thrown = std::current_exception();
                    }
                    abandon.store(true, std::memory_order_relaxed);
                }
            }
            lock.lock();
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    advancePrefix();
    outcome.kept = prefix;
    outcome.stopped = !outcome.failed && prefix < count;
    return outcome;
}

}  // namespace kalvora
