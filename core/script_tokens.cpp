#include "core/script_tokens.h"

#include <algorithm>
#include <array>

namespace kalvora {
namespace {

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c);
}

}  // namespace

bool TokenizeArithmetic(std::string_view text, std::vector<ScriptToken>& tokens) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') {
            ++i;
        } else if (text.substr(i, 2) == "--") {
            if (text.substr(i + 2, 1) == "[") {
                return false;  // possibly a long comment
            }
            while (i < text.size() && text[i] != '\n' && text[i] != '\r') {
                ++i;
            }
        } else if (IsNameStart(c)) {
            const std::size_t start = i;
            while (i < text.size() && IsNameChar(text[i])) {
                ++i;
            }
            tokens.push_back({ScriptTokenKind::Name, text.substr(start, i - start)});
        } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
            // The lexer's numeral: digits and points, an exponent with its sign, then any letters,
            // digits or underscores.
            const std::size_t start = i;
            while (i < text.size() && (IsDigit(text[i]) || text[i] == '.')) {
                ++i;
            }
            if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
                ++i;
                if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
                    ++i;
                }
            }
            while (i < text.size() && IsNameChar(text[i])) {
                ++i;
            }
            tokens.push_back({ScriptTokenKind::Number, text.substr(start, i - start)});
        } else {
            static constexpr std::array<std::string_view, 4> kPairs = {"==", "~=", "<=", ">="};
            const std::string_view two = text.substr(i, 2);
            if (std::find(kPairs.begin(), kPairs.end(), two) != kPairs.end()) {
                tokens.push_back({ScriptTokenKind::Symbol, two});
                i += 2;
                continue;
            }
            if (two == ".." ||
                std::string_view("+-*/%^<>=(),;.").find(c) == std::string_view::npos) {
                return false;
            }
            tokens.push_back({ScriptTokenKind::Symbol, text.substr(i, 1)});
            ++i;
        }
    }
    return true;
}

}  // namespace kalvora
