#include "core/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace plait::core::settings;
using plait::ui::ControlKind;

namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Loads bytes the way the main window does: fresh defaults, then every dialog record.
std::unique_ptr<SettingsModel> load(std::string_view bytes) {
    auto m = SettingsModel::create();
    for (const SettingsRecord& r : parseSettingsFile(bytes)) {
        applySettingsRecord(*m, r);
    }
    return m;
}

// Every stored value of two models, compared control by control.
void expectSameStoredValues(const SettingsModel& a, const SettingsModel& b) {
    for (std::size_t i = 0; i < controlTable().size(); ++i) {
        const ControlDef& def = controlTable()[i];
        if (!def.stored()) {
            continue;
        }
        const auto& ca = a.controls()[i];
        const auto& cb = b.controls()[i];
        const std::string where = std::string(def.name) + "(" + std::to_string(def.index) + ")";
        EXPECT_EQ(ca.text, cb.text) << where;
        EXPECT_EQ(ca.value, cb.value) << where;
        EXPECT_EQ(ca.buttons, cb.buttons) << where;
        if (def.kind == ControlKind::PictureBox || def.kind == ControlKind::Label) {
            EXPECT_EQ(ca.color, cb.color) << where;
        }
    }
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("plait-settings-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_;
};

} // namespace

TEST(SettingsFileWrite, DefaultsGiveTheGoldenFile) {
    const auto m = SettingsModel::create();
    const std::string golden =
        readFile(std::filesystem::path(PLAIT_TEST_DATA_DIR) / "settings" / "defaults.plt");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(writeSettingsFile(*m, 0, {}), golden);
}

TEST(SettingsFileWrite, ModeAndInputsFrameTheDialogRecords) {
    const auto m = SettingsModel::create();
    const std::string bytes = writeSettingsFile(*m, 1, {"/a/one.pdf", "/b/two.pdf"});
    EXPECT_EQ(bytes.rfind("[Field=OverlayType Index=1 Type=1]\r\n[Field=chkMediaRepeat Type=C]\r\n", 0), 0u);
    const std::string tail = "[Field=chkSmallest Type=C]\r\n 0 \r\n[Field=TreeView1 Type=V]\r\n/a/one.pdf\r\n"
                             "/b/two.pdf\r\n";
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);

    const auto records = parseSettingsFile(bytes);
    ASSERT_EQ(records.size(), 232u);
    EXPECT_EQ(records.front().type, "1");
    EXPECT_EQ(records.front().index, 1);
    EXPECT_EQ(records.back().field, "TreeView1");
    EXPECT_EQ(splitInputPaths(records.back().value), (std::vector<std::string>{"/a/one.pdf", "/b/two.pdf"}));
    EXPECT_EQ(splitInputPaths("\r\na\r\n\r\nb"), (std::vector<std::string>{"a", "b"}));
}

TEST(SettingsFileRoundTrip, EveryKindOfValueComesBack) {
    auto m = SettingsModel::create();
    m->setText("txtNote", "first line\r\nsecond line\r\n\r\nafter a gap");
    m->setText("txtTitle", "Caf\xC3\xA9 \xE2\x82\xAC 5"); // é and € are in Windows-1252
    m->setText("txtMediaBox", 2, "612");
    m->setText("txtPassword", "hidden template");
    m->setText("txtAttach3", "/tmp/with\nlinefeed");
    m->setChecked("chkPage", true);
    m->setChecked("chkCenter", false);
    m->pickOption("optLeft", 0);
    m->pickOption("optBottom", 0);
    m->pickOption("optPgAlign", 2);
    m->setListIndex("Compat_Com", 2);
    m->setListIndex("cmbStamp", 21);
    m->setListIndex("cmbTranstype", 15);
    m->setButton("tbTextAlign", 1, false);
    m->setButton("tbTextAlign", 3, true);
    m->setColor("picColor", -1, 0x0000FFFF);
    m->setColor("lblTextColor", -1, 0x80000008);
    m->setColor("lblTitle", -1, 0x00123456);
    m->setText("perm1_txt", "secret");
    m->setChecked("Fill_Chk", true);

    EXPECT_TRUE(containsPassword(*m));
    const std::string bytes = writeSettingsFile(*m, 2, {"/x/caf\xC3\xA9.pdf"});
    EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "Windows-1252 text needs no UTF-8 mark";
    EXPECT_NE(bytes.find("Caf\xE9 \x80 5\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[Field=picColor Type=P]\r\n 65535 \r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[Field=lblTextColor Type=A]\r\n-2147483640 \r\n"), std::string::npos);

    const auto back = load(bytes);
    expectSameStoredValues(*m, *back);
    // The rules ran as the values arrived.
    EXPECT_TRUE(back->enabled("txtPgFmt"));
    EXPECT_TRUE(back->enabled("Fill_Chk"));
    EXPECT_EQ(back->value("imgFromPage"), kOriginTopRight);
    EXPECT_EQ(back->value("picStamp"), 21);
    EXPECT_EQ(back->text("txtAttach3"), "/tmp/with\nlinefeed"); // a lone LF stays in its line
}

