// PDF Plait: the desktop program.

#include "gui/app/Application.h"
#include "gui/app/PageRenderer.h"
#include "gui/app/PreviewWidget.h"
#include "gui/app/Translations.h"
#include "worker/IsolatedEngine.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PDF Plait"));
    // No display name: Qt would append it to every window title ("Error — PDF Plait"), and the
    // captions are the program's own.
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(PLAIT_VERSION_MAJOR)
                                            .arg(PLAIT_VERSION_MINOR)
                                            .arg(PLAIT_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("pdfplait"));
    // The user's language, where a translation is installed; English otherwise.
    plait::gui::installTranslations(
        QLocale(), plait::gui::translationFolders(QCoreApplication::applicationDirPath(),
                                                  QStringLiteral(PLAIT_TRANSLATIONS_BUILD_DIR)));
    const QStringList files = plait::gui::parseCommandLine(QApplication::arguments());
    plait::gui::keepNoSettingsBetweenRuns();

    // Builds run in the engine worker when it is installed beside the program (or, in a build
    // tree, where it was built); a partial install builds in this process.
    const std::string worker =
        plait::worker::findWorker(QCoreApplication::applicationFilePath().toStdString(), PLAIT_WORKER_PATH);
    // PDFs are previewed by the page renderer beside the program (or the build tree's); with
    // none, the pane says they cannot be previewed.
    plait::gui::PreviewWidget::useRenderer(plait::gui::PageRenderer::find(
        QCoreApplication::applicationFilePath(), QStringLiteral(PLAIT_RENDER_PATH)));
    plait::gui::Application program(nullptr, worker);
    program.start(files);
    return QApplication::exec();
}
