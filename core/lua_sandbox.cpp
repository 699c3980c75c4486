#include "core/lua_sandbox.h"

#include <malloc.h>
#include <lua.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Everything that runs inside the interpreter here is written as plain C: a Lua error unwinds with
// longjmp, which would skip the destructors of C++ objects on the way.

namespace kalvora {
namespace {

struct SandboxContext {
    std::size_t limit = 0;
    ModelInterrupt* interrupt = nullptr;
};

SandboxContext* Context(lua_State* state) {
    void* context = nullptr;
    lua_getallocf(state, &context);
    return static_cast<SandboxContext*>(context);
}

// The memory held by every model state of the process together. A run may keep several states
// (the loaded model's and one per worker) and each once had the whole cap to itself, so a run took
// a multiple of it; the cap now holds for all of them at once.
std::atomic<std::size_t> modelMemoryInUse{0};

// What a block costs the process: its usable size and the allocator's header before it, so that
// many small blocks (tables, strings) count as much as they occupy, not only what Lua asked for.
std::size_t Cost(void* block) {
    return block == nullptr ? 0 : malloc_usable_size(block) + sizeof(std::size_t);
}

// Growth beyond the limit fails, which Lua reports as its memory error; shrinking always succeeds,
// as Lua requires.
void* Allocate(void* userData, void* block, std::size_t, std::size_t newSize) {
    auto* context = static_cast<SandboxContext*>(userData);
    const std::size_t oldCost = Cost(block);
    if (newSize == 0) {
        std::free(block);
        modelMemoryInUse.fetch_sub(oldCost, std::memory_order_relaxed);
        return nullptr;
    }
    // Reserved before the allocation, so that threads growing at once cannot pass the limit
    // together; settled to the block's true cost afterwards.
    const std::size_t estimate = newSize + 2 * sizeof(std::size_t);
    const std::size_t reserved = estimate > oldCost ? estimate - oldCost : 0;
    if (reserved > 0) {
        const std::size_t before = modelMemoryInUse.fetch_add(reserved, std::memory_order_relaxed);
        if (before + reserved > context->limit || before + reserved < before) {
            modelMemoryInUse.fetch_sub(reserved, std::memory_order_relaxed);
            return nullptr;
        }
    }
    void* grown = std::realloc(block, newSize);
    if (grown == nullptr) {
        modelMemoryInUse.fetch_sub(reserved, std::memory_order_relaxed);
        return nullptr;
    }
    // Unsigned arithmetic wraps, so the settlement is right whichever way it goes.
    modelMemoryInUse.fetch_add(Cost(grown) - oldCost - reserved, std::memory_order_relaxed);
    return grown;
}

// Raises Lua's own memory error (status 4), exactly as a failed allocation would: the request is
// more than the cap can ever grant.
[[noreturn]] void RaiseMemoryError(lua_State* state) {
    lua_newuserdata(state, Context(state)->limit + 1);
    std::abort();  // not reached: the allocation above always fails
}

void InterruptHook(lua_State* state, lua_Debug*) {
    const ModelInterrupt& interrupt = *Context(state)->interrupt;
    if (interrupt.requested()) {
        luaL_error(state, "%s", kModelStoppedMessage);
    }
}

// For the C loops that a hook cannot reach: a long pattern match, a long search.
void CheckInterrupt(lua_State* state) {
    const ModelInterrupt& interrupt = *Context(state)->interrupt;
    if (interrupt.requested()) {
        luaL_error(state, "%s", kModelStoppedMessage);
    }
}

// A number argument as a position or count. The library's integer conversion of a double beyond
// the integers is undefined and has crashed the interpreter; here it is clamped.
std::int64_t ClampedInteger(lua_Number value, std::int64_t low, std::int64_t high) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= static_cast<lua_Number>(low)) {
        return low;
    }
    if (value >= static_cast<lua_Number>(high)) {
        return high;
    }
    return static_cast<std::int64_t>(value);
}

// --- base -------------------------------------------------------------------------------------

// print writes to standard error: in the batch tool standard output carries the data, and one
// write per line keeps lines whole when several threads print.
int Print(lua_State* state) {
    const int count = lua_gettop(state);
    luaL_Buffer buffer;
    lua_getglobal(state, "tostring");
    const int tostring = lua_gettop(state);
    luaL_buffinit(state, &buffer);
    for (int i = 1; i <= count; ++i) {
        lua_pushvalue(state, tostring);
        lua_pushvalue(state, i);
        lua_call(state, 1, 1);
        if (!lua_isstring(state, -1)) {
            return luaL_error(state, "'tostring' must return a string to 'print'");
        }
        if (i > 1) {
            luaL_addchar(&buffer, '\t');
        }
        luaL_addvalue(&buffer);
    }
    luaL_addchar(&buffer, '\n');
    luaL_pushresult(&buffer);
    std::size_t length = 0;
    const char* text = lua_tolstring(state, -1, &length);
    std::fwrite(text, 1, length, stderr);
    std::fflush(stderr);
    return 0;
}

