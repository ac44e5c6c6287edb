#pragma once

#include "core/settings/ControlTable.h"
#include "core/ui/Form.h"
#include "core/ui/Interfaces.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plait::core::settings {

// The settings dialog's controls: the store of every build option.
//
// Constructing one gives every control of controlTable() its initial state, in table order
// (so controls()[i] is controlTable()[i]), attaches the rules that tie the fields together,
// and then selects entry 0 of every combo box in collection order, running its rule. The
// result is the default option set; there is no other definition of the defaults.
//
// Picture numbers shown by the dialog live in the `value` of the picture controls:
// imgFromPage (origin picture 4..7) and picStamp (stamp picture 1..22).
class SettingsModel : public ui::Form {
public:
    SettingsModel();

    static std::unique_ptr<SettingsModel> create() { return std::make_unique<SettingsModel>(); }

    // The dialog's shared file dialog: every choice reconfigures it, and what a choice does
    // not set stays from the previous one.
    ui::FileDialogState& commonDialog() { return commonDialog_; }

    // Sets the background colour of a control without running change rules: the password
    // boxes' grey is a look, not a value anyone reacts to.
    void setBackground(std::string_view name, ui::ColorValue color);

private:
    void attachRules();

    ui::FileDialogState commonDialog_;
};

// Discards the dialog (whatever it holds) and puts a fresh default one in its place.
void resetSettings(std::unique_ptr<SettingsModel>& model);

// Names of the four password boxes, masked while "Mask Passwords" (Check1) is ticked.
inline constexpr std::string_view kPasswordBoxes[] = {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt"};
inline bool passwordsMasked(const ui::Form& model) {
    return model.checked("Check1");
}

// The check run when the user moves the focus out of a confirmation box (open2_txt or
// perm2_txt): the warning to show, or nothing. Leaving any other box checks nothing.
std::optional<std::string> confirmationMessage(const SettingsModel& model, std::string_view leftBox);

// The slider position a transparency text gives: the number rounded half to even and held to
// 0..100; nothing for text that is no number or lies outside -32768..32767.
std::optional<int> sliderPositionFor(std::string_view text);

// The user clicked the transparency slider (or released it after dragging): the box takes the
// position as a plain integer.
void sliderClicked(SettingsModel& model, int position);

// "Color" buttons: btnColor sets picColor's background, btnTextColor sets lblTextColor's text
// colour. A cancelled dialog changes nothing. Other names do nothing.
void clickColorButton(SettingsModel& model, std::string_view button, ui::ColorDialog& dialog);

// Shows the file-open dialog for one file of any type and returns its path, "" on cancel.
// The very first file dialog of the run (firstOpenDialog) starts in the current directory.
std::string getOpenFile(ui::FileDialog& dialog, ui::FileDialogState& state, bool& firstOpenDialog);

// The "..." button of attachment row 1..5: fills txtAttachN from getOpenFile unless cancelled.
void browseAttachment(SettingsModel& model, int row, ui::FileDialog& dialog, bool& firstOpenDialog);

// The "Open" button of attachment row 1..5: opens txtAttachN's text as typed, unless empty.
void openAttachment(const SettingsModel& model, int row, ui::ShellOpen& shell);

} // namespace plait::core::settings
