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
        const PageFrame frame = pageFrame(c.pdf.getAllPages().at(static_cast<std::size_t>(i)));
        double x = left;
        char how = 'L';
        if (o.pageNumAlign == MarkOptions::Align::Center) {
            x = frame.width / 2;
            how = 'C';
        } else if (o.pageNumAlign == MarkOptions::Align::Right) {
            x = frame.width - left;
            how = 'R';
        }
        c.canvas.over(i, "0 g\n" + textBlock({line}, x, o.pageBMargin, o.fontSize, how, c.fonts));
    }
    if (lost) {
        c.notes.push_back("setPageFmt: characters no font has are drawn as \"?\"");
    }
}

} // namespace plait::pdf::marks
