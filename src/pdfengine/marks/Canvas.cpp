#include "Canvas.h"

#include "FontFinder.h"
#include "UnicodeFont.h"
#include "pdfengine/Flate.h"
#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>

namespace plait::pdf::marks {
namespace {

// Advance widths (1/1000 em) of the standard Helvetica fonts for codes 32 to 126.
constexpr short kHelvetica[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584};
constexpr short kHelveticaBold[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};

// Accented Latin-1 letters are as wide as their base letter, near enough for placing text.
constexpr char kLatin1Base[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYPsaaaaaaaceeeeiiiidnooooo*ouuuuypy";

double glyphWidth(unsigned char c, bool bold) {
    const short* table = bold ? kHelveticaBold : kHelvetica;
    if (c >= 32 && c <= 126)
        return table[c - 32];
    if (c == 0xC6)
        return 1000; // AE
    if (c == 0xE6)
        return 889; // ae
    if (c >= 0xC0) {
        const char base = kLatin1Base[c - 0xC0];
        return base == '*' ? 584 : table[static_cast<unsigned char>(base) - 32];
    }
    if (c == 0x85 || c == 0x97 || c == 0x89)
        return 1000; // ellipsis, em dash, per mille
    if (c == 0x91 || c == 0x92 || c == 0x82)
        return 222;
    return 556;
}

// Code points of WinAnsiEncoding's codes 0x80 to 0x9F (0 where the code is unused).
constexpr unsigned short kWinAnsiHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int winAnsiCode(char32_t cp) {
    if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    if (cp == '\t')
        return ' ';
    for (int i = 0; i < 32; ++i) {
        if (kWinAnsiHigh[i] != 0 && kWinAnsiHigh[i] == cp)
            return 0x80 + i;
    }
    return -1;
}

// Decodes UTF-8; false when the bytes are not well-formed UTF-8.
bool decodeUtf8(std::string_view s, std::u32string& out) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0))
            return false;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

QPDFObjectHandle helvetica(QPDF& pdf, const char* baseFont) {
    auto font = QPDFObjectHandle::newDictionary();
    font.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    font.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
    font.replaceKey("/BaseFont", QPDFObjectHandle::newName(baseFont));
    font.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
    return pdf.makeIndirectObject(font);
}

QPDFObjectHandle arrayOf(std::initializer_list<double> values) {
    std::vector<QPDFObjectHandle> items;
    items.reserve(values.size());
    for (double v : values) {
        // Whole numbers (most boxes and matrices hold only those) skip formatting.
        const bool whole = v == std::trunc(v) && std::fabs(v) < 1e9;
        items.push_back(whole ? QPDFObjectHandle::newInteger(static_cast<long long>(v)) : pdfReal(v, 4));
    }
    return QPDFObjectHandle::newArray(items);
}

} // namespace

Matrix multiply(const Matrix& m, const Matrix& n) {
    // Apply m, then n.
    return {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3],        m[2] * n[0] + m[3] * n[2],
            m[2] * n[1] + m[3] * n[3], m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

Matrix rotation(double degrees) {
    const double r = degrees * M_PI / 180.0;
    double c = std::cos(r), s = std::sin(r);
    // Exact quarter turns keep content streams free of 6.1e-17 noise.
    if (std::fabs(c) < 1e-12)
        c = 0;
    if (std::fabs(s) < 1e-12)
        s = 0;
    return {c, s, -s, c, 0, 0};
}

std::array<double, 2> apply(const Matrix& m, double x, double y) {
    return {m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5]};
}

PageFrame pageFrame(QPDFObjectHandle page) {
    QPDFPageObjectHelper helper(page);
    QPDFObjectHandle box = helper.getCropBox();
    QPDFObjectHandle::Rectangle r;
    if (box.isRectangle()) {
        r = box.getArrayAsRectangle();
    }
    if (r.urx == r.llx || r.ury == r.lly) {
        r = {0, 0, 612, 792};
    }
    const double x0 = std::min(r.llx, r.urx), x1 = std::max(r.llx, r.urx);
    const double y0 = std::min(r.lly, r.ury), y1 = std::max(r.lly, r.ury);
    int rotate = 0;
    QPDFObjectHandle rot = helper.getAttribute("/Rotate", false);
    if (rot.isNumber()) {
        rotate = static_cast<int>(std::lround(rot.getNumericValue()));
    }
    rotate = ((rotate % 360) + 360) % 360;
    PageFrame f;
    switch (rotate) {
    case 90:
        f = {y1 - y0, x1 - x0, {0, 1, -1, 0, x1, y0}};
        break;
    case 180:
        f = {x1 - x0, y1 - y0, {-1, 0, 0, -1, x1, y1}};
        break;
    case 270:
        f = {y1 - y0, x1 - x0, {0, -1, 1, 0, x0, y1}};
        break;
    default:
        f = {x1 - x0, y1 - y0, {1, 0, 0, 1, x0, y0}};
        break;
    }
    return f;
}

