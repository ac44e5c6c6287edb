#include "TextMarking.h"

#include "TextReplace.h"
#include "pdfengine/Background.h"
#include "pdfengine/Cancel.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/PdfNumber.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <goo/gfile.h>
#include <poppler/Error.h>
#include <poppler/GlobalParams.h>
#include <poppler/PDFDoc.h>
#include <poppler/Stream.h>
#include <poppler/TextOutputDev.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace plait::pdf {
namespace {

// Corners of marked text in user space: upper-left, upper-right, lower-left, lower-right (x, y each).
using Quad = std::array<double, 8>;

using Style = TextMarking::Style;

// Marks sit on the page to a thousandth of a point.
std::string num(double v) {
    return pdfNumber(v, 3);
}

// A box on the displayed page: x right, y down.
struct Rect {
    double l = 0, t = 0, r = 0, b = 0;
    double left() const { return l; }
    double top() const { return t; }
    double right() const { return r; }
    double bottom() const { return b; }
};

// One line of displayed text: Unicode characters, each with its box (none for joining spaces).
struct Line {
    std::u32string text;
    std::vector<std::optional<Rect>> boxes;
    Rect last;
    int rotation = 0;
};

Rect united(const Rect& a, const Rect& b) {
    return {std::min(a.l, b.l), std::min(a.t, b.t), std::max(a.r, b.r), std::max(a.b, b.b)};
}

// Extents of a box along its text's direction and across it, for text turned `rotation`
// quarter turns clockwise on the displayed page.
std::pair<double, double> along(const Rect& b, int rotation) {
    switch (rotation) {
    case 1:
        return {b.top(), b.bottom()};
    case 2:
        return {-b.right(), -b.left()};
    case 3:
        return {-b.bottom(), -b.top()};
    default:
        return {b.left(), b.right()};
    }
}
std::pair<double, double> across(const Rect& b, int rotation) {
    return along(b, (rotation + 1) % 4);
}

bool sameLine(const Rect& prev, int prevRotation, const Rect& next, int rotation) {
    if (prevRotation != rotation)
        return false;
    const auto a = across(prev, rotation), b = across(next, rotation);
    const double overlap = std::min(a.second, b.second) - std::max(a.first, b.first);
    const double smaller = std::min(a.second - a.first, b.second - b.first);
    return overlap > smaller / 2 && along(next, rotation).first >= along(prev, rotation).first;
}

// The page's words in reading order, joined into lines as a reader shows them: words that
// follow one another along the same direction and overlap across it share a line, with one
// space where the layout has one.
std::vector<Line> linesOf(TextWordList& words) {
    std::vector<Line> lines;
    bool spaceAfter = false;
    CancelPoll poll;
    for (int w = 0; w < words.getLength(); ++w) {
        poll();
        const TextWord& word = *words.get(w);
        if (word.getLength() == 0)
            continue;
        Rect box;
        word.getBBox(&box.l, &box.t, &box.r, &box.b);
        const int rotation = ((word.getRotation() % 4) + 4) % 4;
        if (lines.empty() || !sameLine(lines.back().last, lines.back().rotation, box, rotation)) {
            lines.emplace_back();
            lines.back().rotation = rotation;
        } else if (spaceAfter) {
            lines.back().text.push_back(U' ');
            lines.back().boxes.emplace_back();
        }
        Line& line = lines.back();
        for (int i = 0; i < word.getLength(); ++i) {
            line.text.push_back(static_cast<char32_t>(*word.getChar(i)));
            Rect c;
            word.getCharBBox(i, &c.l, &c.t, &c.r, &c.b);
            line.boxes.emplace_back(c.r > c.l || c.b > c.t ? c : box);
        }
        line.last = box;
        spaceAfter = word.hasSpaceAfter();
    }
    return lines;
}

std::array<double, 4> numbers(QPDFObjectHandle box) {
    std::array<double, 4> v{0, 0, 612, 792};
    if (box.isRectangle()) {
        auto r = box.getArrayAsRectangle();
        v = {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx), std::max(r.lly, r.ury)};
    }
    return v;
}

