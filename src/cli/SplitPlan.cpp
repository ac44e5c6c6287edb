#include "SplitPlan.h"

#include "engine/TagReader.h"
#include "pdfengine/PageChoice.h"

#include <algorithm>
#include <charconv>

namespace plait::cli::split {

namespace {

std::string pageRange(int first, int last) {
    return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

int wholeNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end != text.data() ? n : 0;
}

// The length of the UTF-8 sequence that starts `text`, 0 when it is not one.
std::size_t utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    const auto second = static_cast<unsigned char>(text[1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

} // namespace

std::vector<Part> everyParts(int pageCount, int every) {
    std::vector<Part> parts;
    for (int first = 1; every > 0 && first <= pageCount; first += every) {
        parts.push_back({pageRange(first, std::min(pageCount, first + every - 1)), {}});
    }
    return parts;
}

std::vector<Part> rangeParts(std::string_view ranges, int pageCount, std::string& error) {
    std::vector<Part> parts;
    std::size_t start = 0;
    for (int number = 1; start <= ranges.size(); ++number) {
        std::size_t end = ranges.find(';', start);
        if (end == std::string_view::npos) {
            end = ranges.size();
        }
        const std::string range(ranges.substr(start, end - start));
        start = end + 1;
        if (range.find_first_not_of(" \t") == std::string::npos) {
            if (end == ranges.size() && number > 1) {
                break; // "1-3;4-z;" ends with a separator
            }
            error = "range " + std::to_string(number) + " is empty";
            return {};
        }
        std::vector<std::string> notes;
        const pdf::PageChoice choice = pdf::PageChoice::parse(range, notes);
        if (!notes.empty()) {
            error =
                "range " + std::to_string(number) + " (\"" + range + "\") cannot be read: " + notes.front();
            return {};
        }
        if (choice.resolve(pageCount, pdf::PageList()).empty()) {
            error = "range " + std::to_string(number) + " (\"" + range + "\") selects no page of the " +
                    std::to_string(pageCount) + " pages";
            return {};
        }
        parts.push_back({range, {}});
    }
    return parts;
}

std::vector<Bookmark> readListing(std::string_view markup) {
    std::vector<Bookmark> bookmarks;
    for (const engine::TagReader::Tag& tag : engine::TagReader::parseAll(markup)) {
        Bookmark b;
        for (const auto& [key, value] : tag.attributes) {
            if (key == "LEVEL") {
                b.level = std::max(1, wholeNumber(value));
            } else if (key == "DESCR") {
                b.title = value;
            } else if (key == "PAGE") {
                b.page = wholeNumber(value);
            }
        }
        bookmarks.push_back(std::move(b));
    }
    return bookmarks;
}

std::vector<Part> bookmarkParts(const std::vector<Bookmark>& bookmarks, int level, int pageCount,
                                const std::string& leadTitle) {
    // The first page of each part and its title: the first bookmark, in outline order, that
    // opens that page.
    std::vector<std::pair<int, std::string>> starts;
    for (const Bookmark& b : bookmarks) {
        if (b.level > level || b.page < 1 || b.page > pageCount) {
            continue;
        }
        const bool seen =
            std::any_of(starts.begin(), starts.end(), [&](const auto& s) { return s.first == b.page; });
        if (!seen) {
            starts.emplace_back(b.page, b.title);
        }
    }
    if (starts.empty()) {
        return {};
    }
    // An outline need not follow the pages; the parts do.
    std::stable_sort(starts.begin(), starts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (starts.front().first > 1) {
        starts.insert(starts.begin(), {1, leadTitle});
    }
    std::vector<Part> parts;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const int last = i + 1 < starts.size() ? starts[i + 1].first - 1 : pageCount;
        parts.push_back({pageRange(starts[i].first, last), starts[i].second});
    }
    return parts;
}

std::string safeFileName(std::string_view title) {
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < title.size();) {
        const std::size_t length = utf8Length(title.substr(i));
        // A byte that starts no UTF-8 character stands for one character that cannot be named.
        const std::string_view ch = length == 0 ? std::string_view("_") : title.substr(i, length);
        i += std::max<std::size_t>(length, 1);
        const auto c = static_cast<unsigned char>(ch[0]);
        if (ch.size() == 1 && (c < 0x20 || c == 0x7F || c == ' ')) {
            blank = !out.empty();
            continue;
        }
        if (blank) {
            out += ' ';
            blank = false;
        }
        if (ch.size() == 1 && (c == '/' || c == '\\')) {
            out += '-';
        } else if (ch.size() == 1 &&
                   std::string_view(":*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
            out += '_';
        } else if (out.size() + ch.size() <= kMaxTitleBytes) {
            out += ch;
        } else {
            break;
        }
        if (out.size() >= kMaxTitleBytes) {
            break;
        }
    }
    const std::size_t first = out.find_first_not_of(". ");
    out.erase(0, first == std::string::npos ? out.size() : first);
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? "part" : out;
}

std::vector<std::string> partFileNames(const std::vector<Part>& parts, const std::string& stem) {
    const std::size_t width = std::max<std::size_t>(2, std::to_string(parts.size()).size());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string number = std::to_string(i + 1);
        number.insert(0, width - number.size(), '0');
        names.push_back(parts[i].title.empty() ? safeFileName(stem) + "-" + number + ".pdf"
                                               : number + " " + safeFileName(parts[i].title) + ".pdf");
    }
    return names;
}

} // namespace plait::cli::split