TEST(SettingsFileRoundTrip, TextOutsideWindows1252IsWrittenAsMarkedUtf8) {
    auto m = SettingsModel::create();
    const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3 \xE2\x9C\x93"; // αβγ ✓
    m->setText("txtStampText", greek);
    const std::string bytes = writeSettingsFile(*m, 0, {"/home/\xE6\x97\xA5\xE6\x9C\xAC.pdf"});
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF[Field=OverlayType", 0), 0u);
    const auto records = parseSettingsFile(bytes);
    EXPECT_EQ(records.front().field, "OverlayType");
    EXPECT_EQ(records.back().value, "/home/\xE6\x97\xA5\xE6\x9C\xAC.pdf");
    EXPECT_EQ(load(bytes)->text("txtStampText"), greek);
}

TEST(SettingsFileRead, Windows1252BytesBecomeUtf8) {
    const auto m = load("[Field=txtTitle Type=T]\r\nR\xE9sum\xE9 \x80\x96\x81\r\n");
    EXPECT_EQ(m->text("txtTitle"), "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC\xE2\x80\x93\xC2\x81");
    // Without a mark, UTF-8 lookalike bytes are still read as Windows-1252.
    EXPECT_EQ(load("[Field=txtTitle Type=T]\r\n\xC3\xA9")->text("txtTitle"), "\xC3\x83\xC2\xA9");
}

TEST(SettingsFileRead, HeaderAndValueQuirksAreKept) {
    // Index 12 is read as 1; a header without a blank keeps its bracket in the name and
    // matches nothing.
    auto m = load("[Field=txtMediaBox Index=12 Type=T]\r\nwide\r\n[Field=txtTitle]\r\nignored\r\n");
    EXPECT_EQ(m->text("txtMediaBox", 1), "wide");
    EXPECT_EQ(m->text("txtTitle"), "");
    EXPECT_EQ(parseSettingsFile("[Field=txtTitle]\r\nx\r\n").front().field, "txtTitle]");

    // Leading empty lines are lost, inner and trailing ones kept.
    m = load("[Field=txtNote Type=T]\r\n\r\n\r\na\r\n\r\nb\r\n\r\n[Field=txtSubject Type=T]\r\n");
    EXPECT_EQ(m->text("txtNote"), "a\r\n\r\nb\r\n");

    // A record without value lines has the empty value: it clears a default.
    m = load("[Field=txtPgFmt Type=T]\r\n[Field=txtSize Type=T]\r\n12\r\n");
    EXPECT_EQ(m->text("txtPgFmt"), "");
    EXPECT_EQ(m->text("txtSize"), "12");

    // A text line that looks like a header starts a record of its own.
    auto src = SettingsModel::create();
    src->setText("txtNote", "line one\r\n[Field=txtTitle Type=T]\r\nsneaked in");
    m = load(writeSettingsFile(*src, 0, {}));
    EXPECT_EQ(m->text("txtNote"), "line one");
    EXPECT_EQ(m->text("txtTitle"), "sneaked in"); // after the real txtTitle record

    // Labels of an array are written bare, so every record lands on the first member found.
    src = SettingsModel::create();
    src->setColor("lblBox", 4, 0x000000FF);
    m = load(writeSettingsFile(*src, 0, {}));
    EXPECT_EQ(m->color("lblBox", 0), 0x000000FFu);
    EXPECT_EQ(m->color("lblBox", 4), kButtonText);

    // Lines before the first header and a lone CR as a line end.
    m = load("junk\r\n[Field=txtSubject Type=T]\ra\rb");
    EXPECT_EQ(m->text("txtSubject"), "a\r\nb");
}

TEST(SettingsFileRead, MalformedRecordsAreIgnored) {
    const auto m = load("[Field=txtMediaBox Index=x Type=T]\r\nbad index\r\n" // not a digit
                        "[Field=txtTitle Index=1 Type=T]\r\nnot an array\r\n" // index on a single control
                        "[Field=Index= Type=T]\r\nnothing\r\n"                // index character missing
                        "[Field=cmbSort Type=L]\r\n 9 \r\n"                   // no such entry
                        "[Field=cmbHiType Type=L]\r\n two \r\n"               // not a number
                        "[Field=chkMail Type=C]\r\n 2 \r\n"                   // not a state
                        "[Field=lblBox Type=T]\r\nwrong kind\r\n"             // a label has no text
                        "[Field=picColor Type=A]\r\n 5 \r\n"                  // letter of another kind
                        "[Field=picColor Type=P]\r\n 99999999999 \r\n"        // beyond 32 bits
                        "[Field=txtScale Type=Q]\r\nunknown letter\r\n"
                        "[Field=txtScale Type=]\r\nno letter\r\n"
                        "[Field=nothingHere Type=T]\r\nunknown name\r\n"
                        "[Field=tbTextAlign Index=2 Type=B]\r\n 5 \r\n"
                        "[Field=tbTextAlign Index=9 Type=B]\r\n 1 \r\n"
                        "[Field=btnOK Type=T]\r\nnot stored\r\n"
                        "[Field= Type=T]\r\nno name\r\n");
    const auto fresh = SettingsModel::create();
    expectSameStoredValues(*fresh, *m);
    EXPECT_EQ(m->at("btnOK").text, "");
    EXPECT_EQ(parseSettingsFile("[Field=txtMediaBox Index=x Type=T]\r\n").front().index, kBadIndex);
    EXPECT_TRUE(parseSettingsFile("").empty());
    EXPECT_TRUE(parseSettingsFile("no headers\r\nat all").empty());
}

TEST(SettingsFileRead, ValuesAreTakenAsTheDialogWouldTakeThem) {
    auto m = load("[Field=chkMail Type=C]\r\n  1\t\r\n"
                  "[Field=optBottom Index=0 Type=O]\r\ntrue\r\n"
                  "[Field=picColor Type=P]\r\n4294967295\r\n");
    EXPECT_EQ(m->value("chkMail"), 1);
    EXPECT_EQ(m->value("optBottom", 1), 0);
    EXPECT_EQ(m->value("imgFromPage"), kOriginTopLeft);
    EXPECT_EQ(m->color("picColor"), 0xFFFFFFFFu);

    // Toolbar states are taken as written, without the one-pressed click rule.
    m = load("[Field=tbTextAlign Index=3 Type=B]\r\n 1 \r\n");
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 3));
    // Without an index a B record has no button to set.
    m = load("[Field=tbTextAlign Type=B]\r\n 0 \r\n");
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
}

