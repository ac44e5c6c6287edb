#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace plait;
using plait::test::Harness;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class BuildDriverTest : public ::testing::Test {
protected:
    void SetUp() override { h.window->load(); }
    core::app::MainWindow& w() { return *h.window; }
    std::string tmp(const std::string& name) { return h.platform.tempDir() + name; }
    std::string cwd(const std::string& name) { return h.platform.currentDir() + "/" + name; }
    // The argument of the first call of that name.
    std::string argOf(const std::string& op) {
        for (const auto& c : h.log->calls()) {
            if (c.operation == op) {
                return c.args.empty() ? std::string() : c.args[0];
            }
        }
        return "<not called>";
    }
    Harness h;
};

} // namespace

TEST_F(BuildDriverTest, EmptyListOnlyComplains) {
    w().buildPDF();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].text, "Please enter at least one input file.");
    EXPECT_EQ(h.messages.shown[0].caption, "Error");
    EXPECT_EQ(h.messages.shown[0].icon, ui::Icon::Critical);
    EXPECT_TRUE(h.log->calls().empty());
}

TEST_F(BuildDriverTest, OutputNameIsCompletedAgainstTheCurrentFolder) {
    EXPECT_EQ(w().fixOutName("a", "pdf"), cwd("a.pdf"));
    EXPECT_EQ(w().fixOutName("report.PDF", "pdf"), cwd("report.PDF.pdf"));
    EXPECT_EQ(w().fixOutName("report.pdf", "pdf"), cwd("report.pdf"));
    EXPECT_EQ(w().fixOutName("sub/../b.pdf", "pdf"), cwd("b.pdf"));
    EXPECT_EQ(w().fixOutName("  ", "pdf"), tmp("PDFOut.pdf"));
    // Exporting images: no extension, and no name stands for the current folder.
    EXPECT_EQ(w().fixOutName("pics", ""), cwd("pics"));
    EXPECT_EQ(w().fixOutName("", ""), h.platform.currentDir());
}

TEST_F(BuildDriverTest, EmptyOutputGoesToTheTemporaryFolderAndIsShown) {
    const auto a = h.file("a.pdf");
    w().insertFile(a);
    w().buildPDF();
    EXPECT_EQ(w().lastOutputFile(), tmp("PDFOut.pdf"));
    EXPECT_EQ(w().form().text("txtOutfile"), tmp("PDFOut.pdf"));
    EXPECT_EQ(argOf("setOutFile"), tmp("PDFOut.pdf"));
    EXPECT_EQ(argOf("setInFile"), a);
    EXPECT_EQ(h.log->calls().back().operation, "BuildPDF");
}

TEST_F(BuildDriverTest, TemporaryOutputNeverLandsOnTheFirstInput) {
    const auto pdfout = plait::test::writeFile(tmp("PDFOut.pdf"));
    w().insertFile(pdfout);
    w().buildPDF();
    EXPECT_EQ(w().lastOutputFile(), tmp("PDFOut$1.pdf"));

    Harness h2;
    h2.window->load();
    const auto pdfout1 = plait::test::writeFile(h2.platform.tempDir() + "PDFOut$1.pdf");
    h2.window->insertFile(pdfout1);
    h2.window->buildPDF();
    EXPECT_EQ(h2.window->lastOutputFile(), h2.platform.tempDir() + "PDFOut.pdf");
    // A typed name is never redirected: it is refused when it is an input.
    h2.window->form().setText("txtOutfile", pdfout1 + " ");
    h2.window->buildPDF();
    EXPECT_THAT(h2.messages.texts(), ElementsAre("Cannot have an input file with same name as output file."));
}

TEST_F(BuildDriverTest, OutputTypedAsAnInputIsRefused) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().insertFile(b);
    w().form().setText("txtOutfile", b);
    w().buildPDF();
    EXPECT_THAT(h.messages.texts(), ElementsAre("Cannot have an input file with same name as output file."));
    EXPECT_EQ(h.messages.shown[0].caption, "Error");
    // The engine got its output name and nothing else, and never ran.
    ASSERT_EQ(h.log->calls().size(), 1u);
    EXPECT_EQ(h.log->calls()[0].operation, "setOutFile");
    EXPECT_FALSE(w().building());
}

