#include "About.h"

#include "core/ui/Titles.h"

namespace plait::core::about {

std::string caption() {
    return std::string("About ") + ui::kAppTitle;
}

std::string title() {
    return ui::kAppTitle;
}

std::string versionText() {
    return "Version " + std::to_string(PLAIT_VERSION_MAJOR) + "." + std::to_string(PLAIT_VERSION_MINOR) +
           "." + std::to_string(PLAIT_VERSION_PATCH);
}

std::optional<Command> findSystemInfoTool(const std::function<std::string(const std::string&)>& which) {
    // The desktops' own overviews first, then the stand-alone tools.
    struct Candidate {
        const char* program;
        std::vector<std::string> arguments;
    };
    const Candidate candidates[] = {
        {"kinfocenter", {}}, {"gnome-control-center", {"info-overview"}}, {"hardinfo2", {}}, {"hardinfo", {}},
        {"lshw-gtk", {}},
    };
    for (const auto& c : candidates) {
        const std::string path = which(c.program);
        if (!path.empty()) {
            return Command{path, c.arguments};
        }
    }
    return std::nullopt;
}

} // namespace plait::core::about