namespace {
std::u32string codePoints(std::string_view text) {
    std::u32string cps;
    if (!decodeUtf8(text, cps)) {
        cps.clear();
        for (char c : text)
            cps.push_back(static_cast<unsigned char>(c));
    }
    return cps;
}
} // namespace

std::string toWinAnsi(std::string_view text, bool& lost) {
    const std::u32string cps = codePoints(text);
    std::string out;
    for (char32_t cp : cps) {
        const int code = winAnsiCode(cp);
        if (code < 0) {
            lost = true;
            out.push_back('?');
        } else {
            out.push_back(static_cast<char>(code));
        }
    }
    return out;
}

std::string literal(std::string_view bytes) {
    std::string out = "(";
    for (char c : bytes) {
        if (c == '(' || c == ')' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back(')');
    return out;
}

double textWidth(std::string_view winAnsi, double size, bool bold) {
    double w = 0;
    for (char c : winAnsi)
        w += glyphWidth(static_cast<unsigned char>(c), bold);
    return w * size / 1000.0;
}

std::string textBlock(const std::vector<Line>& lines, double x, double y, double size, char align,
                      const Fonts& fonts) {
    std::string s;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.empty())
            continue;
        const double w = fonts.width(line, size);
        const double lx = align == 'C' ? x - w / 2 : align == 'R' ? x - w : x;
        const double ly = y - static_cast<double>(i) * size * 1.2;
        // Each run starts where the one before it ended.
        s += "BT " + num(lx) + " " + num(ly) + " Td";
        for (const Run& run : line.runs) {
            std::string shown;
            if (run.font == Font::Unicode) {
                static const char* const kHex = "0123456789ABCDEF";
                shown = "<";
                for (char ch : run.bytes) {
                    const auto b = static_cast<unsigned char>(ch);
                    shown += kHex[b >> 4];
                    shown += kHex[b & 15];
                }
                shown += ">";
            } else {
                shown = literal(run.bytes);
            }
            s += " " + fontResource(run) + " " + num(size) + " Tf " + shown + " Tj";
        }
        s += " ET\n";
    }
    return s;
}

std::string fontResource(const Run& run) {
    if (run.font == Font::Bold)
        return "/HB";
    if (run.font != Font::Unicode)
        return "/H";
    return run.face == 0 ? "/U" : "/U" + std::to_string(run.face + 1);
}

// DejaVu Sans comes with the desktop's basic fonts and covers most alphabets; other scripts
// come from whatever font the system has for them.
constexpr const char* kUnicodeFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// Fonts loaded for one document at most: each can be large (a CJK font is several MB).
constexpr std::size_t kMostFaces = 6;
// System font searches for one document at most: text with thousands of characters no font has
// must not cost a search each.
constexpr int kMostSearches = 32;

Fonts::Fonts(QPDF& pdf) : pdf_(pdf) {}
Fonts::~Fonts() = default;

std::optional<std::size_t> Fonts::load(const std::string& path) {
    for (std::size_t i = 0; i < faces_.size(); ++i)
        if (faces_[i]->path() == path)
            return i;
    if (faces_.size() >= kMostFaces || std::find(failed_.begin(), failed_.end(), path) != failed_.end())
        return std::nullopt;
    auto face = std::make_unique<UnicodeFont>();
    if (!face->load(path)) {
        failed_.push_back(path);
        return std::nullopt;
    }
    // Subset tags are six capital letters, one per font of the document.
    std::string name = std::filesystem::path(path).stem().string();
    name.erase(
        std::remove_if(name.begin(), name.end(),
                       [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)) && ch != '-'; }),
        name.end());
    face->setNames("PLAIT" + std::string(1, static_cast<char>('A' + faces_.size())),
                   name.empty() ? "Font" : name);
    faces_.push_back(std::move(face));
    return faces_.size() - 1;
}