// A name that only resolves to the first input is refused as well: writing the output to a
// temporary file the user did not name, while the field keeps the typed name, loses it.
TEST_F(BuildDriverTest, RelativeNameOfTheFirstInputIsRefused) {
    const auto a = h.file("a.pdf");
    std::filesystem::create_directories(h.platform.root / "cwd" / "real" / "sub");
    std::filesystem::create_directory_symlink(h.platform.root / "cwd" / "real" / "sub",
                                              h.platform.root / "cwd" / "link");
    const auto b = h.file("real/b.pdf");
    w().insertFile(a);
    w().insertFile(b);
    // "link/.." is real/, where b.pdf lies, as the file system reads it.
    for (const std::string name : {"a.pdf", " a.pdf ", "link/../../a.pdf", "link/../b.pdf"}) {
        h.messages.shown.clear();
        h.log->clear();
        w().form().setText("txtOutfile", name);
        w().buildPDF();
        EXPECT_THAT(h.messages.texts(),
                    ElementsAre("Cannot have an input file with same name as output file."))
            << name;
        EXPECT_EQ(h.log->calls().size(), 1u) << name;
        EXPECT_EQ(w().form().text("txtOutfile"), name);
    }
}

// Files the build reads besides its inputs are never replaced by its output.
TEST_F(BuildDriverTest, OutputThatIsTheSettingsBookmarksOrAnAttachmentFileIsRefused) {
    const auto a = h.file("a.pdf");
    const auto attached = h.file("attached.pdf");
    const auto outline = h.file("outline.txt.pdf");
    w().insertFile(a);
    w().settings().setText("txtAttach3", attached);
    const std::string plt = h.platform.currentDir() + "/job.plt.pdf";
    ASSERT_TRUE(w().saveSettingsTo(plt));
    ASSERT_TRUE(w().loadSettingsFrom(plt)); // the attachment comes back with the file
    w().setBookmarksFile(outline);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"attached", "Cannot have an attachment file with same name as output file."},
        {"outline.txt", "Cannot have the bookmarks file with same name as output file."},
        {"./job.plt", "Cannot have the settings file with same name as output file."},
    };
    for (const auto& [name, message] : cases) {
        h.messages.shown.clear();
        h.log->clear();
        w().form().setText("txtOutfile", name);
        w().buildPDF();
        EXPECT_THAT(h.messages.texts(), ElementsAre(message)) << name;
        EXPECT_EQ(h.log->calls().back().operation, "setOutFile") << name; // refused before the inputs
    }
    h.messages.shown.clear();
    w().form().setText("txtOutfile", "other");
    w().buildPDF();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(h.log->calls().back().operation, "BuildPDF");
}

TEST_F(BuildDriverTest, OutputThatResolvesToALaterInputIsRefused) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    const auto link = (h.platform.root / "link.pdf").string();
    std::filesystem::create_symlink(b, link);
    w().insertFile(a);
    w().insertFile(b);
    for (const std::string& name : {std::string("b.pdf"), std::string("sub/../b.pdf"), link}) {
        h.messages.shown.clear();
        h.log->clear();
        w().form().setText("txtOutfile", name);
        w().buildPDF();
        EXPECT_THAT(h.messages.texts(),
                    ElementsAre("Cannot have an input file with same name as output file."))
            << name;
        EXPECT_EQ(h.log->calls().size(), 1u) << name;
    }
}

TEST_F(BuildDriverTest, InputsArePassedJoinedByCommas) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    const auto c = h.file("c.pdf");
    for (const auto& f : {a, b, c}) {
        w().insertFile(f);
    }
    w().form().setText("txtOutfile", "out");
    w().buildPDF();
    EXPECT_EQ(argOf("setInFile"), a + "," + b + "," + c);
    EXPECT_EQ(argOf("setOutFile"), cwd("out.pdf"));
}

TEST_F(BuildDriverTest, FailureResultsShowTheirMessages) {
    const struct {
        const char* result;
        const char* message;
    } cases[] = {{"-1", "Cannot open input file."},
                 {"-2", "Cannot create output file."},
                 {"-3", "Cannot decrypt input file."},
                 {"-4", "Error parsing input file."},
                 {"-5", "No pages for output PDF."}};
    w().insertFile(h.file("a.pdf"));
    w().form().setText("txtOutfile", "out.pdf");
    for (const auto& c : cases) {
        h.messages.shown.clear();
        h.engineResult = c.result;
        w().buildPDF();
        EXPECT_THAT(h.messages.texts(), ElementsAre(c.message)) << c.result;
        EXPECT_EQ(h.messages.shown.at(0).caption, "Error");
        EXPECT_FALSE(w().form().enabled("mnuDispOutput"));
    }
}

TEST_F(BuildDriverTest, OtherResultsAreSuccessAndShowTheOutput) {
    w().insertFile(h.file("a.pdf"));
    const auto out = cwd("out.pdf");
    w().form().setText("txtOutfile", out);
    for (const char* result : {"-6", "0", "1", "12"}) {
        h.messages.shown.clear();
        h.engineResult = result;
        h.configureEngine = [&](engine::RecordingEngine& e) {
            e.setRunHook([&, r = std::string(result)](engine::RecordingEngine&) {
                plait::test::writeFile(out, "%PDF-1.7\n");
                return r;
            });
        };
        w().buildPDF();
        EXPECT_TRUE(h.messages.shown.empty()) << result;
        EXPECT_EQ(h.preview.current, out) << result;
        EXPECT_TRUE(w().form().enabled("mnuAddOutput"));
        EXPECT_TRUE(w().form().enabled("mnuDispOutput"));
        std::filesystem::remove(out);
    }
}

