#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// What a document read from a damaged file may carry that the writer would pass on as it is,
// and readers then refuse: a page tree whose /Count is wrong, missing, negative or huge or
// whose pages name another parent, a trailer without /Size, a stream whose /Filter is
// neither a name nor an array of names. These put it right on the document in memory.

// A catalog whose /Pages is a page itself, with no tree above it, gets a tree node holding
// that page (as some readers do when they meet one). True when it did. Call before the
// pages are listed.
bool soundPagesRoot(QPDF& doc);

// A page tree that leads back into itself (a node among its own kids, or a node reached twice)
// becomes one node holding each page once, in reading order, with what the pages inherited
// from the nodes above them put on the pages themselves. Returns how many pages it kept; 0
// when the tree holds none. Call when listing the pages found a loop.
int unloopPageTree(QPDF& doc);

// `pages` are the document's pages as the parser found them (inherited attributes already
// pushed to the pages). A tree whose counts and parents all agree with them is left as it
// is; otherwise it is replaced by one node holding every page. True when it was replaced.
bool soundPageTree(QPDF& doc, const std::vector<QPDFPageObjectHelper>& pages);

// Gives the trailer a /Size (the writer fills in the value) and drops what a trailer of a
// rewritten file must not carry over; a catalog written inside the trailer becomes an object of
// its own, of type /Catalog.
void soundTrailer(QPDF& doc);

// A /Filter given as a string becomes that name; any other /Filter that is not a name or an
// array of names is dropped (with its /DecodeParms), so the data is taken as it stands.
// Returns how many streams were changed.
int soundStreamFilters(QPDF& doc);

// Page content that a reader cannot decode shows as nothing, or as far as it decodes: a
// content stream whose data fails to decode is replaced by the part that decodes (nothing,
// for a filter nobody knows), unfiltered, so that the output holds no undecodable content.
// Decodes every content stream, so it is worth running only when `contentsSuspect` says so
// or the writer met data it could not decode. Content that is no stream at all is dropped.
// Returns how many streams were replaced and pages tidied.
int soundPageContents(QPDF& doc);

// True when a page's content names a filter that content cannot use (an image codec, an
// unknown name). Looks at the stream dictionaries only.
bool contentsSuspect(QPDF& doc);

// The catalog of a file whose trailer is gone, as a reference ("12 0 R"): the first object
// whose dictionary says /Type /Catalog. Reads the whole file in blocks; empty when none.
std::string findCatalog(const std::string& path);

// Opens a written PDF as a reader would and checks what makes a file unusable even where
// every object parses: the cross-reference and trailer (no repair needed to read them), the
// page tree and its /Count against `pages`. Costs a parse of the cross-reference and the
// page tree, not of the page contents. An encrypted file is opened with `password`, or with
// `fileKey` (its key) when that is not empty. Empty when the file is sound, else what is wrong.
std::string checkWrittenPdf(const std::string& path, std::size_t pages, const std::string& password,
                            const std::string& fileKey = {});

// The note that an input was damaged and what was repaired: "name is damaged and was
// repaired: what".
inline constexpr std::string_view kRepairedNote = " is damaged and was repaired: ";
inline std::string repairedNote(const std::string& name, const std::string& what) {
    return name + std::string(kRepairedNote) + what;
}

// Passes on what qpdf repaired while reading the file `name` (its base name): each line says
// which file was damaged and what was repaired, a few per file, repeats dropped.
void reportRepairs(QPDF& pdf, const std::string& name, const std::function<void(std::string)>& warn);

} // namespace plait::pdf