// The displayed area of a page: its crop box clipped to the media box, as readers show it.
std::array<double, 4> visibleBox(QPDFPageObjectHelper& page) {
    const auto media = numbers(page.getMediaBox());
    auto crop = numbers(page.getCropBox());
    crop = {std::max(crop[0], media[0]), std::max(crop[1], media[1]), std::min(crop[2], media[2]),
            std::min(crop[3], media[3])};
    if (crop[2] <= crop[0] || crop[3] <= crop[1])
        return media;
    return crop;
}

int rotationOf(QPDFPageObjectHelper& page) {
    QPDFObjectHandle r = page.getAttribute("/Rotate", false);
    if (!r.isNumber())
        return 0;
    const int quarter = static_cast<int>(std::lround(r.getNumericValue() / 90.0));
    return ((quarter % 4) + 4) % 4 * 90;
}

QPDFObjectHandle numberArray(const std::vector<double>& values) {
    auto a = QPDFObjectHandle::newArray();
    for (double v : values)
        a.appendItem(pdfReal(v, 3));
    return a;
}

// Adds the marks to the pages. Everything that every mark of one kind has in common is one
// object that all of them refer to: the colour, the text, the appearance's resources and, for
// highlights, underlines and strike-outs, the appearance itself, drawn in a unit square that
// readers stretch onto each mark's /Rect (the form's /BBox maps onto the annotation's /Rect).
// A mark then costs one dictionary and its two number arrays, so thousands of matches stay
// small. A box around the text is stroked with a line of one point, which stretching would
// thicken, so each box keeps an appearance of its own.
class Marker {
public:
    Marker(QPDF& pdf, Style style, const Rgb& c, const std::string& find)
        : pdf_(pdf), style_(style), color_(num(c.r) + " " + num(c.g) + " " + num(c.b)) {
        colorArray_ = pdf.makeIndirectObject(numberArray({c.r, c.g, c.b}));
        contents_ = pdf.makeIndirectObject(QPDFObjectHandle::newUnicodeString(find));
        auto resources = QPDFObjectHandle::newDictionary();
        if (style == Style::Highlight) {
            // Multiply keeps the text readable under the colour, as a highlighter pen would.
            auto gs = QPDFObjectHandle::parse("<< /Type /ExtGState /BM /Multiply >>");
            resources.replaceKey("/ExtGState", QPDFObjectHandle::newDictionary({{"/GS0", gs}}));
        }
        resources_ = pdf.makeIndirectObject(resources);
    }

