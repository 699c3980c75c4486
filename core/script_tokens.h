#pragma once

#include <string_view>
#include <vector>

namespace kalvora {

enum class ScriptTokenKind { Name, Number, Symbol };

// A name (keywords included), a numeral or a symbol; the text points into the script.
struct ScriptToken {
    ScriptTokenKind kind;
    std::string_view text;
};

// Splits model statements into tokens as the interpreter's lexer does, for the readers that decide
// what a model's statements may do. Only arithmetic is followed: false for anything else (strings,
// long brackets and comments, concatenation, labels, symbols outside the arithmetic and comparison
// operators, bytes outside ASCII names). Comments are skipped.
bool TokenizeArithmetic(std::string_view text, std::vector<ScriptToken>& tokens);

}  // namespace kalvora
