// Opening and saving settings files from the main window.

#include "core/settings/SettingsFile.h"
#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace plait;
using plait::test::Harness;
using ::testing::ElementsAre;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class SettingsCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { h.window->load(); }
    core::app::MainWindow& w() { return *h.window; }
    std::string path(const std::string& name) { return (h.platform.root / name).string(); }
    Harness h;
};

} // namespace

TEST_F(SettingsCommandsTest, SaveAsWritesTheModeFieldsAndInputsAndOpenReadsThemBack) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().insertFile(b);
    w().clickToolbar(7);
    w().settings().setText("txtTitle", "Quarterly report");
    w().settings().setChecked("chkPage", true);
    const auto file = path("job.plt");
    h.files.nextNames = {file};
    w().saveSettings(true);
    EXPECT_EQ(w().currentSettingsFile(), file);
    EXPECT_FALSE(w().form().enabled("mnuSave")); // saving does not enable Save; opening does
    const std::string bytes = slurp(file);
    EXPECT_EQ(bytes.rfind("[Field=OverlayType Index=1 Type=1]\r\n", 0), 0u);
    EXPECT_NE(bytes.find("[Field=TreeView1 Type=V]\r\n" + a + "\r\n" + b + "\r\n"), std::string::npos);

    // Opening resets everything first, then applies the file; inputs are appended.
    Harness other;
    other.window->load();
    const auto c = other.file("c.pdf");
    other.window->insertFile(c);
    other.window->settings().setText("txtAuthor", "someone");
    other.files.nextNames = {file};
    other.window->loadSettings();
    EXPECT_TRUE(other.messages.shown.empty());
    EXPECT_EQ(other.window->overlayType(), 1);
    EXPECT_TRUE(other.window->form().buttonPressed("Toolbar1", 7));
    EXPECT_EQ(other.window->settings().text("txtTitle"), "Quarterly report");
    EXPECT_EQ(other.window->settings().text("txtAuthor"), "");
    // The rules ran as for a click: page numbers on enables their fields.
    EXPECT_TRUE(other.window->settings().enabled("txtPgFmt"));
    EXPECT_THAT(other.window->inputs().texts(), ElementsAre(c, a, b));
    EXPECT_TRUE(other.window->form().enabled("mnuSave"));
    EXPECT_EQ(other.window->currentSettingsFile(), file);
    // No preview of each stored input while they were added; the selected one afterwards.
    EXPECT_EQ(other.preview.current, b);
}

TEST_F(SettingsCommandsTest, SaveWithoutAskingWritesTheCurrentFile) {
    const auto file = path("job.plt");
    h.files.nextNames = {file};
    w().loadSettings(); // no such file yet
    EXPECT_THAT(h.messages.texts(), ElementsAre("File does not exist"));
    EXPECT_FALSE(w().form().enabled("mnuSave"));
    EXPECT_EQ(w().currentSettingsFile(), "");

    plait::test::writeFile(file, "");
    h.files.nextNames = {file};
    w().loadSettings(); // an empty file: defaults, list and mode untouched
    EXPECT_TRUE(w().form().enabled("mnuSave"));
    w().settings().setText("txtSubject", "Plans");
    w().saveSettings(false);
    EXPECT_NE(slurp(file).find("[Field=txtSubject Type=T]\r\nPlans\r\n"), std::string::npos);
}

TEST_F(SettingsCommandsTest, CancelledDialogsChangeNothing) {
    w().settings().setText("txtTitle", "kept");
    h.files.nextNames = {""};
    w().loadSettings();
    EXPECT_EQ(w().settings().text("txtTitle"), "kept");
    h.files.nextNames = {""};
    w().saveSettings(true);
    EXPECT_TRUE(std::filesystem::is_empty(h.platform.root / "cwd"));
    EXPECT_EQ(w().currentSettingsFile(), "");
}

TEST_F(SettingsCommandsTest, PasswordsAreKeptFromOtherUsers) {
    w().settings().setListIndex("Compat_Com", 2);
    w().settings().setText("open1_txt", "secret");
    const auto file = path("secure.plt");
    ASSERT_TRUE(w().saveSettingsTo(file));
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsCommandsTest, UnwritableTargetIsReportedAndNothingIsLost) {
    const auto file = path("no/such/folder/job.plt");
    EXPECT_FALSE(w().saveSettingsTo(file));
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].caption, "PDF Plait");

    // A file that exists is replaced only whole: the old one stays when writing fails.
    const auto kept = path("ro/job.plt");
    plait::test::writeFile(kept, "old contents");
    std::filesystem::permissions(h.platform.root / "ro",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access((h.platform.root / "ro").c_str(), W_OK) != 0) { // root may write anyway
        EXPECT_FALSE(w().saveSettingsTo(kept));
        EXPECT_EQ(slurp(kept), "old contents");
    }
    std::filesystem::permissions(h.platform.root / "ro", std::filesystem::perms::owner_all);
}