std::optional<std::size_t> Fonts::faceFor(const std::u32string& characters) {
    if (!defaultTried_) {
        defaultTried_ = true;
        load(kUnicodeFontFile);
    }
    const auto covers = [&](std::size_t face) {
        for (char32_t cp : characters)
            if (faces_[face]->glyph(cp) == 0)
                return false;
        return true;
    };
    for (std::size_t i = 0; i < faces_.size(); ++i)
        if (covers(i))
            return i;
    // The system is asked once for characters no loaded font has, so text no font has does not
    // cost a search per line.
    std::u32string missing;
    for (char32_t cp : characters) {
        bool anywhere = false;
        for (const auto& face : faces_)
            anywhere = anywhere || face->glyph(cp) != 0;
        if (!anywhere && !searched_.count(cp))
            missing.push_back(cp);
    }
    if (missing.empty() || searches_ >= kMostSearches)
        return std::nullopt;
    ++searches_;
    searched_.insert(missing.begin(), missing.end());
    // Best a font that has the whole line; failing that, fonts for what no loaded font has,
    // which the line then takes character by character.
    const std::size_t distinct = std::set<char32_t>(characters.begin(), characters.end()).size();
    for (const auto& found : fontsCovering(characters, 4)) {
        if (found.covered < distinct)
            break;
        const auto face = load(found.path);
        if (face && covers(*face))
            return face;
    }
    for (const auto& found : fontsCovering(missing, 2)) {
        if (std::all_of(missing.begin(), missing.end(), [&](char32_t cp) {
                return std::any_of(faces_.begin(), faces_.end(),
                                   [&](const auto& f) { return f->glyph(cp) != 0; });
            }))
            break;
        load(found.path);
    }
    return std::nullopt;
}

Line Fonts::prepare(std::string_view text, Font preferred, bool& lost) {
    std::u32string cps = codePoints(text);
    bool winAnsi = true;
    for (char32_t& cp : cps) {
        winAnsi = winAnsi && winAnsiCode(cp) >= 0;
        if (cp == '\t')
            cp = ' ';
    }
    std::optional<std::size_t> whole = winAnsi ? std::nullopt : faceFor(cps);
    if (winAnsi || (!whole && faces_.empty()))
        return {{{preferred, toWinAnsi(text, lost)}}};
    // One font for the whole line when one has it all; otherwise each character in the first
    // font that has it, and '?' in the line's font where none has.
    Line line;
    for (char32_t cp : cps) {
        std::optional<std::size_t> face = whole;
        if (!face)
            face = faceFor(std::u32string(1, cp));
        if (!face) {
            lost = true;
            face = line.runs.empty() ? 0 : line.runs.back().face;
            cp = '?';
        }
        UnicodeFont& font = *faces_[*face];
        const std::uint16_t gid = font.glyph(cp);
        font.use(gid, cp);
        if (line.runs.empty() || line.runs.back().face != *face)
            line.runs.push_back({Font::Unicode, {}, *face});
        line.runs.back().bytes += static_cast<char>(gid >> 8);
        line.runs.back().bytes += static_cast<char>(gid & 0xFF);
    }
    for (const Run& run : line.runs)
        resources().getKey("/Font").replaceKey(fontResource(run), faces_[run.face]->object(pdf_));
    return line;
}

double Fonts::width(const Line& line, double size) const {
    double w = 0;
    for (const Run& run : line.runs) {
        if (run.font != Font::Unicode || run.face >= faces_.size()) {
            w += textWidth(run.bytes, size, run.font == Font::Bold);
            continue;
        }
        double units = 0;
        for (std::size_t i = 0; i + 1 < run.bytes.size(); i += 2) {
            const auto hi = static_cast<unsigned char>(run.bytes[i]);
            const auto lo = static_cast<unsigned char>(run.bytes[i + 1]);
            units += faces_[run.face]->advance(static_cast<std::uint16_t>((hi << 8) | lo));
        }
        w += units * size / 1000.0;
    }
    return w;
}

void Fonts::finish() {
    for (auto& face : faces_)
        face->finish(pdf_);
}

QPDFObjectHandle Fonts::resources() {
    if (resources_.isInitialized()) {
        return resources_;
    }
    auto fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/H", helvetica(pdf_, "/Helvetica"));
    fonts.replaceKey("/HB", helvetica(pdf_, "/Helvetica-Bold"));
    auto res = QPDFObjectHandle::newDictionary();
    res.replaceKey("/Font", fonts);
    resources_ = pdf_.makeIndirectObject(res);
    return resources_;
}

