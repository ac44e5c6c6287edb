#include "BuildDriver.h"

#include "core/build/BuildReport.h"
#include "core/build/OptionSteps.h"
#include "core/build/OutputName.h"
#include "core/settings/Passwords.h"
#include "core/ui/PreviewWait.h"
#include "core/ui/Text.h"
#include "core/ui/Titles.h"
#include "engine/FileName.h"
#include "engine/InputList.h"
#include "engine/Results.h"

#include <optional>
#include <stdexcept>

namespace plait::core::build {
namespace {

constexpr const char* kSameNameMessage = "Cannot have an input file with same name as output file.";

std::string unreadSecurityMessage(const std::string& file) {
    return "The passwords or the compatibility level of the settings file '" + file +
           "' could not be read (the file is damaged or cut short), so the output would not be "
           "protected as the file asks. Nothing was built: enter them again on the Security tab of the "
           "settings, or repair the file.";
}

} // namespace

// The state of one build, released in a fixed order however the build ends.
struct BuildDriver::Run {
    BuildDriver& driver;
    const BuildRequest& request;
    std::unique_ptr<engine::MergeEngine> engine;
    std::string extension = "pdf";
    // What the status bar says once the build has ended.
    std::string outcome = {};

    ~Run() {
        // Release the engine.
        if (engine) {
            driver.lastWarnings_ = engine->warnings();
        }
        engine.reset();
        driver.progress_.reset();
        driver.building_ = false;
        driver.setStatus(request.window, outcome);
        if (driver.onFinished) {
            driver.onFinished();
        }
    }
};

BuildDriver::BuildDriver(BuildServices services) : s_(services) {}

BuildDriver::~BuildDriver() = default;

std::string BuildDriver::fixOutName(std::string name, const std::string& extension) const {
    return build::fixOutName(s_.platform, std::move(name), extension);
}

void BuildDriver::fail(const std::string& text, const std::string& details) {
    if (details.empty()) {
        s_.messages.show(text, "Error", ui::Icon::Critical, ui::Buttons::Ok);
    } else {
        s_.messages.showDetailed(text, details, "Error", ui::Icon::Critical, ui::Buttons::Ok);
    }
}

void BuildDriver::setStatus(ui::Form& window, const std::string& text) {
    window.setText("StatusBar1", text);
}

void BuildDriver::browserwait() {
    if (!ui::waitForPreview(s_.preview, s_.events, s_.messages)) {
        throw ui::ProgramTerminated();
    }
}

void BuildDriver::run(const BuildRequest& request) {
    // After Cancel the window is usable again while the engine is still winding down, and a
    // second engine must not write beside it.
    if (building_) {
        s_.messages.show("A build is still running. Please wait until it has finished.", ui::kShortTitle,
                         ui::Icon::Exclamation, ui::Buttons::Ok);
        return;
    }
    if (request.inputs.empty()) {
        fail("Please enter at least one input file.");
        return;
    }

    building_ = true;
    lastBuildRefused_ = false;
    lastWarnings_.clear();
    Run run{*this, request, nullptr};
    try {
        execute(run);
    } catch (const engine::EngineCallError&) {
        throw; // a programming error: tests must see it
    } catch (const ui::ProgramTerminated&) {
        throw;
    } catch (const std::exception& e) {
        fail(std::string("The build stopped: ") + e.what());
    }
}

void BuildDriver::execute(Run& run) {
    setStatus(run.request.window, "Creating Object");
    run.engine = s_.engines.create(engine::kPlaitEngineName);
    if (!run.engine) {
        fail("Cannot create the PDF engine \"" + std::string(engine::kPlaitEngineName) + "\".");
        return;
    }
    engine::MergeEngine& eng = *run.engine;

    // Protection asked for is never dropped: a password that differs from its confirmation
    // (each pair has its message), or a settings file whose level or passwords could not be
    // read, stops the build here, before anything is written.
    const ui::Form& set = run.request.settings;
    for (const auto& pair : settings::passwordPairs()) {
        if (const auto message = settings::passwordMismatch(set, pair)) {
            s_.messages.show(*message, ui::kAppTitle, ui::Icon::Exclamation, ui::Buttons::Ok);
            lastBuildRefused_ = true;
        }
    }
    if (!run.request.unreadSecurityFile.empty()) {
        fail(unreadSecurityMessage(run.request.unreadSecurityFile));
        lastBuildRefused_ = true;
    }
    if (lastBuildRefused_) {
        return;
    }

    // Exporting images writes a folder, not a PDF.
    if (set.value("chkImages") == 1) {
        run.extension.clear();
        eng.call("setImgDir");
    }
    if (!chooseOutput(run)) {
        return;
    }
    setStatus(run.request.window, "Building PDF");

    // The options, in their fixed order.
    StepContext context{eng, set, run.request.overlayType, run.request.window.checked("chkPreview"),
                        run.request.outline};
    runOptionSteps(context);

    handOver(run);
    std::string resultText;
    try {
        resultText = s_.host.runEngine(eng, *progress_);
    } catch (const std::exception& e) {
        progress_->unload();
        s_.host.setBusyCursor(false);
        fail(std::string("The PDF engine stopped with an error: ") + e.what());
        return;
    }
    report(run, resultText);
}

// The output name, and the inputs: never write over an input, by the typed name or the
// resolved one. False when the build must stop.
bool BuildDriver::chooseOutput(Run& run) {
    ui::Form& window = run.request.window;
    const std::vector<std::string>& inputs = run.request.inputs;
    lastOutputFile_ = outputFileName(s_.platform, window.text("txtOutfile"), run.extension);
    const std::string& first = inputs.at(0);
    const std::string dot = "." + run.extension;
    // With no name the output goes to the temporary folder, away from an input found there;
    // a name the user typed is refused instead when it is an input.
    const bool named = !ui::trimBlanks(window.text("txtOutfile")).empty();
    if (!named && s_.platform.sameFile(lastOutputFile_, first)) {
        lastOutputFile_ = s_.platform.tempDir() + "PDFOut$1" + dot;
        if (s_.platform.sameFile(lastOutputFile_, first)) {
            lastOutputFile_ = s_.platform.tempDir() + "PDFOut" + dot;
        }
    }
    if (window.text("txtOutfile").empty()) {
        window.setText("txtOutfile", lastOutputFile_);
    }

    run.engine->call("setOutFile", {lastOutputFile_});
    const std::string typed = window.text("txtOutfile");
    std::string inputText;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& in = inputs[i];
        if (in == typed || s_.platform.sameFile(in, lastOutputFile_)) {
            fail(kSameNameMessage);
            return false;
        }
        if (i > 0) {
            inputText.push_back(',');
        }
        inputText += in;
    }
    // The engine reads the list back by its commas: a name whose comma would make it other
    // inputs is refused rather than built from files the user did not choose.
    if (const auto comma = engine::ambiguousInput(inputs)) {
        fail("The input file name '" + engine::printableName(*comma) +
             "' holds a comma that makes it read as other files; rename it to build with it.");
        return false;
    }
    if (const auto clash =
            readFileClash(s_.platform, lastOutputFile_, run.request.settings, run.request.readFiles)) {
        fail(*clash);
        return false;
    }
    run.engine->call("setInFile", {inputText});
    // Pages chosen per input, by place in that list; inputs that take every page send nothing.
    const std::vector<std::string>& pages = run.request.inputPages;
    for (std::size_t i = 0; i < pages.size() && i < inputs.size(); ++i) {
        if (!pages[i].empty()) {
            run.engine->call("setInPages", {std::to_string(i + 1), pages[i]});
        }
    }
    return true;
}

