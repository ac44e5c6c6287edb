#include "Bookmarks.h"

#include "core/outline/BookmarkImport.h"
#include "engine/RegularFile.h"

#include <optional>
#include <ostream>

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
    std::string reason;
    const std::optional<std::string> text = engine::readRegularFile(path, kMaxBookmarkFileBytes, reason);
    if (!text) {
        err << "plait: cannot read bookmark file '" << path << "': " << reason << '\n';
        return false;
    }
    core::outline::importBookmarkMarkup(*text, window.outline());
    window.setBookmarksFile(path);
    return true;
}

} // namespace plait::cli
