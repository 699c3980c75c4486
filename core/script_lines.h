#pragma once

#include <string>

struct lua_State;

namespace kalvora {

// Lua names places in the generated script, whose first line is the function's header; the user
// knows only the equations as typed in the editor. These translate one into the other.

// Lua's message with its chunk prefix ("[string \"modelbuffer\"]:3: ") replaced by the equation
// line ("line 2: ") and every "at line N" inside it translated the same way. Places after the
// equations (the closing lines the program adds) are given as the last equation line. A message
// without a place is returned unchanged.
std::string EquationLineMessage(const std::string& luaMessage, const std::string& scriptText);

// The equation line a translated message begins with ("line 2: ..."), or 0 when it names none.
int EquationLineOf(const std::string& message);

// The translated message on top of the Lua stack after a failed load or call, or "" when there is
// no text there (a memory error, a state that could not be built).
std::string ScriptErrorDetail(lua_State* lua, const std::string& scriptText);

}  // namespace kalvora
