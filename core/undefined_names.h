#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora {

// A name the model's statements read although nothing gives it a value, and its equation line.
struct UndefinedName {
    std::string name;
    int line = 0;
};

// The first name the statements read that is none of knownNames, no local, loop variable or
// function parameter of the statements and never assigned by them. The interpreter would only
// find it when the line runs, and then as nil with the program's vaguest message; read here, it is
// refused when the model is accepted, with its line. Where the statements assign a global in one
// call and read it in another, the assignment anywhere is enough: the reading in between is the
// model's own affair. Nothing for statements the lexer cannot split (the compiler refuses those).
std::optional<UndefinedName> FindUndefinedName(std::string_view statements,
                                               const std::vector<std::string>& knownNames);

// The globals a model's Lua state holds before its script runs: the libraries and the base
// functions as the sandbox leaves them.
const std::vector<std::string>& LibraryNames();

// "line 3: 'q' is no variable, parameter or library name, and no statement assigns it".
std::string UndefinedNameDetail(const UndefinedName& undefined);

}  // namespace kalvora
