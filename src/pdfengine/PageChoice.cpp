#include "PageChoice.h"

#include "Text.h"

#include <charconv>

namespace plait::pdf {

PageChoice PageChoice::parse(std::string_view textIn, std::vector<std::string>& notes) {
    PageChoice choice;
    for (const std::string_view raw : text::listItems(textIn)) {
        Item item;
        std::string_view pages = raw;
        if (const auto colon = raw.find(':'); colon != std::string_view::npos) {
            pages = text::trim(raw.substr(0, colon));
            std::string_view angle = text::trim(raw.substr(colon + 1));
            if (!angle.empty() && angle.front() == '+') {
                angle.remove_prefix(1);
            }
            int degrees = 0;
            const auto [end, ec] = std::from_chars(angle.data(), angle.data() + angle.size(), degrees);
            if (angle.empty() || ec != std::errc() || end != angle.data() + angle.size() ||
                degrees % 90 != 0) {
                notes.push_back("Page list item \"" + std::string(raw) +
                                "\": a turn is a multiple of 90 degrees; ignored");
                continue;
            }
            item.turn = ((degrees % 360) + 360) % 360;
        }
        std::vector<std::string> itemNotes;
        item.pages = PageList::parse(pages, itemNotes);
        if (!itemNotes.empty() || item.pages.selectsAll()) {
            notes.push_back("Page list item \"" + std::string(raw) + "\" cannot be read; ignored");
            continue;
        }
        choice.items_.push_back(std::move(item));
    }
    // Nothing readable: the choice selects nothing rather than everything, so that a typing
    // mistake never brings in the whole input unasked.
    choice.nothing_ = choice.items_.empty() && !text::trim(textIn).empty();
    return choice;
}

std::vector<ChosenPage> PageChoice::resolve(int pageCount, const PageList& pull, bool* outOfRange) const {
    bool past = false;
    std::vector<ChosenPage> chosen;
    if (items_.empty() && !nothing_) {
        for (int i = 0; i < pageCount; ++i) {
            chosen.push_back({i, 0});
        }
    }
    for (const Item& item : items_) {
        bool itemPast = false;
        for (int index : item.pages.resolve(pageCount, &itemPast)) {
            if (chosen.size() >= PageList::kMaxPages) {
                break;
            }
            chosen.push_back({index, item.turn});
        }
        past = past || itemPast;
    }
    std::vector<ChosenPage> taken;
    if (pull.selectsAll()) {
        taken = std::move(chosen);
    } else {
        bool pullPast = false;
        for (int k : pull.resolve(static_cast<int>(chosen.size()), &pullPast)) {
            taken.push_back(chosen[static_cast<std::size_t>(k)]);
        }
        past = past || pullPast;
    }
    if (outOfRange) {
        *outOfRange = past;
    }
    return taken;
}

} // namespace plait::pdf
