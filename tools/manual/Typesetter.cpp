#include "Typesetter.h"

#include "Fonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace manual {
namespace {

constexpr double kLeft = 58;
constexpr double kRight = kPageWidth - 58;
constexpr double kTop = kPageHeight - 72;
constexpr double kBottom = 70;
constexpr double kWidth = kRight - kLeft;

constexpr double kBodySize = 10;
constexpr double kBodyLeading = 13.6;
constexpr double kCodeSize = 8.6;
constexpr double kCodeLeading = 11;
constexpr double kTableSize = 9;
constexpr double kTableLeading = 11.5;
constexpr double kCellPad = 4;

struct Color {
    double r, g, b;
};
constexpr Color kInk{0.1, 0.1, 0.1};
constexpr Color kAccent{0.11, 0.30, 0.50};
constexpr Color kGrey{0.45, 0.45, 0.45};
constexpr Color kRule{0.62, 0.66, 0.70};
constexpr Color kShade{0.94, 0.95, 0.96};

std::string num(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", std::abs(v) < 0.005 ? 0.0 : v);
    std::string s = buffer;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') {
        s.pop_back();
    }
    return s;
}

std::string fill(Color c) {
    return num(c.r) + " " + num(c.g) + " " + num(c.b) + " rg\n";
}
std::string stroke(Color c) {
    return num(c.r) + " " + num(c.g) + " " + num(c.b) + " RG\n";
}

// A PDF literal string; bytes outside ASCII as octal escapes so the stream stays readable.
std::string literal(const std::string& encoded) {
    std::string out = "(";
    for (unsigned char c : encoded) {
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32 || c > 126) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\%03o", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + ")";
}

// Inline text: words made of pieces in one font each ("**Save**," is a bold and a plain piece).
struct Piece {
    Font font;
    std::string text; // encoded
};
using Word = std::vector<Piece>;
using Line = std::vector<Word>;

double wordWidth(const Word& w, double size) {
    double width = 0;
    for (const Piece& p : w) {
        width += textWidth(p.font, p.text, size);
    }
    return width;
}

// The blank between two words is set in the text font around it, not in the wide blank of
// the code font, unless both sides are code.
Font spaceFont(const Word& before, const Word& after) {
    return after.front().font != Font::Mono ? after.front().font : before.back().font;
}
double spaceWidth(const Word& before, const Word& after, double size) {
    return textWidth(spaceFont(before, after), " ", size);
}

std::string encodeOrThrow(const std::string& utf8, int line) {
    EncodeError error;
    std::string encoded = encodeWinAnsi(utf8, &error);
    if (!error.character.empty()) {
        throw std::runtime_error("line " + std::to_string(line) + ": the character \"" + error.character +
                                 "\" cannot be shown in the manual's fonts");
    }
    return encoded;
}

// Reads **bold**, *italic*, `code` and backslash escapes; blanks separate words.
std::vector<Word> parseInline(const std::string& text, Font base, int line) {
    std::vector<Word> words;
    Word word;
    std::string pending;
    Font current = base;
    bool bold = false, italic = false, code = false;
    auto flushPiece = [&] {
        if (!pending.empty()) {
            word.push_back({current, encodeOrThrow(pending, line)});
            pending.clear();
        }
    };
    auto flushWord = [&] {
        flushPiece();
        if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    };
    auto restyle = [&] {
        const Font next = code ? Font::Mono : bold ? Font::Bold : italic ? Font::Italic : base;
        if (next != current) {
            flushPiece();
            current = next;
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ') {
            flushWord();
        } else if (c == '\\' && i + 1 < text.size() && !code) {
            pending += text[++i];
        } else if (c == '`') {
            code = !code;
            restyle();
        } else if (c == '*' && !code && i + 1 < text.size() && text[i + 1] == '*') {
            bold = !bold;
            ++i;
            restyle();
        } else if (c == '*' && !code) {
            italic = !italic;
            restyle();
        } else {
            pending += c;
        }
    }
    flushWord();
    return words;
}

// The text of a heading without its marks, for the outline and the contents.
std::string plainText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] != '`' && text[i] != '*') {
            out += text[i];
        }
    }
    return out;
}