QPDFObjectHandle formXObject(QPDF& pdf, Fonts& fonts, double width, double height, const Matrix& m,
                             const std::string& content, bool compress) {
    auto stream = compress ? newFlateStream(pdf, content) : QPDFObjectHandle::newStream(&pdf, content);
    auto dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", arrayOf({0, 0, width, height}));
    dict.replaceKey("/Matrix", arrayOf({m[0], m[1], m[2], m[3], m[4], m[5]}));
    dict.replaceKey("/Resources", fonts.resources());
    return stream;
}

QPDFObjectHandle Canvas::form(const PageFrame& frame, const std::string& content) {
    return formXObject(pdf_, fonts_, frame.width, frame.height, frame.toUser, content, compress_);
}

QPDFObjectHandle Canvas::newStream(const std::string& content) {
    return compress_ ? newFlateStream(pdf_, content) : QPDFObjectHandle::newStream(&pdf_, content);
}

// The small streams that put a page's own content between q and Q and draw the marks' form
// after it are the same on most pages (the form has the same name on each), so each distinct
// one is one object that those pages share: a thousand numbered pages write a form each and
// two shared streams instead of three streams each (the writer sets up its compressor for
// every stream it writes, which costs more than these streams hold).
QPDFObjectHandle Canvas::wrapper(const std::string& content) {
    auto [it, added] = wrappers_.try_emplace(content);
    if (added)
        it->second = newStream(content);
    return it->second;
}

void Canvas::paint() {
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf_).getAllPages();
    std::set<int> touched;
    for (auto& [i, _] : over_)
        touched.insert(i);
    for (auto& [i, _] : under_)
        touched.insert(i);
    std::erase_if(touched, [&](int i) { return i < 0 || static_cast<std::size_t>(i) >= pages.size(); });
    // Marks go in the page's default space, whatever its content leaves saved or restores: the
    // pages' saves and restores are counted first, all together.
    std::vector<QPDFPageObjectHelper> marked;
    for (int i : touched)
        marked.push_back(pages[static_cast<std::size_t>(i)]);
    const std::vector<geometry::StateBalance> balances = geometry::countStates(marked);
    // In a tagged document marks are no part of the text: readers that follow the tags skip
    // content marked as an artifact.
    const bool tagged = pdf_.getRoot().getKey("/StructTreeRoot").isDictionary();
    const std::string open = tagged ? "/Artifact BMC " : "";
    const std::string close = tagged ? " EMC" : "";
    std::size_t k = 0;
    for (int i : touched) {
        QPDFPageObjectHelper& page = pages[static_cast<std::size_t>(i)];
        geometry::balanceContents(page, balances[k++]);
        const PageFrame frame = pageFrame(page.getObjectHandle());
        // The page's own resources may be shared with other pages or inherited: the page
        // gets its own copy of the dictionaries it adds a name to.
        QPDFObjectHandle resources = page.getAttribute("/Resources", true);
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", resources);
        } else if (resources.isIndirect()) {
            resources = resources.shallowCopy();
            page.getObjectHandle().replaceKey("/Resources", resources);
        }
        QPDFObjectHandle xobjects = resources.getKey("/XObject");
        xobjects = xobjects.isDictionary() ? xobjects.shallowCopy() : QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        int suffix = 1;
        // The page's content becomes [q] [under] content [Q over], set once.
        std::vector<QPDFObjectHandle> contents;
        if (auto it = under_.find(i); it != under_.end() && !it->second.empty()) {
            const std::string name = resources.getUniqueResourceName("/PlaitUnder", suffix);
            xobjects.replaceKey(name, form(frame, it->second));
            contents.push_back(wrapper(open + "q " + name + " Do Q" + close + "\n"));
        }
        QPDFObjectHandle last;
        if (auto it = over_.find(i); it != over_.end() && !it->second.empty()) {
            const std::string name = resources.getUniqueResourceName("/PlaitOver", suffix);
            xobjects.replaceKey(name, form(frame, it->second));
            contents.insert(contents.begin(), wrapper("q\n"));
            last = wrapper("\nQ " + open + "q " + name + " Do Q" + close + "\n");
        }
        if (contents.empty() && !last.isInitialized())
            continue;
        for (auto& stream : page.getPageContents())
            contents.push_back(stream);
        if (last.isInitialized())
            contents.push_back(last);
        page.getObjectHandle().replaceKey("/Contents", QPDFObjectHandle::newArray(contents));
    }
}

} // namespace plait::pdf::marks
