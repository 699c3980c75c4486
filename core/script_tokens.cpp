#include "core/script_tokens.h"

#include <algorithm>
#include <array>
#include <string>

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

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool StartsNumeral(std::string_view text, std::size_t i) {
    return IsDigit(text[i]) || (text[i] == '.' && i + 1 < text.size() && IsDigit(text[i + 1]));
}

std::size_t NameEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && IsNameChar(text[i])) {
        ++i;
    }
    return i;
}

// The lexer's numeral: digits and points, an exponent with its sign, then any letters, digits or
// underscores (the interpreter converts the whole run, and refuses it when it is no number).
std::size_t NumeralEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && (IsDigit(text[i]) || text[i] == '.')) {
        ++i;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
    }
    return NameEnd(text, i);
}

std::size_t LineCommentEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && text[i] != '\n' && text[i] != '\r') {
        ++i;
    }
    return i;
}

// The level of a long bracket opening at i ("[[" 0, "[==[" 2), or -1 when none opens there.
int LongBracketLevel(std::string_view text, std::size_t i) {
    if (i >= text.size() || text[i] != '[') {
        return -1;
    }
    std::size_t j = i + 1;
    while (j < text.size() && text[j] == '=') {
        ++j;
    }
    return j < text.size() && text[j] == '[' ? static_cast<int>(j - i - 1) : -1;
}

// The end of the long bracket opening at i with the level given, or npos when it never closes.
std::size_t LongBracketEnd(std::string_view text, std::size_t i, int level) {
    const std::string closing = "]" + std::string(static_cast<std::size_t>(level), '=') + "]";
    const std::size_t close = text.find(closing, i + static_cast<std::size_t>(level) + 2);
    return close == std::string_view::npos ? close : close + closing.size();
}

// The end of the short string whose quote is at i, or npos when a line ends inside it.
std::size_t ShortStringEnd(std::string_view text, std::size_t i) {
    const char quote = text[i];
    for (std::size_t j = i + 1; j < text.size(); ++j) {
        if (text[j] == quote) {
            return j + 1;
        }
        if (text[j] == '\n' || text[j] == '\r') {
            return std::string_view::npos;
        }
        if (text[j] == '\\') {
            ++j;  // an escaped line break stays inside the string
            if (j < text.size() && text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') {
                ++j;
            }
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool TokenizeArithmetic(std::string_view text, std::vector<ScriptToken>& tokens) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            ++i;
        } else if (text.substr(i, 2) == "--") {
            if (text.substr(i + 2, 1) == "[") {
                return false;  // possibly a long comment
            }
            i = LineCommentEnd(text, i);
        } else if (IsNameStart(c)) {
            const std::size_t end = NameEnd(text, i);
            tokens.push_back({ScriptTokenKind::Name, text.substr(i, end - i)});
            i = end;
        } else if (StartsNumeral(text, i)) {
            const std::size_t end = NumeralEnd(text, i);
            tokens.push_back({ScriptTokenKind::Number, text.substr(i, end - i)});
            i = end;
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

bool TokenizeScript(std::string_view text, std::vector<ScriptToken>& tokens) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            ++i;
        } else if (text.substr(i, 2) == "--") {
            const int level = LongBracketLevel(text, i + 2);
            if (level < 0) {
                i = LineCommentEnd(text, i);
                continue;
            }
            i = LongBracketEnd(text, i + 2, level);
            if (i == std::string_view::npos) {
                return false;
            }
        } else if (IsNameStart(c)) {
            const std::size_t end = NameEnd(text, i);
            tokens.push_back({ScriptTokenKind::Name, text.substr(i, end - i)});
            i = end;
        } else if (StartsNumeral(text, i)) {
            const std::size_t end = NumeralEnd(text, i);
            tokens.push_back({ScriptTokenKind::Number, text.substr(i, end - i)});
            i = end;
        } else if (c == '"' || c == '\'' || LongBracketLevel(text, i) >= 0) {
            const int level = LongBracketLevel(text, i);
            const std::size_t end =
                level >= 0 ? LongBracketEnd(text, i, level) : ShortStringEnd(text, i);
            if (end == std::string_view::npos) {
                return false;
            }
            tokens.push_back({ScriptTokenKind::String, text.substr(i, end - i)});
            i = end;
        } else {
            static constexpr std::array<std::string_view, 6> kLong = {
                "...", "..", "==", "~=", "<=", ">="};
            const auto match = std::find_if(kLong.begin(), kLong.end(), [&](std::string_view s) {
                return text.substr(i, s.size()) == s;
            });
            if (match != kLong.end()) {
                tokens.push_back({ScriptTokenKind::Symbol, text.substr(i, match->size())});
                i += match->size();
                continue;
            }
            if (std::string_view("+-*/%^#<>=(){}[];:,.").find(c) == std::string_view::npos) {
                return false;
            }
            tokens.push_back({ScriptTokenKind::Symbol, text.substr(i, 1)});
            ++i;
        }
    }
    return true;
}

int LineOfToken(std::string_view text, const ScriptToken& token) {
    const auto end = static_cast<std::size_t>(token.text.data() - text.data());
    int line = 1;
    for (std::size_t i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            // A pair of different break characters is one break.
            if (i + 1 < end && (text[i + 1] == '\n' || text[i + 1] == '\r') &&
                text[i + 1] != text[i]) {
                ++i;
            }
            ++line;
        }
    }
    return line;
}

}  // namespace kalvora
