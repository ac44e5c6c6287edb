#include "MarkSteps.h"

#include "pdfengine/Text.h"

namespace plait::pdf::marks {
namespace {

std::string styled(int n, const std::string& style) {
    if (style == "roman")
        return text::lower(roman(n));
    if (text::lower(style) == "roman")
        return roman(n);
    return std::to_string(n);
}

std::string formatted(const std::string& format, int page, int count, const std::string& style) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == '1' || format[i + 1] == '2')) {
            out += styled(format[i + 1] == '1' ? page : count, style);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace

void pageNumbers(Context& c, const MarkOptions& o) {
    const std::string style(text::trim(o.pageNumStyle));
    if (!style.empty() && text::lower(style) != "roman" && text::lower(style) != "arabic") {
        c.notes.push_back("setPageNumStyle: unknown style \"" + o.pageNumStyle +
                          "\"; Arabic numbers are used");
    }
    double size = numberOr(c, o.fontSize, 10, "setFontSize");
    if (size <= 0) {
        c.notes.push_back("setFontSize: a size must be above 0; 10 is used");
        size = 10;
    }
    const double left = numberOr(c, o.pageLMargin, 36, "setPageLMargin");
    const double bottom = numberOr(c, o.pageBMargin, 36, "setPageBMargin");
    const std::string align = text::lower(text::trim(o.pageNumAlign));
    const std::string format = o.pageFmt.empty() ? "%1 of %2" : o.pageFmt;
    bool lost = false;
    for (int i = 0; i < c.pageCount; ++i) {
        const Line line = c.fonts.prepare(formatted(format, i + 1, c.pageCount, style), Font::Regular, lost);
        double x = left;
        char how = 'L';
        if (align == "c" || align == "r") {
            const double width = pageFrame(c.pdf.getAllPages().at(static_cast<std::size_t>(i))).width;
            x = align == "c" ? width / 2 : width - left;
            how = align == "c" ? 'C' : 'R';
        }
        c.canvas.over(i, "0 g\n" + textBlock({line}, x, bottom, size, how, c.fonts));
    }
    if (lost) {
        c.notes.push_back("setPageFmt: characters no font has are drawn as \"?\"");
    }
}

} // namespace plait::pdf::marks