TEST(SettingsFileRead, LoadedValuesRunTheRulesLikeClicks) {
    auto m = load("[Field=perm1_txt Type=T]\r\nowner\r\n[Field=Compat_Com Type=L]\r\n 2 \r\n"
                  "[Field=chkPage Type=C]\r\n 1 \r\n[Field=cmbStamp Type=L]\r\n 14 \r\n"
                  "[Field=txtTransparency Type=T]\r\n 62.5\r\n");
    for (const char* n : {"Print_chk", "Change_chk", "Text_Chk", "Ann_Chk", "Fill_Chk", "Asm_chk", "Low_Chk",
                          "open1_txt", "perm2_txt", "txtPgFmt", "cmbNumber", "txtStampText"}) {
        EXPECT_TRUE(m->enabled(n)) << n;
    }
    EXPECT_FALSE(m->enabled("txtStampAngle"));
    EXPECT_EQ(m->value("picStamp"), 14);
    EXPECT_EQ(m->value("sldTransparency"), 62);
    EXPECT_EQ(m->text("txtTransparency"), " 62.5");

    // The same records in file order: level first, password later.
    m = load("[Field=Compat_Com Type=L]\r\n 2 \r\n[Field=perm1_txt Type=T]\r\nowner\r\n");
    EXPECT_TRUE(m->enabled("Low_Chk"));
}

