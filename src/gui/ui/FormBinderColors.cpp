#include "FormBinder.h"

#include <QPalette>

// The colour values of the model as Qt colours, and back.

namespace plait::gui {

QColor FormBinder::toQColor(ui::ColorValue value, const QPalette& palette) {
    if ((value & 0x80000000u) == 0) {
        return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                      static_cast<int>((value >> 16) & 0xFF));
    }
    // The desktop's colour of the same role.
    QPalette::ColorRole role = QPalette::Window;
    switch (value & 0xFF) {
    case 0x01: // desktop
    case 0x0C: // application workspace
    case 0x10: // button shadow
        role = QPalette::Mid;
        break;
    case 0x02: // active title bar
    case 0x0D: // selected item
        role = QPalette::Highlight;
        break;
    case 0x03: // inactive title bar
    case 0x0B: // inactive border
        role = QPalette::Midlight;
        break;
    case 0x05: // window background
        role = QPalette::Base;
        break;
    case 0x06: // window frame
    case 0x15: // 3-D dark shadow
        role = QPalette::Shadow;
        break;
    case 0x07: // menu text
    case 0x08: // window text
        role = QPalette::Text;
        break;
    case 0x09: // title bar text
    case 0x0E: // selected item text
        role = QPalette::HighlightedText;
        break;
    case 0x11: // disabled text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 0x12: // button text
        role = QPalette::ButtonText;
        break;
    case 0x14: // 3-D highlight
        role = QPalette::Light;
        break;
    case 0x17: // tool tip text
        role = QPalette::ToolTipText;
        break;
    case 0x18: // tool tip background
        role = QPalette::ToolTipBase;
        break;
    case 0x00: // scroll bar
    case 0x04: // menu bar
    case 0x0A: // active border
    case 0x0F: // button face
    case 0x16: // 3-D light
        role = QPalette::Button;
        break;
    default:
        role = QPalette::Window;
        break;
    }
    return palette.color(QPalette::Active, role);
}

ui::ColorValue FormBinder::fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<ui::ColorValue>(rgb.red()) | (static_cast<ui::ColorValue>(rgb.green()) << 8) |
           (static_cast<ui::ColorValue>(rgb.blue()) << 16);
}

} // namespace plait::gui
