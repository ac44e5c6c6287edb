#include "Platform.h"

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
    fs::path p(name);
    if (p.is_relative()) {
        p = fs::path(currentDir()) / p;
    }
    std::string out = p.lexically_normal().string();
    // "dir/" normalises to "dir/"; a full path names the folder without the trailing separator.
    while (out.size() > 1 && out.back() == kPathSeparator) {
        out.pop_back();
    }
    return out;
}

bool Platform::sameFile(const std::string& a, const std::string& b) const {
    std::error_code ec;
    const fs::path pa(absolutePath(a));
    const fs::path pb(absolutePath(b));
    if (fs::exists(pa, ec) && fs::exists(pb, ec)) {
        return fs::equivalent(pa, pb, ec) && !ec;
    }
    // weakly_canonical resolves the links of the part that exists.
    auto ca = fs::weakly_canonical(pa, ec);
    if (ec) {
        ca = pa;
    }
    auto cb = fs::weakly_canonical(pb, ec);
    if (ec) {
        cb = pb;
    }
    return ca == cb;
}

} // namespace plait::ui
