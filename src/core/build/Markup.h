#pragma once

#include "core/ui/Form.h"

#include <string>
#include <string_view>

namespace plait::core::build {

// The small markup texts a build hands the engine as in-memory files. Values go in as they
// stand, with no escaping: the engine's reader is built to cope with quotes in them.

// A colour as six upper-case hexadecimal digits RRGGBB. Only the low 24 bits count, so a
// system colour 0x800000nn gives the digits of its number in the red place (0x80000005
// gives 050000): the engine's colour attributes are defined that way.
std::string colorDigits(ui::ColorValue color);

// The note: <A X1=72 Y1=288 X2=288 Y2=72 TITLE="..." NOTE="..." PAGES="...">, the three
// fields trimmed.
std::string noteMarkup(const ui::Form& settings);

// One <EMBED SRC="..." DESCR="..."> per attachment row 1..5 whose file box is not blank;
// empty when none is.
std::string attachmentMarkup(const ui::Form& settings);

// The text area: an optional <UNITS VALUE='..'> and one <TEXT ...>text</TEXT>, blanks and
// all exactly as the engine expects them.
std::string textAreaMarkup(const ui::Form& settings);

// The unit code of a units list index (1 "in", 2 "cm", 3 "mm"); empty for points or
// anything else.
std::string_view unitCode(int listIndex);

} // namespace plait::core::build
