#pragma once

#include "PageChoice.h"
#include "PageList.h"
#include "Values.h"
#include "WriterOptions.h"
#include "pdfengine/compose/ComposeOptions.h"
#include "pdfengine/media/MediaOptions.h"
#include "pdfengine/reduce/ReduceOptions.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plait::pdf {

// A page box as four numbers in points: lower-left x, y, upper-right x, y.
using BoxValues = std::array<double, 4>;

// How the pages of the output are placed, in points and degrees. Every member left at its
// default means "leave the page alone".
struct PageGeometry {
    std::optional<BoxValues> mediaBox, cropBox, bleedBox, artBox, trimBox;
    std::optional<double> scalePercent;
    double down = 0, right = 0;
    std::optional<double> angle;
    bool autoRotate = false, center = false;
    std::optional<std::pair<double, double>> pageSize;
    bool scaleUp = false, scaleDown = false;
};

// The stamp's own placement. The program sends it after setStamp with the same operations
// that place pages, so the job keeps it apart.
struct StampPlacement {
    std::string name;
    std::optional<double> angle, scalePercent;
    double down = 0, right = 0;
    bool placed = false; // an offset was given: down/right place it instead of the default corner
    std::string text;
    PageList pages; // output pages that get the stamp (setOverlayPages after setStamp)
};

// Marks put on the finished pages and document (marks/Marks.h).
struct MarkOptions {
    enum class Align { Left, Center, Right };
    enum class NumberStyle { Arabic, Roman, LowerRoman };

    bool pageNumbers = false;
    Align pageNumAlign = Align::Left;
    double pageLMargin = 36, pageBMargin = 36; // points
    std::string pageFmt = "%1 of %2";          // %1 the page, %2 the page count
    NumberStyle pageNumStyle = NumberStyle::Arabic;
    double fontSize = 10;                            // points, above 0
    std::string textAreaFile, notesFile, attachFile; // pseudo names (setFileDataS) or paths
    bool print = false, mail = false;
};

// Text to mark wherever it shows on the output pages (marking/TextMarking.h).
struct TextMarking {
    // The annotation each occurrence gets: "HI-R" (or none) /Highlight, "OL" /Square, "UL"
    // /Underline, "CO" /StrikeOut.
    enum class Style { Highlight, Outline, Underline, StrikeOut };

    std::string find;
    std::optional<std::string> change; // setStringChange: replace instead of marking
    Style style = Style::Highlight;
    Rgb color{1, 1, 0}; // yellow unless setStringColor says otherwise
};

struct Security {
    std::string owner, user;
    bool encrypt128 = false;
    // setEncryptAES128/256: AES chosen with the passwords, which wins over a cipher setCmds names.
    std::optional<WriterOptions::Cipher> aes;
    bool noPrint = false, noChange = false, noCopy = false, noAnnote = false, noFillIn = false,
         noAssemble = false, noDigital = false;

    bool anyRestriction() const {
        return noPrint || noChange || noCopy || noAnnote || noFillIn || noAssemble || noDigital;
    }
    // Any password or restriction asks for an encrypted output.
    bool wanted() const { return !owner.empty() || !user.empty() || anyRestriction(); }
};

struct Description {
    std::optional<std::string> title, subject, author, producer, keywords;
    std::vector<std::pair<std::string, std::string>> attributes; // custom keys, in call order
};

// Everything one build is asked to do, filled by the set-operations (JobBuilder) and read by
// the run. It holds texts as the caller gave them where the run needs the inputs to make
// sense of them (input names, markup), and checked values everywhere else; page
// lists are read, and are resolved against each input's page count by the run.
struct Job {
    std::string outFile;
    std::string inFileText; // the raw comma-joined list; split at run time
    char sort = 0;          // 0 list order, or 'f', 'n', 'b', 'd'
    PageList pageList;      // pages taken from each input
    // setInPages: pages chosen for one input, by its 0-based place in the setInFile list.
    std::map<std::size_t, PageChoice> inputPages;
    std::vector<std::string> passwords; // setPwdList, in the order they are tried

    Security security;
    Description description;
    PageGeometry geometry;
    std::optional<StampPlacement> stamp;
    ComposeOptions compose;
    MarkOptions marks;
    MediaOptions media;
    TextMarking textMarking;

    bool bookmarkKeep = false;
    // setBookmarkTrim: kept bookmarks whose page is not in the output are left out.
    bool bookmarkTrim = false;
    bool bookmarkOut = false;
    std::string bookmarkFile;                    // a pseudo name or a path; empty when none
    std::map<std::string, std::string> fileData; // setFileDataS texts by pseudo name

    bool openAfterBuild = false;
    bool imageExport = false; // setImgDir: the output is a folder that gets the inputs' images
    WriterOptions writer;
    ImageReduce imageReduce; // setImageReduce

    // Notes made while the job was filled (values that could not be read or used); the run
    // publishes them as warnings before its own.
    std::vector<std::string> notes;

    bool memBuild() const { return outFile == "membuild"; }
    WriterOptions::Cipher cipher() const { return security.aes.value_or(writer.cipher); }
};

} // namespace plait::pdf