// unpack with its range checked in wide integers: the library's own computes the count in int, and
// a range such as 0 .. 2^31-1 wraps and writes past the stack.
int Unpack(lua_State* state) {
    luaL_checktype(state, 1, LUA_TTABLE);
    const std::int64_t first = ClampedInteger(luaL_optnumber(state, 2, 1), INT_MIN, INT_MAX);
    const std::int64_t last = lua_isnoneornil(state, 3)
                                  ? static_cast<std::int64_t>(lua_objlen(state, 1))
                                  : ClampedInteger(luaL_checknumber(state, 3), INT_MIN, INT_MAX);
    if (first > last) {
        return 0;
    }
    const std::int64_t count = last - first + 1;
    if (count > kUnpackLimit || !lua_checkstack(state, static_cast<int>(count))) {
        return luaL_error(state, "too many results to unpack (at most %d)", kUnpackLimit);
    }
    for (std::int64_t i = first; i <= last; ++i) {
        lua_rawgeti(state, 1, static_cast<int>(i));
    }
    return static_cast<int>(count);
}

// The text handed to the compiler in pieces, with a stop check before each: the compiler runs in C,
// where the hook does not reach, and a text of many megabytes takes seconds.
constexpr std::size_t kCompilePiece = std::size_t{1} << 18;

struct PieceReader {
    const char* text;
    std::size_t left;
};

const char* ReadPiece(lua_State* state, void* data, std::size_t* size) {
    auto* reader = static_cast<PieceReader*>(data);
    if (reader->left == 0) {
        *size = 0;
        return nullptr;
    }
    CheckInterrupt(state);
    const char* piece = reader->text;
    *size = std::min(reader->left, kCompilePiece);
    reader->text += *size;
    reader->left -= *size;
    return piece;
}

// loadstring. Precompiled chunks are not checked by the interpreter and can corrupt its memory;
// models get source text only.
int LoadString(lua_State* state) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(state, 1, &length);
    const char* name = luaL_optstring(state, 2, text);
    if (length > 0 && text[0] == LUA_SIGNATURE[0]) {
        lua_pushnil(state);
        lua_pushliteral(state, "precompiled chunks are not accepted");
        return 2;
    }
    if (LoadModelChunk(state, text, length, name) != 0) {
        lua_pushnil(state);
        lua_insert(state, -2);
        return 2;
    }
    return 1;
}

// coroutine.resume, so that a stop request also reaches a coroutine that is running: hooks belong
// to one Lua thread each. Upvalue 1 is the library's resume.
int Resume(lua_State* state) {
    lua_State* coroutine = lua_tothread(state, 1);
    luaL_argcheck(state, coroutine != nullptr, 1, "coroutine expected");
    ModelInterrupt& interrupt = *Context(state)->interrupt;
    const int arguments = lua_gettop(state);
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    interrupt.enter(coroutine);
    const int status = lua_pcall(state, arguments, LUA_MULTRET, 0);
    interrupt.leave();
    if (status != 0) {
        return lua_error(state);
    }
    return lua_gettop(state);
}

// --- string -----------------------------------------------------------------------------------

int Repeat(lua_State* state) {
    std::size_t length = 0;
    const char* text = luaL_checklstring(state, 1, &length);
    const std::int64_t count = ClampedInteger(luaL_checknumber(state, 2), 0, INT64_MAX);
    if (count == 0 || length == 0) {
        lua_pushliteral(state, "");
        return 1;
    }
    // The library's own loops count times over an empty string and wraps the length; here a result
    // beyond the memory cap is the memory error at once.
    if (static_cast<std::uint64_t>(count) > Context(state)->limit / length) {
        RaiseMemoryError(state);
    }
    luaL_Buffer buffer;
    luaL_buffinit(state, &buffer);
    for (std::int64_t i = 0; i < count; ++i) {
        luaL_addlstring(&buffer, text, length);
    }
    luaL_pushresult(&buffer);
    return 1;
}

// The pattern matcher of the string library, with two bounds the library lacks: the depth of its
// recursion (one level per quantified item or capture, so a long pattern overflowed the C stack)
// and a stop check, since a pathological pattern can run for hours inside one C call.

constexpr char kEscape = '%';
constexpr const char* kSpecials = "^$*+?.([%-";
constexpr std::ptrdiff_t kCaptureUnfinished = -1;
constexpr std::ptrdiff_t kCapturePosition = -2;
constexpr unsigned kStopCheckInterval = 1u << 14;
// Bytes a matcher may scan or compare between two stop checks: a scan of the subject (a balance
// %b, a run of one class, a back-reference) can take the whole subject at one position, and at
// every position of a long subject.
constexpr std::size_t kWorkPerCheck = std::size_t{1} << 22;

struct MatchState {
    const char* sourceBegin;
    const char* sourceEnd;
    lua_State* state;
    int level;
    int depth;
    unsigned steps;
    std::size_t work;
    struct {
        const char* begin;
        std::ptrdiff_t length;
    } capture[LUA_MAXCAPTURES];
};

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

const char* Match(MatchState* ms, const char* s, const char* p);

// Counts bytes scanned or compared, checking the stop after every kWorkPerCheck of them.
void Charge(MatchState* ms, std::size_t bytes) {
    ms->work += bytes;
    if (ms->work >= kWorkPerCheck) {
        ms->work = 0;
        CheckInterrupt(ms->state);
    }
}

int CheckCapture(MatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].length == kCaptureUnfinished) {
        return luaL_error(ms->state, "invalid capture index");
    }
    return l;
}

