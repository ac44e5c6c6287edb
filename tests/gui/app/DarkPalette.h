#pragma once

#include <QApplication>
#include <QPalette>

namespace plait::test {

// A dark desktop theme, for as long as the object lives.
struct DarkPalette {
    DarkPalette() : saved(QApplication::palette()) {
        QPalette dark;
        const QColor window(0x35, 0x35, 0x35);
        const QColor light(0xEE, 0xEE, 0xEE);
        dark.setColor(QPalette::Window, window);
        dark.setColor(QPalette::WindowText, light);
        dark.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
        dark.setColor(QPalette::AlternateBase, window);
        dark.setColor(QPalette::Text, light);
        dark.setColor(QPalette::Button, window);
        dark.setColor(QPalette::ButtonText, light);
        dark.setColor(QPalette::ToolTipBase, window);
        dark.setColor(QPalette::ToolTipText, light);
        dark.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
        dark.setColor(QPalette::HighlightedText, Qt::black);
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x90, 0x90, 0x90));
        dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x90, 0x90, 0x90));
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x90, 0x90, 0x90));
        QApplication::setPalette(dark);
    }
    ~DarkPalette() { QApplication::setPalette(saved); }
    QPalette saved;
};

} // namespace plait::test
