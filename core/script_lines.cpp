#include "core/script_lines.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

#include <lua.hpp>

namespace kalvora {
namespace {

// Messages can be as long as a model makes them (error(string.rep("e", 1e5))), so they are read
// by hand in one pass: a backtracking matcher recursed once per character on such a text and ran
// off the stack.

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The decimal number at text[at..], saturated at INT_MAX (a model may write any number of
// digits); `end` is set past its digits. -1 when no digit is there.
long long ReadNumber(std::string_view text, std::size_t at, std::size_t& end) {
    end = at;
    long long value = 0;
    while (end < text.size() && IsDigit(text[end])) {
        value = std::min<long long>(value * 10 + (text[end] - '0'), INT_MAX);
        ++end;
    }
    return end == at ? -1 : value;
}

// The length of Lua's place prefix at the start of a message ("[string \"modelbuffer\"]:3: " or
// "name:3: "), with its line number, or 0 when the message does not start with one.
std::size_t PlacePrefix(std::string_view message, long long& line) {
    std::size_t at = 0;
    constexpr std::string_view quoted = "[string \"";
    if (message.substr(0, quoted.size()) == quoted) {
        const std::size_t close = message.find("\"]", quoted.size());
        if (close == std::string_view::npos ||
            message.substr(quoted.size(), close - quoted.size()).find('"') !=
                std::string_view::npos) {
            return 0;
        }
        at = close + 2;
    } else {
        while (at < message.size() && message[at] != ':' && !IsSpace(message[at])) {
            ++at;
        }
        if (at == 0) {
            return 0;
        }
    }
    if (at >= message.size() || message[at] != ':') {
        return 0;
    }
    std::size_t end = 0;
    line = ReadNumber(message, at + 1, end);
    if (line < 0 || message.substr(end, 2) != ": ") {
        return 0;
    }
    return end + 2;
}

// Lines of the script as Lua counts them: CR LF, LF CR, a lone CR or a lone LF end one line.
// Returns the count and sets lastWritten to the last line, header and the two closing lines
// (return, end) left out, that holds anything but blanks: the last line the user wrote.
int ScriptLines(const std::string& text, int& lastWritten) {
    std::vector<bool> written(1, false);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            written.push_back(false);
            if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') &&
                text[i + 1] != c) {
                ++i;
            }
        } else if (!IsSpace(c)) {
            written.back() = true;
        }
    }
    const int lines = static_cast<int>(written.size());
    lastWritten = 1;
    for (int line = lines - 2; line >= 2; --line) {
        if (written[static_cast<std::size_t>(line - 1)]) {
            lastWritten = line;
            break;
        }
    }
    return lines;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Lua's text for a place past the user's last line names what the program wrote there: the
// closing "return" and "end", or the end of the text. The user sees the end of their last line.
std::string InUsersWords(std::string text, int lastLine) {
    // The generated header opens the one block the user never wrote; Lua names it when a block
    // of the statements took its "end".
    ReplaceAll(text, "(to close 'function' at line 1) ",
               "(a block of the statements is not closed) ");
    const std::string end = "at the end of line " + std::to_string(lastLine);
    for (const std::string_view token : {"near 'return'", "near 'end'", "near '<eof>'"}) {
        if (text.size() >= token.size() &&
            text.compare(text.size() - token.size(), token.size(), token) == 0) {
            text.replace(text.size() - token.size(), token.size(), end);
            break;
        }
    }
    return text;
}

// The longest detail shown: a model may raise an error of any length, and a box or a terminal full
// of it hides the message.
constexpr std::size_t kDetailLimit = 1000;

std::string Shortened(std::string text) {
    if (text.size() <= kDetailLimit) {
        return text;
    }
    std::size_t cut = kDetailLimit;
    // Not inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text + "...";
}

}  // namespace

std::string EquationLineMessage(const std::string& luaMessage, const std::string& scriptText) {
    int lastWritten = 1;
    ScriptLines(scriptText, lastWritten);
    // The header is script line 1, the user's first line script line 2.
    const int lastLine = std::max(1, lastWritten - 1);
    auto translate = [&](long long scriptLine) {
        return std::to_string(std::clamp<long long>(scriptLine - 1, 1, lastLine));
    };
    const std::string_view message = luaMessage;
    std::string result;
    long long placeLine = 0;
    std::size_t at = PlacePrefix(message, placeLine);
    if (at > 0) {
        result = "line " + translate(placeLine) + ": ";
    }
    constexpr std::string_view atLine = "at line ";
    for (std::size_t found = message.find(atLine, at); found != std::string_view::npos;
         found = message.find(atLine, at)) {
        std::size_t end = 0;
        const long long number = ReadNumber(message, found + atLine.size(), end);
        result.append(message.substr(at, found - at));
        if (number < 0) {
            result.append(atLine);
            at = found + atLine.size();
            continue;
        }
        result += "at line " + translate(number);
        at = end;
    }
    result.append(message.substr(at));
    if (placeLine > lastWritten) {
        result = InUsersWords(std::move(result), lastLine);
    }
    return result;
}

int EquationLineOf(const std::string& message) {
    constexpr std::string_view place = "line ";
    if (message.compare(0, place.size(), place) != 0) {
        return 0;
    }
    std::size_t end = 0;
    const long long line = ReadNumber(message, place.size(), end);
    if (line < 0 || message.compare(end, 2, ": ") != 0) {
        return 0;
    }
    return static_cast<int>(line);
}

std::string ScriptErrorDetail(lua_State* lua, const std::string& scriptText) {
    if (lua == nullptr || lua_gettop(lua) < 1 || lua_type(lua, -1) != LUA_TSTRING) {
        return "";
    }
    std::size_t length = 0;
    const char* text = lua_tolstring(lua, -1, &length);
    return Shortened(EquationLineMessage(std::string(text, length), scriptText));
}

}  // namespace kalvora
