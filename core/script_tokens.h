#pragma once

#include <string_view>
#include <vector>

namespace kalvora {

enum class ScriptTokenKind { Name, Number, Symbol, String };

// A name (keywords included), a numeral, a symbol or a string literal (quotes or long brackets
// included); the text points into the script.
struct ScriptToken {
    ScriptTokenKind kind;
    std::string_view text;
};

// Splits model statements into tokens as the interpreter's lexer does, for the readers that decide
// what a model's statements may do. Only arithmetic is followed: false for anything else (strings,
// long brackets and comments, concatenation, labels, symbols outside the arithmetic and comparison
// operators, bytes outside ASCII names). Comments are skipped.
bool TokenizeArithmetic(std::string_view text, std::vector<ScriptToken>& tokens);

// The whole language's tokens, for the readers that must see every statement a model may hold:
// strings and long brackets become one String token each, comments of both kinds are skipped and
// every operator is a Symbol. Names and numerals are read exactly as TokenizeArithmetic reads
// them. False only where the interpreter's lexer fails too (an unfinished string, long bracket or
// comment, a byte it does not know).
bool TokenizeScript(std::string_view text, std::vector<ScriptToken>& tokens);

// The line (from 1) on which a token of `text` starts, counting line breaks as the interpreter
// does: CR LF, LF CR, a lone CR and a lone LF are one break each.
int LineOfToken(std::string_view text, const ScriptToken& token);

}  // namespace kalvora
