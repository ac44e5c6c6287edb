#include "ControlTable.h"

#include <vector>

namespace plait::core::settings {

const std::array<std::string_view, kTabCount> kTabCaptions = {
    "Files",       "Page Numbers",       "Overlay",    "Bookmarks", "Highlights",
    "Description", "Security",           "Imposition", "Notes",     "Attachments",
    "Page Size",   "Page Size Advanced", "Text",       "Stamps",    "Media",
};

namespace {

// A small builder so that each row of the table reads as one line.
struct Row {
    ControlDef s;

    constexpr Row at(int index) const {
        Row r = *this;
        r.s.index = index;
        return r;
    }
    constexpr Row off() const {
        Row r = *this;
        r.s.enabled = false;
        return r;
    }
    constexpr Row hidden() const {
        Row r = *this;
        r.s.visible = false;
        return r;
    }
    constexpr Row multi() const {
        Row r = *this;
        r.s.multiLine = true;
        return r;
    }
    constexpr Row masked() const {
        Row r = *this;
        r.s.masked = true;
        return r;
    }
    constexpr Row in(std::string_view frame) const {
        Row r = *this;
        r.s.container = frame;
        return r;
    }
    constexpr Row text(std::string_view t) const {
        Row r = *this;
        r.s.text = t;
        return r;
    }
    constexpr Row value(int v) const {
        Row r = *this;
        r.s.value = v;
        return r;
    }
    constexpr Row color(ColorValue c) const {
        Row r = *this;
        r.s.color = c;
        return r;
    }
    constexpr operator ControlDef() const { return s; }
};

constexpr Row make(ControlKind kind, std::string_view name, int tab, std::string_view caption = {}) {
    Row r{};
    r.s.name = name;
    r.s.kind = kind;
    r.s.tab = tab;
    r.s.caption = caption;
    return r;
}

// Text boxes have the window background; the dialog's own rules grey the password boxes.
constexpr Row txt(std::string_view name, int tab) {
    return make(ControlKind::TextBox, name, tab).color(kWindowBackground);
}
constexpr Row chk(std::string_view name, int tab, std::string_view caption) {
    return make(ControlKind::CheckBox, name, tab, caption);
}
constexpr Row opt(std::string_view name, int index, int tab, std::string_view caption = {}) {
    return make(ControlKind::OptionButton, name, tab, caption).at(index);
}
// Labels are drawn in the button-text colour unless the dialog says otherwise.
constexpr Row lbl(std::string_view name, int tab, std::string_view caption) {
    return make(ControlKind::Label, name, tab, caption).color(kButtonText);
}
// A combo box starts with no selection; the reset then picks entry 0, which runs its rule.
constexpr Row cmb(std::string_view name, int tab, std::span<const std::string_view> items) {
    Row r = make(ControlKind::ComboBox, name, tab).value(-1);
    r.s.items = items;
    return r;
}
constexpr Row btn(std::string_view name, int tab, std::string_view caption = {}) {
    return make(ControlKind::CommandButton, name, tab, caption);
}
constexpr Row other(OtherRole role, std::string_view name, int tab, std::string_view caption = {}) {
    Row r = make(ControlKind::Other, name, tab, caption);
    r.s.role = role;
    return r;
}

constexpr std::string_view kSortItems[] = {"Order Listed", "File Name", "File Name (Numeric)", "File Size",
                                           "Last Modified"};
constexpr std::string_view kUnitItems[] = {"Points", "Inches", "Centimeters", "Millimeters"};
constexpr std::string_view kNumberItems[] = {"Arabic", "Roman", "roman"};
constexpr std::string_view kBlendItems[] = {
    "Normal",    "Multiply",  "Screen",     "Overlay",   "Darken", "Lighten",    "ColorDodge", "ColorBurn",
    "HardLight", "SoftLight", "Difference", "Exclusion", "Hue",    "Saturation", "Color",      "Luminosity"};
constexpr std::string_view kHighlightItems[] = {"None", "Highlight", "Outline", "Underline", "Strikeout"};
constexpr std::string_view kCompatItems[] = {"None", "Acrobat 4.0 (40-Bit)", "Acrobat 5.0 (128-Bit)",
                                             "AES 128-Bit", "AES 256-Bit"};
constexpr std::string_view kImposeItems[] = {
    "None", "2-Up", "One Page (Scale)", "One Page (No scale)", "Booklet", "Booklet (Long-Edge Flip)"};
constexpr std::string_view kStampItems[] = {"None",
                                            "Approved",
                                            "Not Approved",
                                            "Draft",
                                            "Final",
                                            "Completed",
                                            "Confidential",
                                            "For Public Release",
                                            "Not For Public Release",
                                            "For Comment",
                                            "Void",
                                            "Preliminary Results",
                                            "Information Only",
                                            "Approved (w/ Text)",
                                            "Revised",
                                            "Reviewed",
                                            "Received",
                                            "Witness",
                                            "Initial",
                                            "Sign Here",
                                            "Check",
                                            "Cross"};
constexpr std::string_view kAlignTips[] = {"Align Text Left", "Align Text Center", "Align Text Right"};

constexpr std::string_view kPagesHint = "(ex. 1,3,6-10 or blank for all)";

constexpr Row toolbar(std::string_view name, int tab, std::span<const std::string_view> tips) {
    Row r = make(ControlKind::Toolbar, name, tab).value(1); // button 1 pressed
    r.s.items = tips;
    return r;
}

// Collection order. The stored controls come first, exactly in the order a settings file
// holds them: the record order is part of the file format, and readers depend on it.
constexpr ControlDef kControls[] = {
    chk("chkMediaRepeat", kTabMedia, "Repeat media"),
    chk("chkMediaMouse", kTabMedia, "Play media when cursor is moved into annotation area"),
    chk("chkMediaView", kTabMedia, "Play media when page is viewed"),
    chk("chkMediaOpen", kTabMedia, "Play media when page is opened"),
    chk("chkKeepBM", kTabFiles, "Keep Bookmark Layout").value(1),
    txt("txtOutlinePage", kTabBookmarks),
    chk("chkOutline", kTabBookmarks, "Closed"),
    txt("txtOutlineText", kTabBookmarks),
    txt("txtTextAreaAngle", kTabText).text("0"),
    txt("txtTextAreaPoint", kTabText).text("12"),
    opt("optPgAlign", 0, kTabPageNumbers, "None").value(1).off().in("frmAlign"),
    opt("optPgAlign", 3, kTabPageNumbers).off().in("frmAlign"),
    opt("optPgAlign", 2, kTabPageNumbers).off().in("frmAlign"),
    opt("optPgAlign", 1, kTabPageNumbers).off().in("frmAlign"),
    // These three start enabled although page numbers start off; the first change of
    // "Page Numbers" brings them in line.
    lbl("lblRight2", kTabPageNumbers, "Right").in("frmAlign"),
    lbl("lblCenter", kTabPageNumbers, "Center").in("frmAlign"),
    lbl("lblLeft", kTabPageNumbers, "Left").in("frmAlign"),
    txt("txtPullPages", kTabFiles),
    chk("chkStampBack", kTabStamps, "Background"),
    txt("txtStandard", kTabSecurity).text("Text1").hidden(),
    chk("chkImages", kTabFiles, "Export Images"),
    txt("txtParams", kTabFiles),
    chk("chkPrint", kTabFiles, "Auto &Print"),
    chk("chkMail", kTabFiles, "Auto &Email"),
    cmb("cmbSort", kTabFiles, kSortItems),
    txt("txtPass", kTabFiles),
    cmb("cmbTextAreaUnits", kTabText, kUnitItems).in("Frame1"),
    txt("txtTextAreaY", kTabText).in("Frame1"),
    txt("txtTextAreaX", kTabText).in("Frame1"),
    opt("optLeft", 1, kTabText).value(1).in("Frame2"), // "Left": index order runs against reading order
    opt("optLeft", 0, kTabText).in("Frame2"),          // "Right"
    lbl("lblFromRight", kTabText, "Right").in("Frame2"),
    lbl("lblFromLeft", kTabText, "Left").in("Frame2"),
    opt("optBottom", 1, kTabText, "Bottom").value(1).in("Frame1"),
    opt("optBottom", 0, kTabText, "Top").in("Frame1"),
    lbl("lblTextAreaY", kTabText, "Y").in("Frame1"),
    lbl("lblTextAreaX", kTabText, "X").in("Frame1"),
    chk("chkAutoScale2", kTabPageSize, "Scale larger page sizes down to new page size").off(),
    txt("txtMediaBox", kTabPageSizeAdvanced).at(0),
    txt("txtMediaBox", kTabPageSizeAdvanced).at(1),
    txt("txtMediaBox", kTabPageSizeAdvanced).at(2),
    txt("txtMediaBox", kTabPageSizeAdvanced).at(3),
    txt("txtCropBox", kTabPageSizeAdvanced).at(0),
    txt("txtCropBox", kTabPageSizeAdvanced).at(1),
    txt("txtCropBox", kTabPageSizeAdvanced).at(2),
    txt("txtCropBox", kTabPageSizeAdvanced).at(3),
    txt("txtArtBox", kTabPageSizeAdvanced).at(0),
    txt("txtArtBox", kTabPageSizeAdvanced).at(1),
    txt("txtArtBox", kTabPageSizeAdvanced).at(2),
    txt("txtArtBox", kTabPageSizeAdvanced).at(3),
    txt("txtBleedBox", kTabPageSizeAdvanced).at(0),
    txt("txtBleedBox", kTabPageSizeAdvanced).at(1),
    txt("txtBleedBox", kTabPageSizeAdvanced).at(2),
    txt("txtBleedBox", kTabPageSizeAdvanced).at(3),
    txt("txtTrimBox", kTabPageSizeAdvanced).at(0),
    txt("txtTrimBox", kTabPageSizeAdvanced).at(1),
    txt("txtTrimBox", kTabPageSizeAdvanced).at(2),
    txt("txtTrimBox", kTabPageSizeAdvanced).at(3),
    txt("txtTextArea", kTabText).multi(),
    txt("txtTextAreaPages", kTabText),
    cmb("cmbStamp", kTabStamps, kStampItems),
    txt("txtStampAngle", kTabStamps),
    txt("txtStampScale", kTabStamps),
    txt("txtStampText", kTabStamps).off(),
    // value: the stamp picture shown, the blank until a stamp is chosen.
    make(ControlKind::PictureBox, "picStamp", kTabStamps).color(kWindowBackground).value(kBlankStampPicture),
    cmb("cmbStampUnits", kTabStamps, kUnitItems),
    txt("txtStampY", kTabStamps),
    txt("txtStampX", kTabStamps),
    txt("txtStampPages", kTabStamps),
    chk("chkAutoScale1", kTabPageSize, "Scale smaller page sizes up to new page size").off(),
    txt("txtAngle", kTabPageSize),
    cmb("cmbPageSize", kTabPageSize, kUnitItems),
    txt("txtPageSizeY", kTabPageSize),
    txt("txtPageSizeX", kTabPageSize),
    chk("chkAutoRotate", kTabOverlay, "Auto Rotate"),
    chk("chkCenter", kTabPageSize, "Center on Page").value(1),
    txt("txtRight", kTabPageSize).text("0").off(),
    txt("txtDown", kTabPageSize).text("0").off(),
    txt("txtScale", kTabPageSize),
    txt("txtPassword", kTabSecurity).text("Text1").hidden(),
    chk("Check1", kTabSecurity, "Mask Passwords").value(1),
    txt("txtAttachDesc5", kTabAttachments).multi(),
    txt("txtAttachDesc4", kTabAttachments).multi(),
    txt("txtAttachDesc3", kTabAttachments).multi(),
    txt("txtAttachDesc2", kTabAttachments).multi(),
    txt("txtAttachDesc1", kTabAttachments).multi(),
    txt("txtAttach5", kTabAttachments),
    txt("txtAttach4", kTabAttachments),
    txt("txtAttach3", kTabAttachments),
    txt("txtAttach2", kTabAttachments),
    txt("txtAttach1", kTabAttachments),
    txt("txtValueAttr2", kTabDescription).in("frmDesc2"),
    txt("txtNameAttr2", kTabDescription).in("frmDesc2"),
    txt("txtValueAttr1", kTabDescription).in("frmDesc2"),
    txt("txtNameAttr1", kTabDescription).in("frmDesc2"),
    lbl("lblAttrValue", kTabDescription, "Value").in("frmDesc2"),
    lbl("lblAttrName", kTabDescription, "Name").in("frmDesc2"),
    txt("txtTitle", kTabDescription).in("frmDesc1"),
    txt("txtAuthor", kTabDescription).in("frmDesc1"),
    txt("txtProducer", kTabDescription).in("frmDesc1"),
    txt("txtKeywords", kTabDescription).in("frmDesc1"),
    txt("txtSubject", kTabDescription).in("frmDesc1"),
    lbl("lblTitle", kTabDescription, "Title").in("frmDesc1"),
    lbl("lblSubject", kTabDescription, "Subject").in("frmDesc1"),
    lbl("lblAuthor", kTabDescription, "Author").in("frmDesc1"),
    lbl("lblProducer", kTabDescription, "Producer").in("frmDesc1"),
    lbl("lblKeywords", kTabDescription, "Keywords").in("frmDesc1"),
    txt("txtReplace", kTabHighlights),
    txt("txtNoteTitle", kTabNotes),
    txt("txtNotePages", kTabNotes),
    txt("txtNote", kTabNotes).multi(),
    cmb("cmbImpose", kTabImposition, kImposeItems),
    txt("perm1_txt", kTabSecurity).masked().off().in("frmPermission"),
    txt("perm2_txt", kTabSecurity).masked().off().in("frmPermission"),
    chk("Print_chk", kTabSecurity, "Disable Printing").off().in("frmPermission"),
    chk("Change_chk", kTabSecurity, "Disable Changes").off().in("frmPermission"),
    chk("Text_Chk", kTabSecurity, "Disable Text/Graphic Copying").off().in("frmPermission"),
    chk("Ann_Chk", kTabSecurity, "Disable Add/Change of Annotations").off().in("frmPermission"),
    chk("Fill_Chk", kTabSecurity, "Disable Fillin/Annotations").off().in("frmPermission"),
    chk("Asm_chk", kTabSecurity, "Disable Assembly").off().in("frmPermission"),
    chk("Low_Chk", kTabSecurity, "Disable Hi-Res Printing").off().in("frmPermission"),
    lbl("Label3", kTabSecurity, "Permissions Password").in("frmPermission"),
    lbl("Label4", kTabSecurity, "Confirm").in("frmPermission"),
    cmb("Compat_Com", kTabSecurity, kCompatItems),
    txt("open1_txt", kTabSecurity).masked().off(),
    txt("open2_txt", kTabSecurity).masked().off(),
    txt("txthighlight", kTabHighlights),
    cmb("cmbHiType", kTabHighlights, kHighlightItems),
    make(ControlKind::PictureBox, "picColor", kTabHighlights).color(kWindowBackground),
    chk("chkRevOverlay", kTabOverlay, "Reverse Overlay"),
    txt("txtSize", kTabPageNumbers).text("10").off(),
    txt("txtTransparency", kTabOverlay),
    cmb("cmbTranstype", kTabOverlay, kBlendItems),
    chk("chkPage", kTabPageNumbers, "&Page Numbers"),
    txt("txtPgFmt", kTabPageNumbers).text("%1 of %2").off(),
    txt("txtPgLeft", kTabPageNumbers).text("36").off(),
    txt("txtPgBottom", kTabPageNumbers).text("36").off(),
    cmb("cmbNumber", kTabPageNumbers, kNumberItems).off(),
    toolbar("tbTextAlign", kTabText, kAlignTips),
    lbl("lblOutline2", kTabBookmarks, "Page#"),
    lbl("lblOutline1", kTabBookmarks, "Text"),
    lbl("lblTextAreaAngle2", kTabText, "(0-360)"),
    lbl("lblTextAreaAngle", kTabText, "Angle"),
    lbl("lblTextAreaPoint2", kTabText, "Points"),
    lbl("lblTextAreaPoint", kTabText, "Font Size"),
    lbl("lblTextColor", kTabText, "Text Color"), // its text colour is the colour of the placed text
    lbl("lblPullPages2", kTabFiles, "(ex. 1,3,6-10,odd,even)"),
    lbl("lblPullPages", kTabFiles, "Pull Pages"),
    lbl("lblImage", kTabFiles,
        "Note: Use a directory as the Output File to export images to.  Not all images may be able to be "
        "exported."),
    lbl("lblParams", kTabFiles, "Parameters"),
    lbl("lblSort", kTabFiles, "Sort Files By"),
    lbl("lblPass", kTabFiles, "Input PDF Passwords"),
    lbl("lblMediaBox", kTabPageSizeAdvanced, "Media Box"),
    lbl("lblTrimBox", kTabPageSizeAdvanced, "Trim Box"),
    lbl("lblCropBox", kTabPageSizeAdvanced, "Crop Box"),
    lbl("lblArtBox", kTabPageSizeAdvanced, "Art Box"),
    lbl("lblBleedBox", kTabPageSizeAdvanced, "Bleed Box"),
    lbl("lblX1", kTabPageSizeAdvanced, "X1"),
    lbl("lblY1", kTabPageSizeAdvanced, "Y1"),
    lbl("lblX2", kTabPageSizeAdvanced, "X2"),
    lbl("lblY2", kTabPageSizeAdvanced, "Y2"),
    lbl("lblBox", kTabPageSizeAdvanced, "Points").at(0),
    lbl("lblBox", kTabPageSizeAdvanced, "Points").at(1),
    lbl("lblBox", kTabPageSizeAdvanced, "Points").at(2),
    lbl("lblBox", kTabPageSizeAdvanced, "Points").at(3),
    lbl("lblBox", kTabPageSizeAdvanced, "Points").at(4),
    lbl("lblTextArea", kTabText, "Text"),
    lbl("lblTextPages", kTabText, "Pages"),
    lbl("lblTextPages2", kTabText, kPagesHint),
    lbl("lblStamp", kTabStamps, "Stamp"),
    lbl("lblStampAngle", kTabStamps, "Angle"),
    lbl("lblStampAngle2", kTabStamps, "(0-360)"),
    lbl("lblStampScale", kTabStamps, "Scale"),
    lbl("txtStampScale2", kTabStamps, "%"), // a label despite its prefix
    lbl("lblStampText", kTabStamps, "Stamp Text").off(),
    lbl("lblStampSample", kTabStamps, "Sample"),
    lbl("lblStampOffset", kTabStamps, "Offset"),
    lbl("Label6", kTabStamps, "Y"),
    lbl("Label7", kTabStamps, "X"),
    lbl("Label5", kTabStamps, kPagesHint),
    lbl("lblStampPages", kTabStamps, "Pages"),
    lbl("lblNotePages2", kTabNotes, kPagesHint),
    lbl("lblAngle2", kTabPageSize, "(0-360)"),
    lbl("lblAngle", kTabPageSize, "Angle"),
    lbl("lblPageSize", kTabPageSize, "Page Size"),
    lbl("lblPageSizeX", kTabPageSize, "X"),
    lbl("lblPoints2", kTabPageSize, "Points").off(),
    lbl("lblRight", kTabPageSize, "Move Right").off(),
    lbl("lblPoints1", kTabPageSize, "Points").off(),
    lbl("lblDown", kTabPageSize, "Move Down").off(),
    lbl("lblScalerange", kTabPageSize, "%"),
    lbl("lblScale", kTabPageSize, "Scale"),
    lbl("lblAttachDesc", kTabAttachments, "Description"),
    lbl("lblAttach5", kTabAttachments, "File 5"),
    lbl("lblAttach4", kTabAttachments, "File 4"),
    lbl("lblAttach3", kTabAttachments, "File 3"),
    lbl("lblAttach2", kTabAttachments, "File 2"),
    lbl("lblAttach1", kTabAttachments, "File 1"),
    lbl("lblOverlayDesc", kTabOverlay, "Only use 2 input PDFs when performing an overlay function."),
    lbl("lblImposeDesc", kTabImposition, "Only use one input PDF when performing imposition."),
    lbl("lblReplace", kTabHighlights, "Replace With"),
    lbl("lblNoteTitle", kTabNotes, "Title"),
    lbl("lblNotePages", kTabNotes, "Show on Pages"),
    lbl("lblNote", kTabNotes, "Note"),
    lbl("lblOnePage", kTabImposition,
        "One page places all pages from the input PDF onto a single page in the output PDF.  The 'scale' "
        "option scales the pages down so they fit on the same size sheet.  'No scale' increases the page "
        "size, making one large sheet, to contain the original sized input pages."),
    lbl("lbl2Up", kTabImposition, "2-Up places 2 pages on a single page in the output PDF."),
    lbl("lblImpose", kTabImposition, "Type"),
    lbl("Compat_lbl", kTabSecurity, "Compatibility"),
    lbl("Label1", kTabSecurity, "Open Password"),
    lbl("Label2", kTabSecurity, "Confirm"),
    lbl("lblPoints", kTabPageNumbers, "Points").at(1).off(),
    lbl("lblPoints", kTabPageNumbers, "Points").at(0).off(),
    lbl("lblHighlight2", kTabHighlights, "Text String"),
    lbl("lblHighlight", kTabHighlights, "Mode"),
    lbl("lblSize", kTabPageNumbers, "Font Size").off(),
    lbl("lblPgLeft", kTabPageNumbers, "Left Margin").off(),
    lbl("lblPgBottom", kTabPageNumbers, "Bottom Margin").off(),
    lbl("lblTrans", kTabOverlay, "&Transparency"),
    lbl("lblTransptype", kTabOverlay, "Transparency Type"),
    lbl("lblTransrange", kTabOverlay, "% (1-100)"),
    lbl("lblPgFmt", kTabPageNumbers, "Page No. Format").off(),
    lbl("lblNumb", kTabPageNumbers, "Number Type").off(),
    chk("chkReduceImages", kTabFiles, "Reduce Images"),
    txt("txtImageDpi", kTabFiles).text("150").off(),
    txt("txtImageQuality", kTabFiles).text("75").off(),
    lbl("lblImageDpi", kTabFiles, "Largest Resolution (dpi)").off(),
    lbl("lblImageQuality", kTabFiles, "JPEG Quality (1-100)").off(),
    chk("chkSmallest", kTabFiles, "Smallest File"),

    // Controls that hold nothing a settings file stores.
    other(OtherRole::Frame, "frmAlign", kTabPageNumbers, "Align on Page"),
    make(ControlKind::Slider, "sldTransparency", kTabOverlay), // 0..100, starts at 0
    other(OtherRole::Tree, "TreeOutline", kTabBookmarks),
    btn("btnUp", kTabBookmarks),
    btn("cmdLeft", kTabBookmarks),
    btn("cmdRight", kTabBookmarks),
    btn("btnDown", kTabBookmarks),
    btn("btnDelOutline", kTabBookmarks),
    btn("btnInsBefore", kTabBookmarks, "Insert"),
    btn("btnLoadOutline", kTabBookmarks, "Import"),
    other(OtherRole::Browser, "WebBrowser1", kTabBookmarks),
    btn("btnColor", kTabHighlights, "Color"),
    other(OtherRole::Frame, "frmDesc1", kTabDescription, "Standard"),
    other(OtherRole::Frame, "frmDesc2", kTabDescription, "Custom"),
    other(OtherRole::Frame, "frmPermission", kTabSecurity, "Permissions"),
    other(OtherRole::Image, "Image2", kTabSecurity),
    btn("btnAttach1", kTabAttachments, "..."),
    btn("btnOpen1", kTabAttachments, "Open"),
    btn("btnAttach2", kTabAttachments, "..."),
    btn("btnOpen2", kTabAttachments, "Open"),
    btn("btnAttach3", kTabAttachments, "..."),
    btn("btnOpen3", kTabAttachments, "Open"),
    btn("btnAttach4", kTabAttachments, "..."),
    btn("btnOpen4", kTabAttachments, "Open"),
    btn("btnAttach5", kTabAttachments, "..."),
    btn("btnOpen5", kTabAttachments, "Open"),
    btn("btnTextColor", kTabText, "Color"),
    other(OtherRole::Frame, "Frame1", kTabText, "Page Position"),
    other(OtherRole::Frame, "Frame2", kTabText).in("Frame1"), // borderless
    // value: the position picture shown (bottom left, the default origin).
    other(OtherRole::Image, "imgFromPage", kTabText).value(kOriginBottomLeft).in("Frame1"),
    btn("btnOK", kNoTab, "&OK"),
    btn("btnReset", kNoTab, "&Reset All"),
    make(ControlKind::StatusBar, "StatusBar1", kNoTab),
};

std::vector<StoredRecord> buildStoredRecords() {
    std::vector<StoredRecord> out;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlDef& c = kControls[i];
        const char type = typeLetter(c.kind);
        if (type == '\0') {
            continue;
        }
        if (c.kind == ControlKind::Toolbar) {
            for (std::size_t b = 1; b <= c.items.size(); ++b) {
                out.push_back({c.name, static_cast<int>(b), type, i, static_cast<int>(b)});
            }
            continue;
        }
        // Labels go under their bare name even as array members; a reader therefore applies
        // all of them to the first member.
        const int written = c.kind == ControlKind::Label ? -1 : c.index;
        out.push_back({c.name, written, type, i, 0});
    }
    return out;
}

} // namespace

std::span<const ControlDef> controlTable() {
    return kControls;
}

std::span<const StoredRecord> storedRecords() {
    static const std::vector<StoredRecord> records = buildStoredRecords();
    return records;
}

std::size_t storedFieldCount() {
    std::size_t n = 0;
    for (const ControlDef& c : kControls) {
        n += c.stored() ? 1 : 0;
    }
    return n;
}

char typeLetter(ControlKind kind) {
    switch (kind) {
    case ControlKind::TextBox:
        return 'T';
    case ControlKind::CheckBox:
        return 'C';
    case ControlKind::OptionButton:
        return 'O';
    case ControlKind::ComboBox:
        return 'L';
    case ControlKind::PictureBox:
        return 'P';
    case ControlKind::Label:
        return 'A';
    case ControlKind::Toolbar:
        return 'B';
    default:
        return '\0';
    }
}

} // namespace plait::core::settings