TEST_F(BuildDriverTest, MissingOutputAfterSuccessEndsQuietly) {
    w().insertFile(h.file("a.pdf"));
    w().form().setText("txtOutfile", "out.pdf");
    w().buildPDF();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(h.preview.current, "about:blank");
    EXPECT_FALSE(w().form().enabled("mnuAddOutput"));
    EXPECT_EQ(w().form().text("StatusBar1"), "");
}

TEST_F(BuildDriverTest, PasswordMismatchesWarnAndStopTheBuildBeforeAnythingIsWritten) {
    w().insertFile(h.file("a.pdf"));
    w().settings().setListIndex("Compat_Com", 2);
    w().settings().setText("open1_txt", "Secret");
    w().settings().setText("open2_txt", "secret");
    w().settings().setText("perm1_txt", "owner");
    int enginesCreated = 0;
    h.configureEngine = [&](engine::RecordingEngine&) { ++enginesCreated; };
    bool ran = false;
    h.host.duringRun = [&](engine::MergeEngine&, core::build::ProgressWindow&) { ran = true; };
    w().buildPDF();
    ASSERT_THAT(h.messages.texts(),
                ElementsAre("Open Password does not match confirmation - please re-enter.",
                            "Permissions Password does not match confirmation - please re-enter."));
    EXPECT_EQ(h.messages.shown[1].caption, "PDF Plait Application");
    EXPECT_EQ(h.messages.shown[1].icon, ui::Icon::Exclamation);
    // The engine was made and let go without a call; no progress window, nothing written.
    EXPECT_EQ(enginesCreated, 1);
    EXPECT_TRUE(h.log->calls().empty());
    EXPECT_FALSE(ran);
    EXPECT_EQ(w().form().text("StatusBar1"), "");
    EXPECT_FALSE(w().building());
    EXPECT_TRUE(w().lastBuildRefused());

    // One pair differing is enough; once both agree the build runs, protected.
    h.messages.shown.clear();
    w().settings().setText("open2_txt", "Secret");
    w().buildPDF();
    EXPECT_THAT(h.messages.texts(),
                ElementsAre("Permissions Password does not match confirmation - please re-enter."));
    EXPECT_TRUE(h.log->calls().empty());
    w().settings().setText("perm2_txt", "owner");
    w().buildPDF();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(w().lastBuildRefused());
    EXPECT_EQ(argOf("setUser"), "Secret");
    EXPECT_EQ(h.log->calls().back().operation, "BuildPDF");
}

TEST_F(BuildDriverTest, ASettingsFileWhosePasswordsCannotBeReadIsRefusedNamingIt) {
    w().settings().setListIndex("Compat_Com", 2);
    for (const char* box : {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt"}) {
        w().settings().setText(box, "pw");
    }
    // Cut short after the compatibility level: the open passwords never arrive.
    const std::string whole = w().settingsFileBytes();
    const std::string cut =
        plait::test::writeFile(h.platform.root / "cut.plt", whole.substr(0, whole.find("[Field=open1_txt")));
    ASSERT_TRUE(w().loadSettingsFrom(cut));
    w().insertFile(h.file("a.pdf"));
    w().buildPDF();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_THAT(h.messages.shown[0].text, HasSubstr("'" + cut + "'"));
    EXPECT_EQ(h.messages.shown[0].caption, "Error");
    EXPECT_TRUE(h.log->calls().empty());
    EXPECT_TRUE(w().lastBuildRefused());

    // Passwords the user enters again are the user's: the build goes ahead with them.
    w().settings().setText("open1_txt", "pw");
    w().settings().setText("open2_txt", "pw");
    w().buildPDF();
    EXPECT_EQ(argOf("setUser"), "pw");
    EXPECT_EQ(h.log->calls().back().operation, "BuildPDF");
    // Reset All leaves nothing of the file either.
    ASSERT_TRUE(w().loadSettingsFrom(cut));
    EXPECT_EQ(w().unreadSecurityFile(), cut);
    w().resetSettings();
    EXPECT_EQ(w().unreadSecurityFile(), "");
}

TEST_F(BuildDriverTest, ExportImagesAsksForAFolder) {
    w().insertFile(h.file("a.pdf"));
    w().settings().setChecked("chkImages", true);
    w().form().setText("txtOutfile", "pics");
    w().buildPDF();
    ASSERT_GE(h.log->calls().size(), 2u);
    EXPECT_EQ(h.log->calls()[0].operation, "setImgDir");
    EXPECT_EQ(argOf("setOutFile"), cwd("pics"));
}

TEST_F(BuildDriverTest, ProgressWindowOpensAndCancelFreesTheMainWindowAtOnce) {
    w().insertFile(h.file("a.pdf"));
    bool enabledAfterCancel = false;
    bool cancelSeen = false;
    h.host.duringRun = [&](engine::MergeEngine& e, core::build::ProgressWindow& progress) {
        EXPECT_TRUE(progress.loaded());
        EXPECT_FALSE(w().form().enabled("frmMain"));
        progress.cancel(e);
        enabledAfterCancel = w().form().enabled("frmMain");
        cancelSeen = e.cancelBuild() == 1;
        // A second build while the first has not returned is refused.
        w().buildPDF();
    };
    w().buildPDF();
    EXPECT_TRUE(enabledAfterCancel);
    EXPECT_TRUE(cancelSeen);
    EXPECT_THAT(h.messages.texts(), ElementsAre(HasSubstr("still running")));
    const auto calls = h.log->calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const engine::Call& c) { return c.operation == "BuildPDF"; }),
              1);
    EXPECT_FALSE(w().building());
    EXPECT_TRUE(w().form().enabled("frmMain"));
}

