#pragma once

#include <string>
#include <string_view>
#include <vector>

// What `plait split` cuts a PDF into, decided before anything is built: the parts, each a page
// choice of the input as setInPages takes it, and the names they get in the folder.
namespace plait::cli::split {

struct Part {
    std::string pages; // the part's pages of the input, as a page choice ("4-10")
    std::string title; // the bookmark a part starts at; empty for parts of other kinds
};

// Parts of `every` pages each; the last holds what is left.
std::vector<Part> everyParts(int pageCount, int every);

// One part per range of "1-3;4-10;11-z", in the order given. Each range is a page choice
// ("1,3,5-7", "odd", "2-4:90"). Returns no parts and sets `error` when a range cannot be read
// or selects no page of the input.
std::vector<Part> rangeParts(std::string_view ranges, int pageCount, std::string& error);

// One bookmark of a listing (the engine's bookmark markup): its level (1 at the top), its title
// and its 1-based page, 0 when it opens none.
struct Bookmark {
    int level = 1;
    std::string title;
    int page = 0;
};
std::vector<Bookmark> readListing(std::string_view markup);

// Parts that start at the pages of the bookmarks of `level` and above, each running to the
// page before the next one; a part is named after the first of those bookmarks on its first
// page. Pages before the first such bookmark make a part of their own, titled `leadTitle`.
// Bookmarks that open no page, or a page past the end, are passed over. No parts when no
// bookmark of that level or above opens a page.
std::vector<Part> bookmarkParts(const std::vector<Bookmark>& bookmarks, int level, int pageCount,
                                const std::string& leadTitle);

// A title made into a file name that every common file system takes: slashes become "-",
// the characters other systems refuse become "_", control characters and runs of blanks one
// blank, no leading dot (no hidden files, no "..") and no trailing dot or blank, bytes that
// are not UTF-8 "_", at most kMaxTitleBytes bytes (cut between characters). Letters of any
// script stay as they are. Never empty: "part" when nothing is left.
inline constexpr std::size_t kMaxTitleBytes = 180;
std::string safeFileName(std::string_view title);

// The file names of the parts, numbered from 1 with as many digits as the last number needs
// (two at least), so that they sort in the order of the parts: "report-01.pdf", ... and, for
// parts with a title, "01 Introduction.pdf". Two names that differ only in case cannot
// arise, as the numbers differ.
std::vector<std::string> partFileNames(const std::vector<Part>& parts, const std::string& stem);

} // namespace plait::cli::split
