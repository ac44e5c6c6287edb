// PDF Plait: the desktop program.

#include "gui/about/AboutDialog.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/PreviewWidget.h"
#include "gui/app/QtWindowHost.h"
#include "gui/build/WarningsIndicator.h"
#include "gui/outline/OutlineEditorView.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/QtServices.h"
#include "pdfengine/PlaitEngine.h"
#include "worker/IsolatedEngine.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

int main(int argc, char** argv) {
    using namespace plait;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PDF Plait"));
    // No display name: Qt would append it to every window title ("Error — PDF Plait"), and the
    // captions are the program's own.
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(PLAIT_VERSION_MAJOR)
                                            .arg(PLAIT_VERSION_MINOR)
                                            .arg(PLAIT_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("pdfplait"));

    // Builds run in the engine worker, which Cancel can stop even inside the PDF library;
    // without the worker (a partial install) they run in this process.
    engine::EngineRegistry engines;
    const std::string worker =
        worker::findWorker(QCoreApplication::applicationFilePath().toStdString(), PLAIT_WORKER_PATH);
    if (worker.empty()) {
        pdf::registerPlaitEngine(engines);
    } else {
        worker::IsolatedEngine::Options options;
        options.workerPath = worker;
        worker::registerIsolatedEngine(engines, options);
    }

    gui::MainWindowView view;
    gui::QtMessageBox messages(&view);
    gui::QtFileDialog files(&view);
    gui::QtShellOpen shell;
    gui::QtEventPump events;
    gui::QtWindowHost host(view);
    core::app::Platform platform;

    core::app::MainWindow window({messages, files, shell, *view.preview(), events, host, engines, platform});
    view.attach(window);

    // The settings dialog lives for the whole run, hidden between showings; a reset gives it
    // a fresh model (and the Bookmarks tab a fresh outline).
    gui::QtColorDialog colors(&view);
    gui::SettingsDialog settings(window.settings(),
                                 {messages, colors, files, shell, window.firstOpenDialogFlag(),
                                  [&] { window.resetSettings(); }, [&] { return window.blankPreviewHtml(); },
                                  [&]() -> std::string {
                                      const auto* entry = window.inputs().selectedEntry();
                                      return entry != nullptr && window.form().checked("chkViewer")
                                                 ? entry->text
                                                 : std::string();
                                  },
                                  &events},
                                 &view);
    gui::OutlineEditorView outlineView(&settings, window.outlineEditor(),
                                       {engines, messages, [&]() -> std::optional<std::string> {
                                            const auto* entry = window.inputs().selectedEntry();
                                            if (entry == nullptr) {
                                                return std::nullopt;
                                            }
                                            return entry->text;
                                        }});
    window.onSettingsReset = [&] {
        settings.hide();
        settings.rebind(window.settings());
        outlineView.rebind(window.outlineEditor());
    };
    host.settingsDialog = [&] { settings.exec(); };

    QPointer<gui::AboutDialog> about;
    host.aboutBox = [&] {
        if (!about) {
            about = new gui::AboutDialog(messages, &view);
            about->setAttribute(Qt::WA_DeleteOnClose);
        }
        about->show();
        about->raise();
    };
    host.closeOthers = [&] {
        if (about) {
            about->close();
        }
        settings.hide();
    };
    // Closing during a build stops the build first; the window closes (with its usual save
    // question) once the engine has let go of its files.
    bool closeWhenBuilt = false;
    view.onCloseWhileBuilding = [&] {
        if (messages.show("A build is still running. Stop it?", core::app::kShortTitle, ui::Icon::Question,
                          ui::Buttons::YesNo) == ui::Answer::Yes) {
            if (auto* running = host.runningEngine()) {
                running->setCancelBuild(1);
            }
            closeWhenBuilt = true;
        }
    };

    // Whatever the engine noted about the last build stays one click away.
    auto* notes = new gui::WarningsIndicator(&view);
    view.statusBar()->addPermanentWidget(notes);
    window.onBuildFinished = [&] {
        notes->setWarnings(window.lastWarnings());
        if (closeWhenBuilt) {
            closeWhenBuilt = false;
            QTimer::singleShot(0, &view, [&view] { view.close(); });
        }
    };

    window.load();
    view.show();
    return QApplication::exec();
}