    void add(QPDFObjectHandle page, const Quad& q) {
        double x0 = q[0], y0 = q[1], x1 = q[0], y1 = q[1];
        for (int i = 1; i < 4; ++i) {
            x0 = std::min(x0, q[i * 2]), x1 = std::max(x1, q[i * 2]);
            y0 = std::min(y0, q[i * 2 + 1]), y1 = std::max(y1, q[i * 2 + 1]);
        }
        if (style_ == Style::Outline) {
            // The box goes around the text, not across its edges.
            x0 -= 1.5, y0 -= 1.5, x1 += 1.5, y1 += 1.5;
        }
        // The quad of a mark is a rectangle, so its corners and /Rect share four numbers: one
        // object each, as the names and the flags are one object for every mark (values that
        // are never changed may stand in several places).
        const QPDFObjectHandle left = real(x0), bottom = real(y0), right = real(x1), top = real(y1);
        auto annot = QPDFObjectHandle::newDictionary();
        annot.replaceKey("/Type", annotName_);
        annot.replaceKey("/Subtype", subtypeName_);
        annot.replaceKey("/Rect", QPDFObjectHandle::newArray({left, bottom, right, top}));
        annot.replaceKey("/C", colorArray_);
        annot.replaceKey("/F", printFlag_);
        annot.replaceKey("/P", page);
        annot.replaceKey("/Contents", contents_);
        if (style_ == Style::Outline) {
            annot.replaceKey("/BS", QPDFObjectHandle::parse("<< /Type /Border /W 1 /S /S >>"));
            const std::string box = "1 w " + color_ + " RG " + num(x0 + 0.5) + " " + num(y0 + 0.5) + " " +
                                    num(x1 - x0 - 1) + " " + num(y1 - y0 - 1) + " re S\n";
            annot.replaceKey("/AP", QPDFObjectHandle::newDictionary({{"/N", form(box, {x0, y0, x1, y1})}}));
        } else {
            std::vector<QPDFObjectHandle> corners;
            for (std::size_t i = 0; i < q.size(); ++i) {
                const bool isX = i % 2 == 0;
                corners.push_back(isX ? (q[i] <= x0 ? left : right) : (q[i] <= y0 ? bottom : top));
            }
            annot.replaceKey("/QuadPoints", QPDFObjectHandle::newArray(corners));
            annot.replaceKey("/AP", stretched(q));
        }
        auto& entry = pending_[page.getObjGen()];
        entry.first = page;
        entry.second.push_back(pdf_.makeIndirectObject(annot));
    }

    // Gives each marked page a fresh /Annots array (pages may share one, and the marks belong
    // to this page only) holding its own annotations followed by the marks.
    void finish() {
        for (auto& [og, entry] : pending_) {
            auto& [page, marks] = entry;
            auto annots = QPDFObjectHandle::newArray();
            if (QPDFObjectHandle old = page.getKey("/Annots"); old.isArray()) {
                for (auto& item : old.getArrayAsVector())
                    annots.appendItem(item);
            }
            for (auto& mark : marks)
                annots.appendItem(mark);
            page.replaceKey("/Annots", annots);
        }
        pending_.clear();
    }

private:
    const char* subtype() const {
        switch (style_) {
        case Style::Outline:
            return "/Square";
        case Style::Underline:
            return "/Underline";
        case Style::StrikeOut:
            return "/StrikeOut";
        default:
            return "/Highlight";
        }
    }

    QPDFObjectHandle form(const std::string& content, const std::vector<double>& bbox) {
        auto ap = QPDFObjectHandle::newStream(&pdf_, content);
        ap.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        ap.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        ap.getDict().replaceKey("/BBox", numberArray(bbox));
        ap.getDict().replaceKey("/Resources", resources_);
        return ap;
    }

    // The shared appearance dictionary for a mark whose text runs with its top towards `up`
    // (0 +y, 1 +x, 2 -y, 3 -x in user space): a highlight fills the square, an underline and a
    // strike-out draw a band across it at a fixed share of the text's height.
    QPDFObjectHandle stretched(const Quad& q) {
        // From the lower-left corner of the text to its upper-left one.
        const double dx = q[0] - q[4], dy = q[1] - q[5];
        const int up = std::fabs(dy) >= std::fabs(dx) ? (dy >= 0 ? 0 : 2) : (dx >= 0 ? 1 : 3);
        QPDFObjectHandle& shared = unitForms_[static_cast<std::size_t>(up)];
        if (shared.isInitialized())
            return shared;
        double from = 0, to = 1;
        if (style_ == Style::Underline)
            from = 0.02, to = 0.09;
        else if (style_ == Style::StrikeOut)
            from = 0.47, to = 0.54;
        const std::string w = num(to - from);
        std::string rect;
        switch (up) {
        case 1:
            rect = num(from) + " 0 " + w + " 1";
            break;
        case 2:
            rect = "0 " + num(1 - to) + " 1 " + w;
            break;
        case 3:
            rect = num(1 - to) + " 0 " + w + " 1";
            break;
        default:
            rect = "0 " + num(from) + " 1 " + w;
        }
        const std::string prefix = style_ == Style::Highlight ? "/GS0 gs " : "";
        auto unit = form(prefix + color_ + " rg " + rect + " re f\n", {0, 0, 1, 1});
        shared = pdf_.makeIndirectObject(QPDFObjectHandle::newDictionary({{"/N", unit}}));
        return shared;
    }

