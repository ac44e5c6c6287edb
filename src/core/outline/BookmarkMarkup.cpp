#include "BookmarkMarkup.h"

namespace plait::core::outline {

std::string bookmarkLine(const Entry& entry, int level) {
    std::string line = "<BOOKMARK LEVEL=";
    line += std::to_string(level);
    line += " DESCR=\"";
    line += entry.text;
    line += "\" PAGE=";
    line += entry.page();
    if (entry.closed()) {
        line += " CLOSED";
    }
    line += ">\r\n";
    return line;
}

void buildBM(std::span<const std::unique_ptr<Entry>> first, int level, std::string& bmText) {
    for (const auto& entry : first) {
        bmText += bookmarkLine(*entry, level);
        if (!entry->children.empty()) {
            buildBM(entry->children, level + 1, bmText);
        }
    }
}

std::string buildBM(const Outline& outline) {
    std::string bmText;
    buildBM(outline.topLevel(), 1, bmText);
    return bmText;
}

} // namespace plait::core::outline
