#include "core/undefined_names.h"

#include <lua.hpp>

#include <algorithm>
#include <array>
#include <set>

#include "core/lua_sandbox.h"
#include "core/script_tokens.h"

namespace kalvora {
namespace {

constexpr std::array<std::string_view, 21> kKeywords = {
    "and",   "break", "do",  "else", "elseif", "end",    "false", "for",  "function", "if",   "in",
    "local", "nil",   "not", "or",   "repeat", "return", "then",  "true", "until",    "while"};

bool IsKeyword(std::string_view name) {
    return std::find(kKeywords.begin(), kKeywords.end(), name) != kKeywords.end();
}

class Reader {
  public:
    explicit Reader(const std::vector<ScriptToken>& tokens) : tokens_(tokens) {}

    bool isName(std::size_t k) const {
        return k < tokens_.size() && tokens_[k].kind == ScriptTokenKind::Name &&
               !IsKeyword(tokens_[k].text);
    }
    bool is(std::size_t k, std::string_view text) const {
        return k < tokens_.size() && tokens_[k].kind != ScriptTokenKind::String &&
               tokens_[k].text == text;
    }
    // A field name (t.x, s:len) names no variable.
    bool isField(std::size_t k) const { return k > 0 && (is(k - 1, ".") || is(k - 1, ":")); }

    // Every name the statements give a value to, wherever they do it.
    std::set<std::string_view> definedNames() const {
        std::set<std::string_view> defined;
        for (std::size_t k = 0; k < tokens_.size(); ++k) {
            if (is(k, "local") || is(k, "for")) {
                // "local a, b", "local function f", "for i =", "for k, v in".
                std::size_t j = is(k + 1, "function") ? k + 2 : k + 1;
                for (; isName(j); j += 2) {
                    defined.insert(tokens_[j].text);
                    if (!is(j + 1, ",")) {
                        break;
                    }
                }
            } else if (is(k, "function")) {
                // "function a.b:c (p, q)": a is assigned, self and the parameters are locals.
                std::size_t j = k + 1;
                if (isName(j)) {
                    if (!is(j + 1, ".") && !is(j + 1, ":")) {
                        defined.insert(tokens_[j].text);
                    }
                    ++j;
                    while ((is(j, ".") || is(j, ":")) && isName(j + 1)) {
                        if (is(j, ":")) {
                            defined.insert("self");
                        }
                        j += 2;
                    }
                }
                if (is(j, "(")) {
                    for (++j; isName(j); j += 2) {
                        defined.insert(tokens_[j].text);
                        if (!is(j + 1, ",")) {
                            break;
                        }
                    }
                }
            } else if (isName(k) && !isField(k)) {
                // "a = ..." and "a, b = ...": the names of a list that ends in "=". (A table
                // constructor's "{k = v}" counts too; that only lets more through.)
                std::size_t j = k;
                while (isName(j) && is(j + 1, ",")) {
                    j += 2;
                }
                if (isName(j) && is(j + 1, "=")) {
                    for (std::size_t n = k; n <= j; n += 2) {
                        defined.insert(tokens_[n].text);
                    }
                }
            }
        }
        return defined;
    }

  private:
    const std::vector<ScriptToken>& tokens_;
};

}  // namespace

std::optional<UndefinedName> FindUndefinedName(std::string_view statements,
                                               const std::vector<std::string>& knownNames) {
    std::vector<ScriptToken> tokens;
    if (!TokenizeScript(statements, tokens)) {
        return std::nullopt;
    }
    const Reader reader(tokens);
    std::set<std::string_view> defined = reader.definedNames();
    defined.insert(knownNames.begin(), knownNames.end());
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (reader.isName(k) && !reader.isField(k) && defined.count(tokens[k].text) == 0) {
            return UndefinedName{std::string(tokens[k].text), LineOfToken(statements, tokens[k])};
        }
    }
    return std::nullopt;
}

const std::vector<std::string>& LibraryNames() {
    // Read from a state the sandbox built, so that a library it opens or removes is known here
    // without a second list to keep in step.
    static const std::vector<std::string> names = [] {
        std::vector<std::string> globals;
        ModelInterrupt interrupt;
        lua_State* state = NewModelState(kDefaultModelMemoryLimit, interrupt);
        if (state == nullptr) {
            return globals;
        }
        lua_pushnil(state);
        while (lua_next(state, LUA_GLOBALSINDEX) != 0) {
            lua_pop(state, 1);
            if (lua_type(state, -1) == LUA_TSTRING) {
                globals.emplace_back(lua_tostring(state, -1));
            }
        }
        CloseModelState(state, interrupt);
        return globals;
    }();
    return names;
}

std::string UndefinedNameDetail(const UndefinedName& undefined) {
    return "line " + std::to_string(undefined.line) + ": '" + undefined.name +
           "' is no variable, parameter or library name, and no statement assigns it";
}

}  // namespace kalvora