    static QPDFObjectHandle real(double v) { return pdfReal(v, 3); }

    QPDF& pdf_;
    Style style_;
    std::string color_;
    QPDFObjectHandle annotName_ = QPDFObjectHandle::newName("/Annot");
    QPDFObjectHandle subtypeName_ = QPDFObjectHandle::newName(subtype());
    QPDFObjectHandle printFlag_ = QPDFObjectHandle::newInteger(4); // printed with the page
    QPDFObjectHandle colorArray_, contents_, resources_;
    std::array<QPDFObjectHandle, 4> unitForms_;
    std::map<QPDFObjGen, std::pair<QPDFObjectHandle, std::vector<QPDFObjectHandle>>> pending_;
};

// Maps a box of the displayed page (x right, y down from the top-left corner of the crop box,
// after /Rotate) to user space, as the quad of text turned `textRotation` quarter turns
// clockwise: its corners go upper-left, upper-right, lower-left, lower-right of the text
// itself, so an underline lands under the text whichever way it runs.
Quad displayedToUser(const Rect& box, int textRotation, const std::array<double, 4>& crop, int pageRotate) {
    const auto map = [&](double u, double v) -> std::pair<double, double> {
        switch (pageRotate) {
        case 90:
            return {crop[0] + v, crop[1] + u};
        case 180:
            return {crop[2] - u, crop[1] + v};
        case 270:
            return {crop[2] - v, crop[3] - u};
        default:
            return {crop[0] + u, crop[3] - v};
        }
    };
    const double l = box.left(), t = box.top(), r = box.right(), b = box.bottom();
    std::array<std::pair<double, double>, 4> corners; // displayed UL, UR, LL, LR of the text
    switch (textRotation) {
    case 1:
        corners = {{{r, t}, {r, b}, {l, t}, {l, b}}};
        break;
    case 2:
        corners = {{{r, b}, {l, b}, {r, t}, {l, t}}};
        break;
    case 3:
        corners = {{{l, b}, {l, t}, {r, b}, {r, t}}};
        break;
    default:
        corners = {{{l, t}, {r, t}, {l, b}, {r, b}}};
    }
    Quad q{};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto p = map(corners[i].first, corners[i].second);
        q[i * 2] = p.first;
        q[i * 2 + 1] = p.second;
    }
    return q;
}

// What the search needs of an output page, taken from qpdf before the workers start (qpdf's
// objects are not for other threads).
struct PageFrame {
    std::array<double, 4> crop;
    int rotate;
};

// The occurrences of `needle` on one page, as quads in user space.
void searchPage(TextWordList& words, const std::u32string& needle, const PageFrame& frame,
                std::vector<Quad>& found) {
    for (const Line& line : linesOf(words)) {
        for (auto at = line.text.find(needle); at != std::u32string::npos;
             at = line.text.find(needle, at + needle.size())) {
            std::optional<Rect> box;
            for (std::size_t k = at; k < at + needle.size(); ++k) {
                if (const auto& c = line.boxes[k])
                    box = box ? united(*box, *c) : *c;
            }
            if (box)
                found.push_back(displayedToUser(*box, line.rotation, frame.crop, frame.rotate));
        }
    }
}

// UTF-8 to Unicode characters; a malformed byte stands for itself.
std::u32string decodeUtf8(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t v = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = i + static_cast<std::size_t>(extra) < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            v = (v << 6) | (next & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(v);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

void quietPoppler(ErrorCategory, Goffset, const char*) {}

// The text library's settings are made once for the process, before any document is read.
void initTextLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!globalParams)
            globalParams = std::make_unique<GlobalParams>();
        globalParams->setErrQuiet(true);
        setErrorCallback(quietPoppler);
    });
}

