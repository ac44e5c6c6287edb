// plait: the batch command. The same program logic and engine as the windows, without
// windows: a build, the engine calls a build would make, the settings file a save would
// write, or the bookmarks of a PDF.

#include "Batch.h"
#include "Bookmarks.h"
#include "CliServices.h"
#include "core/app/MainWindow.h"
#include "core/settings/SettingsModel.h"
#include "engine/RecordingEngine.h"
#include "engine/RegularFile.h"
#include "pdfengine/PlaitEngine.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace plait;

constexpr const char* kUsage =
    "Usage:\n"
    "  plait build    [--settings FILE.plt] [--mode merge|overlay|repeat] [--open] [--bookmarks FILE]\n"
    "                 [--time-limit SECONDS] [--memory-limit MB] [-q] -o OUTPUT [INPUT...]\n"
    "  plait calls    [--settings FILE.plt] [--mode merge|overlay|repeat] [--open] [--bookmarks FILE]\n"
    "                 [-o OUTPUT] [INPUT...]\n"
    "  plait settings [--settings FILE.plt] [--mode merge|overlay|repeat] [INPUT...]\n"
    "  plait bookmarks INPUT.pdf [--passwords TEXT]\n"
    "  plait batch    JOBS.jsonl|- [--jobs N] [--report FILE|-] [--force] [-q] [--time-limit SECONDS]\n"
    "                 [--memory-limit MB] [--check]\n"
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
    "\n"
    "Inputs given on the command line are added after those of the settings file.\n"
    "A build stops, writing nothing, when it runs longer than --time-limit (default 600 seconds)\n"
    "or needs more than --memory-limit of memory (default 4096 MB); 0 lifts the limit.\n"
    "Ctrl+C cancels a build; a second Ctrl+C, or a build that does not stop within a second,\n"
    "ends it at once. No temporary file is left behind.\n"
    "Exit status: 0 success, 1 the build reported a failure, 2 bad arguments.\n"
    "batch: 0 every job built or skipped, 1 a job failed or the batch was interrupted, 2 bad\n"
    "arguments or a malformed jobs file (nothing is built).\n";

struct Options {
    std::string command;
    std::string settingsFile;
    std::string mode;
    bool open = false;
    bool quiet = false;
    std::string bookmarksFile;
    std::optional<std::string> output;
    std::string passwords;
    std::vector<std::string> inputs;
    cli::BuildLimits limits;
};

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

