#include "MarkSteps.h"

#include "pdfengine/Text.h"

#include <algorithm>
#include <cctype>

namespace plait::pdf::marks {
namespace {

struct Look {
    double r, g, b;
};
constexpr Look kGreen{0.1, 0.5, 0.15}, kRed{0.8, 0.1, 0.1}, kBlue{0.1, 0.25, 0.7};

Look lookOf(const std::string& lowerName) {
    for (const char* n : {"approved", "completed", "final", "check"})
        if (lowerName == n)
            return kGreen;
    for (const char* n :
         {"not approved", "void", "confidential", "not for public release", "cross", "sign here"})
        if (lowerName == n)
            return kRed;
    return kBlue;
}

bool known(const std::string& lowerName) {
    static const char* const kNames[] = {"approved",
                                         "not approved",
                                         "draft",
                                         "final",
                                         "completed",
                                         "confidential",
                                         "for public release",
                                         "not for public release",
                                         "for comment",
                                         "void",
                                         "preliminary results",
                                         "information only",
                                         "revised",
                                         "reviewed",
                                         "received",
                                         "witness",
                                         "initial",
                                         "sign here",
                                         "check",
                                         "cross"};
    return std::find_if(std::begin(kNames), std::end(kNames),
                        [&](const char* n) { return lowerName == n; }) != std::end(kNames);
}

std::string upper(std::string s) {
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

std::string color(const Look& l, const char* op) {
    return num(l.r) + " " + num(l.g) + " " + num(l.b) + " " + op + "\n";
}

// A closed rectangle path with rounded corners of radius r.
std::string roundedRect(double x, double y, double w, double h, double r) {
    const double k = r * 0.5523; // control distance of a quarter circle
    std::string s;
    s += num(x + r) + " " + num(y) + " m\n";
    s += num(x + w - r) + " " + num(y) + " l\n";
    s += num(x + w - r + k) + " " + num(y) + " " + num(x + w) + " " + num(y + r - k) + " " + num(x + w) +
         " " + num(y + r) + " c\n";
    s += num(x + w) + " " + num(y + h - r) + " l\n";
    s += num(x + w) + " " + num(y + h - r + k) + " " + num(x + w - r + k) + " " + num(y + h) + " " +
         num(x + w - r) + " " + num(y + h) + " c\n";
    s += num(x + r) + " " + num(y + h) + " l\n";
    s += num(x + r - k) + " " + num(y + h) + " " + num(x) + " " + num(y + h - r + k) + " " + num(x) + " " +
         num(y + h - r) + " c\n";
    s += num(x) + " " + num(y + r) + " l\n";
    s += num(x) + " " + num(y + r - k) + " " + num(x + r - k) + " " + num(y) + " " + num(x + r) + " " +
         num(y) + " c h\n";
    return s;
}

// A stamp drawn in its own space, from (0, 0) to (width, height).
struct Drawing {
    double width = 0, height = 0;
    std::string content;
};

Drawing draw(const std::string& lowerName, const Line& title, const Line& line2, double s,
             const Fonts& fonts) {
    const Look look = lookOf(lowerName);
    Drawing d;
    if (lowerName == "check" || lowerName == "cross") {
        d.width = d.height = 40 * s;
        d.content = color(look, "RG") + num(5 * s) + " w 1 J 1 j\n";
        if (lowerName == "check") {
            d.content += num(7 * s) + " " + num(21 * s) + " m " + num(16 * s) + " " + num(9 * s) + " l " +
                         num(34 * s) + " " + num(33 * s) + " l S\n";
        } else {
            d.content += num(8 * s) + " " + num(8 * s) + " m " + num(32 * s) + " " + num(32 * s) + " l S\n" +
                         num(8 * s) + " " + num(32 * s) + " m " + num(32 * s) + " " + num(8 * s) + " l S\n";
        }
        return d;
    }
    const double size = 20 * s, pad = 10 * s;
    if (lowerName == "sign here") {
        // An arrow-shaped tag pointing left, white capitals on red.
        const double h = size + 2 * pad * 0.8, tip = h / 2;
        d.width = tip + fonts.width(title, size) + 2 * pad;
        d.height = h;
        d.content = color(look, "rg") + "0 " + num(h / 2) + " m " + num(tip) + " " + num(h) + " l " +
                    num(d.width) + " " + num(h) + " l " + num(d.width) + " 0 l " + num(tip) + " 0 l h f\n" +
                    "1 g\n" + textBlock({title}, tip + pad, h / 2 - 0.36 * size, size, 'L', fonts);
        return d;
    }
    const double small = 9 * s;
    const double titleWidth = fonts.width(title, size);
    const double lineWidth = fonts.width(line2, small);
    d.width = std::max(titleWidth, lineWidth) + 2 * pad;
    d.height = 0.72 * size + 2 * pad + (line2.empty() ? 0 : 1.4 * small);
    const double titleBase = d.height - pad - 0.72 * size;
    d.content = color(look, "RG") + color(look, "rg") + num(2.5 * s) + " w\n" +
                roundedRect(1.25 * s, 1.25 * s, d.width - 2.5 * s, d.height - 2.5 * s, 6 * s) + "S\n" +
                textBlock({title}, d.width / 2, titleBase, size, 'C', fonts);
    if (!line2.empty())
        d.content += textBlock({line2}, d.width / 2, titleBase - 1.4 * small, small, 'C', fonts);
    return d;
}

std::string cm(const Matrix& m) {
    return num(m[0]) + " " + num(m[1]) + " " + num(m[2]) + " " + num(m[3]) + " " + num(m[4]) + " " +
           num(m[5]) + " cm\n";
}

// The annotation that shows the stamp, drawn through `toUser`, on `page`; its rectangle
// holds the drawing however it is turned.
QPDFObjectHandle stampAnnotation(Context& c, QPDFObjectHandle page, const Drawing& d, const Matrix& toUser,
                                 const std::string& name, const std::string& text) {
    double llx = 1e300, lly = 1e300, urx = -1e300, ury = -1e300;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {d.width, 0.0}, {0.0, d.height}, {d.width, d.height}}) {
        const auto p = apply(toUser, x, y);
        llx = std::min(llx, p[0]);
        lly = std::min(lly, p[1]);
        urx = std::max(urx, p[0]);
        ury = std::max(ury, p[1]);
    }
    auto ap = QPDFObjectHandle::newDictionary();
    ap.replaceKey("/N", formXObject(c.pdf, c.fonts, d.width, d.height, toUser, d.content));
    std::string iconName;
    for (char ch : name)
        if (std::isalnum(static_cast<unsigned char>(ch)))
            iconName += ch;
    auto annot = QPDFObjectHandle::newDictionary();
    annot.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
    annot.replaceKey("/Subtype", QPDFObjectHandle::newName("/Stamp"));
    annot.replaceKey("/Rect", QPDFObjectHandle::newFromRectangle({llx, lly, urx, ury}));
    annot.replaceKey("/Name", QPDFObjectHandle::newName("/" + (iconName.empty() ? "Draft" : iconName)));
    annot.replaceKey("/Contents",
                     QPDFObjectHandle::newUnicodeString(text.empty() ? name : name + ": " + text));
    annot.replaceKey("/F", QPDFObjectHandle::newInteger(4)); // printed with the page
    annot.replaceKey("/AP", ap);
    annot.replaceKey("/P", page);
    return annot;
}

} // namespace

