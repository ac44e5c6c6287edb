#pragma once

namespace plait::ui {

// The captions of the program's message boxes: the long one for the program's own notices,
// the short one for questions about the user's files.
inline constexpr const char* kAppTitle = "PDF Plait Application";
inline constexpr const char* kShortTitle = "PDF Plait";

} // namespace plait::ui
