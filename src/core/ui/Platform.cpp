#include "Platform.h"

#include "engine/FileName.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace plait::ui {

std::string Platform::tempDir() const {
    std::error_code ec;
    std::string dir = fs::temp_directory_path(ec).string();
    if (ec || dir.empty()) {
        dir = "/tmp";
    }
    if (dir.back() != kPathSeparator) {
        dir.push_back(kPathSeparator);
    }
    return dir;
}

std::string Platform::currentDir() const {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? std::string(".") : p.string();
}

std::string Platform::programDir() const {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return currentDir();
    }
    return exe.parent_path().string();
}

std::optional<std::uintmax_t> Platform::fileLength(const std::string& path) const {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    auto size = fs::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return size;
}

bool Platform::exists(const std::string& path) const {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

std::string Platform::absolutePath(const std::string& name) const {
    return engine::resolveFileName(name, currentDir());
}

bool Platform::sameFile(const std::string& a, const std::string& b) const {
    return engine::sameFile(a, b, currentDir());
}

} // namespace plait::ui
