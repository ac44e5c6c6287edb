#include "Markup.h"

#include "core/ui/Text.h"

#include <array>

namespace plait::core::build {

std::string colorDigits(ui::ColorValue color) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::uint32_t low = color & 0xFFFFFFu;
    const std::array<unsigned, 3> bytes{low & 0xFFu, (low >> 8) & 0xFFu, (low >> 16) & 0xFFu}; // R, G, B
    std::string digits;
    for (unsigned b : bytes) {
        digits.push_back(kHex[b >> 4]);
        digits.push_back(kHex[b & 0xF]);
    }
    return digits;
}

std::string_view unitCode(int listIndex) {
    switch (listIndex) {
    case 1:
        return "in";
    case 2:
        return "cm";
    case 3:
        return "mm";
    default:
        return {};
    }
}

std::string noteMarkup(const ui::Form& settings) {
    std::string text = "<A X1=72 Y1=288 X2=288 Y2=72 TITLE=\"";
    text += ui::trimBlanks(settings.text("txtNoteTitle"));
    text += "\" NOTE=\"";
    text += ui::trimBlanks(settings.text("txtNote"));
    text += "\" PAGES=\"";
    text += ui::trimBlanks(settings.text("txtNotePages"));
    text += "\">";
    return text;
}

std::string attachmentMarkup(const ui::Form& settings) {
    std::string text;
    for (int row = 1; row <= 5; ++row) {
        const std::string file = ui::trimBlanks(settings.text("txtAttach" + std::to_string(row)));
        if (file.empty()) {
            continue;
        }
        text += "<EMBED SRC=\"";
        text += file;
        text += "\" DESCR=\"";
        text += ui::trimBlanks(settings.text("txtAttachDesc" + std::to_string(row)));
        text += "\">";
    }
    return text;
}

std::string textAreaMarkup(const ui::Form& settings) {
    std::string text;
    if (const std::string_view units = unitCode(settings.listIndex("cmbTextAreaUnits")); !units.empty()) {
        text += "<UNITS VALUE='";
        text += units;
        text += "'>";
    }
    text += "<TEXT PAGES=\"";
    text += settings.text("txtTextAreaPages");
    text += "\" SIZE=\"";
    text += settings.text("txtTextAreaPoint");
    text += "\" X=";
    text += settings.text("txtTextAreaX");
    text += " Y=";
    text += settings.text("txtTextAreaY");
    text += " ANGLE=";
    text += settings.text("txtTextAreaAngle");
    text += " ";
    if (settings.buttonPressed("tbTextAlign", 2)) {
        text += " ALIGN=\"C\" ";
    }
    if (settings.buttonPressed("tbTextAlign", 3)) {
        text += " ALIGN=\"R\" ";
    }
    text += " COLOR=\"";
    text += colorDigits(settings.color("lblTextColor"));
    text += "\" ";
    if (settings.value("optBottom", 0) == 1) {
        text += " FROMTOP ";
    }
    if (settings.value("optLeft", 0) == 1) {
        text += " FROMRIGHT ";
    }
    text += ">";
    text += settings.text("txtTextArea");
    text += "</TEXT>";
    return text;
}

} // namespace plait::core::build
