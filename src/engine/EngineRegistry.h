#pragma once

#include "MergeEngine.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace plait::engine {

// Creates engines by name ("PDF.PlaitApp" is the real one). The programs register what
// they link; tests register recording engines under the same name.
class EngineRegistry {
public:
    using Factory = std::function<std::unique_ptr<MergeEngine>()>;

    void add(std::string name, Factory factory);
    bool contains(std::string_view name) const;

    // nullptr when nothing is registered under that name or the factory failed.
    std::unique_ptr<MergeEngine> create(std::string_view name) const;

private:
    std::map<std::string, Factory, std::less<>> factories_;
};

inline constexpr std::string_view kPlaitEngineName = "PDF.PlaitApp";

} // namespace plait::engine
