// plait: the batch command. The same program logic and engine as the windows, without
// windows: a build, the engine calls a build would make, the settings file a save would
// write, or the bookmarks of a PDF.

#include "Arguments.h"
#include "Batch.h"
#include "Bookmarks.h"
#include "CliServices.h"
#include "Command.h"
#include "Split.h"
#include "core/app/MainWindow.h"
#include "engine/RecordingEngine.h"
#include "pdfengine/PlaitEngine.h"
#include "pdfengine/Retire.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace plait;

// The settings file, the build mode, the output size options and the inputs, in this order (inputs given on
// the command line come after the file's); false when one could not be used, which has been reported.
bool applyOptions(core::app::MainWindow& window, const cli::Options& o) {
    if (!o.settingsFile.empty() && !window.loadSettingsFrom(o.settingsFile)) {
        return false;
    }
    if (o.mode == "merge") {
        window.setOverlayType(0);
    } else if (o.mode == "overlay") {
        window.setOverlayType(1);
    } else if (o.mode == "repeat") {
        window.setOverlayType(2);
    }
    auto& settings = window.settings();
    if (o.imageDpi) {
        settings.setChecked("chkReduceImages", *o.imageDpi != "0");
        if (*o.imageDpi != "0") {
            settings.setText("txtImageDpi", *o.imageDpi);
        }
    }
    if (o.imageQuality) {
        settings.setText("txtImageQuality", *o.imageQuality);
    }
    if (o.smallest) {
        settings.setChecked("chkSmallest", true);
    }
    for (std::size_t i = 0; i < o.inputs.size(); ++i) {
        if (!window.insertFile(o.inputs[i])) {
            return false;
        }
        if (i < o.inputPages.size() && !o.inputPages[i].empty()) {
            window.setInputPages(window.inputs().size() - 1, o.inputPages[i]);
        }
    }
    return true;
}

// The exit status of a build that has returned. A build refused for want of the protection
// it asks for fails, though a password mismatch is only a warning in the windows.
int buildStatus(const cli::TerminalHost& host, const cli::StderrMessageBox& messages,
                const core::app::MainWindow& window) {
    if (host.timedOut()) {
        std::cerr << "plait: nothing was written\n";
        return 1;
    }
    if (host.cancelled()) {
        std::cerr << "plait: cancelled; nothing was written\n";
        return 1;
    }
    return messages.sawError() || window.lastBuildRefused() ? 1 : 0;
}

// Runs one command on a window with no windows: the batch services answer every dialog.
int run(const cli::Options& o) {
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
        pdf::setOneBuildPerProcess(true); // the process ends after its build
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
    if (!applyOptions(window, o)) {
        return 2;
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
    return buildStatus(host, messages, window);
}

// For the tests that compare what a build costs as a batch's job and on its own, in builds made
// with test hooks only: PLAIT_TEST_PEAK_MEMORY makes a command say its peak resident memory.
void sayPeakMemory() {
#ifdef PLAIT_TEST_HOOKS
    if (std::getenv("PLAIT_TEST_PEAK_MEMORY") != nullptr) {
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        std::cerr << "plait: test: peak memory " << usage.ru_maxrss << " kB\n";
    }
#endif
}

} // namespace

int plait::cli::runCommand(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "split") {
        return cli::runSplit(argc, argv);
    }
    cli::Options o;
    if (auto status = cli::parseArguments(argc, argv, o)) {
        return *status;
    }
    const int status = run(o);
    sayPeakMemory();
    return status;
}

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) makes a write that passes it fail with EFBIG, which the
    // build reports and cleans up after, instead of ending the process with nothing said and
    // the temporary output left behind. Inherited by the builds a batch starts.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc >= 2 && std::string(argv[1]) == "batch") {
        return cli::runBatch(argc, argv);
    }
    return cli::runCommand(argc, argv);
}
