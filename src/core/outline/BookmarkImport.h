#pragma once

#include "Outline.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plait::engine {
class MergeEngine;
}

namespace plait::core::outline {

// Where imported bookmark tags come from: the engine's tag reader, or markup read here.
class TagSource {
public:
    virtual ~TagSource() = default;
    // Moves to the next tag; false when there is none.
    virtual bool nextTag() = 0;
    // An attribute of the current tag ("LEVEL", "DESCR", "PAGE").
    virtual std::string param(std::string_view name) = 0;
};

// The engine's own reader, after setTags.
class EngineTagSource : public TagSource {
public:
    explicit EngineTagSource(engine::MergeEngine& engine) : engine_(engine) {}
    bool nextTag() override;
    std::string param(std::string_view name) override;

private:
    engine::MergeEngine& engine_;
};

// The leading number of a text the way the program reads a LEVEL: blanks skipped, an
// optional sign, digits and a fraction; 0 when there is none.
double leadingNumber(std::string_view text);

// Sets the key counter to 0 and appends one entry per tag: key a1, a2, ... in tag order,
// title DESCR, tag PAGE + "|Y" (closed). A tag of level L > 1 becomes the last child of the
// most recent entry of level L - 1; when there is none (a first tag of level 2, say) it
// goes under the nearest shallower level that has an entry, else to the top level, as do
// levels of 1 or less. Levels above 50 hang under the deepest remembered level. Every
// child is made visible, so imported parents end up expanded.
//
// The attributes are asked in a fixed order per tag (LEVEL, LEVEL again when above 1,
// DESCR, PAGE, LEVEL); a call transcript of the import shows exactly these questions.
// Returns the number of entries added. The outline should be empty beforehand.
std::size_t loadTags(TagSource& source, Outline& outline);

// Calls of a bookmark listing on a fresh engine: setInFile(input), setOutFile("membuild"),
// setPwdList(passwords), setBookmarkOut(), BuildPDF(). Returns what BuildPDF returned:
// the bookmark tags, or a failure code "-1" to "-5".
std::string runBookmarkListing(engine::MergeEngine& engine, const std::string& input,
                               const std::string& passwords);

// The message for a listing that failed: the result is exactly one of the engine's failure
// codes "-1" to "-5". Nothing for a listing of tags.
std::optional<std::string> listingFailureMessage(std::string_view result);

// Replaces the outline with the bookmarks of a markup text (the format buildBM writes),
// with the same numbering and level rules as an import through the engine.
std::size_t importBookmarkMarkup(std::string_view markup, Outline& outline);

} // namespace plait::core::outline
