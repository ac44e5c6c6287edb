#include "Results.h"

#include <charconv>

namespace plait::core::build {

std::optional<long long> parseResult(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && text[b] == ' ') {
        ++b;
    }
    std::size_t e = text.size();
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\r' || text[e - 1] == '\n')) {
        --e;
    }
    long long v = 0;
    auto [ptr, ec] = std::from_chars(text.data() + b, text.data() + e, v);
    if (ec != std::errc() || ptr != text.data() + e || b == e) {
        return std::nullopt;
    }
    return v;
}

const char* resultMessage(long long result) {
    switch (result) {
    case -1:
        return "Cannot open input file.";
    case -2:
        return "Cannot create output file.";
    case -3:
        return "Cannot decrypt input file.";
    case -4:
        return "Error parsing input file.";
    case -5:
        return "No pages for output PDF.";
    default:
        return nullptr;
    }
}

std::optional<std::string> failureMessage(std::string_view resultText) {
    if (auto v = parseResult(resultText)) {
        if (const char* m = resultMessage(*v)) {
            return m;
        }
    }
    return std::nullopt;
}

} // namespace plait::core::build
