#pragma once

#include <QIcon>

namespace plait::gui::icons {

// The program's own pictures, drawn rather than shipped, so they scale with the screen.
QIcon open();
QIcon save();
QIcon add();
QIcon merge();
QIcon overlay();
QIcon repeat();
QIcon settings();
QIcon up();
QIcon down();
QIcon remove();
QIcon build();
QIcon application();

} // namespace plait::gui::icons
