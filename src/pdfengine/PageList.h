#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// A page list applied to every input: items separated by commas, taken in order and
// concatenated (so "3,1" gives page 3 then page 1, and a page may appear twice).
//   N        page N (1 is the first page)
//   N-M      pages N to M; when M < N the range runs backwards
//   N-       page N to the last page
//   last, z  the last page; usable in ranges ("z-1" is the whole input backwards)
//   odd      pages 1, 3, 5, ...; even: pages 2, 4, 6, ...
// Blanks are ignored and names are read without regard to case. An empty list selects
// every page.
class PageList {
public:
    // A list that selects more pages than this from one input ("1-3" repeated a hundred
    // thousand times) is cut there: the output would be unusable and cost gigabytes.
    static constexpr std::size_t kMaxPages = 100'000;

    // Items that cannot be read are left out and described in `notes`.
    static PageList parse(std::string_view text, std::vector<std::string>& notes);

    bool selectsAll() const { return all_; }

    // The 0-based page indexes selected from an input of `pageCount` pages. Pages past the end
    // are left out; `outOfRange` is set when that happened. At most kMaxPages indexes.
    std::vector<int> resolve(int pageCount, bool* outOfRange = nullptr) const;

private:
    enum class Kind { Range, Odd, Even };
    struct Item {
        Kind kind = Kind::Range;
        int from = 0, to = 0; // 1-based; 0 stands for the last page
    };
    bool all_ = true;
    std::vector<Item> items_;
};

} // namespace plait::pdf
