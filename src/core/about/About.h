#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plait::core::about {

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// "About " and the application title.
std::string caption();
std::string title();
// "Version " and the program's major, minor and revision numbers.
std::string versionText();

struct Command {
    std::string program; // full path
    std::vector<std::string> arguments;
};

// The desktop's system information tool, if one is installed. `which` turns a program name
// into its full path, or "" when it is not installed.
std::optional<Command> findSystemInfoTool(const std::function<std::string(const std::string&)>& which);

} // namespace plait::core::about