TEST_F(SettingsCommandsTest, StoredInputsThatVanishedAreReportedAndTheRestAdded) {
    const auto a = h.file("a.pdf");
    const auto file = path("job.plt");
    plait::test::writeFile(file, "[Field=TreeView1 Type=V]\r\n/nowhere/x.pdf\r\n" + a + "\r\n");
    ASSERT_TRUE(w().loadSettingsFrom(file));
    EXPECT_THAT(h.messages.texts(), ElementsAre("File '/nowhere/x.pdf' not found"));
    EXPECT_THAT(w().inputs().texts(), ElementsAre(a));
    EXPECT_EQ(w().overlayType(), 0);
}

TEST_F(SettingsCommandsTest, ShutdownYesSavesUnderAChosenName) {
    const auto file = path("at-exit.plt");
    h.messages.answers = {ui::Answer::Yes};
    h.files.nextNames = {file};
    EXPECT_TRUE(w().unload());
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(h.host.closed);
}

TEST_F(SettingsCommandsTest, ASettingsFileThatIsAPipeOrDeviceIsRefusedWithoutReadingAndChangesNothing) {
    const auto fifo = path("pipe.plt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    w().settings().setText("txtTitle", "kept");
    for (const std::string& file : {fifo, std::string("/dev/zero")}) {
        EXPECT_FALSE(w().loadSettingsFrom(file));
        EXPECT_EQ(w().settings().text("txtTitle"), "kept");
    }
    EXPECT_THAT(h.messages.texts(),
                ElementsAre("Cannot read the settings file '" + fifo +
                                "': it is a device, a pipe or a socket, not a regular file.",
                            "Cannot read the settings file '/dev/zero': it is a device, a pipe or a socket, "
                            "not a regular file."));
}

TEST_F(SettingsCommandsTest, PagesChosenPerInputAreBuiltSavedAndReadBackWithTheirInputs) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().insertFile(b);
    w().insertFile(a);
    w().setInputPages(1, "  5-9:90,odd \r\n");
    w().setInputPages(2, "z");
    EXPECT_THAT(w().inputs().pageChoices(), ElementsAre("", "5-9:90,odd", "z"));

    // The build names each input with a choice by its place in the setInFile list.
    h.files.nextNames = {};
    w().form().setText("txtOutfile", path("out.pdf"));
    w().buildPDF();
    std::vector<std::string> pageCalls;
    for (const auto& line : h.calls()) {
        if (line.rfind("setInPages", 0) == 0) {
            pageCalls.push_back(line);
        }
    }
    EXPECT_THAT(pageCalls, ElementsAre("setInPages(\"2\", \"5-9:90,odd\")", "setInPages(\"3\", \"z\")"));

    const auto file = path("job.plt");
    h.files.nextNames = {file};
    w().saveSettings(true);
    const std::string bytes = slurp(file);
    EXPECT_NE(bytes.find("[Field=TreeView1 Type=V]\r\n" + a + "\r\n" + b + "\r\n" + a +
                         "\r\n[Field=InputPages Type=V]\r\n2 5-9:90,odd\r\n3 z\r\n"),
              std::string::npos);

    // Read back after an entry of its own and past a stored input that vanished: each choice
    // lands on the entry its stored path became.
    std::string edited = bytes;
    edited.replace(edited.find("[Field=TreeView1 Type=V]\r\n") + 26, 0, "/nowhere/x.pdf\r\n");
    edited.replace(edited.find("2 5-9"), 1, "3");
    edited.replace(edited.find("3 z"), 1, "4");
    plait::test::writeFile(path("edited.plt"), edited);
    Harness other;
    other.window->load();
    other.window->insertFile(other.file("c.pdf"));
    ASSERT_TRUE(other.window->loadSettingsFrom(path("edited.plt")));
    EXPECT_THAT(other.window->inputs().texts(), ElementsAre(other.file("c.pdf"), a, b, a));
    EXPECT_THAT(other.window->inputs().pageChoices(), ElementsAre("", "", "5-9:90,odd", "z"));

    // The record is one the settings reader does not know: applied as any record, it changes
    // no control, and a list without choices writes no such record at all.
    const auto records = core::settings::parseSettingsFile(bytes);
    const auto pages =
        std::find_if(records.begin(), records.end(), [](const auto& r) { return r.field == "InputPages"; });
    ASSERT_NE(pages, records.end());
    const std::string before = core::settings::writeSettingsFile(w().settings(), 0, {});
    core::settings::applySettingsRecord(w().settings(), *pages);
    EXPECT_EQ(core::settings::writeSettingsFile(w().settings(), 0, {}), before);
    w().setInputPages(1, "");
    w().setInputPages(2, " ");
    h.files.nextNames = {file};
    w().saveSettings(true);
    EXPECT_EQ(slurp(file).find("InputPages"), std::string::npos);
}
