#include "QtWindowHost.h"

#include "MainWindowView.h"
#include "gui/build/ProgressDialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <exception>
#include <thread>

namespace plait::gui {

void QtWindowHost::setBusyCursor(bool busy) {
    if (!view_) {
        return;
    }
    if (busy) {
        view_->setCursor(Qt::WaitCursor);
    } else {
        view_->unsetCursor();
    }
}

std::string QtWindowHost::runEngine(engine::MergeEngine& engine, core::build::ProgressWindow& progress) {
    QEventLoop loop;
    std::string result;
    std::exception_ptr error;
    running_ = &engine;

    std::thread worker([&] {
        try {
            result = engine.BuildPDF();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });

    // The one-shot timer: once events flow, the progress window opens and the main window
    // steps back. A build that ends at once never shows it.
    QPointer<ProgressDialog> dialog;
    QTimer::singleShot(1, &loop, [&] {
        if (view_ && view_->window()) {
            view_->window()->progressTimerTick();
        }
        if (progress.loaded()) {
            // Not a child of the main window, which is disabled now and would disable it too;
            // but kept above it, so that a click on the main window cannot bury the only window
            // that can cancel the build.
            dialog = new ProgressDialog(core::build::WatchedBuild(progress, engine), nullptr);
            dialog->setWindowIcon(view_ ? view_->windowIcon() : QIcon());
            if (view_ && view_->windowHandle() != nullptr) {
                dialog->winId();
                dialog->windowHandle()->setTransientParent(view_->windowHandle());
            }
            dialog->show();
        }
    });

    loop.exec();
    worker.join();
    running_ = nullptr;
    delete dialog.data();
    if (error) {
        std::rethrow_exception(error);
    }
    return result;
}

void QtWindowHost::showSettingsDialog() {
    if (settingsDialog) {
        settingsDialog();
    }
}

void QtWindowHost::showAbout() {
    if (aboutBox) {
        aboutBox();
    }
}

void QtWindowHost::closeAllWindows() {
    if (closeOthers) {
        closeOthers();
    }
}

void QtEventPump::processEvents() {
    QApplication::processEvents();
}

void QtEventPump::terminate() {
    // The program ends at once: no shutdown question, nothing saved.
    std::exit(EXIT_FAILURE);
}

} // namespace plait::gui