// The AES levels are stored as list positions like the others and read back as written; a
// position past the list is still a record the control cannot take.
TEST(SettingsFileRead, AesLevelsRoundTripAsListPositions) {
    for (int level : {kCompatAes128, kCompatAes256}) {
        auto m = SettingsModel::create();
        m->setListIndex("Compat_Com", level);
        m->setText("perm1_txt", "owner");
        m->setText("perm2_txt", "owner");
        const std::string bytes = writeSettingsFile(*m, 1, {});
        EXPECT_NE(bytes.find("[Field=Compat_Com Type=L]\r\n " + std::to_string(level) + " \r\n"),
                  std::string::npos);
        const auto back = load(bytes);
        EXPECT_EQ(back->listIndex("Compat_Com"), level);
        EXPECT_TRUE(back->enabled("Low_Chk"));
        EXPECT_FALSE(securityUnread(parseSettingsFile(bytes), *back));
    }
    // The output size options travel the same way; the rules run as they arrive.
    auto m = SettingsModel::create();
    m->setChecked("chkReduceImages", true);
    m->setText("txtImageDpi", "96");
    m->setText("txtImageQuality", "40");
    m->setChecked("chkSmallest", true);
    const auto back = load(writeSettingsFile(*m, 0, {}));
    expectSameStoredValues(*m, *back);
    EXPECT_TRUE(back->enabled("txtImageQuality"));

    const auto past = load("[Field=Compat_Com Type=L]\r\n 5 \r\n");
    EXPECT_EQ(past->listIndex("Compat_Com"), 0);
}

namespace {

std::string withLfEnds(std::string bytes) {
    for (auto at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at)) {
        bytes.erase(at, 1);
        ++at;
    }
    return bytes;
}

// Field, index, type and value of every record, one text each.
std::vector<std::string> recordTexts(std::string_view bytes) {
    std::vector<std::string> out;
    for (const SettingsRecord& r : parseSettingsFile(bytes)) {
        out.push_back(r.field + "|" + std::to_string(r.index) + "|" + r.type + "|" + r.value);
    }
    return out;
}

} // namespace

TEST(SettingsFileRead, AFileWithLfEndsReadsAsItsCrLfTwin) {
    auto m = SettingsModel::create();
    m->setText("txtNote", "first line\r\n\r\nafter a gap");
    m->setListIndex("Compat_Com", 2);
    m->setText("open1_txt", "user");
    m->setText("perm2_txt", "owner");
    m->setChecked("Print_chk", true);
    const std::string crlf = writeSettingsFile(*m, 1, {"/x/a.pdf", "/x/b.pdf"});
    EXPECT_EQ(recordTexts(withLfEnds(crlf)), recordTexts(crlf));
    expectSameStoredValues(*load(crlf), *load(withLfEnds(crlf)));
    // A lone CR still ends a line, as in a CR LF file.
    EXPECT_EQ(load("[Field=txtSubject Type=T]\na\rb\n\nc\n")->text("txtSubject"), "a\r\nb\r\n\r\nc");
}

