#include "MarkSteps.h"

#include "engine/TagReader.h"
#include "pdfengine/Text.h"
#include "pdfengine/Values.h"

#include <cctype>

namespace plait::pdf::marks {
namespace {

// Finds `needle` from `from` on, without regard to case.
std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < needle.size() && same; ++k)
            same = std::tolower(static_cast<unsigned char>(hay[i + k])) ==
                   std::tolower(static_cast<unsigned char>(needle[k]));
        if (same)
            return i;
    }
    return std::string_view::npos;
}

// The end ('>') of the tag opening at `start`, skipping quoted values.
std::size_t tagEnd(std::string_view s, std::size_t start) {
    char quote = 0;
    for (std::size_t i = start + 1; i < s.size(); ++i) {
        const char ch = s[i];
        if (quote) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            // A quote only opens a value right after '='.
            if (s[i - 1] == '=')
                quote = ch;
        } else if (ch == '>') {
            return i;
        }
    }
    return std::string_view::npos;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

double unitFactor(Context& c, std::string_view unit) {
    if (auto u = parseUnit(unit, UnitNames::Codes))
        return toPoints(1.0, *u);
    c.notes.push_back("Text area: unknown unit \"" + std::string(unit) + "\"; points are used");
    return 1.0;
}

void drawText(Context& c, const engine::TagReader::Tag& tag, std::string_view body, double unit) {
    auto param = [&](std::string_view name) {
        for (const auto& [k, v] : tag.attributes)
            if (text::lower(k) == text::lower(name))
                return v;
        return std::string();
    };
    auto flag = [&](std::string_view name) {
        for (const auto& [k, v] : tag.attributes)
            if (text::lower(k) == text::lower(name))
                return true;
        return false;
    };
    double size = numberOr(c, param("SIZE"), 12, "Text area size");
    if (size <= 0) {
        c.notes.push_back("Text area: a size must be above 0; 12 is used");
        size = 12;
    }
    const double x = numberOr(c, param("X"), 0, "Text area X") * unit;
    const double y = numberOr(c, param("Y"), 0, "Text area Y") * unit;
    const double angle = numberOr(c, param("ANGLE"), 0, "Text area angle");
    const std::string alignText = text::lower(text::trim(param("ALIGN")));
    const char align = alignText == "c" ? 'C' : alignText == "r" ? 'R' : 'L';
    Rgb color;
    if (const std::string colorText = param("COLOR"); !text::trim(colorText).empty()) {
        if (auto parsed = parseColor(colorText))
            color = *parsed;
        else
            c.notes.push_back("Text area: colour \"" + colorText + "\" is not RRGGBB; black is used");
    }
    bool lost = false;
    std::vector<Line> lines;
    for (auto& line : splitLines(body))
        lines.push_back(c.fonts.prepare(line, Font::Regular, lost));
    if (lost)
        c.notes.push_back("Text area: characters no font has are drawn as \"?\"");

    const bool fromTop = flag("FROMTOP"), fromRight = flag("FROMRIGHT");
    // Baseline of the first line relative to the anchor: the block rises above a bottom
    // anchor and hangs below a top one (0.75 em approximates Helvetica's ascent).
    const double lineCount = static_cast<double>(lines.size());
    const double firstBaseline = fromTop ? -0.75 * size : (lineCount - 1) * 1.2 * size;
    const std::string drawn = textBlock(lines, 0, firstBaseline, size, align, c.fonts);
    for (int page : pagesOf(c, param("PAGES"), "Text area")) {
        const PageFrame frame = pageFrame(c.pdf.getAllPages().at(static_cast<std::size_t>(page)));
        const double ax = fromRight ? frame.width - x : x;
        const double ay = fromTop ? frame.height - y : y;
        Matrix m = rotation(angle);
        m[4] = ax;
        m[5] = ay;
        c.canvas.over(page, "q " + num(color.r) + " " + num(color.g) + " " + num(color.b) + " rg " +
                                num(m[0]) + " " + num(m[1]) + " " + num(m[2]) + " " + num(m[3]) + " " +
                                num(m[4]) + " " + num(m[5]) + " cm\n" + drawn + "Q\n");
    }
}

} // namespace

void textAreas(Context& c, const std::string& markup) {
    const std::string_view s = markup;
    double unit = 1.0;
    bool any = false;
    for (std::size_t pos = s.find('<'); pos != std::string_view::npos; pos = s.find('<', pos + 1)) {
        const std::size_t end = tagEnd(s, pos);
        if (end == std::string_view::npos)
            break;
        const auto tags = engine::TagReader::parseAll(s.substr(pos, end - pos + 1));
        if (tags.empty())
            continue;
        const auto& tag = tags.front();
        const std::string name = text::lower(tag.name);
        if (name == "units") {
            for (const auto& [k, v] : tag.attributes)
                if (text::lower(k) == "value")
                    unit = unitFactor(c, v);
        } else if (name == "text") {
            std::size_t close = findNoCase(s, "</TEXT>", end + 1);
            const std::string_view body =
                s.substr(end + 1, (close == std::string_view::npos ? s.size() : close) - end - 1);
            drawText(c, tag, body, unit);
            any = true;
            if (close == std::string_view::npos)
                break;
            pos = close;
        }
    }
    if (!any)
        c.notes.push_back("Text area: the markup holds no <TEXT> tag; nothing was drawn");
}

} // namespace plait::pdf::marks
