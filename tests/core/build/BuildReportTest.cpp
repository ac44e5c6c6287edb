#include "core/build/BuildReport.h"
#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace plait;
using core::build::failureDetails;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(BuildReport, FailureDetailsNameTheFileAndTheReasonOfTheMatchingNote) {
    const std::vector<std::string> notes{
        "/in/a b.pdf is damaged and was repaired: xref rebuilt",
        "Error parsing input file /in/a b.pdf: /in/a b.pdf: unable to find trailer dictionary: giving up",
    };
    const auto d = failureDetails(-4, notes);
    EXPECT_EQ(d.file, "/in/a b.pdf");
    // The library's own repeat of the file goes; a ": " inside the reason stays.
    EXPECT_EQ(d.reason, "unable to find trailer dictionary: giving up");
    EXPECT_EQ(d.text(), "File: /in/a b.pdf\nReason: unable to find trailer dictionary: giving up");
    // Only the note of this failure counts, and a note naming no file gives the reason alone.
    EXPECT_EQ(failureDetails(-2, notes).text(), "");
    EXPECT_EQ(failureDetails(-5, {"No pages for output PDF: every page was pulled out"}).text(),
              "Reason: every page was pulled out");
    // Successes and cancels have no details.
    EXPECT_EQ(failureDetails(3, notes).text(), "");
    EXPECT_EQ(failureDetails(-6, notes).text(), "");
}

TEST(BuildReport, AFailureToDecryptPointsToTheInputPasswords) {
    const auto d = failureDetails(-3, {"Cannot decrypt input file /in/locked.pdf: no password was given"});
    EXPECT_EQ(d.file, "/in/locked.pdf");
    EXPECT_THAT(d.reason, HasSubstr("no password was given. "));
    EXPECT_THAT(d.reason, HasSubstr("\"Input PDF Passwords\""));
    EXPECT_THAT(failureDetails(-3, {}).text(), HasSubstr("Files tab"));
}

TEST(BuildReport, StatusTextsNameTheOutputItsPagesAndSize) {
    using core::build::builtStatus;
    EXPECT_EQ(builtStatus("/out/report.pdf", 12, 340 * 1024, false), "Built report.pdf: 12 pages, 340 KB");
    EXPECT_EQ(builtStatus("/out/one.pdf", 1, 1, false), "Built one.pdf: 1 page, 1 byte");
    EXPECT_EQ(builtStatus("/out/big.pdf", 2, 5 * 1024 * 1024 / 2, false), "Built big.pdf: 2 pages, 2.5 MB");
    EXPECT_EQ(builtStatus("/out/pics", 3, std::nullopt, true), "Exported 3 images to pics");
    EXPECT_EQ(core::build::failedStatus("Cannot create output file.", "/ro/out.pdf"),
              "Build failed: Cannot create output file. (out.pdf)");
    EXPECT_EQ(core::build::failedStatus("No pages for output PDF.", ""),
              "Build failed: No pages for output PDF.");
}

// The whole road: the engine's note reaches the box beneath the unchanged message, and the
// status bar says how the build ended.
TEST(BuildReport, TheBuildAddsTheFileAndReasonAndSaysHowItEnded) {
    test::Harness h;
    h.window->load();
    const std::string in = h.file("a.pdf");
    h.window->insertFile(in);
    const std::string out = h.platform.currentDir() + "/out.pdf";
    h.window->form().setText("txtOutfile", out);
    std::string result = "-4";
    h.configureEngine = [&](engine::RecordingEngine& e) {
        e.setRunHook([&](engine::RecordingEngine& engine) {
            if (result == "-4") {
                engine.addWarning(in + " is damaged and was repaired: xref rebuilt");
                engine.addWarning("Error parsing input file " + in + ": no trailer");
            } else {
                test::writeFile(out, "%PDF-1.7\n");
            }
            return result;
        });
    };
    h.window->buildPDF();
    ASSERT_THAT(h.messages.texts(), ElementsAre("Error parsing input file."));
    EXPECT_EQ(h.messages.shown[0].caption, "Error");
    EXPECT_EQ(h.messages.shown[0].details, "File: " + in + "\nReason: no trailer");
    EXPECT_EQ(h.window->form().text("StatusBar1"), "Build failed: Error parsing input file. (a.pdf)");

    h.messages.shown.clear();
    result = "3";
    h.window->buildPDF();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(h.window->form().text("StatusBar1"), "Built out.pdf: 3 pages, 9 bytes");

    result = "-6";
    h.window->buildPDF();
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(h.window->form().text("StatusBar1"), "Build cancelled");
    std::filesystem::remove(out);
}
