#pragma once

#include "engine/InputList.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// The comma-joined input list is split as the program joins it.
using engine::splitInputList;

// Sorts inputs in place, stably: 'f' by file name (without the folder), 'n' the same but
// with runs of digits compared as numbers ("p2" before "p10"), 'b' by size, smallest first,
// 'd' by last modification, oldest first. Any other key leaves the order alone.
void sortInputs(std::vector<std::string>& paths, char key);
// The same order as positions: element k is the position in `paths` of the k-th sorted input.
std::vector<std::size_t> inputOrder(const std::vector<std::string>& paths, char key);

// Compares names with digit runs taken as numbers.
bool naturalLess(std::string_view a, std::string_view b);

// The passwords of a setPwdList text: separated by commas, "\," for a comma inside a
// password and "\\" for a backslash. Blanks are part of a password; empty entries are
// dropped (the empty password is always tried first anyway).
std::vector<std::string> parsePasswordList(std::string_view text);

} // namespace plait::pdf
