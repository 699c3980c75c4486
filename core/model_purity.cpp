#include "core/model_purity.h"

#include "core/native_model.h"
#include "core/script_tokens.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace kalvora {
namespace {

using TokenKind = ScriptTokenKind;
using Token = ScriptToken;

constexpr std::array<std::string_view, 12> kAllowedKeywords = {
    "local", "if", "then", "elseif", "else", "end", "and", "or", "not", "nil", "true", "false"};

constexpr std::array<std::string_view, 10> kOtherKeywords = {
    "function", "for", "while", "repeat", "until", "do", "break", "return", "in", "goto"};

// The math library's functions that depend on their arguments alone, and its two constants.
constexpr std::array<std::string_view, 27> kMathFunctions = {
    "abs",  "acos",  "asin", "atan",  "atan2", "ceil", "cos",   "cosh", "deg",
    "exp",  "floor", "fmod", "frexp", "ldexp", "log",  "log10", "max",  "min",
    "modf", "pow",   "rad",  "sin",   "sinh",  "sqrt", "tan",   "tanh", "pi"};

template <typename List>
bool OneOf(std::string_view text, const List& list) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

bool ModelIsStateless(const std::string& scriptText) {
    // The script is "function model (arguments)", the statements, then "return" and the results.
    const std::string_view script = scriptText;
    // The generated script has a space before the parenthesis; a script written by hand may not.
    constexpr std::string_view kFunction = "function model";
    if (script.substr(0, kFunction.size()) != kFunction) {
        return false;
    }
    const std::size_t open = script.find_first_not_of(' ', kFunction.size());
    if (open == std::string_view::npos || script[open] != '(') {
        return false;
    }
    const std::string_view header = script.substr(0, open + 1);
    const std::size_t close = script.find(')');
    const std::size_t bodyStart = script.find('\n', close);
    const std::size_t bodyEnd = script.rfind("\nreturn ");
    // The results are read up to the function's end: a script written by hand may return
    // expressions rather than names.
    const std::size_t functionEnd = script.rfind("end");
    if (close == std::string_view::npos || bodyStart == std::string_view::npos ||
        bodyEnd == std::string_view::npos || bodyEnd < bodyStart ||
        functionEnd == std::string_view::npos || functionEnd < bodyEnd) {
        return false;
    }
    std::vector<Token> tokens;
    if (!TokenizeArithmetic(script.substr(header.size(), close - header.size()), tokens)) {
        return false;
    }
    // Locals visible at each block depth; the arguments are the outermost.
    std::vector<std::vector<std::string_view>> scopes(1);
    for (const Token& token : tokens) {
        if (token.kind == TokenKind::Name) {
            scopes[0].push_back(token.text);
        }
    }
    tokens.clear();
    if (!TokenizeArithmetic(script.substr(bodyStart, functionEnd - bodyStart), tokens)) {
        return false;
    }
    // The final return, which ends the statements.
    std::size_t finalReturn = tokens.size();
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].kind == TokenKind::Name && tokens[k].text == "return") {
            finalReturn = k;
        }
    }
    const auto isLocal = [&](std::string_view name) {
        return std::any_of(scopes.begin(), scopes.end(),
                           [&](const auto& scope) { return OneOf(name, scope); });
    };
    const auto text = [&](std::size_t k) {
        return k < tokens.size() ? tokens[k].text : std::string_view{};
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token& token = tokens[k];
        if (token.kind == TokenKind::Symbol) {
            // A call: an opening parenthesis right after a name or a closing one. Only the math
            // functions are called, and they are handled with their names below.
            if (token.text == "(" && k > 0 &&
                (tokens[k - 1].kind == TokenKind::Name || text(k - 1) == ")")) {
                return false;
            }
            // A field is reached only through math, handled below.
            if (token.text == ".") {
                return false;
            }
            continue;
        }
        if (token.kind == TokenKind::Number) {
            continue;
        }
        const std::string_view name = token.text;
        if (OneOf(name, kOtherKeywords)) {
            if (name == "return" && k == finalReturn && scopes.size() == 1) {
                continue;
            }
            return false;
        }
        if (name == "if") {
            scopes.emplace_back();
        } else if (name == "elseif" || name == "else") {
            if (scopes.size() < 2) {
                return false;
            }
            scopes.back().clear();
        } else if (name == "end") {
            if (scopes.size() < 2) {
                return false;
            }
            scopes.pop_back();
        } else if (name == "local") {
            // The declared names, then "=" or the end of the declaration.
            std::size_t j = k + 1;
            while (j < tokens.size() && tokens[j].kind == TokenKind::Name &&
                   !OneOf(tokens[j].text, kAllowedKeywords) &&
                   !OneOf(tokens[j].text, kOtherKeywords)) {
                scopes.back().push_back(tokens[j].text);
                if (text(j + 1) != ",") {
                    break;
                }
                j += 2;
            }
            if (j >= tokens.size() || tokens[j].kind != TokenKind::Name) {
                return false;
            }
            k = j;
        } else if (OneOf(name, kAllowedKeywords)) {
            continue;
        } else if (name == "math" && !isLocal(name)) {
            // math.f( or math.pi, never assigned.
            if (text(k + 1) != "." || k + 2 >= tokens.size() ||
                !OneOf(text(k + 2), kMathFunctions)) {
                return false;
            }
            const bool constant = text(k + 2) == "pi";
            if (constant ? text(k + 3) == "=" || text(k + 3) == "(" : text(k + 3) != "(") {
                return false;
            }
            k += constant ? 2 : 3;
        } else if (!isLocal(name)) {
            // A global: read harmlessly unless it may be assigned (or passed on in a list, which
            // the check does not tell apart from an assignment).
            const std::string_view next = text(k + 1);
            if (next == "=" || next == ",") {
                return false;
            }
        }
    }
    return scopes.size() == 1;
}

bool ModelCallsAreIndependent(const std::string& scriptText) {
    return ModelIsStateless(scriptText) || NativeModel::Compile(scriptText)->covered();
}

}  // namespace kalvora
