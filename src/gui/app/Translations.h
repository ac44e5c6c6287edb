#pragma once

#include <QLocale>
#include <QStringList>

// The program speaks the user's language where a translation is installed: its own texts from
// pdfplait_<language>.qm, and Qt's (the standard buttons) from Qt's translations.
namespace plait::gui {

// Where the program's translations are looked for, in order: the package's folder beside the
// program (../share/pdfplait/translations), then `buildDir` (a program run from its build tree).
QStringList translationFolders(const QString& programDir, const QString& buildDir);

// Installs the translators for `locale` on the application; returns the file of the
// program's own translation that was loaded, or an empty text when there is none for it.
QString installTranslations(const QLocale& locale, const QStringList& folders);

} // namespace plait::gui
