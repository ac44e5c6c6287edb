// Start-up and add-files benchmark of the desktop program.
//
//   startup_bench show [--cpu]  starts the program to a shown, painted main window and exits
//                               (--cpu prints the GUI thread's CPU time to there)
//   startup_bench add N         adds N files in one multi-selection and prints the time taken,
//                               then waits for their page counts
//
// Time the first with hyperfine (process start included); the second times itself.

#include "core/app/MainWindow.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/PageCounts.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace plait;

// A file dialog that answers with a prepared multi-selection.
class ScriptedDialog : public ui::FileDialog {
public:
    std::string answer;
    void showOpen(ui::FileDialogState& state) override { state.fileName = answer; }
    void showSave(ui::FileDialogState& state) override { state.fileName.clear(); }
};

// CPU time of the calling thread so far.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "show";
    QApplication app(argc, argv);
    ScriptedDialog files;
    gui::Application program(&files);
    program.start();
    gui::MainWindowView& view = program.view();
    core::app::MainWindow& window = program.window();

    if (mode == "show") {
        // Ends once the window has been laid out and painted.
        QTimer::singleShot(0, &app, [&] {
            view.repaint();
            if (argc > 2 && std::string(argv[2]) == "--cpu") {
                std::printf("GUI thread %.1f ms CPU to a painted window\n", threadCpuMs());
            }
            view.closeWithoutAsking = true; // quitting closes the window, which would ask to save
            QApplication::quit();
        });
        return QApplication::exec();
    }

    const int count = argc > 2 ? std::stoi(argv[2]) : 10000;
    const auto dir = std::filesystem::temp_directory_path() / "plait-add-bench";
    std::filesystem::create_directories(dir);
    std::string selection = dir.string();
    for (int i = 0; i < count; ++i) {
        const std::string name = "input-" + std::to_string(i) + ".pdf";
        if (!std::filesystem::exists(dir / name)) {
            std::ofstream(dir / name) << "%PDF-1.4\n";
        }
        selection += '\0' + name;
    }
    files.answer = selection;
    window.form().setChecked("chkViewer", false);
    const double cpuStart = threadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    window.openScript();
    QApplication::processEvents();
    view.repaint();
    const auto took = std::chrono::steady_clock::now() - start;
    const double addCpu = threadCpuMs() - cpuStart;
    // The page counts arrive from the worker thread; what the window does with them is GUI time
    // too.
    view.pageCounts()->waitUntilIdle();
    const auto counted = std::chrono::steady_clock::now() - start;
    const double beforeAnswers = threadCpuMs();
    QApplication::processEvents();
    view.repaint();
    const double answersCpu = threadCpuMs() - beforeAnswers;
    std::printf(
        "added %zu files in %.1f ms (GUI thread %.1f ms CPU; list shows %d); all counted after %.1f ms, "
        "taking their answers %.1f ms of GUI thread; selected: %s\n",
        window.inputs().size(), std::chrono::duration<double, std::milli>(took).count(), addCpu,
        view.findChild<QListWidget*>(QStringLiteral("TreeView1"))->count(),
        std::chrono::duration<double, std::milli>(counted).count(), answersCpu,
        qPrintable(view.selectedFileInfo()));
    return 0;
}