TEST(SettingsFileRead, SecurityThatDidNotComeThroughIsNoticed) {
    auto m = SettingsModel::create();
    m->setListIndex("Compat_Com", 1);
    for (const char* box : {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt"}) {
        m->setText(box, "pw");
    }
    const std::string whole = writeSettingsFile(*m, 0, {"/x/a.pdf"});
    const auto unread = [](const std::string& bytes) {
        return securityUnread(parseSettingsFile(bytes), *load(bytes));
    };
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string bytes = whole;
        const auto at = bytes.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return bytes.replace(at, from.size(), to);
    };
    const auto cutBefore = [&](const std::string& header) { return whole.substr(0, whole.find(header)); };

    EXPECT_FALSE(unread(whole));
    // Cut short after the level, or inside the passwords.
    EXPECT_TRUE(unread(cutBefore("[Field=open1_txt")));
    EXPECT_TRUE(unread(cutBefore("[Field=open2_txt")));
    // Cut before the level: nothing asks for encryption.
    EXPECT_FALSE(unread(cutBefore("[Field=Compat_Com")));
    // One bare LF in a CR LF file: a password header joined to its value, the level's header
    // hidden in the record before it.
    EXPECT_TRUE(unread(replaced("[Field=open1_txt Type=T]\r\n", "[Field=open1_txt Type=T]\n")));
    EXPECT_TRUE(unread(replaced(" \r\n[Field=Compat_Com", " \n[Field=Compat_Com")));
    // Records that cannot be taken: an index, another type letter, a level that is no entry.
    EXPECT_TRUE(unread(replaced("[Field=perm1_txt Type=T]", "[Field=perm1_txt Index=0 Type=T]")));
    EXPECT_TRUE(unread(replaced("[Field=perm2_txt Type=T]", "[Field=perm2_txt Type=C]")));
    EXPECT_TRUE(unread(replaced("[Field=Compat_Com Type=L]\r\n 1 ", "[Field=Compat_Com Type=L]\r\n 7 ")));
    // Damage elsewhere is not the security's; a file written by hand need not name every field.
    EXPECT_FALSE(unread(replaced("[Field=txtTitle Type=T]\r\n", "[Field=txtTitle Type=T]\n")));
    EXPECT_FALSE(unread("[Field=Compat_Com Type=L]\r\n 2 \r\n[Field=perm1_txt Type=T]\r\nowner\r\n"));
}

using SettingsFileSave = TempDir;

TEST_F(SettingsFileSave, WritesReplacesAndKeepsPermissions) {
    const auto target = dir_ / "a.plt";
    EXPECT_EQ(saveFileAtomically(target.string(), "first", false), "");
    EXPECT_EQ(readFile(target), "first");
    ::chmod(target.c_str(), 0640);
    EXPECT_EQ(saveFileAtomically(target.string(), "second", false), "");
    EXPECT_EQ(readFile(target), "second");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Passwords inside: only the owner may read the file.
    EXPECT_EQ(saveFileAtomically(target.string(), "third", true), "");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsFileSave, FailuresNameTheFileAndLeaveItUnchanged) {
    const auto missing = dir_ / "no such folder" / "a.plt";
    std::string msg = saveFileAtomically(missing.string(), "x", false);
    EXPECT_NE(msg.find(missing.string()), std::string::npos) << msg;

    const auto target = dir_ / "locked.plt";
    EXPECT_EQ(saveFileAtomically(target.string(), "original", false), "");
    ::chmod(target.c_str(), 0444);
    if (::access(target.c_str(), W_OK) != 0) { // root may write anyway
        msg = saveFileAtomically(target.string(), "replaced", false);
        EXPECT_NE(msg.find("locked.plt"), std::string::npos) << msg;
        EXPECT_EQ(readFile(target), "original");
    }

    EXPECT_NE(saveFileAtomically(dir_.string(), "x", false), "");

    // A link is written through, not replaced.
    const auto real = dir_ / "real.plt";
    const auto link = dir_ / "link.plt";
    EXPECT_EQ(saveFileAtomically(real.string(), "old", false), "");
    std::filesystem::create_symlink(real, link);
    EXPECT_EQ(saveFileAtomically(link.string(), "new", false), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");
}
