#include "Application.h"

#include "PageCounts.h"

#include "core/app/CloseWhileBuilding.h"
#include "core/app/InputPasswords.h"
#include "core/build/BuildReport.h"
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

#include <QCommandLineParser>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace plait::gui {

namespace {

engine::EngineRegistry makeEngines(const std::string& workerPath) {
    engine::EngineRegistry engines;
    if (workerPath.empty()) {
        pdf::registerPlaitEngine(engines);
    } else {
        worker::IsolatedEngine::Options options;
        options.workerPath = workerPath;
        worker::registerIsolatedEngine(engines, options);
    }
    return engines;
}

} // namespace

// Members in the order they must come to life; they go in reverse.
struct Application::Parts {
    Parts(ui::FileDialog* fileDialog, const std::string& workerPath)
        : engines(makeEngines(workerPath)), files(&view),
          window({messages, fileDialog != nullptr ? *fileDialog : files, shell, *view.preview(), events, host,
                  engines, platform}),
          colors(&view),
          settings(window.settings(),
                   {messages, colors, fileDialog != nullptr ? *fileDialog : files, shell,
                    window.firstOpenDialogFlag(), [this] { window.resetSettings(); },
                    [this] { return window.blankPreviewHtml(); },
                    [this]() -> std::string {
                        const auto* entry = window.inputs().selectedEntry();
                        return entry != nullptr && window.form().checked("chkViewer") ? entry->text
                                                                                      : std::string();
                    },
                    &events},
                   &view),
          outlineView(&settings, window.outlineEditor(),
                      {engines, messages,
                       [this]() -> std::optional<std::string> {
                           const auto* entry = window.inputs().selectedEntry();
                           if (entry == nullptr) {
                               return std::nullopt;
                           }
                           return entry->text;
                       }}),
          closeFlow(messages, {[this] {
                                   if (auto* running = host.runningEngine()) {
                                       running->setCancelBuild(1);
                                   }
                               },
                               [this] { QTimer::singleShot(0, &view, [this] { view.close(); }); }}) {}

    engine::EngineRegistry engines;
    MainWindowView view;
    QtMessageBox messages{&view};
    QtFileDialog files;
    QtShellOpen shell;
    QtEventPump events;
    QtWindowHost host{view};
    core::app::Platform platform;
    core::app::MainWindow window;
    QtColorDialog colors;
    // The settings dialog lives for the whole run, hidden between showings; a reset gives it
    // a fresh model (and the Bookmarks tab a fresh outline).
    SettingsDialog settings;
    OutlineEditorView outlineView;
    core::app::CloseWhileBuilding closeFlow;
    QPointer<AboutDialog> about;
};

Application::Application(ui::FileDialog* fileDialog, const std::string& workerPath)
    : p_(std::make_unique<Parts>(fileDialog, workerPath)) {
    // The list's page counts open every added file: in the worker, where there is one.
    PageCounts::useWorker(workerPath);
    Parts& p = *p_;
    p.view.attach(p.window);
    p.window.onSettingsReset = [&p] {
        p.settings.hide();
        p.settings.rebind(p.window.settings());
        p.outlineView.rebind(p.window.outlineEditor());
    };
    // The keyboard focus goes back where it was once the dialog closes, never to nowhere (from
    // where the window would hand it to the first button in the Tab order).
    p.host.settingsDialog = [&p] {
        const QPointer<QWidget> focused = p.view.focusWidget();
        p.settings.exec();
        p.view.restoreFocus(focused.data());
    };
    p.host.aboutBox = [&p] {
        if (!p.about) {
            p.about = new AboutDialog(p.messages, &p.view);
            p.about->setAttribute(Qt::WA_DeleteOnClose);
        }
        p.about->show();
        p.about->raise();
    };
    p.host.closeOthers = [&p] {
        if (p.about) {
            p.about->close();
        }
        p.settings.hide();
    };
    p.view.onCloseWhileBuilding = [&p] { p.closeFlow.closeRequested(); };
    p.shell.onFailure = [&p](const QString& target) { p.view.showCannotOpen(target); };
    // An output the last build encrypted opens in the preview with the password it was given.
    // So do inputs whose passwords the build has been given.
    p.view.preview()->knownPasswords = [&p] {
        QStringList known{QString::fromStdString(p.window.settings().text("open1_txt"))};
        for (const std::string& password :
             core::app::splitPasswordList(p.window.settings().text("txtPass"))) {
            known << QString::fromStdString(password);
        }
        return known;
    };

    // Whatever the engine noted about the last build stays one click away.
    auto* notes = new WarningsIndicator(&p.view);
    p.view.statusBar()->addPermanentWidget(notes);
    // After a build that wrote its output, its folder is one click away.
    auto* folder = new QToolButton(&p.view);
    folder->setObjectName(QStringLiteral("openOutputFolder"));
    folder->setAutoRaise(true);
    folder->setText(QObject::tr("Open Folder"));
    folder->setToolTip(QObject::tr("Open the folder of the last output"));
    folder->hide();
    p.view.statusBar()->addPermanentWidget(folder);
    QObject::connect(folder, &QToolButton::clicked, &p.view, [&p] {
        p.shell.open(
            QFileInfo(QString::fromStdString(p.window.lastOutputFile())).absolutePath().toStdString());
    });
    p.window.onBuildFinished = [&p, notes, folder] {
        const QFileInfo output(QString::fromStdString(p.window.lastOutputFile()));
        folder->setVisible(output.isFile() &&
                           p.window.form().text("StatusBar1").starts_with(core::build::kBuiltPrefix));
        p.view.showSelectedFileInfo();
        p.closeFlow.buildFinished();
    };
}

Application::~Application() = default;

void Application::start(const QStringList& files) {
    p_->window.load();
    p_->view.show();
    if (!files.isEmpty()) {
        std::vector<std::string> paths;
        paths.reserve(static_cast<std::size_t>(files.size()));
        for (const QString& f : files) {
            paths.push_back(f.toStdString());
        }
        p_->window.openFiles(paths);
    }
}

MainWindowView& Application::view() {
    return p_->view;
}
QtShellOpen& Application::shell() {
    return p_->shell;
}
core::app::MainWindow& Application::window() {
    return p_->window;
}
SettingsDialog& Application::settingsDialog() {
    return p_->settings;
}

void keepNoSettingsBetweenRuns() {
    // No folder can be made inside /dev/null, so every write fails quietly and reads find
    // nothing: each run starts from Qt's defaults.
    const QString nowhere = QStringLiteral("/dev/null/settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

QStringList parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Assemble PDF documents. Each FILE is added to the input list; a settings file "
                       "(.plt) is opened, and a folder adds the PDFs it holds."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("PDF, image or media files, or a settings file"),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    return parser.positionalArguments();
}

} // namespace plait::gui
