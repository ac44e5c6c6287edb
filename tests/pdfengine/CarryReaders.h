#pragma once

// What the tests of carried structures read out of an output, each through a reader that is
// not the engine: qpdf's command line and JSON, poppler's pdfinfo and pdftotext, and qpdf's
// library for what only an object walk can tell (where a link or a bead lands).
#include "Fixtures.h"

#include <qpdf/QPDF.hh>

#include <memory>
#include <string>
#include <vector>

namespace plait::pdf::testing {

using Strings = std::vector<std::string>;

inline bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A build as the program sends it with every field at its default, plus the calls of one option.
enum class Option { Plain, Encrypted, Numbered, Stamped };
enum class Mode { Merge, Overlay, Repeat };
std::string optionName(Option option);

struct Built {
    std::string result;   // what BuildPDF returned: the page count, or a negative failure code
    Strings warnings;     // the engine's warnings
    std::string pdf;      // the output, decrypted with its user password when it was encrypted
    std::string problems; // what went wrong before any structure could be checked
};
// Builds `inputs` into a new file in `dir` named after `label`.
Built build(const TempDir& dir, const std::string& label, const Strings& inputs,
            Option option = Option::Plain, Mode mode = Mode::Merge);

std::unique_ptr<QPDF> open(const std::string& pdf);

// The label of each page as a viewer shows it, from qpdf's JSON (the physical page number where
// the file has no labels).
Strings pageLabels(const std::string& pdf);
// The keys of the attachments qpdf lists, and the content of one.
Strings attachmentNames(const std::string& pdf);
std::string attachment(const std::string& pdf, const std::string& name);
// pdfinfo's value for a field ("Tagged", "JavaScript"), without the padding.
std::string infoField(const std::string& pdf, const std::string& field);

// The 1-based page a destination lands on: an explicit one, a name of the /Names /Dests tree
// (a string), a name of the catalog's /Dests (a name), or a dictionary with /D; 0 when it
// lands nowhere.
int destinationPage(QPDF& pdf, QPDFObjectHandle destination);
// The page an outline item or a link opens through /Dest or a GoTo action, 0 for none.
int targetPage(QPDF& pdf, QPDFObjectHandle itemOrLink);
// The 1-based page whose /Annots holds `annotation`, 0 for none.
int pageOfAnnotation(QPDF& pdf, QPDFObjectHandle annotation);

// Every item of the outline, depth first.
std::vector<QPDFObjectHandle> outlineItems(QPDF& pdf);
std::string title(QPDFObjectHandle item);
// The values of a name tree, in key order, with their keys.
std::vector<std::pair<std::string, QPDFObjectHandle>> nameTree(QPDF& pdf, QPDFObjectHandle tree);

} // namespace plait::pdf::testing