int CaptureToClose(MatchState* ms) {
    int level = ms->level;
    for (level--; level >= 0; level--) {
        if (ms->capture[level].length == kCaptureUnfinished) {
            return level;
        }
    }
    return luaL_error(ms->state, "invalid pattern capture");
}

const char* ClassEnd(MatchState* ms, const char* p) {
    switch (*p++) {
        case kEscape:
            if (*p == '\0') {
                luaL_error(ms->state, "malformed pattern (ends with '%%')");
            }
            return p + 1;
        case '[':
            if (*p == '^') {
                p++;
            }
            do {
                if (*p == '\0') {
                    luaL_error(ms->state, "malformed pattern (missing ']')");
                }
                if (*(p++) == kEscape && *p != '\0') {
                    p++;
                }
            } while (*p != ']');
            return p + 1;
        default:
            return p;
    }
}

bool MatchClass(int c, int classLetter) {
    bool result = false;
    switch (std::tolower(classLetter)) {
        case 'a':
            result = std::isalpha(c);
            break;
        case 'c':
            result = std::iscntrl(c);
            break;
        case 'd':
            result = std::isdigit(c);
            break;
        case 'l':
            result = std::islower(c);
            break;
        case 'p':
            result = std::ispunct(c);
            break;
        case 's':
            result = std::isspace(c);
            break;
        case 'u':
            result = std::isupper(c);
            break;
        case 'w':
            result = std::isalnum(c);
            break;
        case 'x':
            result = std::isxdigit(c);
            break;
        case 'z':
            result = c == 0;
            break;
        default:
            return classLetter == c;
    }
    return std::isupper(classLetter) ? !result : result;
}

bool MatchBracketClass(int c, const char* p, const char* classEnd) {
    bool inside = true;
    if (*(p + 1) == '^') {
        inside = false;
        p++;
    }
    while (++p < classEnd) {
        if (*p == kEscape) {
            p++;
            if (MatchClass(c, Byte(*p))) {
                return inside;
            }
        } else if (*(p + 1) == '-' && p + 2 < classEnd) {
            p += 2;
            if (Byte(*(p - 2)) <= c && c <= Byte(*p)) {
                return inside;
            }
        } else if (Byte(*p) == c) {
            return inside;
        }
    }
    return !inside;
}

bool SingleMatch(int c, const char* p, const char* ep) {
    switch (*p) {
        case '.':
            return true;
        case kEscape:
            return MatchClass(c, Byte(*(p + 1)));
        case '[':
            return MatchBracketClass(c, p, ep - 1);
        default:
            return Byte(*p) == c;
    }
}

const char* MatchBalance(MatchState* ms, const char* s, const char* p) {
    if (*p == '\0' || *(p + 1) == '\0') {
        luaL_error(ms->state, "unbalanced pattern");
    }
    if (s >= ms->sourceEnd || *s != *p) {
        return nullptr;
    }
    const char open = *p;
    const char close = *(p + 1);
    const char* const begin = s;
    int count = 1;
    while (++s < ms->sourceEnd) {
        if (*s == close) {
            if (--count == 0) {
                Charge(ms, static_cast<std::size_t>(s - begin));
                return s + 1;
            }
        } else if (*s == open) {
            count++;
        }
    }
    Charge(ms, static_cast<std::size_t>(s - begin));
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    std::ptrdiff_t i = 0;
    while (s + i < ms->sourceEnd && SingleMatch(Byte(*(s + i)), p, ep)) {
        i++;
    }
    Charge(ms, static_cast<std::size_t>(i));
    while (i >= 0) {
        const char* result = Match(ms, s + i, ep + 1);
        if (result != nullptr) {
            return result;
        }
        i--;
    }
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        const char* result = Match(ms, s, ep + 1);
        if (result != nullptr) {
            return result;
        }
        if (s < ms->sourceEnd && SingleMatch(Byte(*s), p, ep)) {
            s++;
        } else {
            return nullptr;
        }
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, std::ptrdiff_t what) {
    const int level = ms->level;
    if (level >= LUA_MAXCAPTURES) {
        luaL_error(ms->state, "too many captures");
    }
    ms->capture[level].begin = s;
    ms->capture[level].length = what;
    ms->level = level + 1;
    const char* result = Match(ms, s, p);
    if (result == nullptr) {
        ms->level--;
    }
    return result;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p) {
    const int l = CaptureToClose(ms);
    ms->capture[l].length = s - ms->capture[l].begin;
    const char* result = Match(ms, s, p);
    if (result == nullptr) {
        ms->capture[l].length = kCaptureUnfinished;
    }
    return result;
}

const char* MatchCapture(MatchState* ms, const char* s, int l) {
    l = CheckCapture(ms, l);
    const auto length = static_cast<std::size_t>(ms->capture[l].length);
    Charge(ms, length);
    if (static_cast<std::size_t>(ms->sourceEnd - s) >= length &&
        std::memcmp(ms->capture[l].begin, s, length) == 0) {
        return s + length;
    }
    return nullptr;
}

