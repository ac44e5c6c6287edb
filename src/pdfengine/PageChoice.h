#pragma once

#include "PageList.h"

#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// One page taken from an input: its 0-based index and the quarter turns added to its
// /Rotate (0, 90, 180 or 270 degrees clockwise).
struct ChosenPage {
    int index = 0;
    int turn = 0;
};

// The pages chosen for one input (setInPages): a page list whose items may end in a turn,
// "1-3,7,10-z:90,odd:180", each item read as a page list item (PageList) and its pages
// turned clockwise by the degrees after the colon, a multiple of 90 (negative turns
// counter-clockwise). An empty choice takes every page as it is.
class PageChoice {
public:
    // Items that cannot be read are left out and described in `notes`.
    static PageChoice parse(std::string_view text, std::vector<std::string>& notes);

    bool selectsAll() const { return items_.empty() && !nothing_; }

    // The pages taken from an input of `pageCount` pages: this choice first, then `pull` (the
    // job's page list for every input) applied to the pages chosen, as if they were the whole
    // input. `outOfRange` is set when either named pages past the end.
    std::vector<ChosenPage> resolve(int pageCount, const PageList& pull, bool* outOfRange = nullptr) const;

private:
    struct Item {
        PageList pages;
        int turn = 0;
    };
    std::vector<Item> items_;
    bool nothing_ = false; // text was given, but no item of it could be read
};

} // namespace plait::pdf
