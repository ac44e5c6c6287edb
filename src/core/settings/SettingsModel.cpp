#include "SettingsModel.h"

#include "Passwords.h"
#include "core/ui/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace plait::core::settings {

namespace {

constexpr std::string_view kBasicPermissions[] = {"Print_chk", "Change_chk", "Text_Chk", "Ann_Chk"};
constexpr std::string_view kExtendedPermissions[] = {"Fill_Chk", "Asm_chk", "Low_Chk"};

ui::Control makeControl(const ControlDef& def) {
    ui::Control c;
    c.name = std::string(def.name);
    c.index = def.index;
    c.kind = def.kind;
    c.caption = std::string(def.caption);
    c.text = std::string(def.text);
    c.color = def.color;
    c.enabled = def.enabled;
    c.visible = def.visible;
    if (def.kind == ControlKind::Toolbar) {
        c.buttons.assign(def.items.size(), 0);
        if (def.value >= 1 && static_cast<std::size_t>(def.value) <= c.buttons.size()) {
            c.buttons[static_cast<std::size_t>(def.value - 1)] = 1;
        }
    } else {
        c.value = def.value;
    }
    c.items.reserve(def.items.size());
    for (std::string_view item : def.items) {
        c.items.emplace_back(item);
    }
    return c;
}

void enableAll(ui::Form& f, std::span<const std::string_view> names, bool on) {
    for (std::string_view n : names) {
        f.setEnabled(n, on);
    }
}

// --- Security tab ---------------------------------------------------------------------------

// The compatibility level decides which password and permission boxes can be used. A list
// with no selection counts as level 0: without a level there is no encryption to configure.
void compatibilityChanged(ui::Form& f, const ui::Control& combo) {
    auto& model = static_cast<SettingsModel&>(f);
    const int level = combo.value;
    const bool havePermPassword = !f.text("perm1_txt").empty();
    if (level <= 0) {
        for (std::string_view box : kPasswordBoxes) {
            f.setEnabled(box, false);
            model.setBackground(box, kButtonFace);
        }
        enableAll(f, kBasicPermissions, false);
    } else {
        for (std::string_view box : kPasswordBoxes) {
            f.setEnabled(box, true);
            model.setBackground(box, kWindowBackground);
        }
        if (havePermPassword) {
            enableAll(f, kBasicPermissions, true);
        }
    }
    if (level < kCompat128Bit) {
        enableAll(f, kExtendedPermissions, false);
    } else if (havePermPassword) {
        enableAll(f, kExtendedPermissions, true);
    }
}

// Permissions only mean something with a permissions password. The level is not consulted
// for the basic boxes: a password loaded at level 0 still enables them.
void permissionPasswordChanged(ui::Form& f, const ui::Control& box) {
    if (box.text.empty()) {
        enableAll(f, kBasicPermissions, false);
        enableAll(f, kExtendedPermissions, false);
        return;
    }
    enableAll(f, kBasicPermissions, true);
    if (f.listIndex("Compat_Com") >= kCompat128Bit) {
        enableAll(f, kExtendedPermissions, true);
    }
}

// One-way pairs: a permission that implies (or excludes) another pulls it along.
void pullPartner(ui::Form& f, const ui::Control& box, int when, std::string_view partner, int to) {
    if (box.value == when) {
        f.setValue(partner, to);
    }
}

// --- Interlocks -----------------------------------------------------------------------------

void pageNumbersChanged(ui::Form& f, const ui::Control& box) {
    const bool on = box.value == 1;
    f.setEnabledAll("optPgAlign", on);
    for (std::string_view n :
         {"lblCenter", "lblLeft", "lblRight2", "lblPgFmt", "txtPgFmt", "lblPgLeft", "txtPgLeft",
          "lblPgBottom", "txtPgBottom", "lblNumb", "cmbNumber", "lblSize", "txtSize"}) {
        f.setEnabled(n, on);
    }
    f.setEnabled("lblPoints", 0, on);
    f.setEnabled("lblPoints", 1, on);
}

void reduceImagesChanged(ui::Form& f, const ui::Control& box) {
    for (std::string_view n : {"lblImageDpi", "txtImageDpi", "lblImageQuality", "txtImageQuality"}) {
        f.setEnabled(n, box.value == 1);
    }
}

void centerChanged(ui::Form& f, const ui::Control& box) {
    const bool on = box.value == 0;
    for (std::string_view n : {"lblDown", "lblRight", "txtDown", "txtRight", "lblPoints1", "lblPoints2"}) {
        f.setEnabled(n, on);
    }
}

void pageSizeChanged(ui::Form& f, const ui::Control&) {
    const bool on = !f.text("txtPageSizeX").empty() && !f.text("txtPageSizeY").empty();
    f.setEnabled("chkAutoScale1", on);
    f.setEnabled("chkAutoScale2", on);
}

void pullPagesChanged(ui::Form& f, const ui::Control& box) {
    const bool on = box.text.empty();
    f.setEnabled("chkRevOverlay", on);
    f.setEnabled("chkAutoRotate", on);
}

void replaceChanged(ui::Form& f, const ui::Control& box) {
    const bool on = box.text.empty();
    f.setEnabled("cmbHiType", on);
    f.setEnabled("lblHighlight", on);
}

// --- Pictures, alignment, transparency ------------------------------------------------------

// The origin picture follows the two option groups of "Page Position".
void setPgPosImage(ui::Form& f, const ui::Control&) {
    const bool right = f.value("optLeft", 0) == 1;
    const bool top = f.value("optBottom", 0) == 1;
    int picture = kOriginBottomLeft;
    if (right) {
        picture = top ? kOriginTopRight : kOriginBottomRight;
    } else if (top) {
        picture = kOriginTopLeft;
    }
    f.setValue("imgFromPage", picture);
}

// The text stamps carry the user's text and take no angle; every other stamp the reverse.
void stampChanged(ui::Form& f, const ui::Control& combo) {
    const int p = combo.value;
    const int pictures = static_cast<int>(combo.items.size()) - 1;
    f.setValue("picStamp", p > 0 && p <= pictures ? p : kBlankStampPicture);
    const bool withText = p >= kFirstTextStamp && p <= kLastTextStamp;
    f.setEnabled("txtStampText", withText);
    f.setEnabled("lblStampText", withText);
    f.setEnabled("txtStampAngle", !withText);
    f.setEnabled("lblStampAngle", !withText);
    f.setEnabled("lblStampAngle2", !withText);
}

// Clicks keep exactly one alignment button pressed.
void alignmentClicked(ui::Form& f, int button) {
    if (f.buttonPressed("tbTextAlign", button)) {
        for (int b = 1; b <= 3; ++b) {
            if (b != button) {
                f.setButton("tbTextAlign", b, false);
            }
        }
    } else {
        f.setButton("tbTextAlign", button, true);
    }
}

// The box's text is left as typed; the slider only follows it when it is a usable number.
void transparencyChanged(ui::Form& f, const ui::Control& box) {
    if (auto pos = sliderPositionFor(box.text)) {
        f.setValue("sldTransparency", *pos);
    }
}

} // namespace