const char* DoMatch(MatchState* ms, const char* s, const char* p) {
    for (;;) {
        switch (*p) {
            case '(':
                if (*(p + 1) == ')') {
                    return StartCapture(ms, s, p + 2, kCapturePosition);
                }
                return StartCapture(ms, s, p + 1, kCaptureUnfinished);
            case ')':
                return EndCapture(ms, s, p + 1);
            case '\0':
                return s;
            case '$':
                if (*(p + 1) == '\0') {
                    return s == ms->sourceEnd ? s : nullptr;
                }
                break;
            case kEscape:
                if (*(p + 1) == 'b') {
                    s = MatchBalance(ms, s, p + 2);
                    if (s == nullptr) {
                        return nullptr;
                    }
                    p += 4;
                    continue;
                }
                if (*(p + 1) == 'f') {
                    p += 2;
                    if (*p != '[') {
                        luaL_error(ms->state, "missing '[' after '%%f' in pattern");
                    }
                    const char* ep = ClassEnd(ms, p);
                    const char previous = s == ms->sourceBegin ? '\0' : *(s - 1);
                    const char current = s < ms->sourceEnd ? *s : '\0';
                    if (MatchBracketClass(Byte(previous), p, ep - 1) ||
                        !MatchBracketClass(Byte(current), p, ep - 1)) {
                        return nullptr;
                    }
                    p = ep;
                    continue;
                }
                if (std::isdigit(Byte(*(p + 1)))) {
                    s = MatchCapture(ms, s, Byte(*(p + 1)));
                    if (s == nullptr) {
                        return nullptr;
                    }
                    p += 2;
                    continue;
                }
                break;
            default:
                break;
        }
        // A single character class, perhaps with a quantifier.
        const char* ep = ClassEnd(ms, p);
        const bool matched = s < ms->sourceEnd && SingleMatch(Byte(*s), p, ep);
        switch (*ep) {
            case '?': {
                if (matched) {
                    const char* result = Match(ms, s + 1, ep + 1);
                    if (result != nullptr) {
                        return result;
                    }
                }
                p = ep + 1;
                continue;
            }
            case '*':
                return MaxExpand(ms, s, p, ep);
            case '+':
                return matched ? MaxExpand(ms, s + 1, p, ep) : nullptr;
            case '-':
                return MinExpand(ms, s, p, ep);
            default:
                if (!matched) {
                    return nullptr;
                }
                s++;
                p = ep;
                continue;
        }
    }
}

const char* Match(MatchState* ms, const char* s, const char* p) {
    if (++ms->depth > kPatternDepthLimit) {
        luaL_error(ms->state, "pattern too complex (more than %d nested items)",
                   kPatternDepthLimit);
    }
    if (++ms->steps % kStopCheckInterval == 0) {
        CheckInterrupt(ms->state);
    }
    const char* result = DoMatch(ms, s, p);
    ms->depth--;
    return result;
}

void StartMatchState(MatchState* ms, lua_State* state, const char* source, std::size_t length) {
    ms->state = state;
    ms->sourceBegin = source;
    ms->sourceEnd = source + length;
    ms->level = 0;
    ms->depth = 0;
    ms->steps = 0;
    ms->work = 0;
}

void PushOneCapture(MatchState* ms, int i, const char* s, const char* e) {
    if (i >= ms->level) {
        if (i == 0) {
            lua_pushlstring(ms->state, s, static_cast<std::size_t>(e - s));
        } else {
            luaL_error(ms->state, "invalid capture index");
        }
        return;
    }
    const std::ptrdiff_t length = ms->capture[i].length;
    if (length == kCaptureUnfinished) {
        luaL_error(ms->state, "unfinished capture");
    }
    if (length == kCapturePosition) {
        lua_pushinteger(ms->state, ms->capture[i].begin - ms->sourceBegin + 1);
    } else {
        lua_pushlstring(ms->state, ms->capture[i].begin, static_cast<std::size_t>(length));
    }
}

int PushCaptures(MatchState* ms, const char* s, const char* e) {
    const int levels = (ms->level == 0 && s != nullptr) ? 1 : ms->level;
    luaL_checkstack(ms->state, levels, "too many captures");
    for (int i = 0; i < levels; i++) {
        PushOneCapture(ms, i, s, e);
    }
    return levels;
}

// Plain search, with the stop check between candidates: a search of a long text for a long
// repetitive word takes quadratic time in C.
const char* FindPlain(lua_State* state, const char* text, std::size_t textLength, const char* word,
                      std::size_t wordLength) {
    if (wordLength == 0) {
        return text;
    }
    if (wordLength > textLength) {
        return nullptr;
    }
    wordLength--;
    textLength -= wordLength;
    // Bytes compared since the last check: candidates cost up to the word's length each.
    std::size_t work = 0;
    const char* found = nullptr;
    while (textLength > 0 &&
           (found = static_cast<const char*>(std::memchr(text, *word, textLength))) != nullptr) {
        found++;
        if (std::memcmp(found, word + 1, wordLength) == 0) {
            return found - 1;
        }
        textLength -= static_cast<std::size_t>(found - text);
        text = found;
        work += wordLength + 1;
        if (work > kStopCheckInterval * 256) {
            work = 0;
            CheckInterrupt(state);
        }
    }
    return nullptr;
}

