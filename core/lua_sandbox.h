#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>

struct lua_State;

namespace kalvora {

// A model file is a program, often written by someone else. Its Lua state gets no file access, a
// capped memory, library functions that cannot crash the interpreter or run away in C where
// nothing can stop them, and it can be interrupted wherever it is.

inline constexpr std::size_t kDefaultModelMemoryLimit = std::size_t{1} << 30;

// Shown instead of the status message when a stop request ended an evaluation or a compile.
inline constexpr const char* kModelStoppedMessage = "the model was stopped";

// The stop request of one model runtime: request() may come from any thread (a Stop button, a
// signal, the end of the program) while the runtime's own thread is deep inside the interpreter.
// It arms a hook on the runtime's current Lua state; a hook is the one thing Lua lets another
// thread set on a running state, and set only when asked it costs nothing per step. A state
// created while the request holds starts with the hook armed, so a rebuilt state stops too.
class ModelInterrupt {
  public:
    ModelInterrupt() = default;
    ModelInterrupt(const ModelInterrupt&) = delete;
    ModelInterrupt& operator=(const ModelInterrupt&) = delete;

    void request();
    bool requested() const { return requested_.load(std::memory_order_relaxed); }
    // The owner's thread, between runs: the next run is not stopped.
    void clear();

    // The owner's thread: the state the requests reach (null when there is none). A state is
    // attached from its creation to just before it is closed.
    void attach(lua_State* state);
    void detach();

    // A coroutine resumed by the model runs on a Lua thread of its own, which the request must
    // reach as well while it runs.
    void enter(lua_State* coroutine);
    void leave();

  private:
    void armLocked();

    std::mutex mutex_;
    // [0] the state, then the coroutines being resumed, innermost last. Nested resumes are bounded
    // by the interpreter's limit on nested C calls (200).
    std::array<lua_State*, 256> running_{};
    int runningCount_ = 0;
    std::atomic<bool> requested_{false};
};

// A fresh state for a model: memory capped at memoryLimit bytes (a failed allocation is Lua's
// memory error) for all the model states of the process together, counted as the allocator holds
// it (one budget for a run, whatever number of states its workers and the loaded model keep), base
// without file access, print writing to standard error, table, string and math with bounded
// replacements for the functions that could crash or hang in C. Null when even the empty state does
// not fit. The state is attached to interrupt.
lua_State* NewModelState(std::size_t memoryLimit, ModelInterrupt& interrupt);

// luaL_loadbuffer for a state made by NewModelState, which a stop request also ends while the
// compiler works (the status is then LUA_ERRRUN with kModelStoppedMessage).
int LoadModelChunk(lua_State* state, const char* text, std::size_t length, const char* name);

// Detaches and closes.
void CloseModelState(lua_State* state, ModelInterrupt& interrupt);

// Hands a state (detached from its old interrupt) to another interrupt, when a runtime takes over
// the state another one built.
void RebindModelState(lua_State* state, ModelInterrupt& interrupt);

// The limits the replacements enforce, named in their Lua errors.
inline constexpr int kPatternDepthLimit = 200;
inline constexpr int kUnpackLimit = 8000;

}  // namespace kalvora
