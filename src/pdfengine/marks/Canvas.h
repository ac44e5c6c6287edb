#pragma once

#include "pdfengine/PdfNumber.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf::marks {

// An affine matrix [a b c d e f] as PDF writes it: (x, y) -> (a x + c y + e, b x + d y + f).
using Matrix = std::array<double, 6>;

Matrix multiply(const Matrix& first, const Matrix& then);
Matrix rotation(double degreesCounterClockwise);
std::array<double, 2> apply(const Matrix& m, double x, double y);

// A page as the reader sees it: width and height after /Rotate, and the matrix from that
// displayed space (origin bottom-left of the crop box) to the page's default user space.
struct PageFrame {
    double width = 0, height = 0;
    Matrix toUser{1, 0, 0, 1, 0, 0};
};
PageFrame pageFrame(QPDFObjectHandle page);

// Numbers written compactly for content streams ("12", "0.5", "-3.25"), to 4 decimals.
inline std::string num(double v) {
    return pdfNumber(v, 4);
}

// Text converted for a simple font in WinAnsiEncoding: UTF-8 (or, when the bytes are not
// UTF-8, Latin-1) in, one byte a character out. Characters the encoding lacks become '?' and
// set `lost`.
std::string toWinAnsi(std::string_view text, bool& lost);
// A PDF literal string "(...)" of the bytes, escaped.
std::string literal(std::string_view bytes);
// Advance width of WinAnsi bytes in Helvetica (or Helvetica-Bold) at `size`.
double textWidth(std::string_view winAnsi, double size, bool bold = false);

// Helvetica, Helvetica-Bold, or an embedded Unicode font for text they cannot show.
enum class Font { Regular, Bold, Unicode };

// A piece of a line in one font (for a Unicode font, which of them) and the bytes of its codes.
struct Run {
    Font font = Font::Regular;
    std::string bytes;
    std::size_t face = 0;
};
// One line of text ready to draw, in one or more fonts.
struct Line {
    std::vector<Run> runs;
    bool empty() const { return runs.empty(); }
};
// The resource name marks use for the run's font in their drawings.
std::string fontResource(const Run& run);

class UnicodeFont;

// The fonts marks draw with, one indirect object each per document.
class Fonts {
public:
    explicit Fonts(QPDF& pdf);
    ~Fonts();
    // Text (UTF-8, or Latin-1 when it is not UTF-8) prepared for drawing: in the standard font
    // when WinAnsiEncoding has every character, otherwise in a system font that has them all
    // (DejaVu Sans when it does, else one fontconfig finds), embedded. When no font has every
    // character, the one with most of them is used and the others become '?' and set `lost`.
    Line prepare(std::string_view text, Font preferred, bool& lost);
    double width(const Line& line, double size) const;
    QPDFObjectHandle resources(); // a /Resources dictionary naming every font used
    // Writes what the embedded font needs to know about the glyphs drawn; call once at the end.
    void finish();

private:
    // The face to draw `characters` with: the first loaded one that has them all, else one
    // fontconfig finds, else the loaded one with most of them. None when no font loads.
    std::optional<std::size_t> faceFor(const std::u32string& characters);
    std::optional<std::size_t> load(const std::string& path);

    QPDF& pdf_;
    QPDFObjectHandle resources_;
    std::vector<std::unique_ptr<UnicodeFont>> faces_;
    std::vector<std::string> failed_; // font files that could not be used
    std::set<char32_t> searched_;     // characters the system was asked about in vain
    int searches_ = 0;
    bool defaultTried_ = false;
};

// Collects what is to be drawn on each page (in displayed coordinates) and paints it all at
// once, so a page with several marks is changed once.
class Canvas {
public:
    // With `compress`, the streams it adds are written compressed already (the writer would
    // compress them anyway, at a higher cost per stream).
    Canvas(QPDF& pdf, Fonts& fonts, bool compress = false) : pdf_(pdf), fonts_(fonts), compress_(compress) {}
    void over(int pageIndex, const std::string& content) { over_[pageIndex] += content; }
    void under(int pageIndex, const std::string& content) { under_[pageIndex] += content; }
    void paint();

private:
    QPDFObjectHandle form(const PageFrame& frame, const std::string& content);
    QPDFObjectHandle wrapper(const std::string& content);
    QPDFObjectHandle newStream(const std::string& content);
    QPDF& pdf_;
    Fonts& fonts_;
    bool compress_;
    std::map<int, std::string> over_, under_;
    std::map<std::string, QPDFObjectHandle> wrappers_; // see wrapper()
};

// A form XObject that draws `content` in the box from (0, 0) to (width, height), placed on
// the page by `matrix`, with the marks' fonts as its resources; with `compress`, its stream is
// written compressed already.
QPDFObjectHandle formXObject(QPDF& pdf, Fonts& fonts, double width, double height, const Matrix& matrix,
                             const std::string& content, bool compress = false);

// Operators that draw `lines`: each line's baseline starts at x (left), is centred on x ('C')
// or ends at x ('R'); the first baseline is at y and each following one 1.2 * size lower.
std::string textBlock(const std::vector<Line>& lines, double x, double y, double size, char align,
                      const Fonts& fonts);

} // namespace plait::pdf::marks
