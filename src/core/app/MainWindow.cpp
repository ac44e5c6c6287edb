#include "MainWindow.h"

#include "core/settings/ControlTable.h"

#include <array>

namespace plait::core::app {
namespace {

using ui::ControlKind;

// The controls that need at least one input.
constexpr std::array kListControls{"mnuRemove", "mnuRemoveAll", "mnuView", "mnuBuildPDF",
                                   "go",        "btnUp",        "btnDown", "btnRemove"};

constexpr const char* kAddFilter =
    "PDF Files (*.pdf)|*.pdf|AVI Movie (*.avi)|*.avi|Flash (*.swf)|*.swf|GIF Files (*.gif)|*.gif|Jpeg Files "
    "(*.jpg, *.jpeg)|*.jpg;*.jpeg|MP3 Audio (*.mp3)|*.mp3|MP4 Audio/Video (*.mp4)|*.mp4|MPEG Movie (*.mpg, "
    "*.mpeg)|*.mpg;*.mpeg|TIFF Files (*.tif, *.tiff)|*.tif;*.tiff|Quick Time Movie (*.mov)|*.mov|Windows "
    "Media "
    "(*.wmv, *.wma)|*.wmv;*.wma|Windows WAVE Audio (*.wav)|*.wav|All Files (*.*)|*.*";

} // namespace

std::string makeBlankPreviewHtml() {
    return "<html><style type=\"text/css\">\r\n"
           "body { margin: 0px; padding: 0px; margin-top: 0px; margin-right: 0px; margin-bottom: 0px; "
           "margin-left: 0px; background-color: #787878;} \r\n"
           "</style>\r\n"
           "<body marginwidth=\"0\" marginheight=\"0\" topmargin=\"0\" leftmargin=\"0\" hspace=\"0\" "
           "vspace=\"0\" style=\"margin:0\"><div "
           "style=\"background-color:#787878;height=100%;width=100%;\">&nbsp;</div></body></html>";
}

MainWindow::MainWindow(MainWindowServices services)
    : s_(std::move(services)),
      driver_({s_.messages, s_.preview, s_.events, s_.host, s_.engines, s_.platform}) {
    driver_.onFinished = [this] {
        if (onBuildFinished) {
            onBuildFinished();
        }
    };
    auto control = [&](const char* name, ControlKind kind, const char* caption = "", bool enabled = true) {
        form_.add({.name = name, .kind = kind, .caption = caption, .enabled = enabled});
    };
    control("frmMain", ControlKind::Other, kShortTitle);
    form_.add({.name = "Toolbar1", .kind = ControlKind::Toolbar, .buttons = std::vector<int>(10, 0)});
    control("TreeView1", ControlKind::Other);
    control("btnUp", ControlKind::CommandButton, "", false);
    control("btnDown", ControlKind::CommandButton, "", false);
    control("btnRemove", ControlKind::CommandButton, "", false);
    // Drawn in the desktop's text colour, as the settings dialog's labels are.
    form_.add({.name = "labOutfile",
               .kind = ControlKind::Label,
               .caption = "Output File",
               .color = settings::kButtonText});
    control("txtOutfile", ControlKind::TextBox);
    control("cmdOutput", ControlKind::CommandButton, "...");
    control("go", ControlKind::CommandButton, "", false);
    form_.add({.name = "chkViewer", .kind = ControlKind::CheckBox, .caption = "View", .value = 1});
    control("chkPreview", ControlKind::CheckBox, "Auto Open in Default PDF Viewer");
    control("StatusBar1", ControlKind::StatusBar);
    control("mnuFile", ControlKind::MenuItem, "&File");
    control("mnuAddPDF", ControlKind::MenuItem, "Add &File...");
    control("mnuOpen", ControlKind::MenuItem, "&Open...");
    control("mnuSave", ControlKind::MenuItem, "&Save", false);
    control("mnuSaveAs", ControlKind::MenuItem, "Save &As...");
    control("mnuView", ControlKind::MenuItem, "&View Selected File", false);
    control("mnuRemove", ControlKind::MenuItem, "&Remove Selected File", false);
    control("mnuRemoveAll", ControlKind::MenuItem, "R&emove All", false);
    control("mnuAddOutput", ControlKind::MenuItem, "Add O&utput File", false);
    control("mnuDispOutput", ControlKind::MenuItem, "&Display Output", false);
    control("mnuBuildPDF", ControlKind::MenuItem, "&Build PDF", false);
    control("mnuExit", ControlKind::MenuItem, "E&xit");
    control("mnuOptions", ControlKind::MenuItem, "&Options");
    control("mnuSettings", ControlKind::MenuItem, "&Settings...");
    control("mnuHelp", ControlKind::MenuItem, "&Help");
    control("mnuManual", ControlKind::MenuItem, "&PDF Manual");
    control("mnuAbout", ControlKind::MenuItem, "&About PDF Plait...");
    // A click toggles the button first (two-state buttons), then this runs.
    form_.onButtonClick("Toolbar1", [this](ui::Form&, int button) { toolbarClicked(button); });
    // The settings exist from the start; the load step resets them again.
    settings::resetSettings(settings_);
    outlineEditor_ = std::make_unique<outline::OutlineEditor>(*settings_, bmKeyCount_);
}

MainWindow::~MainWindow() = default;

void MainWindow::notifyInputs(ListChange change, std::size_t index, std::size_t other) {
    if (onInputsChanged) {
        onInputsChanged(change, index, other);
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::load() {
    try {
        loadSteps();
    } catch (const ProgramTerminated&) {
        // The program has been told to end; nothing more of the start-up runs.
    }
}

void MainWindow::loadSteps() {
    // Each step that fails is passed over and the next one runs; only a preview pane that
    // never becomes ready ends the program.
    auto step = [](auto&& fn) {
        try {
            fn();
        } catch (const ProgramTerminated&) {
            throw;
        } catch (...) {
        }
    };
    step([&] { firstOpenDialog_ = true; });
    step([&] { blankPreviewHtml_ = makeBlankPreviewHtml(); });
    step([&] { s_.events.processEvents(); });
    step([&] {
        form_.setButton("Toolbar1", 6, true);
        form_.setButton("Toolbar1", 7, false);
        form_.setButton("Toolbar1", 8, false);
        overlayType_ = 0;
    });
    step([&] {
        browserwait();
        s_.preview.navigate("about:blank");
        browserwait();
        s_.preview.setBodyHtml(blankPreviewHtml_);
        browserwait();
        s_.preview.setBackgroundColor("#FFFFFF");
        s_.events.processEvents();
    });
    step([&] { resetSettings(); });
}

bool MainWindow::unload() {
    const ui::Answer answer = s_.messages.show("Do you want to save your settings?", kShortTitle,
                                               ui::Icon::Question, ui::Buttons::YesNoCancel);
    if (answer == ui::Answer::Cancel) {
        return false;
    }
    if (answer == ui::Answer::Yes) {
        saveSettings(true);
    }
    s_.host.closeAllWindows();
    return true;
}

void MainWindow::exitProgram() {
    // The view closes the window, which runs unload() with its question.
}

// ---------------------------------------------------------------------------------------------
// Preview pane

void MainWindow::browserwait() {
    if (!ui::waitForPreview(s_.preview, s_.events, s_.messages)) {
        throw ProgramTerminated();
    }
}

void MainWindow::showFile(const std::string& path) {
    browserwait();
    s_.preview.navigate(path);
    s_.events.processEvents();
}

void MainWindow::showBlankPage() {
    browserwait();
    s_.preview.navigate("about:blank");
    browserwait();
    s_.preview.setBackgroundColor("#FFFFFF");
    browserwait();
    s_.preview.setBodyHtml(blankPreviewHtml_);
    s_.events.processEvents();
}

// ---------------------------------------------------------------------------------------------
// Input list

void MainWindow::setListControlsEnabled(bool enabled) {
    for (const char* name : kListControls) {
        form_.setEnabled(name, enabled);
    }
}

void MainWindow::openScript() {
    dialog_.fileName.clear();
    dialog_.defaultExt = ".pdf";
    if (firstOpenDialog_) {
        dialog_.initDir = s_.platform.currentDir();
        firstOpenDialog_ = false;
    }
    dialog_.filter = kAddFilter;
    dialog_.maxFileSize = 2048;
    dialog_.flags = ui::FileDialogState::kExplorer | ui::FileDialogState::kAllowMultiSelect |
                    ui::FileDialogState::kHideReadOnly;
    s_.fileDialog.showOpen(dialog_);
    if (dialog_.fileName.empty()) {
        return;
    }
    insertFile(dialog_.fileName);
}

void MainWindow::setInputPages(std::size_t index, const std::string& pages) {
    if (index < inputs_.size()) {
        inputs_.setPages(index, pages);
    }
}

bool MainWindow::insertFile(const std::string& path) {
    const std::size_t nul = path.find('\0');
    const std::string checked = path.substr(0, nul);
    if (!s_.platform.exists(checked)) {
        s_.messages.show("File '" + checked + "' not found", kShortTitle, ui::Icon::Exclamation,
                         ui::Buttons::Ok);
        return false;
    }

    std::size_t last = 0;
    if (nul != std::string::npos) {
        std::string folder = checked;
        if (folder.empty() || folder.back() != kPathSeparator) {
            folder.push_back(kPathSeparator);
        }
        std::string_view rest(path);
        rest.remove_prefix(nul + 1);
        while (!rest.empty()) {
            const std::size_t next = rest.find('\0');
            const std::string_view name = rest.substr(0, next);
            rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
            if (name.empty()) {
                continue; // a doubled separator names nothing
            }
            last = inputs_.append(folder + std::string(name));
            notifyInputs(ListChange::Appended, last);
        }
    } else {
        last = inputs_.append(path);
        notifyInputs(ListChange::Appended, last);
    }
    if (inputs_.empty()) {
        return false;
    }
    notifyInputs(ListChange::Selected, last);

    dialog_.fileName = inputs_.at(last).text;
    dialog_.initDir.clear();
    setListControlsEnabled(true);
    if (form_.checked("chkViewer")) {
        showFile(inputs_.at(last).text);
    }
    if (onFocusRequest) {
        onFocusRequest();
    }
    return true;
}

void MainWindow::moveUp() {
    if (!inputs_.selected()) {
        return;
    }
    const std::size_t from = *inputs_.selected();
    if (inputs_.moveSelectedUp()) {
        notifyInputs(ListChange::Moved, from, from - 1);
    }
}

void MainWindow::moveDown() {
    if (!inputs_.selected()) {
        return;
    }
    const std::size_t from = *inputs_.selected();
    if (inputs_.moveSelectedDown()) {
        notifyInputs(ListChange::Moved, from, from + 1);
    }
}

void MainWindow::removeSelected() {
    if (!inputs_.selected()) {
        return;
    }
    const std::size_t at = *inputs_.selected();
    inputs_.removeSelected();
    notifyInputs(ListChange::Removed, at);
    if (inputs_.empty()) {
        setListControlsEnabled(false);
    }
    if (!inputs_.selected()) {
        form_.setEnabled("go", false);
        showBlankPage();
        return;
    }
    notifyInputs(ListChange::Selected, *inputs_.selected());
    if (form_.checked("chkViewer")) {
        showFile(inputs_.selectedEntry()->text);
    }
}

void MainWindow::removeAll() {
    if (!inputs_.selected()) {
        return;
    }
    inputs_.clear();
    notifyInputs(ListChange::Cleared);
    setListControlsEnabled(false);
    form_.setEnabled("go", false);
    showBlankPage();
}

void MainWindow::clickEntry(std::size_t index) {
    inputs_.select(index);
    if (inputs_.selected()) {
        notifyInputs(ListChange::Selected, *inputs_.selected());
    }
    if (inputs_.selected() && form_.checked("chkViewer")) {
        showFile(inputs_.selectedEntry()->text);
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::clickToolbar(int index) {
    form_.clickButton("Toolbar1", index);
}

void MainWindow::toolbarClicked(int index) {
    switch (index) {
    case 1:
        loadSettings();
        break;
    case 2:
        saveSettings(true);
        break;
    case 4:
        openScript();
        break;
    case 6:
    case 7:
    case 8:
        clickMergeButton(index);
        return;
    case 10:
        showSettings();
        break;
    default:
        break;
    }
    // Only the mode buttons keep a pressed state.
    form_.setButton("Toolbar1", index, false);
}

void MainWindow::clickMergeButton(int index) {
    if (index < 6 || index > 8) {
        return;
    }
    if (form_.buttonPressed("Toolbar1", index)) {
        overlayType_ = static_cast<std::int16_t>(index - 6);
        for (int other = 6; other <= 8; ++other) {
            if (other != index) {
                form_.setButton("Toolbar1", other, false);
            }
        }
    } else {
        form_.setButton("Toolbar1", index, true);
    }
}

void MainWindow::setOverlayType(int mode) {
    // A hand-edited file may name a mode that does not exist; the buttons must still show
    // exactly one mode, so such a record is passed over.
    if (mode < 0 || mode > 2) {
        return;
    }
    overlayType_ = static_cast<std::int16_t>(mode);
    for (int b = 6; b <= 8; ++b) {
        form_.setButton("Toolbar1", b, false);
    }
    form_.setButton("Toolbar1", 6 + mode, true);
    clickMergeButton(6 + mode);
}

void MainWindow::chooseOutputFile() {
    dialog_.fileName.clear();
    dialog_.defaultExt = ".pdf";
    dialog_.filter = "PDF Files|*.pdf|All Files (*.*)|*.*";
    dialog_.flags = ui::FileDialogState::kOverwritePrompt;
    s_.fileDialog.showSave(dialog_);
    if (!dialog_.fileName.empty()) {
        form_.setText("txtOutfile", dialog_.fileName);
    }
}

void MainWindow::setStatus(const std::string& text) {
    form_.setText("StatusBar1", text);
}

void MainWindow::viewSelectedFile() {
    const InputEntry* entry = inputs_.selectedEntry();
    if (entry == nullptr) {
        return;
    }
    setStatus("Opening Viewer");
    s_.shell.open(entry->text);
    setStatus("");
}

void MainWindow::openManual() {
    // Installed copies keep the manual beside the program or in the shared data folder.
    const std::string dir = s_.platform.programDir();
    const std::string candidates[] = {
        dir + kPathSeparator + "PDFPlaitAPP.pdf",
        dir + kPathSeparator + ".." + kPathSeparator + "share" + kPathSeparator + "pdfplait" +
            kPathSeparator + "PDFPlaitAPP.pdf",
    };
    for (const auto& c : candidates) {
        if (s_.platform.exists(c)) {
            s_.shell.open(s_.platform.absolutePath(c));
            return;
        }
    }
    s_.shell.open(candidates[0]);
}

void MainWindow::displayOutput() {
    if (!s_.platform.fileLength(lastOutputFile())) {
        return;
    }
    showFile(lastOutputFile());
}

void MainWindow::addOutputFile() {
    if (!lastOutputFile().empty()) {
        insertFile(lastOutputFile());
    }
}

void MainWindow::showSettings() {
    s_.host.showSettingsDialog();
}

void MainWindow::showAbout() {
    s_.host.showAbout();
}

// ---------------------------------------------------------------------------------------------
// The build

void MainWindow::buildPDF() {
    driver_.run(
        {.window = form_,
         .inputs = inputs_.texts(),
         .settings = *settings_,
         .overlayType = overlayType_,
         .outline = &outline(),
         .blankPreviewHtml = blankPreviewHtml_,
         .unreadSecurityFile = unreadSecurityFile(),
         .readFiles = {{"the settings file", currentSettingsFile_}, {"the bookmarks file", bookmarksFile_}},
         .inputPages = inputs_.pageChoices()});
}

void MainWindow::progressTimerTick() {
    build::ProgressWindow* progress = driver_.progress();
    if (progress == nullptr) {
        return;
    }
    progress->load();
    form_.setEnabled("frmMain", false);
}

// ---------------------------------------------------------------------------------------------
// Settings

void MainWindow::resetSettings() {
    // The outline goes with the dialog; its editor must go before the fields it watches.
    outlineEditor_.reset();
    settings::resetSettings(settings_);
    outlineEditor_ = std::make_unique<outline::OutlineEditor>(*settings_, bmKeyCount_);
    unreadSecurity_.reset();
    if (onSettingsReset) {
        onSettingsReset();
    }
}

} // namespace plait::core::app
