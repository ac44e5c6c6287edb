#include "TagReader.h"

#include <algorithm>
#include <cctype>

namespace plait::engine {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == ':' || c == '.';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool containsNoCase(const std::vector<std::string_view>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return equalsNoCase(n, name); });
}

// How far the careful look at a candidate closing quote reads, how many candidates of one
// value it weighs, and how many attributes a tag may have for it to be used at all. Real
// tags are short; the bounds, and the work budget the reader earns by the characters it
// has read, keep hostile text from making the reader slow (it stays linear in the text).
constexpr std::size_t kLookahead = 512;
constexpr std::size_t kCandidateWindow = 4096;
constexpr int kMaxCandidates = 64;
constexpr std::size_t kMaxCarefulAttributes = 64;
constexpr std::size_t kBudgetPerChar = 16;
constexpr std::size_t kStartBudget = 1 << 16;
constexpr std::size_t kMaxBudget = 1 << 22;

// The quick rule: after a closing quote comes the end of the tag ('>' or the end of the
// text, after optional blanks), or at least one blank and then a NAME followed by '=', a
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

// The careful rule: everything from pos to the end of the tag reads as well-formed
// attributes (each after a blank; no name twice, none already in `names`; a quoted value
// closed by a quote that is followed by a blank or '>'). Reaching the end of the text or
// the look-ahead bound without a contradiction counts as well-formed.
// `work` counts the steps taken.
bool continuationIsWellFormed(std::string_view text, std::size_t pos, std::vector<std::string_view> names,
                              std::size_t& work) {
    const std::size_t limit = std::min(text.size(), pos + kLookahead);
    std::size_t p = pos;
    work += names.size();
    struct Count {
        std::size_t& work;
        const std::size_t& p;
        std::size_t start;
        ~Count() { work += p - start; }
    } count{work, p, pos};
    while (true) {
        if (p >= limit) {
            return true;
        }
        if (text[p] == '>' || (text[p] == '/' && p + 1 < text.size() && text[p + 1] == '>')) {
            return true;
        }
        if (!isSpace(text[p])) {
            return false;
        }
        while (p < limit && isSpace(text[p])) {
            ++p;
        }
        if (p >= limit || text[p] == '>') {
            return true;
        }
        const std::size_t nameStart = p;
        while (p < limit && isNameChar(text[p])) {
            ++p;
        }
        if (p == nameStart) {
            return false;
        }
        const std::string_view name = text.substr(nameStart, p - nameStart);
        work += names.size();
        if (containsNoCase(names, name)) {
            return false;
        }
        names.push_back(name);
        if (p >= limit) {
            return true;
        }
        if (text[p] != '=') {
            continue; // a flag; the loop demands a blank or the end next
        }
        ++p;
        if (p < limit && (text[p] == '"' || text[p] == '\'')) {
            const char quote = text[p++];
            while (p < limit && !(text[p] == quote &&
                                  (p + 1 >= text.size() || isSpace(text[p + 1]) || text[p + 1] == '>'))) {
                ++p;
            }
            if (p >= limit) {
                return true;
            }
            ++p;
        } else {
            while (p < limit && !isSpace(text[p]) && text[p] != '>') {
                ++p;
            }
        }
    }
}

class Parser {
public:
    Parser(std::string_view text, TagReader::SearchMemo& doubleQuotes, TagReader::SearchMemo& singleQuotes,
           TagReader::SearchMemo& tagLines, std::size_t& budget)
        : text_(text), double_(doubleQuotes), single_(singleQuotes), tagLines_(tagLines), budget_(budget) {}

    // Parses one tag starting at text[start] == '<'. Returns the position after the tag,
    // or npos when no tag could be read there (the caller then skips the '<').
    std::size_t parseTag(std::size_t start, TagReader::Tag& tag) {
        std::size_t p = start + 1;
        const std::size_t nameStart = p;
        while (p < text_.size() && isNameChar(text_[p])) {
            ++p;
        }
        if (p == nameStart) {
            return std::string_view::npos;
        }
        tag.name.assign(text_.substr(nameStart, p - nameStart));
        tag.attributes.clear();

        while (p < text_.size()) {
            while (p < text_.size() && isSpace(text_[p])) {
                // A tag left open at the end of its line ends there when a new tag starts
                // the next line.
                if (text_[p] == '\n' && p + 2 < text_.size() && text_[p + 1] == '<' &&
                    isNameChar(text_[p + 2])) {
                    return p + 1;
                }
                ++p;
            }
            if (p >= text_.size()) {
                break;
            }
            if (text_[p] == '>') {
                return p + 1;
            }
            if (text_[p] == '/' && p + 1 < text_.size() && text_[p + 1] == '>') {
                return p + 2;
            }
            const std::size_t keyStart = p;
            while (p < text_.size() && isNameChar(text_[p])) {
                ++p;
            }
            if (p == keyStart) {
                // Stray character: skip it rather than give up on the tag.
                ++p;
                continue;
            }
            std::string key(text_.substr(keyStart, p - keyStart));
            if (p < text_.size() && text_[p] == '=') {
                ++p;
                std::string value;
                if (p < text_.size() && (text_[p] == '"' || text_[p] == '\'')) {
                    const std::size_t tagEnd = quotedValue(p, tag, key, value);
                    if (tagEnd != std::string_view::npos) {
                        tag.attributes.emplace_back(std::move(key), std::move(value));
                        return tagEnd;
                    }
                } else {
                    const std::size_t valueStart = p;
                    while (p < text_.size() && !isSpace(text_[p]) && text_[p] != '>') {
                        ++p;
                    }
                    value.assign(text_.substr(valueStart, p - valueStart));
                }
                tag.attributes.emplace_back(std::move(key), std::move(value));
            } else {
                tag.attributes.emplace_back(std::move(key), "1");
            }
        }
        // Text ended inside the tag: keep what was read.
        return text_.size();
    }

private:
    // Reads the value that starts with the quote at text_[p] into `value`. Returns npos with p
    // past the closing quote; for a value that is never closed, returns where the tag ends.
    std::size_t quotedValue(std::size_t& p, const TagReader::Tag& tag, const std::string& key,
                            std::string& value) {
        const char quote = text_[p];
        ++p;
        const std::size_t lineLimit = nextTagLine(p);
        std::size_t close = std::string_view::npos;
        if (tag.attributes.size() < kMaxCarefulAttributes) {
            std::vector<std::string_view> names;
            for (const auto& [k, v] : tag.attributes) {
                names.emplace_back(k);
            }
            names.emplace_back(key);
            close = carefulClosingQuote(p, quote, names, lineLimit);
        }
        if (close == std::string_view::npos) {
            close = quickClosingQuote(p, quote);
            if (close != std::string_view::npos && close >= lineLimit) {
                close = std::string_view::npos;
            }
        }
        if (close == std::string_view::npos) {
            // Unterminated value: it runs to the next '>', which ends the tag, or to the line
            // break before the next tag line.
            const std::size_t gt = std::min(text_.find('>', p), text_.size());
            const std::size_t end = std::min(gt, lineLimit);
            value.assign(text_.substr(p, end - p));
            return gt < lineLimit ? gt + 1 : end;
        }
        value.assign(text_.substr(p, close - p));
        p = close + 1;
        return std::string_view::npos;
    }

