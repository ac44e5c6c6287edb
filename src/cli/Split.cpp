#include "Split.h"

#include "CliServices.h"
#include "SplitPlan.h"
#include "core/outline/BookmarkImport.h"
#include "engine/EngineRegistry.h"
#include "engine/MergeEngine.h"
#include "engine/Results.h"
#include "engine/WatchedRun.h"
#include "pdfengine/InputFiles.h"
#include "pdfengine/PageCount.h"
#include "pdfengine/PendingOutputs.h"
#include "pdfengine/PlaitEngine.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>

#include <unistd.h>

namespace plait::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSplitUsage =
    "Usage: plait split INPUT -o FOLDER (--every N | --bookmarks LEVEL | --max-size MB | --ranges RANGES)\n"
    "                   [--passwords TEXT] [--memory-limit MB] [-q]\n";

struct SplitOptions {
    std::string input;
    std::string folder;
    std::string mode; // "every", "bookmarks", "max-size" or "ranges"
    int every = 0;
    int level = 0;
    double maxMegabytes = 0;
    std::string ranges;
    std::string passwords;
    unsigned long memoryMegabytes = BuildLimits::kDefaultMegabytes;
    bool quiet = false;
};

int splitUsage(const std::string& message) {
    std::cerr << "plait split: " << message << "\n" << kSplitUsage;
    return 2;
}

template <typename Number> bool toNumber(const std::string& text, Number& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::optional<int> parseSplit(int argc, char** argv, SplitOptions& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        const auto chooseMode = [&](const char* mode) -> bool {
            if (!o.mode.empty()) {
                return false;
            }
            o.mode = mode;
            return true;
        };
        if (a == "-o" || a == "--every" || a == "--bookmarks" || a == "--max-size" || a == "--ranges" ||
            a == "--passwords" || a == "--memory-limit") {
            if (!hasValue) {
                return splitUsage(a + " needs a value");
            }
            ++i;
        }
        if (a == "--help" || a == "-h") {
            std::cout << kSplitUsage;
            return 0;
        } else if (a == "-o") {
            o.folder = value;
        } else if (a == "--every") {
            if (!chooseMode("every") || !toNumber(value, o.every) || o.every < 1) {
                return splitUsage("--every takes a number of pages, 1 or more, and no other way to split");
            }
        } else if (a == "--bookmarks") {
            if (!chooseMode("bookmarks") || !toNumber(value, o.level) || o.level < 1 || o.level > 100) {
                return splitUsage(
                    "--bookmarks takes a level from 1 (the top) to 100, and no other way to split");
            }
        } else if (a == "--max-size") {
            double mb = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), mb);
            if (!chooseMode("max-size") || ec != std::errc() || end != value.data() + value.size() ||
                !(mb > 0) || mb > 1e6) {
                return splitUsage("--max-size takes megabytes, more than 0, and no other way to split");
            }
            o.maxMegabytes = mb;
        } else if (a == "--ranges") {
            if (!chooseMode("ranges") || value.find_first_not_of(" \t;") == std::string::npos) {
                return splitUsage(
                    "--ranges takes page ranges such as \"1-3;4-10;11-z\", and no other way to split");
            }
            o.ranges = value;
        } else if (a == "--passwords") {
            o.passwords = value;
        } else if (a == "--memory-limit") {
            if (!toNumber(value, o.memoryMegabytes) ||
                (o.memoryMegabytes != 0 && o.memoryMegabytes < worker::kMinimumBuildMegabytes)) {
                return splitUsage(
                    "--memory-limit needs a whole number (megabytes, at least 100; 0 for no limit)");
            }
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return splitUsage("unknown option '" + a + "'");
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            return splitUsage("one input only ('" + a + "' is a second)");
        }
    }
    if (o.input.empty()) {
        return splitUsage("no input");
    }
    if (o.folder.empty()) {
        return splitUsage("-o FOLDER is missing");
    }
    if (o.mode.empty()) {
        return splitUsage("say how to split: --every, --bookmarks, --max-size or --ranges");
    }
    return std::nullopt;
}

