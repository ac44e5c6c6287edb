#include "BookmarkImport.h"

#include "engine/MergeEngine.h"
#include "engine/Results.h"
#include "engine/TagReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace plait::core::outline {

bool EngineTagSource::nextTag() {
    return engine_.getNextTag() == 1;
}

std::string EngineTagSource::param(std::string_view name) {
    return engine_.getTagParams(name);
}

double leadingNumber(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) {
        ++p;
    }
    std::string number;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        number.push_back(text[p++]);
    }
    bool digits = false;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        number.push_back(text[p++]);
        digits = true;
    }
    if (p < text.size() && text[p] == '.') {
        number.push_back(text[p++]);
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            number.push_back(text[p++]);
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

namespace {

constexpr int kMaxLevel = 50;

// A level as a table index: whole part (or nearest whole number), kept within int range.
long long wholePart(double v) {
    return static_cast<long long>(std::clamp(std::floor(v), -1e9, 1e9));
}
long long rounded(double v) {
    return static_cast<long long>(std::clamp(std::nearbyint(v), -1e9, 1e9));
}

} // namespace

std::size_t loadTags(TagSource& source, Outline& outline) {
    Outline::Batch batch(outline);
    // The most recent entry of each level 0 to 50.
    std::array<Entry*, kMaxLevel + 1> levelEntries{};
    outline.keys().reset();
    std::size_t count = 0;
    while (source.nextTag()) {
        std::string key = outline.keys().next();
        const double level = leadingNumber(source.param("LEVEL"));
        Entry* entry = nullptr;
        if (level > 1) {
            const double again = leadingNumber(source.param("LEVEL"));
            std::string title = source.param("DESCR");
            Entry* parent = nullptr;
            for (long long d = std::min<long long>(wholePart(again) - 1, kMaxLevel); d >= 0 && !parent; --d) {
                parent = levelEntries[static_cast<std::size_t>(d)];
            }
            if (parent != nullptr) {
                entry = &outline.appendChild(*parent, std::move(key), std::move(title), "");
                outline.makeVisible(*entry);
            } else {
                entry = &outline.appendTopLevel(std::move(key), std::move(title), "");
            }
        } else {
            std::string title = source.param("DESCR");
            entry = &outline.appendTopLevel(std::move(key), std::move(title), "");
        }
        entry->tag = source.param("PAGE") + "|Y";
        const long long at = rounded(leadingNumber(source.param("LEVEL")));
        if (at >= 0 && at <= kMaxLevel) {
            levelEntries[static_cast<std::size_t>(at)] = entry;
        }
        ++count;
    }
    return count;
}

std::string runBookmarkListing(engine::MergeEngine& engine, const std::string& input,
                               const std::string& passwords) {
    engine.call("setInFile", {input});
    engine.call("setOutFile", {"membuild"});
    engine.call("setPwdList", {passwords});
    engine.call("setBookmarkOut");
    return engine.BuildPDF();
}

std::optional<std::string> listingFailureMessage(std::string_view result) {
    return engine::failureMessage(result);
}

namespace {

class MarkupTagSource : public TagSource {
public:
    explicit MarkupTagSource(std::string_view markup) { reader_.setText(std::string(markup)); }
    bool nextTag() override { return reader_.next(); }
    std::string param(std::string_view name) override { return reader_.param(name); }

private:
    engine::TagReader reader_;
};

} // namespace

std::size_t importBookmarkMarkup(std::string_view markup, Outline& outline) {
    outline.clear();
    MarkupTagSource source(markup);
    return loadTags(source, outline);
}

} // namespace plait::core::outline
