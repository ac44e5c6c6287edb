#pragma once

#include <QString>

#include <string>

// The texts the program's logic hands the screen (captions, menu entries, the messages of
// its boxes) are English, as the logic links no Qt. They are translated here, at the edge,
// under one context; CoreTexts.cpp lists them for lupdate. A text without a translation is
// shown as it is.
namespace plait::gui {

inline constexpr const char* kCoreTextContext = "plait::core";

QString coreText(const std::string& text);

} // namespace plait::gui
