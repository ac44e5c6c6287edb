// The control table declares every list's entries and every caption, and the binder fills the
// combo boxes and captions from it; a .ui file holds layout and names only. An entry or caption
// written into a .ui would be a second copy that nothing reads, so none may be there.

#include "core/build/ProgressWindow.h"
#include "core/settings/ControlTable.h"
#include "core/support/Fakes.h"
#include "gui/ui/FormBinder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kGuiSources = fs::path(PLAIT_TEST_DATA_DIR) / ".." / ".." / "src" / "gui";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The names of the combo boxes of a .ui text that carry entries.
std::vector<std::string> combosWithEntries(const std::string& ui) {
    static const std::regex combo(R"re(<widget class="QComboBox" name="([^"]+)"[^>]*>([\s\S]*?)</widget>)re");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(ui.begin(), ui.end(), combo); it != std::sregex_iterator(); ++it) {
        if ((*it)[2].str().find("<item") != std::string::npos) {
            found.push_back((*it)[1].str());
        }
    }
    return found;
}

// The widgets and actions of a .ui text, among `captioned`, that carry a text, title or window
// title of their own (a property directly inside them, not inside a child).
std::vector<std::string> captionsIn(const std::string& ui, const std::set<std::string>& captioned) {
    static const std::regex tag(R"re(<(/?)(widget|action|property)\b([^>]*?)(/?)>)re");
    static const std::regex nameAttr(R"re(\bname="([^"]+)")re");
    std::vector<std::string> owners; // the open widgets and actions, innermost last
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(ui.begin(), ui.end(), tag); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        const bool closing = m[1].matched && m[1].length() > 0;
        const bool selfClosing = m[4].matched && m[4].length() > 0;
        const std::string element = m[2].str();
        const std::string attributes = m[3].str();
        std::smatch name;
        std::regex_search(attributes, name, nameAttr);
        if (element == "property") {
            const std::string property = name.empty() ? std::string() : name[1].str();
            const bool caption = property == "text" || property == "title" || property == "windowTitle";
            if (!closing && caption && !owners.empty() && captioned.count(owners.back()) > 0) {
                found.push_back(owners.back());
            }
        } else if (closing) {
            if (!owners.empty()) {
                owners.pop_back();
            }
        } else if (!selfClosing) {
            owners.push_back(name.empty() ? std::string() : name[1].str());
        }
    }
    return found;
}

void addCaptioned(std::set<std::string>& names, const plait::ui::Form& form) {
    for (const plait::ui::Control& c : form.controls()) {
        if (!c.caption.empty()) {
            names.insert(plait::gui::FormBinder::objectNameFor(c.name, c.index).toStdString());
        }
    }
}

// The controls that take their caption from a model, by the form that lays them out.
std::set<std::string> captionedControls(const fs::path& form) {
    std::set<std::string> names;
    const std::string file = form.filename().string();
    if (file == "MainWindowView.ui") {
        plait::test::Harness program;
        addCaptioned(names, program.window->form());
    } else if (file == "ProgressDialog.ui") {
        addCaptioned(names, plait::core::build::ProgressWindow());
    } else if (form.parent_path().filename() == "settings") {
        for (const plait::core::settings::ControlDef& c : plait::core::settings::controlTable()) {
            if (!c.caption.empty()) {
                names.insert(
                    plait::gui::FormBinder::objectNameFor(std::string(c.name), c.index).toStdString());
            }
        }
    }
    return names;
}

TEST(UiFiles, NoComboBoxCarriesListEntries) {
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kGuiSources)) {
        if (entry.path().extension() != ".ui") {
            continue;
        }
        ++files;
        EXPECT_EQ(combosWithEntries(readFile(entry.path())), std::vector<std::string>{}) << entry.path();
    }
    EXPECT_GE(files, 15) << "the settings tabs and the main window were read";
}

TEST(UiFiles, TheCheckSeesEntriesInAnyForm) {
    EXPECT_EQ(combosWithEntries(R"(<widget class="QComboBox" name="cmbA">
     <item><property name="text"><string>Points</string></property></item>
    </widget>
    <widget class="QComboBox" name="cmbB">
     <property name="maximumSize"><size><width>9</width></size></property>
    </widget>
    <widget class="QComboBox" name="cmbC">
     <item>
      <property name="text">
       <string>Inches</string>
      </property>
     </item>
    </widget>)"),
              (std::vector<std::string>{"cmbA", "cmbC"}));
}

TEST(UiFiles, NoBoundControlCarriesACaption) {
    int files = 0;
    int captioned = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kGuiSources)) {
        if (entry.path().extension() != ".ui") {
            continue;
        }
        ++files;
        const std::set<std::string> names = captionedControls(entry.path());
        captioned += static_cast<int>(names.size());
        EXPECT_EQ(captionsIn(readFile(entry.path()), names), std::vector<std::string>{}) << entry.path();
    }
    EXPECT_GE(files, 17) << "the settings tabs, the main window and the progress window were read";
    EXPECT_GT(captioned, 150) << "the models' captions were found";
}

TEST(UiFiles, TheCheckSeesCaptionsInAnyForm) {
    const std::set<std::string> captioned = {"frmMain", "frmAlign", "optPgAlign_0", "lblLeft",
                                             "chkPage", "mnuFile",  "mnuExit",      "btnOK"};
    EXPECT_EQ(captionsIn(R"(<widget class="QMainWindow" name="frmMain">
  <property name="windowTitle"><string>PDF Plait</string></property>
  <widget class="QGroupBox" name="frmAlign">
   <property name="title">
    <string>Align on Page</string>
   </property>
   <layout class="QGridLayout" name="grid">
    <item row="0" column="0">
     <widget class="QRadioButton" name="optPgAlign_0">
      <property name="text"><string>None</string></property>
     </widget>
    </item>
    <item row="0" column="1">
     <widget class="QRadioButton" name="optPgAlign_1">
      <property name="text"><string></string></property>
     </widget>
    </item>
   </layout>
   <widget class="QLabel" name="lblLeft"/>
  </widget>
  <widget class="QLabel" name="lblHint">
   <property name="text"><string>not bound, kept</string></property>
  </widget>
  <widget class="QCheckBox" name="chkPage">
   <property name="toolTip"><string>a tooltip is no caption</string></property>
  </widget>
  <widget class="QMenu" name="mnuFile">
   <property name="title"><string>&amp;File</string></property>
   <addaction name="mnuExit"/>
  </widget>
 </widget>
 <action name="mnuExit">
  <property name="text"><string>E&amp;xit</string></property>
 </action>)",
                         captioned),
              (std::vector<std::string>{"frmMain", "frmAlign", "optPgAlign_0", "mnuFile", "mnuExit"}));
}

} // namespace
