#include "Text.h"

#include <cctype>

namespace plait::pdf::text {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::vector<std::string> splitEscaped(std::string_view s, char separator) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            pieces.back() += s[++i];
        } else if (s[i] == separator) {
            pieces.emplace_back();
        } else {
            pieces.back() += s[i];
        }
    }
    return pieces;
}

std::vector<std::string_view> listItems(std::string_view s) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t comma = s.find(',', start);
        if (comma == std::string_view::npos) {
            comma = s.size();
        }
        const std::string_view item = trim(s.substr(start, comma - start));
        start = comma + 1;
        if (!item.empty()) {
            items.push_back(item);
        }
    }
    return items;
}

} // namespace plait::pdf::text
