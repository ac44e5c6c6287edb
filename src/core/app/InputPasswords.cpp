#include "InputPasswords.h"

#include "MainWindow.h"

#include <algorithm>

namespace plait::core::app {

namespace {
constexpr const char* kPasswordsField = "txtPass";
} // namespace

std::vector<std::string> splitPasswordList(const std::string& list) {
    std::vector<std::string> passwords;
    if (list.empty()) {
        return passwords;
    }
    std::string current;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (c == '\\' && i + 1 < list.size() && (list[i + 1] == ',' || list[i + 1] == '\\')) {
            current.push_back(list[++i]);
        } else if (c == ',') {
            passwords.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    passwords.push_back(std::move(current));
    return passwords;
}

std::string withPassword(const std::string& list, const std::string& password) {
    const std::vector<std::string> known = splitPasswordList(list);
    if (password.empty() || std::find(known.begin(), known.end(), password) != known.end()) {
        return list;
    }
    std::string escaped;
    for (const char c : password) {
        if (c == ',' || c == '\\') {
            escaped.push_back('\\');
        }
        escaped.push_back(c);
    }
    return list.empty() ? escaped : list + "," + escaped;
}

// A password the user typed to preview a locked input is the one its build needs too; it is
// added to the build's input passwords only when the user agrees, and kept nowhere else.
void MainWindow::offerInputPassword(const std::string& password) {
    const std::string list = settings_->text(kPasswordsField);
    const std::string offered = withPassword(list, password);
    if (offered == list) {
        return;
    }
    const ui::Answer answer = s_.messages.showDetailed(
        "Use this password when building?",
        "It is added to the input passwords (Settings, Files tab, \"Input PDF Passwords\").", kShortTitle,
        ui::Icon::Question, ui::Buttons::YesNo);
    if (answer == ui::Answer::Yes) {
        settings_->setText(kPasswordsField, offered);
    }
}

} // namespace plait::core::app
