#include "core/script_lines.h"

#include <algorithm>
#include <regex>

#include <lua.hpp>

namespace kalvora {
namespace {

// Lines of the script as Lua counts them: CR LF, LF CR, a lone CR or a lone LF end one line.
int LineCount(const std::string& text) {
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        ++lines;
        if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') &&
            text[i + 1] != c) {
            ++i;
        }
    }
    return lines;
}

}  // namespace

std::string EquationLineMessage(const std::string& luaMessage, const std::string& scriptText) {
    // The header line comes first; "return" and "end" close the script after the equations.
    const int equationLines = std::max(1, LineCount(scriptText) - 3);
    auto translate = [&](const std::string& number) {
        const int scriptLine = std::stoi(number);
        return std::to_string(std::clamp(scriptLine - 1, 1, equationLines));
    };
    static const std::regex prefix(R"(^(?:\[string "[^"]*"\]|[^:\s]+):(\d+): )");
    static const std::regex atLine(R"(at line (\d+))");
    std::string rest = luaMessage;
    std::string result;
    std::smatch match;
    if (std::regex_search(rest, match, prefix)) {
        result = "line " + translate(match[1].str()) + ": ";
        rest = match.suffix().str();
    }
    while (std::regex_search(rest, match, atLine)) {
        result += match.prefix().str() + "at line " + translate(match[1].str());
        rest = match.suffix().str();
    }
    return result + rest;
}

int EquationLineOf(const std::string& message) {
    static const std::regex place(R"(^line (\d+): )");
    std::smatch match;
    if (!std::regex_search(message, match, place))
        return 0;
    return std::stoi(match[1].str());
}

std::string ScriptErrorDetail(lua_State* lua, const std::string& scriptText) {
    if (lua == nullptr || lua_gettop(lua) < 1 || lua_type(lua, -1) != LUA_TSTRING)
        return "";
    return EquationLineMessage(lua_tostring(lua, -1), scriptText);
}

}  // namespace kalvora
