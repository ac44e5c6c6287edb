#include "Arguments.h"

#include "engine/RegularFile.h"

#include <functional>
#include <iostream>

#include <unistd.h>

namespace plait::cli {

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  plait build    [--settings FILE.plt] [--mode merge|overlay|repeat] [--open] [--bookmarks FILE]\n"
    "                 [--time-limit SECONDS] [--memory-limit MB] [-q] -o OUTPUT [INPUT...]\n"
    "                 [--image-dpi N [--image-quality Q]] [--smallest]\n"
    "  plait calls    [--settings FILE.plt] [--mode merge|overlay|repeat] [--open] [--bookmarks FILE]\n"
    "                 [-o OUTPUT] [INPUT...]\n"
    "  plait settings [--settings FILE.plt] [--mode merge|overlay|repeat] [INPUT...]\n"
    "  plait bookmarks INPUT.pdf [--passwords TEXT]\n"
    "  plait batch    JOBS.jsonl|- [--jobs N] [--report FILE|-] [--force] [-q] [--time-limit SECONDS]\n"
    "                 [--memory-limit MB] [--check]\n"
    "  plait split    INPUT -o FOLDER (--every N | --bookmarks LEVEL | --max-size MB | --ranges RANGES)\n"
    "                 [--passwords TEXT] [--memory-limit MB] [-q]\n"
    "  plait --help | --version\n"
    "\n"
    "build      builds OUTPUT from the inputs with the real engine; progress on standard error\n"
    "calls      prints the engine calls the build would make, one a line, without building\n"
    "settings   prints the settings file that \"Save As\" would write\n"
    "bookmarks  prints the bookmark markup of a PDF (UTF-8)\n"
    "batch      runs the builds of a JSON Lines jobs file, N at a time (default: one per core), each\n"
    "           in its own process; skips a job whose output is newer than all it is made from\n"
    "           unless --force; writes a JSON Lines report; each build is stopped after the time\n"
    "           limit (default 3600 s) or when it needs more memory than the limit (default 4096 MB)\n"
    "split      cuts INPUT into parts in FOLDER: every N pages, at the bookmarks of LEVEL and above,\n"
    "           parts of at most MB megabytes, or one part per range (\"1-3;4-10;11-z\"); all parts\n"
    "           or none are written\n"
    "\n"
    "Inputs given on the command line are added after those of the settings file.\n"
    "--pages RANGES after an input takes only those pages of it, in that order: 1,3,6-10,odd,even,\n"
    "z for the last page, and a turn after a colon (2-4:90); \"Pull Pages\" applies after it.\n"
    "A build stops, writing nothing, when it runs longer than --time-limit (default 600 seconds)\n"
    "or needs more than --memory-limit of memory (default 4096 MB); 0 lifts the limit.\n"
    "Ctrl+C cancels a build; a second Ctrl+C, or a build that does not stop within a second,\n"
    "ends it at once. No temporary file is left behind.\n"
    "--image-dpi N reduces images drawn above N dpi (10 to 10000; 0: off) to N, photographs as\n"
    "JPEG at --image-quality Q (1 to 100, default 75); --smallest compresses every stream at the\n"
    "highest level and packs objects into object streams. build, calls and settings take them.\n"
    "Exit status: 0 success, 1 the build reported a failure, 2 bad arguments.\n"
    "batch: 0 every job built or skipped, 1 a job failed or the batch was interrupted, 2 bad\n"
    "arguments or a malformed jobs file (nothing is built).\n";

// A whole number of at most ten digits, or nothing.
std::optional<unsigned long> count(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoul(text);
}

int usageError(const std::string& message) {
    std::cerr << "plait: " << message << "\n\n" << kUsage;
    return 2;
}

// The command itself, or --help and --version; an exit status when the run ends here.
std::optional<int> parseCommand(const std::string& command) {
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "plait " << PLAIT_VERSION_MAJOR << '.' << PLAIT_VERSION_MINOR << '.'
                  << PLAIT_VERSION_PATCH << '\n';
        return 0;
    }
    if (command != "build" && command != "calls" && command != "settings" && command != "bookmarks") {
        return usageError("unknown command '" + command + "'");
    }
    return std::nullopt;
}

// --time-limit SECONDS or --memory-limit MB of a build.
std::optional<int> parseLimit(const std::string& option, const std::optional<std::string>& value,
                              Options& o) {
    // Read without a std::optional held across the checks: GCC takes its value for unset there.
    bool read = false;
    unsigned long n = 0;
    if (value) {
        if (const std::optional<unsigned long> parsed = count(*value)) {
            n = *parsed;
            read = true;
        }
    }
    const bool time = option == "--time-limit";
    if (!read || (time && n > 100'000'000) || (!time && n != 0 && n < worker::kMinimumBuildMegabytes)) {
        return usageError(option + " needs a whole number (" +
                          (time ? "seconds" : "megabytes, at least 100") + "; 0 for no limit)");
    }
    if (time) {
        o.limits.seconds = static_cast<unsigned>(n);
    } else {
        o.limits.megabytes = n;
    }
    return std::nullopt;
}

