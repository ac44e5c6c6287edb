#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace plait::gui {

QStringList translationFolders(const QString& programDir, const QString& buildDir) {
    QStringList folders{QDir(programDir).absoluteFilePath(QStringLiteral("../share/pdfplait/translations"))};
    if (!buildDir.isEmpty()) {
        folders << buildDir;
    }
    return folders;
}

QString installTranslations(const QLocale& locale, const QStringList& folders) {
    // Qt's own texts first, so that the program's take precedence where both have one.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    for (const QString& folder : folders) {
        auto* own = new QTranslator(QCoreApplication::instance());
        if (own->load(locale, QStringLiteral("pdfplait"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(own);
            return own->filePath();
        }
        delete own;
    }
    return {};
}

} // namespace plait::gui