std::ptrdiff_t StartPosition(lua_State* state, int argument, std::size_t length) {
    std::int64_t position =
        ClampedInteger(luaL_optnumber(state, argument, 1), -INT64_MAX / 2, INT64_MAX / 2);
    if (position < 0) {
        position += static_cast<std::int64_t>(length) + 1;
    }
    position = position >= 0 ? position - 1 : -1;
    if (position < 0) {
        return 0;
    }
    return position > static_cast<std::int64_t>(length) ? static_cast<std::ptrdiff_t>(length)
                                                        : static_cast<std::ptrdiff_t>(position);
}

int FindOrMatch(lua_State* state, bool find) {
    std::size_t textLength = 0;
    std::size_t patternLength = 0;
    const char* text = luaL_checklstring(state, 1, &textLength);
    const char* pattern = luaL_checklstring(state, 2, &patternLength);
    const std::ptrdiff_t start = StartPosition(state, 3, textLength);
    if (find && (lua_toboolean(state, 4) || std::strpbrk(pattern, kSpecials) == nullptr)) {
        const char* found =
            FindPlain(state, text + start, textLength - static_cast<std::size_t>(start), pattern,
                      patternLength);
        if (found != nullptr) {
            lua_pushinteger(state, found - text + 1);
            lua_pushinteger(state, found - text + static_cast<std::ptrdiff_t>(patternLength));
            return 2;
        }
    } else {
        MatchState ms;
        const bool anchor = *pattern == '^';
        if (anchor) {
            pattern++;
        }
        const char* s1 = text + start;
        StartMatchState(&ms, state, text, textLength);
        do {
            ms.level = 0;
            ms.depth = 0;
            const char* end = Match(&ms, s1, pattern);
            if (end != nullptr) {
                if (find) {
                    lua_pushinteger(state, s1 - text + 1);
                    lua_pushinteger(state, end - text);
                    return PushCaptures(&ms, nullptr, nullptr) + 2;
                }
                return PushCaptures(&ms, s1, end);
            }
        } while (s1++ < ms.sourceEnd && !anchor);
    }
    lua_pushnil(state);
    return 1;
}

int Find(lua_State* state) {
    return FindOrMatch(state, true);
}

int MatchFunction(lua_State* state) {
    return FindOrMatch(state, false);
}

int GmatchStep(lua_State* state) {
    std::size_t length = 0;
    const char* text = lua_tolstring(state, lua_upvalueindex(1), &length);
    const char* pattern = lua_tostring(state, lua_upvalueindex(2));
    MatchState ms;
    StartMatchState(&ms, state, text, length);
    for (const char* source = text + lua_tointeger(state, lua_upvalueindex(3));
         source <= ms.sourceEnd; source++) {
        ms.level = 0;
        ms.depth = 0;
        const char* end = Match(&ms, source, pattern);
        if (end != nullptr) {
            lua_Integer next = end - text;
            if (end == source) {
                next++;  // an empty match: go on at least one position
            }
            lua_pushinteger(state, next);
            lua_replace(state, lua_upvalueindex(3));
            return PushCaptures(&ms, source, end);
        }
    }
    return 0;
}

int Gmatch(lua_State* state) {
    luaL_checkstring(state, 1);
    luaL_checkstring(state, 2);
    lua_settop(state, 2);
    lua_pushinteger(state, 0);
    lua_pushcclosure(state, GmatchStep, 3);
    return 1;
}

void AddReplacementString(MatchState* ms, luaL_Buffer* buffer, const char* s, const char* e) {
    std::size_t length = 0;
    const char* replacement = lua_tolstring(ms->state, 3, &length);
    for (std::size_t i = 0; i < length; i++) {
        if (replacement[i] != kEscape) {
            luaL_addchar(buffer, replacement[i]);
            continue;
        }
        i++;
        if (!std::isdigit(Byte(replacement[i]))) {
            luaL_addchar(buffer, replacement[i]);
        } else if (replacement[i] == '0') {
            luaL_addlstring(buffer, s, static_cast<std::size_t>(e - s));
        } else {
            PushOneCapture(ms, replacement[i] - '1', s, e);
            luaL_addvalue(buffer);
        }
    }
}

void AddReplacement(MatchState* ms, luaL_Buffer* buffer, const char* s, const char* e) {
    lua_State* state = ms->state;
    switch (lua_type(state, 3)) {
        case LUA_TNUMBER:
        case LUA_TSTRING:
            AddReplacementString(ms, buffer, s, e);
            return;
        case LUA_TFUNCTION: {
            lua_pushvalue(state, 3);
            const int count = PushCaptures(ms, s, e);
            lua_call(state, count, 1);
            break;
        }
        case LUA_TTABLE:
            PushOneCapture(ms, 0, s, e);
            lua_gettable(state, 3);
            break;
        default:
            break;
    }
    if (!lua_toboolean(state, -1)) {
        lua_pop(state, 1);
        lua_pushlstring(state, s, static_cast<std::size_t>(e - s));
    } else if (!lua_isstring(state, -1)) {
        luaL_error(state, "invalid replacement value (a %s)", luaL_typename(state, -1));
    }
    luaL_addvalue(buffer);
}