// The folder of a split and the parts written into it under hidden names. Until commit()
// has given every part its name, nothing of the split is visible; destroying the staging
// without it removes the hidden parts and the folders it created. The hidden parts are pending
// outputs, so a second Ctrl+C, which ends the process at once, removes them too.
class Staging {
public:
    explicit Staging(fs::path folder) : folder_(std::move(folder)) {}
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    ~Staging() {
        std::error_code ec;
        for (const auto& path : hidden_) {
            fs::remove(path, ec);
            pdf::dropPendingOutput(path);
        }
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            fs::remove(*it, ec); // only when empty: someone else may have put files there
        }
    }

    // Creates the folder and those above it that are missing; false, with the reason, when it
    // cannot be made or is no folder.
    bool create(std::string& reason) {
        std::vector<fs::path> missing;
        std::error_code ec;
        for (fs::path p = fs::absolute(folder_, ec); !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path()) {
                break;
            }
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (!fs::create_directory(*it, ec) && ec) {
                reason = ec.message();
                return false;
            }
            created_.push_back(*it);
        }
        if (!fs::is_directory(folder_, ec)) {
            reason = "it is not a folder";
            return false;
        }
        return true;
    }

    // A new hidden name in the folder, removed again unless committed.
    std::string hiddenPath() {
        const std::string path = (folder_ / (".plait-split-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(hidden_.size() + 1) + ".pdf"))
                                     .string();
        hidden_.push_back(path);
        pdf::addPendingOutput(path);
        return path;
    }

    // Gives the hidden files `parts` the names `names`, in order. Should a rename fail, the
    // parts renamed so far are removed again and the reason returned.
    std::string commit(const std::vector<std::string>& parts, const std::vector<std::string>& names) {
        std::vector<fs::path> renamed;
        std::error_code ec;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const fs::path target = folder_ / names[i];
            fs::rename(parts[i], target, ec);
            if (ec) {
                for (const auto& r : renamed) {
                    fs::remove(r, ec);
                }
                return names[i] + ": " + ec.message();
            }
            renamed.push_back(target);
            pdf::dropPendingOutput(parts[i]);
            std::erase(hidden_, parts[i]);
        }
        created_.clear();
        return {};
    }

private:
    fs::path folder_;
    std::vector<std::string> hidden_;
    std::vector<fs::path> created_;
};

// One part: a one-input build of the engine that takes the part's pages, with the outline items,
// labels, links, fields and names that belong to them.
class PartBuilder {
public:
    PartBuilder(const SplitOptions& o, std::ostream& err) : options_(o), err_(err) {
        pdf::registerPlaitEngine(engines_);
    }

    // The pages of the part written to `path`; false when the build failed (reported) or was
    // cancelled.
    bool build(const std::string& pages, const std::string& path) {
        auto engine = engines_.create(engine::kPlaitEngineName);
        if (!engine) {
            err_ << "plait split: error: cannot create the PDF engine\n";
            return false;
        }
        engine->call("setOutFile", {path});
        engine->call("setInFile", {options_.input});
        if (!options_.passwords.empty()) {
            engine->call("setPwdList", {options_.passwords});
        }
        engine->call("setInPages", {"1", pages});
        engine->call("setBookmarkKeep");
        engine->call("setBookmarkTrim");
        const std::string result = engine::buildWatched(*engine, std::chrono::milliseconds(100), [&] {
            if (gInterrupted.load()) {
                engine->setCancelBuild(1);
            }
        });
        for (const auto& w : engine->warnings()) {
            // Every part of a document has much the same to say about it: once is enough.
            if (!options_.quiet && said_.insert(w).second) {
                err_ << "plait split: warning: " << w << '\n';
            }
        }
        if (result == engine::kCancelledResult) {
            cancelled_ = true;
            return false;
        }
        if (auto failure = engine::failureMessage(result)) {
            err_ << "plait split: error: " << *failure << '\n';
            return false;
        }
        return true;
    }

    bool cancelled() const { return cancelled_ || gInterrupted.load(); }

private:
    const SplitOptions& options_;
    std::ostream& err_;
    engine::EngineRegistry engines_;
    std::set<std::string> said_;
    bool cancelled_ = false;
};

// The pages of the input, trying each password; nothing when it cannot be read (reported).
std::optional<int> pageCountOf(const SplitOptions& o) {
    std::vector<std::string> passwords = pdf::parsePasswordList(o.passwords);
    passwords.insert(passwords.begin(), std::string());
    pdf::PageCount count;
    for (const auto& password : passwords) {
        count = pdf::countPages(o.input, password);
        if (count.problem != pdf::PageCount::Problem::NeedsPassword) {
            break;
        }
    }
    switch (count.problem) {
    case pdf::PageCount::Problem::None:
        if (count.pages > 0) {
            return count.pages;
        }
        std::cerr << "plait split: error: " << o.input << " has no pages\n";
        return std::nullopt;
    case pdf::PageCount::Problem::NeedsPassword:
        std::cerr << "plait split: error: " << o.input
                  << " is encrypted; give its password with --passwords\n";
        return std::nullopt;
    default:
        std::cerr << "plait split: error: cannot read " << o.input << ": " << count.reason << '\n';
        return std::nullopt;
    }
}

// The parts at the input's bookmarks of the level asked for and above.
std::vector<split::Part> bookmarkPartsOf(const SplitOptions& o, int pageCount) {
    engine::EngineRegistry engines;
    pdf::registerPlaitEngine(engines);
    auto engine = engines.create(engine::kPlaitEngineName);
    const std::string listing = core::outline::runBookmarkListing(*engine, o.input, o.passwords);
    if (auto failure = core::outline::listingFailureMessage(listing)) {
        std::cerr << "plait split: error: " << *failure << '\n';
        return {};
    }
    auto parts = split::bookmarkParts(split::readListing(listing), o.level, pageCount,
                                      fs::path(o.input).stem().string());
    if (parts.empty()) {
        std::cerr << "plait split: error: " << o.input << " has no bookmark of level " << o.level
                  << " or above that opens a page\n";
    }
    return parts;
}

std::uintmax_t sizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