// --image-dpi N, --image-quality Q or --smallest. Kept out of line: inlined, it leads GCC to a
// false "may be used uninitialized" about parseLimit's optional.
[[gnu::noinline]] std::optional<int> parseSizeOption(const std::string& option,
                                                     const std::optional<std::string>& value, Options& o) {
    if (option == "--smallest") {
        o.smallest = true;
        return std::nullopt;
    }
    // Past the bounds below when missing or not a whole number.
    const unsigned long n = value ? count(*value).value_or(100'000) : 100'000;
    if (option == "--image-dpi") {
        if (n != 0 && (n < 10 || n > 10000)) {
            return usageError("--image-dpi needs a resolution of 10 to 10000 dpi (0: no reduction)");
        }
        o.imageDpi = std::to_string(n);
    } else {
        if (n < 1 || n > 100) {
            return usageError("--image-quality needs a JPEG quality of 1 to 100");
        }
        o.imageQuality = std::to_string(n);
    }
    return std::nullopt;
}

// Reads the next argument as the value of an option; nothing when there is none.
using ValueReader = std::function<std::optional<std::string>()>;

// One option `a`, whose value (if it takes one) `value` reads; an exit status on a usage error.
std::optional<int> parseOption(const std::string& a, const ValueReader& value, Options& o) {
    const bool builds = o.command == "build" || o.command == "calls";
    // The option's value into `into`, or the usage error `missing` when there is none.
    auto take = [&](std::string& into, const char* missing) -> std::optional<int> {
        auto v = value();
        if (!v) {
            return usageError(missing);
        }
        into = *v;
        return std::nullopt;
    };
    if (a == "--settings") {
        return take(o.settingsFile, "--settings needs a file");
    } else if (a == "--mode") {
        auto v = value();
        if (!v || (*v != "merge" && *v != "overlay" && *v != "repeat")) {
            return usageError("--mode takes merge, overlay or repeat");
        }
        o.mode = *v;
    } else if (a == "--open" && o.command != "settings" && o.command != "bookmarks") {
        o.open = true;
    } else if ((a == "-q" || a == "--quiet") && o.command == "build") {
        o.quiet = true;
    } else if (a == "--bookmarks" && builds) {
        return take(o.bookmarksFile, "--bookmarks needs a file");
    } else if ((a == "-o" || a == "--output") && builds) {
        std::string output;
        if (auto status = take(output, "-o needs a file name")) {
            return status;
        }
        o.output = output;
    } else if ((a == "--time-limit" || a == "--memory-limit") && o.command == "build") {
        return parseLimit(a, value(), o);
    } else if ((a == "--image-dpi" || a == "--image-quality" || a == "--smallest") &&
               o.command != "bookmarks") {
        return parseSizeOption(a, a == "--smallest" ? std::nullopt : value(), o);
    } else if (a == "--pages" && o.command != "bookmarks") {
        auto v = value();
        if (!v || v->find_first_not_of(" \t") == std::string::npos) {
            return usageError("--pages needs a page list, such as 1-3,7 or 5-z:90");
        }
        if (o.inputs.empty() || o.inputPages.size() != o.inputs.size() || !o.inputPages.back().empty()) {
            return usageError("--pages must follow the input it chooses pages from");
        }
        o.inputPages.back() = *v;
    } else if (a == "--passwords" && o.command == "bookmarks") {
        return take(o.passwords, "--passwords needs a text");
    } else {
        return usageError("unknown option '" + a + "' for " + o.command);
    }
    return std::nullopt;
}

// What the parsed arguments must hold together: an output for a build, one PDF for bookmarks,
// and files that can be read. Checked without opening: opening a pipe would wait for a writer.
std::optional<int> checkArguments(const Options& o) {
    if (o.command == "build" && !o.output) {
        return usageError("build needs -o OUTPUT");
    }
    if (o.command == "bookmarks" && o.inputs.size() != 1) {
        return usageError("bookmarks takes exactly one PDF");
    }
    if (!o.settingsFile.empty()) {
        if (const std::string problem = engine::regularFileProblem(o.settingsFile); !problem.empty()) {
            return usageError("cannot read settings file '" + o.settingsFile + "': " + problem);
        }
    }
    for (const auto& in : o.inputs) {
        if (const std::string problem = engine::regularFileProblem(in); !problem.empty()) {
            return usageError("cannot read input '" + in + "': " + problem);
        }
        if (::access(in.c_str(), R_OK) != 0) {
            return usageError("cannot read input '" + in + "'");
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<int> parseArguments(int argc, char** argv, Options& o) {
    if (argc < 2) {
        return usageError("no command given");
    }
    o.command = argv[1];
    if (auto status = parseCommand(o.command)) {
        return status;
    }
    bool onlyInputs = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (onlyInputs || a.empty() || a[0] != '-' || a == "-") {
            o.inputs.push_back(a);
            o.inputPages.emplace_back();
        } else if (a == "--") {
            onlyInputs = true;
        } else {
            const ValueReader value = [&]() -> std::optional<std::string> {
                if (i + 1 >= argc) {
                    return std::nullopt;
                }
                return std::string(argv[++i]);
            };
            if (auto status = parseOption(a, value, o)) {
                return status;
            }
        }
    }
    return checkArguments(o);
}

} // namespace plait::cli