void stamp(Context& c, const StampPlacement& s) {
    // "Name" or "Name,rev": rev puts the stamp beneath the page content.
    const auto parts = text::splitEscaped(s.name, ',');
    const std::string name(text::trim(parts.empty() ? std::string() : parts.front()));
    bool background = false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (text::lower(text::trim(parts[i])) == "rev")
            background = true;
        else if (!text::trim(parts[i]).empty())
            c.notes.push_back("setStamp: unknown modifier \"" + parts[i] + "\"; ignored");
    }
    if (name.empty()) {
        c.notes.push_back("setStamp: no stamp named; no stamp was made");
        return;
    }
    const std::string lowerName = text::lower(name);
    if (!known(lowerName))
        c.notes.push_back("setStamp: \"" + name +
                          "\" is not one of the stamps; it is drawn as a plain stamp");
    double scale = s.scalePercent.value_or(100) / 100.0;
    bool lost = false;
    const Line title = c.fonts.prepare(upper(name), Font::Bold, lost);
    const bool noText = lowerName == "check" || lowerName == "cross" || lowerName == "sign here";
    const Line line2 = noText ? Line{} : c.fonts.prepare(s.text, Font::Regular, lost);
    if (lost)
        c.notes.push_back("setStampText: characters no font has are drawn as \"?\"");
    if (!s.text.empty() && noText)
        c.notes.push_back("setStampText: the " + name + " stamp carries no text; ignored");
    const Drawing d = draw(lowerName, title, line2, scale, c.fonts);
    const double angle = s.angle.value_or(0);

    for (int i : pagesOf(c, s.pages, "Stamp")) {
        QPDFObjectHandle page = c.pdf.getAllPages().at(static_cast<std::size_t>(i));
        const PageFrame frame = pageFrame(page);
        const double left = s.placed ? s.right : frame.width - 36 - d.width;
        const double top = s.placed ? frame.height - s.down : frame.height - 36;
        // Stamp space -> displayed page: turned about the stamp's centre.
        Matrix m = multiply(Matrix{1, 0, 0, 1, -d.width / 2, -d.height / 2}, rotation(angle));
        m = multiply(m, Matrix{1, 0, 0, 1, left + d.width / 2, top - d.height / 2});
        if (background) {
            c.canvas.under(i, "q " + cm(m) + d.content + "Q\n");
            continue;
        }
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            annots = QPDFObjectHandle::newArray();
            page.replaceKey("/Annots", annots);
        }
        annots.appendItem(
            c.pdf.makeIndirectObject(stampAnnotation(c, page, d, multiply(m, frame.toUser), name, s.text)));
    }
}

} // namespace plait::pdf::marks
