#include "TagReader.h"

#include <cctype>

namespace plait::engine {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == ':' || c == '.';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// True when text[pos..] looks like the continuation of a tag after a closing quote:
// optional blanks then '>' or end, or at least one blank followed by NAME and then '=', a
// blank, '>' or the end of the text.
bool looksLikeTagContinuation(std::string_view text, std::size_t pos) {
    std::size_t p = pos;
    while (p < text.size() && isSpace(text[p])) {
        ++p;
    }
    if (p >= text.size() || text[p] == '>') {
        return true;
    }
    if (p == pos) {
        return false; // a quote directly followed by a letter is part of the value
    }
    const std::size_t nameStart = p;
    while (p < text.size() && isNameChar(text[p])) {
        ++p;
    }
    if (p == nameStart) {
        return false;
    }
    return p >= text.size() || text[p] == '=' || isSpace(text[p]) || text[p] == '>';
}

// Parses one tag starting at text[start] == '<'. Returns the position after the tag, or
// npos when no tag could be read there (the caller then skips the '<').
std::size_t parseTag(std::string_view text, std::size_t start, TagReader::Tag& tag) {
    std::size_t p = start + 1;
    const std::size_t nameStart = p;
    while (p < text.size() && isNameChar(text[p])) {
        ++p;
    }
    if (p == nameStart) {
        return std::string_view::npos;
    }
    tag.name.assign(text.substr(nameStart, p - nameStart));
    tag.attributes.clear();

    while (p < text.size()) {
        while (p < text.size() && isSpace(text[p])) {
            ++p;
        }
        if (p >= text.size()) {
            break;
        }
        if (text[p] == '>') {
            return p + 1;
        }
        if (text[p] == '/' && p + 1 < text.size() && text[p + 1] == '>') {
            return p + 2;
        }
        const std::size_t keyStart = p;
        while (p < text.size() && isNameChar(text[p])) {
            ++p;
        }
        if (p == keyStart) {
            // Stray character: skip it rather than give up on the tag.
            ++p;
            continue;
        }
        std::string key(text.substr(keyStart, p - keyStart));
        if (p < text.size() && text[p] == '=') {
            ++p;
            std::string value;
            if (p < text.size() && (text[p] == '"' || text[p] == '\'')) {
                const char quote = text[p];
                ++p;
                std::size_t q = p;
                std::size_t close = std::string_view::npos;
                while (q < text.size()) {
                    if (text[q] == quote && looksLikeTagContinuation(text, q + 1)) {
                        close = q;
                        break;
                    }
                    ++q;
                }
                if (close == std::string_view::npos) {
                    // Unterminated value: take the rest up to the next '>' as the value.
                    const std::size_t gt = text.find('>', p);
                    const std::size_t end = gt == std::string_view::npos ? text.size() : gt;
                    value.assign(text.substr(p, end - p));
                    tag.attributes.emplace_back(std::move(key), std::move(value));
                    return gt == std::string_view::npos ? text.size() : gt + 1;
                }
                value.assign(text.substr(p, close - p));
                p = close + 1;
            } else {
                const std::size_t valueStart = p;
                while (p < text.size() && !isSpace(text[p]) && text[p] != '>') {
                    ++p;
                }
                value.assign(text.substr(valueStart, p - valueStart));
            }
            tag.attributes.emplace_back(std::move(key), std::move(value));
        } else {
            tag.attributes.emplace_back(std::move(key), "1");
        }
    }
    // Text ended inside the tag: keep what was read.
    return text.size();
}

} // namespace

void TagReader::setText(std::string text) {
    text_ = std::move(text);
    pos_ = 0;
    current_ = {};
    hasCurrent_ = false;
}

bool TagReader::next() {
    std::string_view text(text_);
    while (pos_ < text.size()) {
        const std::size_t lt = text.find('<', pos_);
        if (lt == std::string_view::npos) {
            pos_ = text.size();
            break;
        }
        Tag tag;
        const std::size_t end = parseTag(text, lt, tag);
        if (end == std::string_view::npos) {
            pos_ = lt + 1;
            continue;
        }
        pos_ = end;
        current_ = std::move(tag);
        hasCurrent_ = true;
        return true;
    }
    current_ = {};
    hasCurrent_ = false;
    return false;
}

std::string TagReader::param(std::string_view name) const {
    if (!hasCurrent_) {
        return {};
    }
    for (const auto& [key, value] : current_.attributes) {
        if (equalsNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

std::vector<TagReader::Tag> TagReader::parseAll(std::string_view text) {
    TagReader reader;
    reader.setText(std::string(text));
    std::vector<Tag> tags;
    while (reader.next()) {
        tags.push_back(reader.current());
    }
    return tags;
}

} // namespace plait::engine