int Gsub(lua_State* state) {
    std::size_t length = 0;
    const char* source = luaL_checklstring(state, 1, &length);
    const char* pattern = luaL_checkstring(state, 2);
    const int replacementType = lua_type(state, 3);
    const std::int64_t limit = ClampedInteger(
        luaL_optnumber(state, 4, static_cast<lua_Number>(length) + 1), INT_MIN, INT_MAX);
    const bool anchor = *pattern == '^';
    if (anchor) {
        pattern++;
    }
    luaL_argcheck(state,
                  replacementType == LUA_TNUMBER || replacementType == LUA_TSTRING ||
                      replacementType == LUA_TFUNCTION || replacementType == LUA_TTABLE,
                  3, "string/function/table expected");
    luaL_Buffer buffer;
    luaL_buffinit(state, &buffer);
    MatchState ms;
    StartMatchState(&ms, state, source, length);
    std::int64_t count = 0;
    while (count < limit) {
        ms.level = 0;
        ms.depth = 0;
        const char* end = Match(&ms, source, pattern);
        if (end != nullptr) {
            count++;
            AddReplacement(&ms, &buffer, source, end);
        }
        if (end != nullptr && end > source) {
            source = end;
        } else if (source < ms.sourceEnd) {
            luaL_addchar(&buffer, *source++);
        } else {
            break;
        }
        if (anchor) {
            break;
        }
    }
    luaL_addlstring(&buffer, source, static_cast<std::size_t>(ms.sourceEnd - source));
    luaL_pushresult(&buffer);
    lua_pushinteger(state, static_cast<lua_Integer>(count));
    return 2;
}

// --- table ------------------------------------------------------------------------------------

// Entries moved between two stop checks by insert and remove (a mask: a check when the index's low
// bits are all zero).
constexpr std::int64_t kShiftsPerCheck = (std::int64_t{1} << 16) - 1;

// table.insert with its position checked: the library's own shifts every entry between the end
// and any position, which for a position far beyond the end is billions of steps in C.
int Insert(lua_State* state) {
    luaL_checktype(state, 1, LUA_TTABLE);
    const auto end = static_cast<std::int64_t>(lua_objlen(state, 1)) + 1;
    std::int64_t position = end;
    switch (lua_gettop(state)) {
        case 2:
            break;
        case 3: {
            position = ClampedInteger(luaL_checknumber(state, 2), INT_MIN, INT_MAX);
            if (position < 1 || position > end) {
                return luaL_error(state, "position %d out of bounds for 'insert' (1 to %d)",
                                  static_cast<int>(position), static_cast<int>(end));
            }
            // The length of a table with holes can be far beyond its entries (t[2^k] for a few k
            // gives a length of 2^28), so the shift is checked for a stop like any long loop.
            for (std::int64_t i = end; i > position; i--) {
                lua_rawgeti(state, 1, static_cast<int>(i - 1));
                lua_rawseti(state, 1, static_cast<int>(i));
                if ((i & kShiftsPerCheck) == 0) {
                    CheckInterrupt(state);
                }
            }
            break;
        }
        default:
            return luaL_error(state, "wrong number of arguments to 'insert'");
    }
    if (end > INT_MAX) {
        return luaL_error(state, "table too large for 'insert'");
    }
    lua_rawseti(state, 1, static_cast<int>(position));
    return 0;
}

// table.remove, its shift checked for a stop as insert's is.
int Remove(lua_State* state) {
    luaL_checktype(state, 1, LUA_TTABLE);
    const auto end = static_cast<std::int64_t>(lua_objlen(state, 1));
    const std::int64_t position =
        ClampedInteger(luaL_optnumber(state, 2, static_cast<lua_Number>(end)), INT_MIN, INT_MAX);
    if (position < 1 || position > end) {
        return 0;
    }
    lua_rawgeti(state, 1, static_cast<int>(position));
    for (std::int64_t i = position; i < end; i++) {
        lua_rawgeti(state, 1, static_cast<int>(i + 1));
        lua_rawseti(state, 1, static_cast<int>(i));
        if ((i & kShiftsPerCheck) == 0) {
            CheckInterrupt(state);
        }
    }
    lua_pushnil(state);
    lua_rawseti(state, 1, static_cast<int>(end));
    return 1;
}

// table.sort: the library's quicksort, step for step (so equal elements end where they always did),
// with a stop check between comparisons. The library's own runs in C from start to end: with a
// comparator written in C, or over a table whose length is far beyond its entries, nothing could
// stop it for minutes.
constexpr unsigned kComparisonsPerCheck = 1u << 12;

struct SortState {
    lua_State* state;
    unsigned comparisons;
};

// Is the value at a before the one at b (stack indices below the top)?
bool SortBefore(SortState& sort, int a, int b) {
    lua_State* state = sort.state;
    if (++sort.comparisons % kComparisonsPerCheck == 0) {
        CheckInterrupt(state);
    }
    if (!lua_isnil(state, 2)) {
        lua_pushvalue(state, 2);
        lua_pushvalue(state, a - 1);
        lua_pushvalue(state, b - 2);
        lua_call(state, 2, 1);
        const bool before = lua_toboolean(state, -1) != 0;
        lua_pop(state, 1);
        return before;
    }
    return lua_lessthan(state, a, b) != 0;
}

void SetTwo(lua_State* state, std::int64_t i, std::int64_t j) {
    lua_rawseti(state, 1, static_cast<int>(i));
    lua_rawseti(state, 1, static_cast<int>(j));
}

void GetAt(lua_State* state, std::int64_t i) {
    lua_rawgeti(state, 1, static_cast<int>(i));
}

