// Start-up and add-files benchmark of the desktop program.
//
//   startup_bench show          starts the program to a shown, painted main window and exits
//   startup_bench add N         adds N files in one multi-selection and prints the time taken
//
// Time the first with hyperfine (process start included); the second times itself.

#include "core/app/MainWindow.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindowView.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>
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
    const auto start = std::chrono::steady_clock::now();
    window.openScript();
    QApplication::processEvents();
    view.repaint();
    const auto took = std::chrono::steady_clock::now() - start;
    std::printf("added %zu files in %.1f ms (list shows %d)\n", window.inputs().size(),
                std::chrono::duration<double, std::milli>(took).count(),
                view.findChild<QListWidget*>(QStringLiteral("TreeView1"))->count());
    return 0;
}
