#pragma once

#include <QString>

namespace plait::gui {

// A note of the engine about the last build, said in the words of the settings a user
// chose: an operation name at its start becomes the option it carries out ("Page Size
// Advanced, Media Box: ..."), and "ignored" says that the option was left out of the build.
QString noteInUserWords(const QString& note);

} // namespace plait::gui