void SortRange(SortState& sort, std::int64_t low, std::int64_t high) {
    lua_State* state = sort.state;
    while (low < high) {
        // Order the first, middle and last elements.
        GetAt(state, low);
        GetAt(state, high);
        if (SortBefore(sort, -1, -2)) {
            SetTwo(state, low, high);
        } else {
            lua_pop(state, 2);
        }
        if (high - low == 1) {
            break;
        }
        std::int64_t i = (low + high) / 2;
        GetAt(state, i);
        GetAt(state, low);
        if (SortBefore(sort, -2, -1)) {
            SetTwo(state, i, low);
        } else {
            lua_pop(state, 1);
            GetAt(state, high);
            if (SortBefore(sort, -1, -2)) {
                SetTwo(state, i, high);
            } else {
                lua_pop(state, 2);
            }
        }
        if (high - low == 2) {
            break;
        }
        // The middle one is the pivot, kept at high - 1.
        GetAt(state, i);
        lua_pushvalue(state, -1);
        GetAt(state, high - 1);
        SetTwo(state, i, high - 1);
        i = low;
        std::int64_t j = high - 1;
        for (;;) {
            while (GetAt(state, ++i), SortBefore(sort, -1, -2)) {
                if (i > high) {
                    luaL_error(state, "invalid order function for sorting");
                }
                lua_pop(state, 1);
            }
            while (GetAt(state, --j), SortBefore(sort, -3, -1)) {
                if (j < low) {
                    luaL_error(state, "invalid order function for sorting");
                }
                lua_pop(state, 1);
            }
            if (j < i) {
                lua_pop(state, 3);
                break;
            }
            SetTwo(state, i, j);
        }
        GetAt(state, high - 1);
        GetAt(state, i);
        SetTwo(state, high - 1, i);
        // The smaller part by recursion, the larger by the loop: the depth stays logarithmic.
        if (i - low < high - i) {
            j = low;
            i = i - 1;
            low = i + 2;
        } else {
            j = i + 1;
            i = high;
            high = j - 2;
        }
        SortRange(sort, j, i);
    }
}

int Sort(lua_State* state) {
    luaL_checktype(state, 1, LUA_TTABLE);
    const auto count = static_cast<std::int64_t>(lua_objlen(state, 1));
    luaL_checkstack(state, 40, "");
    if (!lua_isnoneornil(state, 2)) {
        luaL_checktype(state, 2, LUA_TFUNCTION);
    }
    lua_settop(state, 2);
    SortState sort{state, 0};
    SortRange(sort, 1, count);
    return 0;
}

// xpcall with its handler guarded. A stop raised by the interrupt hook is an error raised inside a
// hook, and the interpreter calls the handler right there, with hooks still off: a handler that
// loops could then never be stopped. Once a stop is requested the handler is not called and the
// error goes on unchanged.
int GuardedHandler(lua_State* state) {
    if (Context(state)->interrupt->requested()) {
        lua_settop(state, 1);
        return 1;
    }
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, lua_gettop(state) - 1, 1);
    return 1;
}

int Xpcall(lua_State* state) {
    luaL_checkany(state, 2);
    lua_settop(state, 2);
    lua_pushcclosure(state, GuardedHandler, 1);
    lua_insert(state, 1);
    const int status = lua_pcall(state, 0, LUA_MULTRET, 1);
    lua_pushboolean(state, status == 0);
    lua_replace(state, 1);
    return lua_gettop(state);
}

// coroutine.wrap and load are rebuilt from the checked resume and loadstring; table.foreach and
// foreachi in Lua, where the hook reaches them (the library's call a C function such as pcall
// once per index up to a length that may be far beyond the entries).
constexpr const char* kLuaReplacements = R"lua(
local create, resume, error, select = coroutine.create, coroutine.resume, error, select
local function pass(ok, ...)
  if not ok then error((...), 0) end
  return ...
end
coroutine.wrap = function(f)
  local co = create(f)
  return function(...) return pass(resume(co, ...)) end
end
local loadstring, concat, type = loadstring, table.concat, type
load = function(reader, name)
  if type(reader) ~= "function" then error("bad argument #1 to 'load' (function expected)", 2) end
  local parts = {}
  while true do
    local piece = reader()
    if piece == nil or piece == "" then break end
    if type(piece) ~= "string" then return nil, "reader function must return a string" end
    parts[#parts + 1] = piece
  end
  return loadstring(concat(parts), name)
end
local next = next
table.foreachi = function(t, f)
  if type(t) ~= "table" then error("bad argument #1 to 'foreachi' (table expected, got " .. type(t) .. ")", 2) end
  if type(f) ~= "function" then error("bad argument #2 to 'foreachi' (function expected, got " .. type(f) .. ")", 2) end
  for i = 1, #t do
    local result = f(i, t[i])
    if result ~= nil then return result end
  end
end
table.foreach = function(t, f)
  if type(t) ~= "table" then error("bad argument #1 to 'foreach' (table expected, got " .. type(t) .. ")", 2) end
  if type(f) ~= "function" then error("bad argument #2 to 'foreach' (function expected, got " .. type(f) .. ")", 2) end
  for k, v in next, t do
    local result = f(k, v)
    if result ~= nil then return result end
  end
end
)lua";

