#include "BuildReport.h"

#include "engine/Results.h"

#include <cstdio>

namespace plait::core::build {
namespace {

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a locked input's password is given: the tab and the field as the settings dialog
// captions them.
constexpr const char* kPasswordHint = "Passwords for locked inputs go in Settings, on the Files tab, under "
                                      "\"Input PDF Passwords\".";

} // namespace

std::string readableSize(std::uintmax_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    if (bytes < 1024 * 1024) {
        return std::to_string((bytes + 512) / 1024) + " KB";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string builtStatus(const std::string& outputPath, long long count, std::optional<std::uintmax_t> bytes,
                        bool exportedImages) {
    if (exportedImages) {
        return "Exported " + std::to_string(count) + (count == 1 ? " image" : " images") + " to " +
               baseName(outputPath);
    }
    std::string text = std::string(kBuiltPrefix) + baseName(outputPath) + ": " + std::to_string(count) +
                       (count == 1 ? " page" : " pages");
    if (bytes) {
        text += ", " + readableSize(*bytes);
    }
    return text;
}

std::string failedStatus(const std::string& message, const std::string& file) {
    std::string text = "Build failed: " + message;
    if (!file.empty()) {
        text += " (" + baseName(file) + ")";
    }
    return text;
}

std::string FailureDetails::text() const {
    std::string out;
    if (!file.empty()) {
        out = "File: " + file;
    }
    if (!reason.empty()) {
        out += (out.empty() ? "" : "\n") + std::string("Reason: ") + reason;
    }
    return out;
}

FailureDetails failureDetails(long long result, const std::vector<std::string>& warnings) {
    FailureDetails details;
    if (!engine::isFailure(result)) {
        return details;
    }
    const auto failure = static_cast<engine::BuildFailure>(result);
    const std::string opening(engine::failureText(failure));
    for (const std::string& note : warnings) {
        if (note.compare(0, opening.size(), opening) != 0) {
            continue;
        }
        // "<text> <file>: <reason>", or "<text>: <reason>" when no file is named. The reason
        // often holds ": " (the PDF library's messages do); a file name seldom does.
        std::string rest = note.substr(opening.size());
        const std::size_t colon = rest.find(": ");
        std::string named = colon == std::string::npos ? rest : rest.substr(0, colon);
        if (!named.empty() && named.front() == ' ') {
            details.file = named.substr(1);
        }
        if (colon != std::string::npos) {
            details.reason = rest.substr(colon + 2);
            // The library often names the file again before its message.
            const std::string again = details.file + ": ";
            if (!details.file.empty() && details.reason.compare(0, again.size(), again) == 0) {
                details.reason.erase(0, again.size());
            }
        }
        break;
    }
    if (failure == engine::BuildFailure::CannotDecryptInput) {
        details.reason += (details.reason.empty() ? "" : ". ") + std::string(kPasswordHint);
    }
    return details;
}

} // namespace plait::core::build
