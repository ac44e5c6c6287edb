#pragma once

#include <string>

namespace plait::pdf {

// The engine's optional parts live in modules of their own (shared libraries), loaded the
// first time a build needs them, so that every other run of the programs starts without the
// libraries they bring. A module is looked for in the installed library folder relative to
// the program's binaries, then in the engine's build folder; it is never unloaded.
//
// Returns the address of `entry` in `module` (a file name such as "libplait_scripts.so"), or
// null with `error` saying why.
void* moduleEntry(const char* module, const char* entry, std::string& error);

} // namespace plait::pdf
