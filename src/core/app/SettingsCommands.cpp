// Opening and saving settings files from the main window.

#include "core/app/MainWindow.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsModel.h"

#include <iterator>

namespace plait::core::app {
namespace {

constexpr const char* kSettingsFilter = "PDF Plait Settings (*.plt)|*.plt|All Files (*.*)|*.*";

} // namespace

void MainWindow::loadSettings() {
    // The open dialog starts clean rather than with whatever the last file choice left.
    dialog_.fileName.clear();
    dialog_.defaultExt = ".plt";
    dialog_.filter = kSettingsFilter;
    dialog_.flags = ui::FileDialogState::kExplorer | ui::FileDialogState::kHideReadOnly;
    s_.fileDialog.showOpen(dialog_);
    if (dialog_.fileName.empty()) {
        return;
    }
    const std::string path = dialog_.fileName;
    if (!s_.platform.exists(path)) {
        s_.messages.show("File does not exist", kAppTitle, ui::Icon::None, ui::Buttons::Ok);
        return;
    }
    loadSettingsFrom(path);
}

bool MainWindow::loadSettingsFrom(const std::string& path) {
    // Read first: a file that cannot be read changes nothing.
    std::string reason;
    const std::optional<std::string> bytes = settings::readSettingsFileBytes(path, reason);
    if (!bytes) {
        s_.messages.show("Cannot read the settings file '" + path + "': " + reason + ".", kShortTitle,
                         ui::Icon::Exclamation, ui::Buttons::Ok);
        return false;
    }
    currentSettingsFile_ = path;
    form_.setEnabled("mnuSave", true);
    resetSettings();

    settings::SettingsModel& model = *settings_;
    const std::vector<settings::SettingsRecord> records = settings::parseSettingsFile(*bytes);
    // The entry each path of the last TreeView1 record became (none for a path not found).
    std::vector<std::optional<std::size_t>> storedEntries;
    for (const settings::SettingsRecord& record : records) {
        if (record.field == settings::kInputPagesField) {
            for (const auto& [place, pages] : settings::parseInputPages(record.value)) {
                if (place <= storedEntries.size() && storedEntries[place - 1]) {
                    inputs_.setPages(*storedEntries[place - 1], pages);
                }
            }
        } else if (record.type == "1") {
            setOverlayType(record.index);
        } else if (record.field == "TreeView1") {
            // No preview of each stored input while they are added.
            const int viewer = form_.value("chkViewer");
            form_.setValue("chkViewer", 0);
            storedEntries.clear();
            std::string_view rest(record.value);
            while (!rest.empty()) {
                const std::size_t end = rest.find("\r\n");
                const std::string piece(rest.substr(0, end));
                rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
                if (!piece.empty()) {
                    const std::size_t before = inputs_.size();
                    insertFile(piece);
                    storedEntries.push_back(inputs_.size() == before + 1 ? std::optional(before)
                                                                         : std::nullopt);
                }
            }
            form_.setValue("chkViewer", viewer);
            if (inputs_.selected() && viewer == 1) {
                showFile(inputs_.selectedEntry()->text);
            }
        } else {
            settings::applySettingsRecord(model, record);
        }
    }
    // A build from what could be read would not protect the output as the file asks; it is
    // refused until the user has set the security fields again.
    if (settings::securityUnread(records, model)) {
        unreadSecurity_ = UnreadSecurity{path, securityFields()};
    }
    return true;
}

std::string MainWindow::securityFields() const {
    std::string fields = std::to_string(settings_->listIndex("Compat_Com"));
    for (std::string_view name : {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt"}) {
        fields += '\0';
        fields += settings_->text(name);
    }
    return fields;
}

std::string MainWindow::unreadSecurityFile() const {
    if (unreadSecurity_ && unreadSecurity_->fieldsAsLoaded == securityFields()) {
        return unreadSecurity_->file;
    }
    return {};
}

std::string MainWindow::settingsFileBytes() const {
    return settings::writeSettingsFile(*settings_, overlayType_, inputs_.texts(), inputs_.pageChoices());
}

void MainWindow::saveSettings(bool askForName) {
    std::string target = currentSettingsFile_;
    if (askForName) {
        dialog_.fileName = currentSettingsFile_;
        dialog_.defaultExt = ".plt";
        dialog_.filter = kSettingsFilter;
        dialog_.flags = ui::FileDialogState::kOverwritePrompt;
        s_.fileDialog.showSave(dialog_);
        if (dialog_.fileName.empty()) {
            return;
        }
        target = dialog_.fileName;
    }
    if (target.empty()) {
        return;
    }
    currentSettingsFile_ = target;
    saveSettingsTo(target);
}

bool MainWindow::saveSettingsTo(const std::string& path) {
    const std::string error =
        settings::saveFileAtomically(path, settingsFileBytes(), settings::containsPassword(*settings_));
    if (!error.empty()) {
        s_.messages.show(error, kShortTitle, ui::Icon::Exclamation, ui::Buttons::Ok);
        return false;
    }
    return true;
}

} // namespace plait::core::app