void ReplaceField(lua_State* state, const char* table, const char* name, lua_CFunction function,
                  bool keepOriginal) {
    lua_getglobal(state, table);
    if (function == nullptr) {
        lua_pushnil(state);
    } else if (keepOriginal) {
        lua_getfield(state, -1, name);
        lua_pushcclosure(state, function, 1);
    } else {
        lua_pushcfunction(state, function);
    }
    lua_setfield(state, -2, name);
    lua_pop(state, 1);
}

int Setup(lua_State* state) {
    // Opened in the order models have always had them.
    static const luaL_Reg libraries[] = {{"", luaopen_base},
                                         {LUA_TABLIBNAME, luaopen_table},
                                         {LUA_STRLIBNAME, luaopen_string},
                                         {LUA_MATHLIBNAME, luaopen_math}};
    for (const luaL_Reg& library : libraries) {
        lua_pushcfunction(state, library.func);
        lua_pushstring(state, library.name);
        lua_call(state, 1, 0);
    }
    // File access (dofile() even reads standard input) and userdata with finalizers, which run
    // with hooks off and could loop beyond any stop, even at exit.
    for (const char* name : {"dofile", "loadfile", "newproxy"}) {
        lua_pushnil(state);
        lua_setglobal(state, name);
    }
    lua_pushcfunction(state, Print);
    lua_setglobal(state, "print");
    lua_pushcfunction(state, Unpack);
    lua_setglobal(state, "unpack");
    lua_pushcfunction(state, LoadString);
    lua_setglobal(state, "loadstring");
    ReplaceField(state, "coroutine", "resume", Resume, true);
    ReplaceField(state, LUA_STRLIBNAME, "find", Find, false);
    ReplaceField(state, LUA_STRLIBNAME, "match", MatchFunction, false);
    ReplaceField(state, LUA_STRLIBNAME, "gmatch", Gmatch, false);
    ReplaceField(state, LUA_STRLIBNAME, "gsub", Gsub, false);
    ReplaceField(state, LUA_STRLIBNAME, "rep", Repeat, false);
    ReplaceField(state, LUA_STRLIBNAME, "dump", nullptr, false);
    ReplaceField(state, LUA_TABLIBNAME, "insert", Insert, false);
    ReplaceField(state, LUA_TABLIBNAME, "remove", Remove, false);
    ReplaceField(state, LUA_TABLIBNAME, "sort", Sort, false);
    lua_pushcfunction(state, Xpcall);
    lua_setglobal(state, "xpcall");
    if (luaL_loadbuffer(state, kLuaReplacements, std::strlen(kLuaReplacements), "sandbox") != 0) {
        return lua_error(state);
    }
    lua_call(state, 0, 0);
    return 0;
}

}  // namespace

void ModelInterrupt::request() {
    requested_.store(true, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    armLocked();
}

void ModelInterrupt::clear() {
    requested_.store(false, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    armLocked();
}

void ModelInterrupt::attach(lua_State* state) {
    std::lock_guard lock(mutex_);
    running_[0] = state;
    runningCount_ = state != nullptr ? 1 : 0;
    armLocked();
}

void ModelInterrupt::detach() {
    std::lock_guard lock(mutex_);
    running_[0] = nullptr;
    runningCount_ = 0;
}

void ModelInterrupt::enter(lua_State* coroutine) {
    std::lock_guard lock(mutex_);
    if (runningCount_ > 0 && runningCount_ < static_cast<int>(running_.size())) {
        running_[runningCount_++] = coroutine;
        armLocked();
    }
}

void ModelInterrupt::leave() {
    std::lock_guard lock(mutex_);
    if (runningCount_ > 1) {
        lua_sethook(running_[--runningCount_], nullptr, 0, 0);
    }
}

void ModelInterrupt::armLocked() {
    for (int i = 0; i < runningCount_; ++i) {
        if (requested_.load(std::memory_order_relaxed)) {
            lua_sethook(running_[i], InterruptHook, LUA_MASKCOUNT, 1);
        } else {
            lua_sethook(running_[i], nullptr, 0, 0);
        }
    }
}

int LoadModelChunk(lua_State* state, const char* text, std::size_t length, const char* name) {
    PieceReader reader{text, length};
    return lua_load(state, ReadPiece, &reader, name);
}

lua_State* NewModelState(std::size_t memoryLimit, ModelInterrupt& interrupt) {
    auto* context = new SandboxContext;
    context->limit = memoryLimit;
    context->interrupt = &interrupt;
    lua_State* state = lua_newstate(Allocate, context);
    if (state == nullptr) {
        delete context;
        return nullptr;
    }
    if (lua_cpcall(state, Setup, nullptr) != 0) {
        lua_close(state);
        delete context;
        return nullptr;
    }
    lua_settop(state, 0);
    interrupt.attach(state);
    return state;
}

void RebindModelState(lua_State* state, ModelInterrupt& interrupt) {
    if (state == nullptr) {
        return;
    }
    Context(state)->interrupt = &interrupt;
    interrupt.attach(state);
}

void CloseModelState(lua_State* state, ModelInterrupt& interrupt) {
    if (state == nullptr) {
        return;
    }
    interrupt.detach();
    SandboxContext* context = Context(state);
    lua_close(state);
    delete context;
}

}  // namespace kalvora
