#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plait::engine {

// Reads markup of the form <NAME KEY=value KEY="quoted value" FLAG> one tag at a time.
//
// This is the reader behind setTags, getNextTag and getTagParams; every engine shares it.
// It never fails: text outside tags is skipped, and a tag it cannot make sense of is passed
// over. A quoted value may itself contain double quotes (titles often do): a quote only
// closes the value when the rest of the tag then reads as well-formed attributes (each
// after a blank, none named twice, up to the closing '>'), so that DESCR="Say "hi" now"
// gives the whole title. Where even that cannot tell (a title that itself looks like
// ' PAGE=5'), the format has reached its limit and the first fitting quote wins. A quoted
// value never runs on past a line break that is followed by the start of a new tag, so a
// broken line cannot swallow the good lines after it.
class TagReader {
public:
    // Remembers where the last search of a kind ended, to keep reading linear (internal).
    struct SearchMemo {
        bool valid = false;
        std::size_t from = 0;
        std::size_t result = 0;
    };

    struct Tag {
        std::string name;
        std::vector<std::pair<std::string, std::string>> attributes; // in order; flags have value "1"
    };

    void setText(std::string text);

    // Moves to the next tag; true when there was one.
    bool next();

    // The current tag's attribute (names compared without regard to case); empty when absent.
    std::string param(std::string_view name) const;

    const Tag& current() const { return current_; }

    // All tags of a text, for callers that want them at once.
    static std::vector<Tag> parseAll(std::string_view text);

private:
    std::string text_;
    std::size_t pos_ = 0;
    Tag current_;
    bool hasCurrent_ = false;
    SearchMemo doubleQuotes_;
    SearchMemo singleQuotes_;
    SearchMemo tagLines_;
    std::size_t budget_ = 0;
};

} // namespace plait::engine
