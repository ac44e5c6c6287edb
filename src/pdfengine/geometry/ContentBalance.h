#pragma once

#include <qpdf/QPDFPageObjectHelper.hh>

#include <cstddef>
#include <string_view>
#include <vector>

namespace plait::pdf::geometry {

// How a page's content leaves the graphics state stack: `open` saves (q) it never restores,
// and `extra` restores (Q) with nothing saved to restore. Readers tolerate both, but what is
// drawn after such content (a page number, an overlay, the page's own placement on a sheet)
// would inherit its matrix and clip, or have its own saved state popped by a stray Q.
struct StateBalance {
    long long open = 0, extra = 0;
    bool balanced() const { return open == 0 && extra == 0; }
};

// Counts q and Q operators in content bytes; strings, comments, names and inline image data
// are not mistaken for operators.
StateBalance scanStates(std::string_view content);

// Page content that decodes to more than this is not read: a small stream (a few kilobytes
// of Flate can decode to gigabytes) must not make a build hold it all.
inline constexpr std::size_t kMostContentBytes = std::size_t(256) << 20;

// The same for the decoded content of a page or form. A page whose content cannot be read, or
// decodes to more than `mostBytes`, counts as balanced.
StateBalance countStates(QPDFPageObjectHelper page, std::size_t mostBytes = kMostContentBytes);

// countStates for many pages at once, one result per page in their order, the same as page by
// page. The content is read from the document on the calling thread (a document is not shared
// between threads); what is plain Flate is decoded and scanned on up to four cores, each with
// its share of the same bound on decoded bytes, and a page that does not fit that share is
// counted again on its own.
std::vector<StateBalance> countStates(const std::vector<QPDFPageObjectHelper>& pages);

// Makes the page's content restore everything it saves, so what is drawn before or after it
// lands where it was placed. Left-open saves are closed by one small stream appended to the
// page; restores with nothing to restore are dropped, which rewrites the content as one stream
// (readers ignore such a restore, so the page looks as it did). A balanced page is not touched.
// Returns what was found.
StateBalance balanceContents(QPDFPageObjectHelper page);

// The same, with what countStates found on the page.
StateBalance balanceContents(QPDFPageObjectHelper page, StateBalance found);

} // namespace plait::pdf::geometry
