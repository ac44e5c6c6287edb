#include "MarkSteps.h"

#include "pdfengine/Text.h"

namespace plait::pdf::marks {
namespace {

using NumberStyle = MarkOptions::NumberStyle;

std::string styled(int n, NumberStyle style) {
    if (style == NumberStyle::LowerRoman)
        return text::lower(roman(n));
    if (style == NumberStyle::Roman)
        return roman(n);
    return std::to_string(n);
}

std::string formatted(const std::string& format, int page, int count, NumberStyle style) {
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
    const double left = o.pageLMargin;
    bool lost = false;
    for (int i = 0; i < c.pageCount; ++i) {
        const Line line =
            c.fonts.prepare(formatted(o.pageFmt, i + 1, c.pageCount, o.pageNumStyle), Font::Regular, lost);
        double x = left;
        char how = 'L';
        // The page is measured only where the number is placed from its right edge or centre.
        if (o.pageNumAlign != MarkOptions::Align::Left) {
            const double width = pageFrame(c.pdf.getAllPages().at(static_cast<std::size_t>(i))).width;
            const bool centre = o.pageNumAlign == MarkOptions::Align::Center;
            x = centre ? width / 2 : width - left;
            how = centre ? 'C' : 'R';
        }
        c.canvas.over(i, "0 g\n" + textBlock({line}, x, o.pageBMargin, o.fontSize, how, c.fonts));
    }
    if (lost) {
        c.notes.push_back("setPageFmt: characters no font has are drawn as \"?\"");
    }
}

} // namespace plait::pdf::marks
