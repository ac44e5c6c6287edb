#include "Bookmarks.h"

#include "core/outline/BookmarkImport.h"

#include <fstream>
#include <ostream>
#include <sstream>

namespace plait::cli {

int listBookmarks(const engine::EngineRegistry& engines, const std::string& input,
                  const std::string& passwords, std::ostream& out, std::ostream& err) {
    auto engine = engines.create(engine::kPlaitEngineName);
    if (!engine) {
        err << "plait: error: cannot create the PDF engine\n";
        return 1;
    }
    const std::string result = core::outline::runBookmarkListing(*engine, input, passwords);
    for (const auto& w : engine->warnings()) {
        err << "plait: warning: " << w << '\n';
    }
    if (auto failure = core::outline::listingFailureMessage(result)) {
        err << "plait: error: " << *failure << '\n';
        return 1;
    }
    // The engine lists in the outline writer's own markup, so it is printed as it comes.
    out << result;
    return out.good() ? 0 : 1;
}

bool useBookmarkFile(core::app::MainWindow& window, const std::string& path, std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "plait: cannot read bookmark file '" << path << "'\n";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    core::outline::importBookmarkMarkup(text.str(), window.outline());
    return true;
}

} // namespace plait::cli
