#include "Modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace plait::pdf {
namespace {

struct Loaded {
    void* handle = nullptr;
    std::string error;
};

std::filesystem::path executableDir() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

Loaded load(const char* module) {
    Loaded m;
    // Installed, the module is found relative to the program; a program run from its build
    // tree (the tests, a developer's build) finds it where it was built.
    std::vector<std::filesystem::path> candidates;
    const auto dir = executableDir();
    if (!dir.empty())
        candidates.push_back(dir / PLAIT_MODULE_DIR_FROM_BINDIR / module);
    const std::string buildRoot = PLAIT_BUILD_ROOT;
    if (dir.string().compare(0, buildRoot.size(), buildRoot) == 0)
        candidates.push_back(std::filesystem::path(PLAIT_MODULE_BUILD_DIR) / module);
    for (const auto& path : candidates) {
        if (::access(path.c_str(), R_OK) != 0)
            continue;
        // Never unloaded: the libraries a module brings keep global state.
        if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            m.handle = handle;
            return m;
        }
        m.error = ::dlerror();
    }
    if (m.error.empty())
        m.error = std::string(module) + " was not found beside the program";
    return m;
}

} // namespace

void* moduleEntry(const char* module, const char* entry, std::string& error) {
    static std::mutex lock;
    static std::map<std::string, Loaded> modules;
    const std::lock_guard guard(lock);
    auto it = modules.find(module);
    if (it == modules.end())
        it = modules.emplace(module, load(module)).first;
    if (it->second.handle == nullptr) {
        error = it->second.error;
        return nullptr;
    }
    void* address = ::dlsym(it->second.handle, entry);
    if (address == nullptr)
        error = std::string(module) + " has no " + entry;
    return address;
}

} // namespace plait::pdf