    // The quote that ends a quoted value starting at `from`. Titles may hold quotes of
    // their own, so a quote only ends the value when the rest of the tag then reads as
    // well-formed attributes. npos when no candidate passes (or the budget is spent): the
    // caller then takes the first quote that the quick rule accepts.
    std::size_t carefulClosingQuote(std::size_t from, char quote, const std::vector<std::string_view>& names,
                                    std::size_t lineLimit) {
        const std::size_t windowEnd = std::min({text_.size(), from + kCandidateWindow, lineLimit});
        int candidates = 0;
        std::size_t work = 0;
        std::size_t result = std::string_view::npos;
        for (std::size_t q = from; q < windowEnd && candidates < kMaxCandidates && work < budget_;
             ++q, ++work) {
            if (text_[q] != quote) {
                continue;
            }
            ++candidates;
            if (continuationIsWellFormed(text_.substr(0, lineLimit), q + 1, names, work)) {
                result = q;
                break;
            }
        }
        budget_ -= std::min(work, budget_);
        return result;
    }

    // First quote at or after `from` that the quick rule accepts. Remembers its last
    // answer, so that text full of broken tags is still read in linear time.
    std::size_t quickClosingQuote(std::size_t from, char quote) {
        TagReader::SearchMemo& memo = quote == '"' ? double_ : single_;
        if (memo.valid && from >= memo.from &&
            (memo.result == std::string_view::npos || from <= memo.result)) {
            return memo.result;
        }
        std::size_t result = std::string_view::npos;
        for (std::size_t q = text_.find(quote, from); q != std::string_view::npos;
             q = text_.find(quote, q + 1)) {
            if (looksLikeTagContinuation(text_, q + 1)) {
                result = q;
                break;
            }
        }
        memo = TagReader::SearchMemo{true, from, result};
        return result;
    }

    // The position of the next line break (at or after `from`) whose line starts a tag:
    // '<' and a name character; the text's end when there is none.
    std::size_t nextTagLine(std::size_t from) {
        TagReader::SearchMemo& memo = tagLines_;
        if (memo.valid && from >= memo.from && from <= memo.result) {
            return memo.result;
        }
        std::size_t result = text_.size();
        for (std::size_t n = text_.find('\n', from); n != std::string_view::npos;
             n = text_.find('\n', n + 1)) {
            if (n + 2 < text_.size() && text_[n + 1] == '<' && isNameChar(text_[n + 2])) {
                result = n;
                break;
            }
        }
        memo = TagReader::SearchMemo{true, from, result};
        return result;
    }

    std::string_view text_;
    TagReader::SearchMemo& double_;
    TagReader::SearchMemo& single_;
    TagReader::SearchMemo& tagLines_;
    std::size_t& budget_;
};

} // namespace

void TagReader::setText(std::string text) {
    text_ = std::move(text);
    pos_ = 0;
    current_ = {};
    hasCurrent_ = false;
    doubleQuotes_ = {};
    singleQuotes_ = {};
    tagLines_ = {};
    budget_ = kStartBudget;
}

bool TagReader::next() {
    std::string_view text(text_);
    Parser parser(text, doubleQuotes_, singleQuotes_, tagLines_, budget_);
    const std::size_t startPos = pos_;
    // The careful reading of quotes may spend what the characters read so far have earned.
    const auto earn = [&] { budget_ = std::min(kMaxBudget, budget_ + kBudgetPerChar * (pos_ - startPos)); };
    while (pos_ < text.size()) {
        const std::size_t lt = text.find('<', pos_);
        if (lt == std::string_view::npos) {
            pos_ = text.size();
            break;
        }
        Tag tag;
        const std::size_t end = parser.parseTag(lt, tag);
        if (end == std::string_view::npos) {
            pos_ = lt + 1;
            continue;
        }
        pos_ = end;
        earn();
        current_ = std::move(tag);
        hasCurrent_ = true;
        return true;
    }
    earn();
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
