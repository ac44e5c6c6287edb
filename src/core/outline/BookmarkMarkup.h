#pragma once

#include "Outline.h"

#include <span>
#include <string>

namespace plait::core::outline {

// Appends to bmText one line per entry, for `first` and its following siblings and all
// their descendants, depth first: each entry before its children. `level` is the level of
// `first` and its siblings.
//
// A line is <BOOKMARK LEVEL=n DESCR="title" PAGE=page CLOSED> ending in CR LF, with
// " CLOSED" only for a closed entry. Titles and pages go in exactly as stored: the
// engine's reader copes with a quote inside a title.
void buildBM(std::span<const std::unique_ptr<Entry>> first, int level, std::string& bmText);

// The whole outline's markup, starting at level 1; empty for an empty outline.
std::string buildBM(const Outline& outline);

// One entry's line.
std::string bookmarkLine(const Entry& entry, int level);

} // namespace plait::core::outline