// Splits a word wider than the line into pieces that fit (long paths, long names).
std::vector<Word> breakWord(const Word& w, double width, double size) {
    std::vector<Word> parts(1);
    double used = 0;
    for (const Piece& p : w) {
        for (char c : p.text) {
            const double cw = textWidth(p.font, std::string(1, c), size);
            if (used + cw > width && !parts.back().empty()) {
                parts.emplace_back();
                used = 0;
            }
            if (parts.back().empty() || parts.back().back().font != p.font) {
                parts.back().push_back({p.font, ""});
            }
            parts.back().back().text += c;
            used += cw;
        }
    }
    return parts;
}

std::vector<Line> wrap(const std::vector<Word>& words, double width, double size) {
    std::vector<Line> lines;
    Line line;
    double used = 0;
    for (const Word& original : words) {
        std::vector<Word> parts{original};
        if (wordWidth(original, size) > width) {
            parts = breakWord(original, width, size);
        }
        for (const Word& w : parts) {
            const double ww = wordWidth(w, size);
            if (!line.empty() && used + spaceWidth(line.back(), w, size) + ww > width) {
                lines.push_back(std::move(line));
                line.clear();
                used = 0;
            }
            used += (line.empty() ? 0 : spaceWidth(line.back(), w, size)) + ww;
            line.push_back(w);
        }
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

double lineWidth(const Line& line, double size) {
    double width = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        width +=
            wordWidth(line[i], size) + (i + 1 < line.size() ? spaceWidth(line[i], line[i + 1], size) : 0);
    }
    return width;
}

std::string fontResource(Font f) {
    return "/F" + std::to_string(static_cast<int>(f) + 1);
}

// One line of text at a baseline, each run of one font in one string.
std::string drawLine(const Line& line, double x, double baseline, double size, Color color) {
    std::vector<Piece> runs;
    auto add = [&](const Piece& p) {
        if (!runs.empty() && runs.back().font == p.font) {
            runs.back().text += p.text;
        } else {
            runs.push_back(p);
        }
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (i > 0) {
            add({spaceFont(line[i - 1], line[i]), " "});
        }
        for (const Piece& p : line[i]) {
            add(p);
        }
    }
    std::string out = fill(color) + "BT " + num(x) + " " + num(baseline) + " Td\n";
    for (const Piece& r : runs) {
        out += fontResource(r.font) + " " + num(size) + " Tf " + literal(r.text) + " Tj\n";
    }
    return out + "ET\n";
}

std::string rect(double x, double y, double w, double h, const char* op) {
    return num(x) + " " + num(y) + " " + num(w) + " " + num(h) + " re " + op + "\n";
}

class Typesetter {
public:
    Typesetter(const std::function<Picture(const std::string&)>& loadPicture) : loadPicture_(loadPicture) {}

    Document run(const std::vector<Block>& blocks) {
        std::size_t first = 0;
        if (!blocks.empty() && blocks[0].kind == BlockKind::Title) {
            doc_.title = blocks[0].text;
            titlePage(blocks[0], blocks);
            first = 1;
        }
        newPage();
        for (std::size_t i = first; i < blocks.size(); ++i) {
            block(blocks[i], i > first ? &blocks[i - 1] : nullptr,
                  i + 1 < blocks.size() ? &blocks[i + 1] : nullptr);
        }
        finishContents();
        runningHeads();
        return std::move(doc_);
    }

private:
    PageOut& page() { return doc_.pages.back(); }
    int pageIndex() const { return static_cast<int>(doc_.pages.size()) - 1; }

    void newPage() {
        doc_.pages.emplace_back();
        y_ = kTop;
    }
    bool atTop() const { return y_ == kTop; }
    // Starts a new page unless `height` still fits on this one.
    void need(double height) {
        if (y_ - height < kBottom && !atTop()) {
            newPage();
        }
    }
    void gap(double space) {
        if (!atTop()) {
            y_ -= space;
        }
    }

    void lines(const std::vector<Line>& ls, double x, double size, double leading, Color color) {
        for (std::size_t i = 0; i < ls.size(); ++i) {
            const Line& l = ls[i];
            // No single line of a paragraph alone at the foot or the head of a page.
            const bool pair = ls.size() >= 2 && (i == 0 || i + 2 == ls.size());
            need(pair ? 2 * leading : leading);
            page().content += drawLine(l, x, y_ - size, size, color);
            y_ -= leading;
        }
    }

    void titlePage(const Block& title, const std::vector<Block>& blocks) {
        newPage();
        y_ -= 60;
        lines(wrap(parseInline(title.text, Font::Bold, title.line), kWidth, 28), kLeft, 28, 34, kAccent);
        if (!title.label.empty()) {
            y_ -= 4;
            lines(wrap(parseInline(title.label, Font::Regular, title.line), kWidth, 13), kLeft, 13, 18,
                  kGrey);
        }
        y_ -= 10;
        page().content += stroke(kAccent) + "1.2 w " + num(kLeft) + " " + num(y_) + " m " + num(kRight) +
                          " " + num(y_) + " l S\n";
        y_ -= 34;
        lines({{{{Font::Bold, "Contents"}}}}, kLeft, 15, 24, kAccent);
        // The entries are drawn once the pages of their headings are known.
        for (const Block& b : blocks) {
            if (b.kind == BlockKind::Heading && b.level <= 2) {
                const double leading = b.level == 1 ? 17 : 13.5;
                need(leading);
                contents_.push_back({b.level, plainText(b.text), b.line, pageIndex(), y_, leading});
                y_ -= leading;
            }
        }
    }

    void finishContents() {
        std::size_t next = 0;
        for (const Entry& e : contents_) {
            while (next < doc_.headings.size() && doc_.headings[next].level > 2) {
                ++next;
            }
            const Heading& h = doc_.headings.at(next++);
            const Font font = e.level == 1 ? Font::Bold : Font::Regular;
            const double size = e.level == 1 ? 10.5 : 10;
            const double x = e.level == 1 ? kLeft : kLeft + 16;
            const double baseline = e.top - e.leading + 4;
            const std::string title = encodeOrThrow(e.title, e.line);
            const std::string number = std::to_string(h.page + 1);
            const double numberWidth = textWidth(font, number, size);
            PageOut& p = doc_.pages[static_cast<std::size_t>(e.page)];
            p.content += drawLine({{{font, title}}}, x, baseline, size, e.level == 1 ? kAccent : kInk);
            // Dot leaders between the title and the page number.
            const double dotsFrom = x + textWidth(font, title, size) + 6;
            const double dotsTo = kRight - numberWidth - 6;
            const double dot = textWidth(Font::Regular, ".", size) * 1.8;
            if (dotsTo > dotsFrom + dot) {
                std::string dots;
                for (double d = dotsFrom; d + dot <= dotsTo; d += dot) {
                    dots += '.';
                }
                const double start = dotsTo - static_cast<double>(dots.size()) * dot;
                p.content += fill(kGrey) + "BT " + fontResource(Font::Regular) + " " + num(size) + " Tf " +
                             num(dot - textWidth(Font::Regular, ".", size)) + " Tc " + num(start) + " " +
                             num(baseline) + " Td " + literal(dots) + " Tj 0 Tc ET\n";
            }
            p.content += drawLine({{{font, number}}}, kRight - numberWidth, baseline, size, kInk);
            p.links.push_back({x, baseline - 3, kRight, baseline + size, h.page, h.top});
        }
    }

    void runningHeads() {
        const int total = static_cast<int>(doc_.pages.size());
        std::string chapter;
        std::size_t next = 0;
        for (int i = 0; i < total; ++i) {
            // The chapter named at the top of a page is the last one begun on or before it.
            while (next < doc_.headings.size() && doc_.headings[next].page <= i) {
                if (doc_.headings[next].level == 1) {
                    chapter = doc_.headings[next].title;
                }
                ++next;
            }
            PageOut& p = doc_.pages[static_cast<std::size_t>(i)];
            const std::string folio =
                encodeOrThrow("Page " + std::to_string(i + 1) + " of " + std::to_string(total), 0);
            p.content += drawLine({{{Font::Regular, folio}}},
                                  (kPageWidth - textWidth(Font::Regular, folio, 8.5)) / 2, 40, 8.5, kGrey);
            if (i == 0 && !contents_.empty()) {
                continue; // the title page has no running head
            }
            const double base = kPageHeight - 48;
            p.content += drawLine({{{Font::Regular, encodeOrThrow(doc_.title, 0)}}}, kLeft, base, 8.5, kGrey);
            const std::string right = encodeOrThrow(chapter, 0);
            p.content += drawLine({{{Font::Italic, right}}}, kRight - textWidth(Font::Italic, right, 8.5),
                                  base, 8.5, kGrey);
            p.content += stroke(kRule) + "0.5 w " + num(kLeft) + " " + num(base - 6) + " m " + num(kRight) +
                         " " + num(base - 6) + " l S\n";
        }
    }

    void block(const Block& b, const Block* previous, const Block* next) {
        const bool afterHeading = previous != nullptr && previous->kind == BlockKind::Heading;
        const bool listItem = b.kind == BlockKind::Bullet || b.kind == BlockKind::Numbered;
        const bool afterListItem = previous != nullptr && (previous->kind == BlockKind::Bullet ||
                                                           previous->kind == BlockKind::Numbered);
        switch (b.kind) {
        case BlockKind::Title:
            throw std::runtime_error("line " + std::to_string(b.line) + ": a title goes at the very top");
        case BlockKind::PageBreak:
            if (!atTop()) {
                newPage();
            }
            return;
        case BlockKind::Heading:
            heading(b, next);
            return;
        default:
            break;
        }
        gap(afterHeading ? 2 : (listItem && afterListItem) ? 3 : 8);
        switch (b.kind) {
        case BlockKind::Paragraph:
            lines(wrap(parseInline(b.text, Font::Regular, b.line), kWidth, kBodySize), kLeft, kBodySize,
                  kBodyLeading, kInk);
            break;
        case BlockKind::Bullet:
        case BlockKind::Numbered:
            item(b);
            break;
        case BlockKind::Code:
            code(b);
            break;
        case BlockKind::Table:
            table(b);
            break;
        case BlockKind::Image:
            picture(b);
            break;
        default:
            break;
        }
    }

    void heading(const Block& b, const Block* next) {
        static constexpr double kSize[] = {0, 17, 13, 11};
        static constexpr double kSpace[] = {0, 24, 16, 11};
        const double size = kSize[b.level];
        const double leading = size * 1.3;
        auto ls = wrap(parseInline(b.text, Font::Bold, b.line), kWidth, size);
        // Never alone at the foot of a page: keep room for a few lines of what follows, or for
        // the whole of a picture that follows.
        const double following =
            next != nullptr && next->kind == BlockKind::Image ? placePicture(*next).total : 3 * kBodyLeading;
        const double height = static_cast<double>(ls.size()) * leading + following;
        gap(kSpace[b.level]);
        need(height);
        doc_.headings.push_back({b.level, plainText(b.text), pageIndex(), std::min(kTop + 20, y_ + 14)});
        lines(ls, kLeft, size, leading, b.level == 3 ? kInk : kAccent);
        if (b.level == 1) {
            page().content += stroke(kAccent) + "0.8 w " + num(kLeft) + " " + num(y_ + 1) + " m " +
                              num(kRight) + " " + num(y_ + 1) + " l S\n";
            y_ -= 6;
        }
        y_ -= 2;
    }

    void item(const Block& b) {
        const double indent = kLeft + (b.level == 1 ? 16 : 0);
        const double textX = indent + (b.kind == BlockKind::Numbered ? 18 : 13);
        auto ls = wrap(parseInline(b.text, Font::Regular, b.line), kRight - textX, kBodySize);
        need(kBodyLeading);
        const std::string marker = b.kind == BlockKind::Numbered ? b.label : "\x95";
        page().content += drawLine({{{Font::Regular, marker}}}, indent + 2, y_ - kBodySize, kBodySize,
                                   b.kind == BlockKind::Numbered ? kInk : kAccent);
        lines(ls, textX, kBodySize, kBodyLeading, kInk);
    }

    void code(const Block& b) {
        const double pad = 6;
        const auto perLine = static_cast<std::size_t>((kWidth - 2 * pad) / (0.6 * kCodeSize));
        std::vector<std::string> rows;
        for (std::size_t i = 0; i < b.lines.size(); ++i) {
            std::string text = encodeOrThrow(b.lines[i], b.line + 1 + static_cast<int>(i));
            do {
                rows.push_back(text.substr(0, perLine));
                text = text.size() > perLine ? "  " + text.substr(perLine) : std::string();
            } while (!text.empty());
        }
        std::size_t at = 0;
        while (at < rows.size()) {
            need(kCodeLeading + 2 * pad);
            // As many lines as fit here; the rest continues on the next page.
            const auto fit =
                static_cast<std::size_t>(std::max(1.0, std::floor((y_ - kBottom - 2 * pad) / kCodeLeading)));
            const std::size_t count = std::min(fit, rows.size() - at);
            const double height = static_cast<double>(count) * kCodeLeading + 2 * pad;
            page().content += fill(kShade) + rect(kLeft, y_ - height, kWidth, height, "f");
            page().content += fill(kAccent) + rect(kLeft, y_ - height, 2, height, "f");
            double baseline = y_ - pad - kCodeSize;
            for (std::size_t i = 0; i < count; ++i, baseline -= kCodeLeading) {
                page().content +=
                    drawLine({{{Font::Mono, rows[at + i]}}}, kLeft + pad + 4, baseline, kCodeSize, kInk);
            }
            at += count;
            y_ -= height;
            if (at < rows.size()) {
                newPage();
            }
        }
    }

    // Column widths: every column at least its longest word; what is left goes to the columns
    // in proportion to how much more they would like.
    std::vector<double> columnWidths(const std::vector<std::vector<std::vector<Word>>>& cells,
                                     std::size_t columns) {
        std::vector<double> least(columns, 0), natural(columns, 0);
        for (const auto& row : cells) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                double whole = 0;
                for (std::size_t w = 0; w < row[c].size(); ++w) {
                    const double ww = wordWidth(row[c][w], kTableSize);
                    least[c] = std::max(least[c], std::min(ww, kWidth / 3));
                    whole +=
                        ww + (w + 1 < row[c].size() ? spaceWidth(row[c][w], row[c][w + 1], kTableSize) : 0);
                }
                natural[c] = std::max(natural[c], whole);
            }
        }
        double sumLeast = 0, sumNatural = 0;
        for (std::size_t c = 0; c < columns; ++c) {
            least[c] += 2 * kCellPad + 1;
            natural[c] += 2 * kCellPad + 1;
            sumLeast += least[c];
            sumNatural += natural[c];
        }
        std::vector<double> widths(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            if (sumNatural <= kWidth) {
                widths[c] = natural[c] * kWidth / sumNatural;
            } else if (sumLeast < kWidth) {
                widths[c] =
                    least[c] + (natural[c] - least[c]) * (kWidth - sumLeast) / (sumNatural - sumLeast);
            } else {
                widths[c] = least[c] * kWidth / sumLeast;
            }
        }
        return widths;
    }

    void table(const Block& b) {
        std::size_t columns = 0;
        for (const auto& row : b.rows) {
            columns = std::max(columns, row.size());
        }
        std::vector<std::vector<std::vector<Word>>> cells;
        for (std::size_t r = 0; r < b.rows.size(); ++r) {
            cells.emplace_back();
            for (std::size_t c = 0; c < columns; ++c) {
                const std::string text = c < b.rows[r].size() ? b.rows[r][c] : std::string();
                cells.back().push_back(
                    parseInline(text, r == 0 ? Font::Bold : Font::Regular, b.line + static_cast<int>(r)));
            }
        }
        const std::vector<double> widths = columnWidths(cells, columns);
        auto wrapped = [&](std::size_t r) {
            std::vector<std::vector<Line>> out;
            for (std::size_t c = 0; c < columns; ++c) {
                out.push_back(wrap(cells[r][c], widths[c] - 2 * kCellPad, kTableSize));
            }
            return out;
        };
        auto rowHeight = [&](const std::vector<std::vector<Line>>& row) {
            std::size_t most = 1;
            for (const auto& cell : row) {
                most = std::max(most, cell.size());
            }
            return static_cast<double>(most) * kTableLeading + 2 * 3.5;
        };
        const auto header = wrapped(0);
        auto drawRow = [&](const std::vector<std::vector<Line>>& row, bool isHeader) {
            const double height = rowHeight(row);
            double x = kLeft;
            if (isHeader) {
                page().content += fill(kShade) + rect(kLeft, y_ - height, kWidth, height, "f");
            }
            for (std::size_t c = 0; c < columns; ++c) {
                double baseline = y_ - 3.5 - kTableSize + 0.5;
                for (const Line& l : row[c]) {
                    page().content +=
                        drawLine(l, x + kCellPad, baseline, kTableSize, isHeader ? kAccent : kInk);
                    baseline -= kTableLeading;
                }
                page().content += stroke(kRule) + "0.5 w " + rect(x, y_ - height, widths[c], height, "S");
                x += widths[c];
            }
            y_ -= height;
        };
        need(rowHeight(header) + (b.rows.size() > 1 ? rowHeight(wrapped(1)) : 0));
        drawRow(header, true);
        for (std::size_t r = 1; r < b.rows.size(); ++r) {
            const auto row = wrapped(r);
            if (y_ - rowHeight(row) < kBottom) {
                newPage();
                drawRow(header, true); // the header again above the rest of the table
            }
            drawRow(row, false);
        }
    }

    struct Placement {
        int index;
        double width, height;
        std::vector<Line> caption;
        double total; // picture, gap and caption
    };

    // The size a picture is drawn at: screen pixels at 96 per inch, never wider than the text
    // share asked for, never taller than a page.
    Placement placePicture(const Block& b) {
        auto found = pictureIndex_.find(b.path);
        if (found == pictureIndex_.end()) {
            doc_.pictures.push_back(loadPicture_(b.path));
            found = pictureIndex_.emplace(b.path, static_cast<int>(doc_.pictures.size()) - 1).first;
        }
        const Picture& pic = doc_.pictures[static_cast<std::size_t>(found->second)];
        Placement p{found->second, 0, 0, wrap(parseInline(b.text, Font::Italic, b.line), kWidth, 8.5), 0};
        p.width = std::min(kWidth * b.widthPercent / 100.0, pic.width * 0.75);
        p.height = p.width * pic.height / pic.width;
        const double captionHeight = static_cast<double>(p.caption.size()) * 11 + 4;
        if (p.height + captionHeight > kTop - kBottom) {
            p.height = kTop - kBottom - captionHeight;
            p.width = p.height * pic.width / pic.height;
        }
        p.total = p.height + captionHeight;
        return p;
    }

    void picture(const Block& b) {
        const Placement pl = placePicture(b);
        const double width = pl.width, height = pl.height;
        const auto& caption = pl.caption;
        const int index = pl.index;
        need(pl.total);
        const double x = kLeft + (kWidth - width) / 2;
        page().content += "q " + num(width) + " 0 0 " + num(height) + " " + num(x) + " " + num(y_ - height) +
                          " cm /Im" + std::to_string(index) + " Do Q\n";
        page().content += stroke(kRule) + "0.5 w " + rect(x, y_ - height, width, height, "S");
        if (std::find(page().pictures.begin(), page().pictures.end(), index) == page().pictures.end()) {
            page().pictures.push_back(index);
        }
        y_ -= height + 4;
        for (const Line& l : caption) {
            const double w = lineWidth(l, 8.5);
            page().content += drawLine(l, kLeft + (kWidth - w) / 2, y_ - 8.5, 8.5, kGrey);
            y_ -= 11;
        }
    }

    struct Entry {
        int level;
        std::string title;
        int line;
        int page;
        double top;
        double leading;
    };

    const std::function<Picture(const std::string&)>& loadPicture_;
    Document doc_;
    double y_ = kTop;
    std::vector<Entry> contents_;
    std::map<std::string, int> pictureIndex_;
};

} // namespace

Document typeset(const std::vector<Block>& blocks,
                 const std::function<Picture(const std::string&)>& loadPicture) {
    return Typesetter(loadPicture).run(blocks);
}

} // namespace manual