// The copy of the output that the search reads. It goes to a file with no name in the
// temporary folder, so that its bytes sit in the system's file cache rather than in the
// build's memory, however large the document; the file vanishes with its descriptor, whatever
// ends the build. Where no such file can be made or written (a full disk, a file system without
// unnamed files), the copy is kept in memory instead.
class SearchCopy {
public:
    explicit SearchCopy(QPDF& pdf) {
        if (!toFile(pdf)) {
            QPDFWriter writer(pdf);
            setUp(writer);
            writer.setOutputMemory();
            writer.write();
            memory_ = writer.getBufferSharedPointer();
        }
    }
    SearchCopy(const SearchCopy&) = delete;
    SearchCopy& operator=(const SearchCopy&) = delete;

    // A stream of its own over the copy, for one reader; the copy outlives it.
    BaseStream* stream() const {
        if (file_)
            return new FileStream(file_.get(), 0, false, file_->size(), Object(objNull));
        auto* data = reinterpret_cast<char*>(const_cast<unsigned char*>(memory_->getBuffer()));
        return new MemStream(data, 0, static_cast<Goffset>(memory_->getSize()), Object(objNull));
    }

private:
    static void setUp(QPDFWriter& writer) {
        writer.setPreserveEncryption(false);
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.registerProgressReporter(
            std::make_shared<QPDFWriter::FunctionProgressReporter>([](int) { checkCancel(); }));
    }

    bool toFile(QPDF& pdf) {
        std::error_code ec;
        const auto dir = std::filesystem::temp_directory_path(ec);
        if (ec)
            return false;
        fd_.fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_.fd < 0)
            return false;
        const int writing = duplicate();
        FILE* out = writing < 0 ? nullptr : ::fdopen(writing, "wb");
        if (!out) {
            if (writing >= 0)
                ::close(writing);
            return false;
        }
        bool written = false;
        try {
            QPDFWriter writer(pdf);
            setUp(writer);
            writer.setOutputFile("the copy searched for text", out, false);
            writer.write();
            written = std::fflush(out) == 0 && !std::ferror(out);
        } catch (const std::exception&) {
            // The disk refused the copy: it is made in memory instead (a writer that fails for
            // another reason fails there too, and the build hears of it). A cancel is not one of
            // these and ends the search.
        } catch (...) {
            std::fclose(out);
            throw;
        }
        written = std::fclose(out) == 0 && written;
        if (written)
            file_ = GooFile::open(std::exchange(fd_.fd, -1)); // the reader owns it from here
        return file_ != nullptr;
    }

    // Every descriptor of the file closes on exec: a program started meanwhile does not keep it.
    int duplicate() const { return ::fcntl(fd_.fd, F_DUPFD_CLOEXEC, 0); }

    // Closed however the writing ends, a failed or cancelled write included.
    struct Descriptor {
        int fd = -1;
        Descriptor() = default;
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        ~Descriptor() {
            if (fd >= 0)
                ::close(fd);
        }
    };

    Descriptor fd_;
    std::unique_ptr<GooFile> file_;
    std::shared_ptr<Buffer> memory_;
};

