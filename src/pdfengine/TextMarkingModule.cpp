// Loads the text-marking module on first use (marking/TextMarking.h).
#include "marking/TextMarking.h"

#include "Cancel.h"
#include "EngineError.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <mutex>

namespace plait::pdf {
namespace {

using Entry = int (*)(QPDF*, const TextMarking*, std::vector<std::string>*, const std::function<bool()>*);

struct Module {
    Entry entry = nullptr;
    std::string error;
};

std::filesystem::path executableDir() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

// The module lives in the installed library folder beside the program's binaries, or, in a
// build tree, in the engine's build folder.
Module load() {
    Module m;
    std::vector<std::filesystem::path> candidates;
    if (const auto dir = executableDir(); !dir.empty())
        candidates.push_back(dir / PLAIT_MODULE_DIR_FROM_BINDIR / kTextMarkingModule);
    candidates.push_back(std::filesystem::path(PLAIT_MODULE_BUILD_DIR) / kTextMarkingModule);
    for (const auto& path : candidates) {
        if (::access(path.c_str(), R_OK) != 0)
            continue;
        // The module is never unloaded: qpdf and the text library keep global state.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            m.error = ::dlerror();
            continue;
        }
        if (auto* entry = reinterpret_cast<Entry>(::dlsym(handle, kTextMarkingEntry))) {
            m.entry = entry;
            return m;
        }
        m.error = path.string() + " has no " + kTextMarkingEntry;
    }
    if (m.error.empty())
        m.error = std::string(kTextMarkingModule) + " was not found beside the program";
    return m;
}

} // namespace

int applyTextMarking(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes) {
    if (marking.find.empty())
        return 0;
    static std::once_flag once;
    static Module module;
    std::call_once(once, [] { module = load(); });
    if (module.entry == nullptr) {
        notes.push_back("Text marking is not available (" + module.error + "); \"" + marking.find + "\" is " +
                        (marking.change ? "not replaced" : "not marked"));
        return 0;
    }
    const std::function<bool()> cancelled = currentCancelCheck();
    const int result = module.entry(&pdf, &marking, &notes, &cancelled);
    if (result == kTextMarkingCancelled)
        throw BuildCancelled{};
    return result;
}

} // namespace plait::pdf
