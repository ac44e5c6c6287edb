// The control table declares every list's entries and the binder fills the combo boxes from
// it; a .ui file holds layout and names only. An entry written into a .ui would be a second
// copy that nothing reads, so none may be there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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

} // namespace
