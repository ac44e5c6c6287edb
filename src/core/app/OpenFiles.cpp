#include "MainWindow.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace plait::core::app {
namespace {

bool hasExtension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) {
        return false;
    }
    return std::equal(extension.begin(), extension.end(),
                      path.end() - static_cast<std::ptrdiff_t>(extension.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

} // namespace

bool isSettingsFileName(const std::string& path) {
    return hasExtension(path, ".plt");
}

std::vector<std::string> pdfFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && hasExtension(it->path().filename().string(), ".pdf")) {
            found.push_back(it->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

void MainWindow::openFiles(const std::vector<std::string>& paths) {
    // No preview of each file while they are added: the last one added is previewed once.
    const int viewer = form_.value("chkViewer");
    form_.setValue("chkViewer", 0);
    bool added = false;
    auto add = [&](const std::string& path) { added = insertFile(path) || added; };
    for (const std::string& given : paths) {
        const std::string path = s_.platform.absolutePath(given);
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            for (const std::string& pdf : pdfFilesIn(path)) {
                add(pdf);
            }
        } else if (isSettingsFileName(path)) {
            if (!s_.platform.exists(path)) {
                s_.messages.show("File does not exist", kAppTitle, ui::Icon::None, ui::Buttons::Ok);
                continue;
            }
            loadSettingsFrom(path);
        } else {
            add(path);
        }
    }
    form_.setValue("chkViewer", viewer);
    if (added && viewer == 1 && inputs_.selected()) {
        showFile(inputs_.selectedEntry()->text);
    }
}

} // namespace plait::core::app
