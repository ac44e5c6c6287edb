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
// closes the value when what follows it looks like the rest of a tag (white space and a
// further KEY= or FLAG, or the closing '>').
class TagReader {
public:
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
};

} // namespace plait::engine
