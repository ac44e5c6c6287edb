#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plait::pdf::testing {

// Small PDFs that each hold one document-level structure of the kind current producers write,
// and one that holds them all, for the tests that check a build carries what its inputs hold.
// Every file passes `qpdf --check` without a warning. Page k (1-based) of a file shows
// structuredPageText(structure, variant, k), so a reader can tell which input a page came from.
enum class Structure {
    Form,              // a text field with widgets on pages 1 and 2, a one-widget field, a note
    Outline,           // outline items with inline URI, JavaScript, Named, GoToR and GoTo actions
                       // and one with an indirect GoTo action
    PageLabels,        // six pages labelled i, ii, 1, 2, X-1, X-2
    HiddenLayer,       // a layer off by default: text on page 1 and an annotation in it
    Attachments,       // two embedded files
    ViewerSettings,    // viewer preferences, page mode and layout, open action, language
    DocumentScript,    // document JavaScript in the name tree and a document additional action
    NamedDestinations, // destinations in the name tree and in the catalog's /Dests, used by
                       // links and outline items
    Threads,           // an article thread with beads on pages 1 and 2
    Tagged,            // a structure tree: Document > paragraphs marked on pages 1 and 2
    All,               // every structure above in one six-page file
};

// Every structure, All last.
const std::vector<Structure>& allStructures();
// A short name for file names and messages: "form", "outline", ...
std::string structureName(Structure structure);
int structuredPageCount(Structure structure);
// "<word> <page>", where the word is the structure's name, with "Two" appended for variant 2.
std::string structuredPageText(Structure structure, int variant, int page);

// The hidden layer's text, drawn on page 1 of HiddenLayer and All files, and the layer's name.
inline constexpr const char* kHiddenText = "HIDDEN TEXT";
inline constexpr const char* kHiddenLayerName = "Draft notes";

// Names used by the files. Variant 2 of a file shares some of them with variant 1 but means
// something else by them, so that a merge of the two has to rename:
// - attachments: variant 1 holds "data.csv" and "notes.txt", variant 2 "notes.txt" and
//   "other.txt"; each file's content names its variant ("notes of variant 1").
// - named destinations: "chapter" is page 2 in variant 1 and page 3 in variant 2; "intro" is
//   page 1 in both (name tree); "appendix" is page 3 in both (catalog /Dests). Page 1 has a link
//   to "chapter" and one to "appendix"; outline items "To chapter" and "To appendix" use them.
// - document JavaScript: both variants name their script "init"; its text names the variant.
// - viewer settings: variant 1 asks for /TwoColumnLeft, /UseOutlines, en-GB and opens at page 2;
//   variant 2 asks for /SinglePage, /UseThumbs, fr-FR and opens at page 3.
// - fields: "spread" (two widgets, pages 1 and 2) and "single" (page 1) in both variants.
inline constexpr const char* kSpreadField = "spread";
inline constexpr const char* kSingleField = "single";

// Writes the file for `structure` (variant 1 or 2) to `path`; returns `path` as a string.
std::string makeStructuredPdf(const std::filesystem::path& path, Structure structure, int variant = 1);

} // namespace plait::pdf::testing