TEST(BuildDriver, EngineThatCannotBeCreatedIsReported) {
    Harness h;
    h.engines = engine::EngineRegistry(); // nothing registered
    h.window->load();
    h.window->insertFile(h.file("a.pdf"));
    h.window->buildPDF();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_THAT(h.messages.shown[0].text, HasSubstr("PDF.PlaitApp"));
    EXPECT_EQ(h.messages.shown[0].caption, "Error");
    EXPECT_FALSE(h.window->building());
    EXPECT_EQ(h.window->form().text("StatusBar1"), "");
}

TEST(ProgressWindow, ShowsWhatTheEngineReports) {
    engine::RecordingEngine e;
    core::build::ProgressWindow p;
    int captionSets = 0;
    const ui::Subscription listening = p.subscribe([&](const ui::Control& c, ui::Property prop) {
        captionSets += c.name == "frmPDFProcess" && prop == ui::Property::Text;
    });
    p.load();
    EXPECT_EQ(p.caption(), "Vantrel PDF Plait");
    e.setStatus("Reading a.pdf (1 of 2)", "40", "Building");
    p.tick(e);
    EXPECT_EQ(p.statusText(), "Reading a.pdf (1 of 2)");
    EXPECT_EQ(p.barValue(), 40);
    EXPECT_EQ(p.caption(), "Building");
    p.tick(e); // the same title again
    EXPECT_EQ(captionSets, 1);
    // An engine that gives no bar or title leaves them.
    engine::RecordingEngine quiet;
    quiet.setStatusMessage("Writing");
    p.tick(quiet);
    EXPECT_EQ(p.barValue(), 40);
    EXPECT_EQ(p.caption(), "Building");
    EXPECT_EQ(p.statusText(), "Writing");
}

TEST_F(BuildDriverTest, WhatTheEngineNotedIsKeptUntilTheNextBuild) {
    w().insertFile(h.file("a.pdf"));
    int finished = 0;
    w().onBuildFinished = [&] { ++finished; };
    h.configureEngine = [](engine::RecordingEngine& e) {
        e.setRunHook([](engine::RecordingEngine& run) {
            run.addWarning("Page numbers are not supported yet");
            return std::string("1");
        });
    };
    w().buildPDF();
    EXPECT_EQ(finished, 1);
    EXPECT_THAT(w().lastWarnings(), ElementsAre("Page numbers are not supported yet"));
    h.configureEngine = nullptr;
    w().buildPDF();
    EXPECT_EQ(finished, 2);
    EXPECT_TRUE(w().lastWarnings().empty());
}

// The engine reads the input list back by its commas: a name with a comma reaches it as one
// input, or is refused naming it when its parts name other files; never as two inputs.
TEST_F(BuildDriverTest, NamesWithCommasAreOneInputOrRefused) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    const auto both = h.file("a.pdf,b.pdf");
    const auto lone = h.file("x,y.pdf");
    const auto build = [&](const std::vector<std::string>& inputs) {
        h.messages.shown.clear();
        h.log->clear();
        w().removeAll();
        for (const auto& in : inputs) {
            w().insertFile(in);
        }
        w().form().setText("txtOutfile", "out");
        w().buildPDF();
    };
    build({lone, a});
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(argOf("setInFile"), lone + "," + a);
    build({a, b});
    EXPECT_TRUE(h.messages.shown.empty());
    build({b, both});
    ASSERT_EQ(h.messages.texts().size(), 1u);
    EXPECT_THAT(h.messages.texts()[0], HasSubstr("'" + both + "' holds a comma"));
    EXPECT_EQ(argOf("setInFile"), "<not called>");
}
