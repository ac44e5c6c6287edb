#pragma once

#include "pdfengine/PlaitEngine.h"

#include <qpdf/QPDF.hh>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace plait::pdf::testing {

namespace fs = std::filesystem;

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    fs::path path(const std::string& name) const { return root_ / name; }
    const fs::path& root() const { return root_; }

private:
    fs::path root_;
};

struct PdfSpec {
    std::vector<std::string> pageTexts; // one page per text, drawn in Helvetica
    double width = 612, height = 792;
    // Outline entries: title, 1-based page, level (1 top); children follow their parent.
    struct Bookmark {
        std::string title;
        int page;
        int level = 1;
    };
    std::vector<Bookmark> bookmarks;
    // Each page k gets a link to page linkTo[k] (1-based), 0 for none.
    std::vector<int> linkTo;
    std::string title;
    std::string xmpTitle;                    // non-empty: the catalog gets an XMP packet with this dc:title
    std::string userPassword, ownerPassword; // either non-empty: AES-256 encrypted
};

// Writes a PDF described by `layout`; returns its path as a string.
std::string makePdf(const fs::path& path, const PdfSpec& layout);
// Pages "name 1".."name n".
std::string makePdf(const fs::path& path, const std::string& name, int pages);
// The PDF at `from` changed by `edit`, written to `to`; returns `to` as a string.
std::string editPdf(const std::string& from, const fs::path& to, const std::function<void(QPDF&)>& edit);
void writeFile(const fs::path& path, const std::string& bytes);
// A PDF made of the given object bodies (object k+1 is objects[k], object 1 the catalog), with
// a correct cross-reference table, so that a reader needs no repair to read it.
std::string rawPdf(const fs::path& path, const std::vector<std::string>& objects);
// A one-page PDF of 6 MB whose page holds an array of three million numbers: about 1.5 GB
// once a reader has it in memory.
std::string widePdf(const fs::path& path);
// A binary PPM (colour) or PGM (grey) image as the renderers write it: its size and pixel bytes.
struct Pixmap {
    int width = 0, height = 0;
    std::string bytes;
};
Pixmap readPixmap(const fs::path& path);
std::string readFile(const fs::path& path);

struct ToolResult {
    int exitCode;
    std::string output; // stdout and stderr together
};
// Runs a shell command line; arguments must already be quoted.
ToolResult run(const std::string& commandLine);
std::string quote(const std::string& s);

// Text of the pages as pdftotext sees it, one string per page.
std::vector<std::string> pageTexts(const std::string& pdf, const std::string& password = "");
int pageCount(const std::string& pdf);

// Words of one page (1-based) as pdftotext -bbox places them: top-down coordinates of the
// displayed page.
struct Word {
    std::string text;
    double xMin, yMin, xMax, yMax;
};
std::vector<Word> words(const std::string& pdf, int page);
std::optional<Word> find(const std::vector<Word>& words, const std::string& text);
inline QPDFObjectHandle pageOf(QPDF& pdf, int index) {
    return pdf.getAllPages().at(static_cast<std::size_t>(index));
}

// An engine with a scripted call list; records the viewer it was asked to open.
struct OpenRecorder : ViewerLauncher {
    std::vector<std::string> opened;
    void open(const std::string& p) override { opened.push_back(p); }
};

struct Build {
    std::shared_ptr<OpenRecorder> viewer = std::make_shared<OpenRecorder>();
    PlaitEngine engine{viewer};

    Build& call(std::string_view op, std::initializer_list<std::string_view> args = {}) {
        engine.call(op, args);
        return *this;
    }
    std::string run() { return engine.BuildPDF(); }
    bool warned(std::string_view fragment) const;
};

} // namespace plait::pdf::testing