// Parses the arguments; returns an exit status when the run ends here.
std::optional<int> parse(int argc, char** argv, Options& o) {
    if (argc < 2) {
        return usageError("no command given");
    }
    o.command = argv[1];
    if (o.command == "--help" || o.command == "-h" || o.command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (o.command == "--version") {
        std::cout << "plait " << PLAIT_VERSION_MAJOR << '.' << PLAIT_VERSION_MINOR << '.'
                  << PLAIT_VERSION_PATCH << '\n';
        return 0;
    }
    if (o.command != "build" && o.command != "calls" && o.command != "settings" && o.command != "bookmarks") {
        return usageError("unknown command '" + o.command + "'");
    }
    bool onlyInputs = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            (void)what;
            return std::string(argv[++i]);
        };
        if (onlyInputs || a.empty() || a[0] != '-' || a == "-") {
            o.inputs.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyInputs = true;
        } else if (a == "--settings") {
            auto v = value("--settings");
            if (!v) {
                return usageError("--settings needs a file");
            }
            o.settingsFile = *v;
        } else if (a == "--mode") {
            auto v = value("--mode");
            if (!v || (*v != "merge" && *v != "overlay" && *v != "repeat")) {
                return usageError("--mode takes merge, overlay or repeat");
            }
            o.mode = *v;
        } else if (a == "--open" && o.command != "settings" && o.command != "bookmarks") {
            o.open = true;
        } else if ((a == "-q" || a == "--quiet") && o.command == "build") {
            o.quiet = true;
        } else if (a == "--bookmarks" && (o.command == "build" || o.command == "calls")) {
            auto v = value("--bookmarks");
            if (!v) {
                return usageError("--bookmarks needs a file");
            }
            o.bookmarksFile = *v;
        } else if ((a == "-o" || a == "--output") && (o.command == "build" || o.command == "calls")) {
            auto v = value("-o");
            if (!v) {
                return usageError("-o needs a file name");
            }
            o.output = *v;
        } else if ((a == "--time-limit" || a == "--memory-limit") && o.command == "build") {
            const auto v = value(a.c_str());
            const auto n = v ? count(*v) : std::nullopt;
            if (!n || (a == "--time-limit" && *n > 100'000'000) ||
                (a == "--memory-limit" && *n != 0 && *n < worker::kMinimumBuildMegabytes)) {
                return usageError(a + " needs a whole number (" +
                                  (a == "--time-limit" ? "seconds" : "megabytes, at least 100") +
                                  "; 0 for no limit)");
            }
            if (a == "--time-limit") {
                o.limits.seconds = static_cast<unsigned>(*n);
            } else {
                o.limits.megabytes = *n;
            }
        } else if (a == "--passwords" && o.command == "bookmarks") {
            auto v = value("--passwords");
            if (!v) {
                return usageError("--passwords needs a text");
            }
            o.passwords = *v;
        } else {
            return usageError("unknown option '" + a + "' for " + o.command);
        }
    }
    if (o.command == "build" && !o.output) {
        return usageError("build needs -o OUTPUT");
    }
    if (o.command == "bookmarks" && o.inputs.size() != 1) {
        return usageError("bookmarks takes exactly one PDF");
    }
    // Checked without opening: opening a pipe would wait for a writer.
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

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "batch") {
        return cli::runBatch(argc, argv);
    }
    Options o;
    if (auto status = parse(argc, argv, o)) {
        return *status;
    }

    engine::EngineRegistry engines;
    auto log = std::make_shared<engine::CallLog>();
    if (o.command == "calls") {
        engines.add(std::string(engine::kPlaitEngineName),
                    [log] { return std::make_unique<engine::RecordingEngine>(log); });
    } else {
        pdf::registerPlaitEngine(engines);
    }

    cli::StderrMessageBox messages(std::cerr);
    cli::NoFileDialog files;
    cli::NoShell shell;
    cli::NoPreview preview;
    cli::NoEvents events;
    // Progress redraws one line in place, which only a terminal shows well.
    const bool progress = o.command == "build" && !o.quiet && isatty(STDERR_FILENO) == 1;
    cli::TerminalHost host(std::cerr, o.command == "build", progress, o.limits);
    if (o.command == "build") {
        worker::applyMemoryLimit(o.limits.megabytes);
    }
    core::app::Platform platform;
    core::app::MainWindow window({messages, files, shell, preview, events, host, engines, platform});
    host.window = &window;
    window.load();
    // Batch runs show nothing: no preview of each input.
    window.form().setChecked("chkViewer", false);

    if (o.command == "bookmarks") {
        return cli::listBookmarks(engines, o.inputs[0], o.passwords, std::cout, std::cerr);
    }

    if (!o.settingsFile.empty() && !window.loadSettingsFrom(o.settingsFile)) {
        return 2;
    }
    if (o.mode == "merge") {
        window.setOverlayType(0);
    } else if (o.mode == "overlay") {
        window.setOverlayType(1);
    } else if (o.mode == "repeat") {
        window.setOverlayType(2);
    }
    for (const auto& in : o.inputs) {
        if (!window.insertFile(in)) {
            return 2;
        }
    }

    if (o.command == "settings") {
        const std::string bytes = window.settingsFileBytes();
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    if (!o.bookmarksFile.empty() && !cli::useBookmarkFile(window, o.bookmarksFile, std::cerr)) {
        return 2;
    }
    window.form().setChecked("chkPreview", o.open);
    window.form().setText("txtOutfile", o.output.value_or(""));
    window.buildPDF();

    if (o.command == "calls") {
        for (const auto& line : log->lines()) {
            std::cout << line << '\n';
        }
    }
    std::cout.flush();
    if (host.timedOut()) {
        std::cerr << "plait: nothing was written\n";
        return 1;
    }
    if (host.cancelled()) {
        std::cerr << "plait: cancelled; nothing was written\n";
        return 1;
    }
    return messages.sawError() ? 1 : 0;
}