class Progress {
public:
    explicit Progress(bool show) : show_(show) {}
    void part(std::size_t number, std::size_t count) {
        if (show_) {
            std::cerr << "\rplait split: part " << number << (count ? " of " + std::to_string(count) : "")
                      << std::flush;
        }
    }
    ~Progress() {
        if (show_) {
            std::cerr << '\n';
        }
    }

private:
    bool show_;
};

// Parts as large as fit under the size: each grows, by doubling and then halving the step,
// to the most pages whose built file is not larger. A page that is larger alone is a part by
// itself (with a warning). Returns the hidden files and their pages, or nothing on failure.
std::optional<std::vector<std::pair<std::string, std::string>>> buildBySize(const SplitOptions& o,
                                                                            int pageCount, Staging& staging,
                                                                            PartBuilder& builder,
                                                                            Progress& progress) {
    const auto limit = static_cast<std::uintmax_t>(o.maxMegabytes * 1024 * 1024);
    std::vector<std::pair<std::string, std::string>> built;
    const auto range = [](int first, int last) {
        return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
    };
    for (int first = 1; first <= pageCount;) {
        progress.part(built.size() + 1, 0);
        const std::string part = staging.hiddenPath();
        const std::string probe = staging.hiddenPath();
        if (!builder.build(range(first, first), part)) {
            return std::nullopt;
        }
        if (sizeOf(part) > limit) {
            std::cerr << "plait split: warning: page " << first << " alone is larger than " << o.maxMegabytes
                      << " MB; it is a part by itself\n";
        }
        int fits = first; // the last page of the largest part known to fit
        int tooMany = 0;  // the last page of the smallest part known not to fit; 0: none yet
        if (sizeOf(part) <= limit) {
            while (fits < pageCount) {
                const int last = tooMany ? fits + (tooMany - fits) / 2
                                         : std::min(pageCount, first + 2 * (fits - first + 1) - 1);
                if (last <= fits) {
                    break;
                }
                if (!builder.build(range(first, last), probe)) {
                    return std::nullopt;
                }
                if (sizeOf(probe) <= limit) {
                    fits = last;
                    std::error_code ec;
                    fs::rename(probe, part, ec);
                    if (ec) {
                        std::cerr << "plait split: error: " << ec.message() << '\n';
                        return std::nullopt;
                    }
                } else {
                    tooMany = last;
                }
                if (tooMany && tooMany == fits + 1) {
                    break;
                }
            }
        }
        built.emplace_back(part, range(first, fits));
        first = fits + 1;
    }
    return built;
}

} // namespace

int runSplit(int argc, char** argv) {
    SplitOptions o;
    if (auto status = parseSplit(argc, argv, o)) {
        return *status;
    }
    worker::applyMemoryLimit(o.memoryMegabytes);
    InterruptHandlers handlers;
    const std::optional<int> pageCount = pageCountOf(o);
    if (!pageCount) {
        return 1;
    }
    std::vector<split::Part> parts;
    if (o.mode == "every") {
        parts = split::everyParts(*pageCount, o.every);
    } else if (o.mode == "ranges") {
        std::string error;
        parts = split::rangeParts(o.ranges, *pageCount, error);
        if (parts.empty()) {
            return splitUsage("--ranges: " + error);
        }
    } else if (o.mode == "bookmarks") {
        parts = bookmarkPartsOf(o, *pageCount);
        if (parts.empty()) {
            return 1;
        }
    }

    Staging staging(o.folder);
    std::string reason;
    if (!staging.create(reason)) {
        std::cerr << "plait split: error: cannot make the folder " << o.folder << ": " << reason << '\n';
        return 1;
    }
    PartBuilder builder(o, std::cerr);
    std::vector<std::string> hidden;
    {
        Progress progress(!o.quiet && isatty(STDERR_FILENO) == 1);
        if (o.mode == "max-size") {
            const auto built = buildBySize(o, *pageCount, staging, builder, progress);
            if (!built) {
                parts.clear();
            } else {
                for (const auto& [path, pages] : *built) {
                    hidden.push_back(path);
                    parts.push_back({pages, {}});
                }
            }
        } else {
            for (std::size_t i = 0; i < parts.size(); ++i) {
                progress.part(i + 1, parts.size());
                hidden.push_back(staging.hiddenPath());
                if (!builder.build(parts[i].pages, hidden.back())) {
                    hidden.clear();
                    break;
                }
            }
        }
    }
    if (builder.cancelled()) {
        std::cerr << "plait split: cancelled; nothing was written\n";
        return 1;
    }
    if (hidden.empty() || hidden.size() != parts.size()) {
        std::cerr << "plait split: nothing was written\n";
        return 1;
    }
    const std::vector<std::string> names = split::partFileNames(parts, fs::path(o.input).stem().string());
    if (const std::string failed = staging.commit(hidden, names); !failed.empty()) {
        std::cerr << "plait split: error: cannot name the part " << failed << "; nothing was written\n";
        return 1;
    }
    for (const auto& name : names) {
        std::cout << (fs::path(o.folder) / name).string() << '\n';
    }
    return std::cout.flush() ? 0 : 1;
}

} // namespace plait::cli
