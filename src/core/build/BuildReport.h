#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the user is told once a build has ended: the status bar's summary of the output, and
// the file and the reason beneath a failure's message. The messages themselves never change;
// these texts only add to them.
namespace plait::core::build {

// How the status of a build that wrote its PDF begins.
inline constexpr const char* kBuiltPrefix = "Built ";

// "Built report.pdf: 12 pages, 340 KB": the output's file name, the number the engine
// returned and, when known, the size of the file. An image export names what it wrote.
std::string builtStatus(const std::string& outputPath, long long count, std::optional<std::uintmax_t> bytes,
                        bool exportedImages);

// "Build failed: Error parsing input file. (a.pdf)": the failure's message and, when the
// engine said which, the file it is about.
std::string failedStatus(const std::string& message, const std::string& file);

// The file and the reason of a failure, taken from the engine's notes: the note that opens
// with the failure's text ("Error parsing input file /in/a.pdf: no trailer") gives
// {"/in/a.pdf", "no trailer"}. A failure to decrypt points to where passwords are given.
struct FailureDetails {
    std::string file;
    std::string reason;
    // The text shown beneath the message; empty when the engine said nothing more.
    std::string text() const;
};
FailureDetails failureDetails(long long result, const std::vector<std::string>& warnings);

// A size for people: "512 bytes", "340 KB", "2.4 MB".
std::string readableSize(std::uintmax_t bytes);

} // namespace plait::core::build
