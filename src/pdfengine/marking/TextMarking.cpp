#include "TextMarking.h"

#include "TextReplace.h"
#include "pdfengine/Cancel.h"

#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace plait::pdf {
namespace {

// Corners of marked text in user space: upper-left, upper-right, lower-left, lower-right (x, y each).
using Quad = std::array<double, 8>;

enum class Style { Highlight, Outline, Underline, StrikeOut };

struct Rgb {
    double r, g, b;
};

std::optional<Rgb> parseColor(std::string s) {
    if (!s.empty() && s.front() == '#')
        s.erase(0, 1);
    if (s.size() != 6 || s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const auto part = [&](std::size_t i) { return std::stoi(s.substr(i, 2), nullptr, 16) / 255.0; };
    return Rgb{part(0), part(2), part(4)};
}

std::string num(double v) {
    if (std::fabs(v) < 0.0005)
        v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s;
}

// One line of displayed text: UTF-16 units, each with its box (none for joining spaces).
struct Line {
    std::basic_string<unsigned short> text;
    std::vector<std::optional<poppler::rectf>> boxes;
    poppler::rectf last;
    int rotation = 0;
};

poppler::rectf united(const poppler::rectf& a, const poppler::rectf& b) {
    const double l = std::min(a.left(), b.left()), t = std::min(a.top(), b.top());
    return {l, t, std::max(a.right(), b.right()) - l, std::max(a.bottom(), b.bottom()) - t};
}

// Extents of a box along its text's direction and across it, for text turned `rotation`
// quarter turns clockwise on the displayed page.
std::pair<double, double> along(const poppler::rectf& b, int rotation) {
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
std::pair<double, double> across(const poppler::rectf& b, int rotation) {
    return along(b, (rotation + 1) % 4);
}

bool sameLine(const poppler::rectf& prev, int prevRotation, const poppler::rectf& next, int rotation) {
    if (prevRotation != rotation)
        return false;
    const auto a = across(prev, rotation), b = across(next, rotation);
    const double overlap = std::min(a.second, b.second) - std::max(a.first, b.first);
    const double smaller = std::min(a.second - a.first, b.second - b.first);
    return overlap > smaller / 2 && along(next, rotation).first >= along(prev, rotation).first;
}

std::vector<Line> linesOf(const poppler::page& page) {
    std::vector<Line> lines;
    bool spaceAfter = false;
    CancelPoll poll;
    for (const poppler::text_box& word : page.text_list()) {
        poll();
        const poppler::ustring t = word.text();
        if (t.empty())
            continue;
        const poppler::rectf box = word.bbox();
        const int rotation = ((word.rotation() % 4) + 4) % 4;
        if (lines.empty() || !sameLine(lines.back().last, lines.back().rotation, box, rotation)) {
            lines.emplace_back();
            lines.back().rotation = rotation;
        } else if (spaceAfter) {
            lines.back().text.push_back(u' ');
            lines.back().boxes.emplace_back();
        }
        Line& line = lines.back();
        for (std::size_t i = 0; i < t.size(); ++i) {
            line.text.push_back(t[i]);
            poppler::rectf c = word.char_bbox(i);
            line.boxes.emplace_back(c.width() > 0 || c.height() > 0 ? c : box);
        }
        line.last = box;
        spaceAfter = word.has_space_after();
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

// A band across the quad, from fraction `from` to `to` of the way from its bottom to its top.
std::string band(const Quad& q, double from, double to) {
    const auto at = [&](int lower, int upper, double f, int axis) {
        return q[lower * 2 + axis] + (q[upper * 2 + axis] - q[lower * 2 + axis]) * f;
    };
    // Corners: 0 UL, 1 UR, 2 LL, 3 LR.
    std::string s;
    s += num(at(2, 0, from, 0)) + " " + num(at(2, 0, from, 1)) + " m ";
    s += num(at(3, 1, from, 0)) + " " + num(at(3, 1, from, 1)) + " l ";
    s += num(at(3, 1, to, 0)) + " " + num(at(3, 1, to, 1)) + " l ";
    s += num(at(2, 0, to, 0)) + " " + num(at(2, 0, to, 1)) + " l h f\n";
    return s;
}

QPDFObjectHandle numberArray(const std::vector<double>& values) {
    auto a = QPDFObjectHandle::newArray();
    for (double v : values)
        a.appendItem(QPDFObjectHandle::newReal(num(v)));
    return a;
}

void addAnnotation(QPDF& pdf, QPDFObjectHandle page, const Quad& q, Style style, const Rgb& c,
                   const std::string& find) {
    double x0 = q[0], y0 = q[1], x1 = q[0], y1 = q[1];
    for (int i = 1; i < 4; ++i) {
        x0 = std::min(x0, q[i * 2]), x1 = std::max(x1, q[i * 2]);
        y0 = std::min(y0, q[i * 2 + 1]), y1 = std::max(y1, q[i * 2 + 1]);
    }
    if (style == Style::Outline) {
        // The box goes around the text, not across its edges.
        x0 -= 1.5, y0 -= 1.5, x1 += 1.5, y1 += 1.5;
    }
    const std::string color = num(c.r) + " " + num(c.g) + " " + num(c.b);
    std::string content;
    auto resources = QPDFObjectHandle::newDictionary();
    const char* subtype = "/Highlight";
    switch (style) {
    case Style::Highlight: {
        // Multiply keeps the text readable under the colour, as a highlighter pen would.
        auto gs = QPDFObjectHandle::parse("<< /Type /ExtGState /BM /Multiply >>");
        resources.replaceKey("/ExtGState", QPDFObjectHandle::newDictionary({{"/GS0", gs}}));
        content = "/GS0 gs " + color + " rg\n" + band(q, 0, 1);
        break;
    }
    case Style::Outline:
        subtype = "/Square";
        content = "1 w " + color + " RG " + num(x0 + 0.5) + " " + num(y0 + 0.5) + " " + num(x1 - x0 - 1) +
                  " " + num(y1 - y0 - 1) + " re S\n";
        break;
    case Style::Underline:
        subtype = "/Underline";
        content = color + " rg\n" + band(q, 0.02, 0.09);
        break;
    case Style::StrikeOut:
        subtype = "/StrikeOut";
        content = color + " rg\n" + band(q, 0.47, 0.54);
        break;
    }
    auto ap = QPDFObjectHandle::newStream(&pdf, content);
    ap.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    ap.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    ap.getDict().replaceKey("/BBox", numberArray({x0, y0, x1, y1}));
    ap.getDict().replaceKey("/Resources", resources);

    auto annot = QPDFObjectHandle::newDictionary();
    annot.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
    annot.replaceKey("/Subtype", QPDFObjectHandle::newName(subtype));
    annot.replaceKey("/Rect", numberArray({x0, y0, x1, y1}));
    annot.replaceKey("/C", numberArray({c.r, c.g, c.b}));
    annot.replaceKey("/F", QPDFObjectHandle::newInteger(4)); // printed with the page
    annot.replaceKey("/P", page);
    annot.replaceKey("/Contents", QPDFObjectHandle::newUnicodeString(find));
    if (style == Style::Outline) {
        annot.replaceKey("/BS", QPDFObjectHandle::parse("<< /Type /Border /W 1 /S /S >>"));
    } else {
        annot.replaceKey("/QuadPoints", numberArray(std::vector<double>(q.begin(), q.end())));
    }
    annot.replaceKey("/AP", QPDFObjectHandle::newDictionary({{"/N", ap}}));

    // A fresh array: pages may share one, and the marks belong to this page only.
    auto annots = QPDFObjectHandle::newArray();
    if (QPDFObjectHandle old = page.getKey("/Annots"); old.isArray()) {
        for (auto& item : old.getArrayAsVector())
            annots.appendItem(item);
    }
    annots.appendItem(pdf.makeIndirectObject(annot));
    page.replaceKey("/Annots", annots);
}

// Maps a box of the displayed page (x right, y down from the top-left corner of the crop box,
// after /Rotate) to user space, as the quad of text turned `textRotation` quarter turns
// clockwise: its corners go upper-left, upper-right, lower-left, lower-right of the text
// itself, so an underline lands under the text whichever way it runs.
Quad displayedToUser(const poppler::rectf& box, int textRotation, const std::array<double, 4>& crop,
                     int pageRotate) {
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

void quietPoppler(const std::string&, void*) {}

// Where the text shows: each occurrence's page, displayed box and text direction. Empty
// `found` with false: the output could not be read back.
struct Occurrence {
    std::size_t page;
    Quad quad;
};
bool findText(QPDF& pdf, const std::string& find, std::vector<Occurrence>& found) {
    // Read the pages back as a reader lays them out; the copy is never encrypted.
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setPreserveEncryption(false);
    writer.registerProgressReporter(
        std::make_shared<QPDFWriter::FunctionProgressReporter>([](int) { checkCancel(); }));
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    poppler::set_debug_error_function(quietPoppler, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(buffer->getBuffer()), static_cast<int>(buffer->getSize())));
    if (!doc)
        return false;

    const poppler::ustring wanted = poppler::ustring::from_utf8(find.c_str());
    const std::basic_string<unsigned short> needle(wanted.begin(), wanted.end());
    std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
    CancelPoll poll;
    for (int i = 0; i < doc->pages() && i < static_cast<int>(pages.size()); ++i) {
        checkCancel();
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page)
            continue;
        QPDFPageObjectHelper helper(pages[static_cast<std::size_t>(i)]);
        const auto crop = visibleBox(helper);
        const int rotate = rotationOf(helper);
        for (const Line& line : linesOf(*page)) {
            for (auto at = line.text.find(needle); at != std::string::npos;
                 at = line.text.find(needle, at + needle.size())) {
                poll();
                std::optional<poppler::rectf> box;
                for (std::size_t k = at; k < at + needle.size(); ++k) {
                    if (const auto& c = line.boxes[k])
                        box = box ? united(*box, *c) : *c;
                }
                if (box)
                    found.push_back(
                        {static_cast<std::size_t>(i), displayedToUser(*box, line.rotation, crop, rotate)});
            }
        }
    }
    return true;
}

} // namespace

int applyTextMarking(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes) {
    if (marking.find.empty())
        return 0;
    std::vector<Occurrence> found;
    if (!findText(pdf, marking.find, found)) {
        notes.push_back("The output could not be read back to find \"" + marking.find +
                        "\"; it is left as it is");
        return 0;
    }
    if (found.empty()) {
        notes.push_back("\"" + marking.find + "\" does not occur in the output; nothing is " +
                        (marking.change ? "replaced" : "marked"));
        return 0;
    }
    if (marking.change) {
        const int replaced = replaceText(pdf, marking.find, *marking.change);
        if (const int left = static_cast<int>(found.size()) - replaced; left > 0) {
            notes.push_back(std::to_string(left) + " occurrence(s) of \"" + marking.find +
                            "\" could not be replaced");
        }
        return replaced;
    }

    Style style = Style::Highlight;
    if (marking.mode == "OL")
        style = Style::Outline;
    else if (marking.mode == "UL")
        style = Style::Underline;
    else if (marking.mode == "CO")
        style = Style::StrikeOut;
    else if (!marking.mode.empty() && marking.mode != "HI-R")
        notes.push_back("setStringColorMode: unknown mode \"" + marking.mode + "\"; the text is highlighted");
    Rgb color{1, 1, 0};
    if (!marking.color.empty()) {
        if (auto c = parseColor(marking.color))
            color = *c;
        else
            notes.push_back("setStringColor: \"" + marking.color +
                            "\" is not an RRGGBB colour; yellow is used");
    }
    std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
    CancelPoll poll(64);
    for (const Occurrence& o : found) {
        poll();
        addAnnotation(pdf, pages[o.page], o.quad, style, color, marking.find);
    }
    return static_cast<int>(found.size());
}

} // namespace plait::pdf