SettingsModel::SettingsModel() {
    for (const ControlDef& def : controlTable()) {
        add(makeControl(def));
    }
    attachRules();
    // Combo boxes come up empty; showing each one's first entry is what makes the dependent
    // controls take their start states.
    for (const ControlDef& def : controlTable()) {
        if (def.kind == ControlKind::ComboBox) {
            setValue(at(def.name, def.index), 0);
        }
    }
}

void SettingsModel::setBackground(std::string_view name, ui::ColorValue color) {
    ui::Control& c = at(name);
    if (c.color != color) {
        c.color = color;
        changed(c, ui::Property::Color, false);
    }
}

void SettingsModel::attachRules() {
    onChange("Compat_Com", compatibilityChanged);
    onChange("perm1_txt", permissionPasswordChanged);
    onChange("Print_chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 1, "Low_Chk", 0); });
    onChange("Low_Chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 1, "Print_chk", 0); });
    onChange("Ann_Chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 0, "Fill_Chk", 0); });
    onChange("Fill_Chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 1, "Ann_Chk", 1); });
    onChange("Change_chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 0, "Asm_chk", 0); });
    onChange("Asm_chk", [](ui::Form& f, const ui::Control& c) { pullPartner(f, c, 1, "Change_chk", 1); });

    onChange("chkPage", pageNumbersChanged);
    onChange("chkCenter", centerChanged);
    onChange("txtPageSizeX", pageSizeChanged);
    onChange("txtPageSizeY", pageSizeChanged);
    onChange("txtPullPages", pullPagesChanged);
    onChange("txtReplace", replaceChanged);

    onChange("optLeft", setPgPosImage);
    onChange("optBottom", setPgPosImage);
    onChange("cmbStamp", stampChanged);
    onButtonClick("tbTextAlign", alignmentClicked);
    onChange("txtTransparency", transparencyChanged);
    onChange("chkReduceImages", reduceImagesChanged);
}

void resetSettings(std::unique_ptr<SettingsModel>& model) {
    model = SettingsModel::create();
}

std::optional<std::string> confirmationMessage(const SettingsModel& model, std::string_view leftBox) {
    for (const auto& pair : passwordPairs()) {
        if (pair.confirmation == leftBox) {
            return passwordMismatch(model, pair);
        }
    }
    return std::nullopt;
}

std::optional<int> sliderPositionFor(std::string_view text) {
    std::string_view s = ui::trimmed(text, ui::kBlanksAndTabs);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Plain decimal notation only (digits, one point, an optional exponent): from_chars alone
    // would also take "inf" and "nan".
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '.')) {
        return std::nullopt;
    }
    double number = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), number, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(number)) {
        return std::nullopt;
    }
    if (negative) {
        number = -number;
    }
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double whole = std::nearbyint(number);
    if (whole < -32768.0 || whole > 32767.0) {
        return std::nullopt;
    }
    return std::clamp(static_cast<int>(whole), 0, 100);
}

void sliderClicked(SettingsModel& model, int position) {
    position = std::clamp(position, 0, 100);
    model.setValue("sldTransparency", position);
    model.setText("txtTransparency", std::to_string(position));
}

void clickColorButton(SettingsModel& model, std::string_view button, ui::ColorDialog& dialog) {
    const char* target = nullptr;
    if (button == "btnColor") {
        target = "picColor";
    } else if (button == "btnTextColor") {
        target = "lblTextColor";
    } else {
        return;
    }
    if (auto color = dialog.pickColor()) {
        model.setColor(target, -1, *color);
    }
}

std::string getOpenFile(ui::FileDialog& dialog, ui::FileDialogState& state, bool& firstOpenDialog) {
    state.fileName.clear();
    state.defaultExt.clear();
    if (firstOpenDialog) {
        std::error_code ec;
        state.initDir = std::filesystem::current_path(ec).string();
        firstOpenDialog = false;
    }
    state.filter = "All Files (*.*)|*.*";
    state.maxFileSize = 2048;
    state.flags = ui::FileDialogState::kExplorer | ui::FileDialogState::kHideReadOnly;
    dialog.showOpen(state);
    if (state.fileName.empty()) {
        return {};
    }
    // Later dialogs start wherever the platform's dialog chooses.
    state.initDir.clear();
    return state.fileName;
}

void browseAttachment(SettingsModel& model, int row, ui::FileDialog& dialog, bool& firstOpenDialog) {
    if (row < 1 || row > 5) {
        return;
    }
    std::string file = getOpenFile(dialog, model.commonDialog(), firstOpenDialog);
    if (!file.empty()) {
        model.setText("txtAttach" + std::to_string(row), std::move(file));
    }
}

void openAttachment(const SettingsModel& model, int row, ui::ShellOpen& shell) {
    if (row < 1 || row > 5) {
        return;
    }
    const std::string file = model.text("txtAttach" + std::to_string(row));
    if (!file.empty()) {
        shell.open(file);
    }
}

} // namespace plait::core::settings
