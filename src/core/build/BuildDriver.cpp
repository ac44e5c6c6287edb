// The build driver: turns the input list, the output name, the build mode and the settings
// into one run of the merge engine, and reports the result.

#include "core/app/MainWindow.h"
#include "core/build/OptionSteps.h"
#include "core/build/Results.h"

#include <memory>
#include <optional>
#include <stdexcept>

namespace plait::core::app {
namespace {

std::string trimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

// Length in characters of UTF-8 text (continuation bytes do not count).
std::size_t characterCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

constexpr const char* kSameNameMessage = "Cannot have an input file with same name as output file.";

} // namespace

std::string MainWindow::fixOutName(std::string name, const std::string& extension) const {
    if (trimBlanks(name).empty() && !extension.empty()) {
        name = s_.platform.tempDir() + "PDFOut." + extension;
    }
    if (characterCount(name) < 4 && extension == "pdf") {
        name += "." + extension;
    }
    name = s_.platform.absolutePath(name);
    if (extension == "pdf" && !endsWith(name, "." + extension)) {
        name += "." + extension;
    }
    return name;
}

void MainWindow::fail(const std::string& text) {
    s_.messages.show(text, "Error", ui::Icon::Critical, ui::Buttons::Ok);
}

void MainWindow::buildPDF() {
    // Builds never overlap: after Cancel the window is usable again while the engine is
    // still winding down, and a second engine must not write beside it.
    if (building_) {
        s_.messages.show("A build is still running. Please wait until it has finished.", kShortTitle,
                         ui::Icon::Exclamation, ui::Buttons::Ok);
        return;
    }
    // 1. Something to build.
    if (inputs_.empty()) {
        fail("Please enter at least one input file.");
        return;
    }

    building_ = true;
    lastWarnings_.clear();
    struct Guard {
        MainWindow& w;
        std::unique_ptr<engine::MergeEngine> engine;
        ~Guard() {
            // 20. Release the engine.
            if (engine) {
                w.lastWarnings_ = engine->warnings();
            }
            engine.reset();
            w.progress_.reset();
            w.building_ = false;
            w.setStatus("");
            if (w.onBuildFinished) {
                w.onBuildFinished();
            }
        }
    } run{*this, nullptr};

    try {
        // 2. The engine.
        setStatus("Creating Object");
        run.engine = s_.engines.create(engine::kPlaitEngineName);
        if (!run.engine) {
            fail("Cannot create the PDF engine \"" + std::string(engine::kPlaitEngineName) + "\".");
            return;
        }
        engine::MergeEngine& eng = *run.engine;

        // 3. Password confirmations: warn, but build on (the security step is skipped).
        const ui::Form& set = *settings_;
        if (!set.text("open1_txt").empty() && set.text("open2_txt") != set.text("open1_txt")) {
            s_.messages.show("Open Password does not match confirmation - please re-enter.", kAppTitle,
                             ui::Icon::Exclamation, ui::Buttons::Ok);
        }
        if (!set.text("perm1_txt").empty() && set.text("perm2_txt") != set.text("perm1_txt")) {
            s_.messages.show("Permissions Password does not match confirmation - please re-enter.", kAppTitle,
                             ui::Icon::Exclamation, ui::Buttons::Ok);
        }

        // 4. Exporting images writes a folder, not a PDF.
        std::string extension = "pdf";
        if (set.value("chkImages") == 1) {
            extension.clear();
            eng.call("setImgDir");
        }

        // 5-7. The output name.
        lastOutputFile_ = fixOutName(trimBlanks(form_.text("txtOutfile")), extension);
        const std::string& first = inputs_.at(0).text;
        const std::string dot = "." + extension;
        if (lastOutputFile_ == first) {
            lastOutputFile_ = s_.platform.tempDir() + "PDFOut$1" + dot;
            if (lastOutputFile_ == first) {
                lastOutputFile_ = s_.platform.tempDir() + "PDFOut" + dot;
            }
        }
        if (form_.text("txtOutfile").empty()) {
            form_.setText("txtOutfile", lastOutputFile_);
        }

        // 8-10. Never write over an input: the typed name, and the resolved one.
        eng.call("setOutFile", {lastOutputFile_});
        const std::string typed = form_.text("txtOutfile");
        std::string inputText;
        for (std::size_t i = 0; i < inputs_.size(); ++i) {
            const std::string& in = inputs_.at(i).text;
            if (in == typed || s_.platform.sameFile(in, lastOutputFile_)) {
                fail(kSameNameMessage);
                return;
            }
            if (i > 0) {
                inputText.push_back(',');
            }
            inputText += in;
        }

        // 11. The inputs.
        eng.call("setInFile", {inputText});
        setStatus("Building PDF");

        // 12. The options, in their fixed order.
        build::StepContext context{eng, set, overlayType_, form_.checked("chkPreview"), &outline()};
        build::runOptionSteps(context);

        // 13-14. Hand over to the engine; the preview lets go of the last output.
        s_.host.setBusyCursor(true);
        setStatus("Creating PDF File");
        progress_ = std::make_unique<build::ProgressWindow>();
        progress_->onUnload = [this] { form_.setEnabled("frmMain", true); };
        browserwait();
        s_.preview.navigate("about:blank");
        s_.events.processEvents();
        if (!form_.checked("chkViewer")) {
            browserwait();
            s_.preview.setBackgroundColor("#FFFFFF");
            browserwait();
            s_.preview.setBodyHtml(blankPreviewHtml_);
            s_.events.processEvents();
        }

        // 15. Run.
        std::string resultText;
        try {
            resultText = s_.host.runEngine(eng, *progress_);
        } catch (const std::exception& e) {
            progress_->unload();
            s_.host.setBusyCursor(false);
            fail(std::string("The PDF engine stopped with an error: ") + e.what());
            return;
        }

        // 16. The progress window closes; the main window is usable again.
        progress_->unload();
        s_.host.setBusyCursor(false);
        s_.host.engineFinished(eng);

        const std::optional<long long> result = build::parseResult(resultText);
        if (!result) {
            fail("The PDF engine returned an unexpected result.");
            return;
        }

        // 17. Show the output.
        if (form_.checked("chkViewer") && (*result < -5 || *result >= 0)) {
            if (!s_.platform.fileLength(lastOutputFile_)) {
                return;
            }
            browserwait();
            s_.preview.navigate(lastOutputFile_);
            form_.setEnabled("mnuAddOutput", true);
            form_.setEnabled("mnuDispOutput", true);
            s_.events.processEvents();
        }

        // 18-19. Failures have their messages; everything else is success.
        if (const char* message = build::resultMessage(*result)) {
            fail(message);
        }
    } catch (const engine::EngineCallError&) {
        throw; // a programming error: tests must see it
    } catch (const ProgramTerminated&) {
        throw;
    } catch (const std::exception& e) {
        fail(std::string("The build stopped: ") + e.what());
    }
}

} // namespace plait::core::app