// Hands over to the engine: busy cursor, the progress window, and the preview lets go of
// the last output.
void BuildDriver::handOver(Run& run) {
    ui::Form& window = run.request.window;
    s_.host.setBusyCursor(true);
    setStatus(window, "Creating PDF File");
    progress_ = std::make_unique<ProgressWindow>();
    progress_->onUnload = [&window] { window.setEnabled("frmMain", true); };
    browserwait();
    s_.preview.navigate("about:blank");
    s_.events.processEvents();
    if (!window.checked("chkViewer")) {
        browserwait();
        s_.preview.setBackgroundColor("#FFFFFF");
        browserwait();
        s_.preview.setBodyHtml(run.request.blankPreviewHtml);
        s_.events.processEvents();
    }
}

// How the status bar sums up the build once it has ended.
std::string BuildDriver::outcome(const Run& run, long long result) const {
    if (const auto message = engine::resultMessage(result)) {
        return failedStatus(*message, failureDetails(result, run.engine->warnings()).file);
    }
    if (result >= 0) {
        // An output the engine did not leave behind is no build to speak of.
        const auto bytes = s_.platform.fileLength(lastOutputFile_);
        if (!bytes && !run.extension.empty()) {
            return "";
        }
        return builtStatus(lastOutputFile_, result, bytes, run.extension.empty());
    }
    return std::to_string(result) == engine::kCancelledResult ? "Build cancelled" : "";
}

// The progress window closes and the main window is usable again; the output is shown, and
// a failure has its message.
void BuildDriver::report(Run& run, const std::string& resultText) {
    ui::Form& window = run.request.window;
    progress_->unload();
    s_.host.setBusyCursor(false);
    s_.host.engineFinished(*run.engine);

    const std::optional<long long> result = engine::parseResult(resultText);
    if (!result) {
        fail("The PDF engine returned an unexpected result.");
        return;
    }
    run.outcome = outcome(run, *result);
    if (window.checked("chkViewer") && !engine::isFailure(*result)) {
        if (!s_.platform.fileLength(lastOutputFile_)) {
            return;
        }
        browserwait();
        s_.preview.navigate(lastOutputFile_);
        window.setEnabled("mnuAddOutput", true);
        window.setEnabled("mnuDispOutput", true);
        s_.events.processEvents();
    }
    if (const auto message = engine::resultMessage(*result)) {
        fail(*message, failureDetails(*result, run.engine->warnings()).text());
    }
}

} // namespace plait::core::build
