#include "EngineRegistry.h"

namespace plait::engine {

void EngineRegistry::add(std::string name, Factory factory) {
    factories_[std::move(name)] = std::move(factory);
}

bool EngineRegistry::contains(std::string_view name) const {
    return factories_.find(name) != factories_.end();
}

std::unique_ptr<MergeEngine> EngineRegistry::create(std::string_view name) const {
    auto it = factories_.find(name);
    if (it == factories_.end()) {
        return nullptr;
    }
    try {
        return it->second();
    } catch (...) {
        return nullptr;
    }
}

} // namespace plait::engine
