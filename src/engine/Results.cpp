#include "Results.h"

#include <array>
#include <charconv>

namespace plait::engine {
namespace {

constexpr std::array kFailures{
    FailureResult{BuildFailure::CannotOpenInput, "Cannot open input file"},
    FailureResult{BuildFailure::CannotCreateOutput, "Cannot create output file"},
    FailureResult{BuildFailure::CannotDecryptInput, "Cannot decrypt input file"},
    FailureResult{BuildFailure::CannotParseInput, "Error parsing input file"},
    FailureResult{BuildFailure::NoPages, "No pages for output PDF"},
};

const FailureResult* findFailure(long long result) {
    for (const auto& f : kFailures) {
        if (static_cast<long long>(f.code) == result) {
            return &f;
        }
    }
    return nullptr;
}

} // namespace

std::span<const FailureResult> failureTable() {
    return kFailures;
}

bool isFailure(long long result) {
    return findFailure(result) != nullptr;
}

std::string_view failureText(BuildFailure failure) {
    const FailureResult* f = findFailure(static_cast<long long>(failure));
    return f ? f->text : std::string_view();
}

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

std::optional<std::string> resultMessage(long long result) {
    if (const FailureResult* f = findFailure(result)) {
        return std::string(f->text) + ".";
    }
    return std::nullopt;
}

std::optional<std::string> failureMessage(std::string_view resultText) {
    if (auto v = parseResult(resultText)) {
        return resultMessage(*v);
    }
    return std::nullopt;
}

} // namespace plait::engine
