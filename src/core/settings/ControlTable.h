#pragma once

#include "core/ui/Form.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The one declaration of every control of the settings dialog: what it is, where it stands,
// what it holds when the dialog is created. The model, the reset, the settings file and the
// dialog's widget binding all read this table; nothing else lists the fields.
namespace plait::core::settings {

using ui::ColorValue;
using ui::ControlKind;

// System colours as the settings store them (unresolved).
inline constexpr ColorValue kWindowBackground = 0x80000005;
inline constexpr ColorValue kWindowText = 0x80000008;
inline constexpr ColorValue kButtonFace = 0x8000000F;
inline constexpr ColorValue kButtonText = 0x80000012;

// The pages of the dialog's tab control, page 0 first.
enum Tab : int {
    kNoTab = -1, // outside the tab control (OK, Reset All, status bar)
    kTabFiles,
    kTabPageNumbers,
    kTabOverlay,
    kTabBookmarks,
    kTabHighlights,
    kTabDescription,
    kTabSecurity,
    kTabImposition,
    kTabNotes,
    kTabAttachments,
    kTabPageSize,
    kTabPageSizeAdvanced,
    kTabText,
    kTabStamps,
    kTabMedia,
};
inline constexpr int kTabCount = 15;
// Tab captions, indexed by Tab.
extern const std::array<std::string_view, kTabCount> kTabCaptions;

// What a control of kind ControlKind::Other is on screen.
enum class OtherRole : std::uint8_t { None, Frame, Image, Tree, Browser };

// One control of the dialog.
struct ControlDef {
    std::string_view name;
    int index = -1; // member of a control array, else -1
    ControlKind kind = ControlKind::Other;
    // Caption of labels, check boxes, option buttons, command buttons and frames, "&" marking the
    // access key; empty where the control shows none.
    std::string_view caption;
    std::string_view text; // initial text of a text box
    // Check state; option picked (1); slider position; picture number of picStamp and
    // imgFromPage; for the toolbar, the button pressed at start; combo boxes start at -1.
    int value = 0;
    ColorValue color = 0; // picture box background, label text colour, text box background
    // Combo box entries; for the toolbar, the tool tips of its buttons (one button per entry).
    std::span<const std::string_view> items;
    bool enabled = true; // state when the dialog is created
    bool visible = true;
    bool multiLine = false; // text boxes that take several lines
    bool masked = false;    // password boxes (shown masked while "Mask Passwords" is ticked)
    int tab = kNoTab;
    std::string_view container; // frame the control stands in, empty for the tab page itself
    OtherRole role = OtherRole::None;

    // Settings files store the seven value kinds and nothing else.
    constexpr bool stored() const {
        switch (kind) {
        case ControlKind::TextBox:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::ComboBox:
        case ControlKind::PictureBox:
        case ControlKind::Label:
        case ControlKind::Toolbar:
            return true;
        default:
            return false;
        }
    }
};

// Every control, in the dialog's collection order: the stored controls first, in the order a
// settings file holds them, then the controls that hold nothing stored.
std::span<const ControlDef> controlTable();

// One record of a settings file's dialog part, as the writer produces it.
struct StoredRecord {
    std::string_view name;
    int writtenIndex;    // index in the header, -1 for none (labels of arrays are written bare)
    char type;           // T, C, O, L, P, A or B
    std::size_t control; // position of the control in controlTable()
    int button;          // toolbar button number for type B, else 0
};

// The stored records in file order (224: the toolbar writes one per button).
std::span<const StoredRecord> storedRecords();

// Number of stored controls (fields) in the table.
std::size_t storedFieldCount();

// The settings file's type letter for a stored kind, '\0' for the others.
char typeLetter(ControlKind kind);

// List positions that rules and build steps act on.
// Compat_Com: "Acrobat 4.0 (40-Bit)", the first level that asks for encryption ("None" is 0).
inline constexpr int kCompat40Bit = 1;
// Compat_Com: "Acrobat 5.0 (128-Bit)"; the entries before it encrypt with 40-bit keys or not at all.
inline constexpr int kCompat128Bit = 2;
// Compat_Com: "AES 128-Bit" and "AES 256-Bit", after the RC4 levels; every restriction has a bit
// of its own in them, as at the 128-bit level.
inline constexpr int kCompatAes128 = 3;
inline constexpr int kCompatAes256 = 4;
// cmbImpose: "None"; every later entry imposes the pages.
inline constexpr int kImposeNone = 0;
// cmbStamp: "Approved (w/ Text)" to "Received" carry the user's text and take no angle.
inline constexpr int kFirstTextStamp = 13;
inline constexpr int kLastTextStamp = 16;
// optPgAlign members: 0 none, 1 left, 2 centre, 3 right.
inline constexpr int kPageAlignCenter = 2;
inline constexpr int kPageAlignRight = 3;

// Stamp pictures: picture n (1..21) shows cmbStamp entry n; this one is the blank.
inline constexpr int kBlankStampPicture = 22;
// Position pictures of imgFromPage: a page with the origin corner marked.
inline constexpr int kOriginTopRight = 4;
inline constexpr int kOriginBottomLeft = 5;
inline constexpr int kOriginBottomRight = 6;
inline constexpr int kOriginTopLeft = 7;

} // namespace plait::core::settings