// Laying a page's text out is most of the work, so the pages are shared among workers, one per
// core (at most four), each with a document of its own over the same bytes; pages are handed
// out a few at a time and each page's matches are kept at its own place, so the result does not
// depend on which worker took which page. Only the text of the page a worker is on is held.
// Returns false when the bytes cannot be read as a PDF.
bool searchPages(const SearchCopy& copy, const std::string& find, const std::vector<PageFrame>& frames,
                 std::vector<std::vector<Quad>>& found) {
    initTextLibrary();
    const std::u32string needle = decodeUtf8(find);
    const std::size_t pages = frames.size();
    found.assign(pages, {});

    constexpr std::size_t kChunk = 4;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> unreadable{false};
    // Each worker checks the build's cancel as the calling thread does; the first failure (a
    // cancel among them) stops the others and is rethrown here.
    const std::function<bool()> cancelled = currentCancelCheck();
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto work = [&] {
        try {
            CancelScope scope(cancelled);
            // The document reads the copy; the copy outlives it.
            PDFDoc doc(copy.stream());
            if (!doc.isOk()) {
                unreadable = true;
                return;
            }
            const std::size_t count =
                std::min(pages, static_cast<std::size_t>(std::max(doc.getNumPages(), 0)));
            TextOutputDev layout(nullptr, false, 0, false, false);
            for (std::size_t first = next.fetch_add(kChunk); first < count; first = next.fetch_add(kChunk)) {
                for (std::size_t i = first; i < std::min(first + kChunk, count); ++i) {
                    checkCancel();
                    doc.displayPage(&layout, static_cast<int>(i) + 1, 72, 72, 0, false, false, false);
                    if (const auto words = layout.makeWordList())
                        searchPage(*words, needle, frames[i], found[i]);
                }
            }
        } catch (...) {
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            next = pages;
        }
    };
    onWorkers(workersFor(pages), work);
    if (failure)
        std::rethrow_exception(failure);
    return !unreadable;
}

// Where the text shows: a copy of the output (unencrypted, its streams passed on as they are:
// the text library decodes them itself, and decoding and compressing them again would cost
// more than the search) is laid out page by page as a reader does. Returns false when the copy
// could not be read back.
bool findText(QPDF& pdf, const std::string& find, std::vector<std::vector<Quad>>& found) {
    const SearchCopy copy(pdf);
    std::vector<PageFrame> frames;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        QPDFPageObjectHelper helper(page);
        frames.push_back({visibleBox(helper), rotationOf(helper)});
    }
    return searchPages(copy, find, frames, found);
}

} // namespace

int markText(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes) {
    if (marking.find.empty())
        return 0;
    std::vector<std::vector<Quad>> found;
    if (!findText(pdf, marking.find, found)) {
        notes.push_back("The output could not be read back to find \"" + marking.find +
                        "\"; it is left as it is");
        return 0;
    }
    std::size_t total = 0;
    for (const auto& page : found)
        total += page.size();
    if (total == 0) {
        notes.push_back("\"" + marking.find + "\" does not occur in the output; nothing is " +
                        (marking.change ? "replaced" : "marked"));
        return 0;
    }
    if (marking.change) {
        const int replaced = replaceText(pdf, marking.find, *marking.change);
        if (const int left = static_cast<int>(total) - replaced; left > 0) {
            notes.push_back(std::to_string(left) + " occurrence(s) of \"" + marking.find +
                            "\" could not be replaced");
        }
        return replaced;
    }

    std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
    Marker marker(pdf, marking.style, marking.color, marking.find);
    CancelPoll poll(64);
    for (std::size_t i = 0; i < found.size() && i < pages.size(); ++i) {
        for (const Quad& q : found[i]) {
            poll();
            marker.add(pages[i], q);
        }
        std::vector<Quad>().swap(found[i]);
    }
    marker.finish();
    return static_cast<int>(total);
}

} // namespace plait::pdf

// The module's one entry point, found by name when the engine loads it. The module has its own
// copy of the cancel check, installed here from the build's; a cancel comes back as
// kTextMarkingCancelled rather than as an exception, which does not cross the module's edge.
extern "C" __attribute__((visibility("default"))) int
plait_text_marking_apply(QPDF* pdf, const plait::pdf::TextMarking* marking, std::vector<std::string>* notes,
                         const std::function<bool()>* cancelled) {
    try {
        plait::pdf::CancelScope scope(*cancelled);
        return plait::pdf::markText(*pdf, *marking, *notes);
    } catch (const plait::pdf::BuildCancelled&) {
        return plait::pdf::kTextMarkingCancelled;
    }
}
