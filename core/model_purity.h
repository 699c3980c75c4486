#pragma once

#include <string>

namespace kalvora {

// True when the model's statements certainly keep nothing from one call to the next and touch
// nothing outside the call: they assign only the function's arguments and their own locals, call
// only the math library's functions (not its random generator), and hold no loop, no function, no
// string and no table. Such a model gives the same results for the same arguments whenever it is
// called, so a run of its steps can be repeated from a saved start. Any doubt gives false. The
// check is the compiler's own reading of the statements (NativeModel::stateless), so what the
// compiler runs and what this judges can never disagree about a name.
bool ModelIsStateless(const std::string& scriptText);

// True when every call of the model gives results that depend on its arguments alone: the
// statements are stateless as above, or the compiler takes them (globals then are assigned before
// they are read in every call). Only such a model gives the same numbers when the pieces of a
// computation run on separate model instances as when one instance runs them all in order; any
// other (a counter kept in a global, the random generator) must run on one thread.
bool ModelCallsAreIndependent(const std::string& scriptText);

}  // namespace kalvora
