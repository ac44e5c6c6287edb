#include "Markdown.h"

#include <cctype>
#include <stdexcept>

namespace manual {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return {};
    }
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool startsWith(const std::string& s, const std::string& head) {
    return s.compare(0, head.size(), head) == 0;
}

std::size_t indentOf(const std::string& s) {
    std::size_t n = 0;
    while (n < s.size() && s[n] == ' ') {
        ++n;
    }
    return n;
}

// "| a | b \| c |" -> {"a", "b | c"}: cells split at bars that are not escaped.
std::vector<std::string> splitRow(const std::string& line) {
    std::string s = trim(line);
    if (!s.empty() && s.front() == '|') {
        s.erase(0, 1);
    }
    if (!s.empty() && s.back() == '|' && (s.size() < 2 || s[s.size() - 2] != '\\')) {
        s.pop_back();
    }
    std::vector<std::string> cells;
    std::string cell;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '|') {
            cell += '|';
            ++i;
        } else if (s[i] == '|') {
            cells.push_back(trim(cell));
            cell.clear();
        } else {
            cell += s[i];
        }
    }
    cells.push_back(trim(cell));
    return cells;
}

bool isSeparatorRow(const std::string& line) {
    for (char c : line) {
        if (c != '|' && c != '-' && c != ':' && c != ' ') {
            return false;
        }
    }
    return true;
}

// A list marker at the start of the (indented) line: "- ", "* " or "12. ". Returns the
// length of the marker with its blank, 0 when there is none.
std::size_t bulletMarker(const std::string& s) {
    return (startsWith(s, "- ") || startsWith(s, "* ")) ? 2 : 0;
}
std::size_t numberMarker(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        ++i;
    }
    return (i > 0 && i + 1 < s.size() && s[i] == '.' && s[i + 1] == ' ') ? i + 2 : 0;
}

} // namespace

std::vector<Block> parseMarkdown(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = text.find('\n', start);
        std::string l = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!l.empty() && l.back() == '\r') {
            l.pop_back();
        }
        lines.push_back(std::move(l));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }

    std::vector<Block> blocks;
    // Whether the next plain line continues the last block (a paragraph or a list item).
    bool open = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& raw = lines[i];
        const std::string t = trim(raw);
        const int lineNo = static_cast<int>(i) + 1;
        auto add = [&](BlockKind kind) -> Block& {
            blocks.push_back(Block{});
            blocks.back().kind = kind;
            blocks.back().line = lineNo;
            open = false;
            return blocks.back();
        };

        if (t.empty()) {
            open = false;
        } else if (startsWith(t, "% ") && (blocks.empty() || blocks.back().kind == BlockKind::Title)) {
            if (blocks.empty()) {
                add(BlockKind::Title).text = trim(t.substr(2));
            } else {
                blocks.back().label = trim(t.substr(2));
            }
        } else if (startsWith(t, "```")) {
            Block& b = add(BlockKind::Code);
            for (++i; i < lines.size() && !startsWith(trim(lines[i]), "```"); ++i) {
                b.lines.push_back(lines[i]);
            }
            if (i == lines.size()) {
                throw std::runtime_error("line " + std::to_string(lineNo) + ": code block is not closed");
            }
        } else if (t == "<!-- pagebreak -->") {
            add(BlockKind::PageBreak);
        } else if (startsWith(t, "<!--")) {
            // A comment for whoever edits the manual; it may run over several lines.
            while (i < lines.size() && lines[i].find("-->") == std::string::npos) {
                ++i;
            }
            open = false;
        } else if (t[0] == '#') {
            const std::size_t level = t.find_first_not_of('#');
            if (level > 3 || level == std::string::npos || t[level] != ' ') {
                throw std::runtime_error("line " + std::to_string(lineNo) + ": headings have one to three #");
            }
            Block& b = add(BlockKind::Heading);
            b.level = static_cast<int>(level);
            b.text = trim(t.substr(level));
        } else if (t[0] == '|') {
            Block& b = add(BlockKind::Table);
            for (; i < lines.size() && !trim(lines[i]).empty() && trim(lines[i])[0] == '|'; ++i) {
                if (!isSeparatorRow(lines[i])) {
                    b.rows.push_back(splitRow(lines[i]));
                }
            }
            --i;
        } else if (startsWith(t, "![") && t.find("](") != std::string::npos) {
            const std::size_t mid = t.find("](");
            const std::size_t close = t.find(')', mid);
            if (close == std::string::npos) {
                throw std::runtime_error("line " + std::to_string(lineNo) + ": picture without closing )");
            }
            Block& b = add(BlockKind::Image);
            b.text = t.substr(2, mid - 2);
            b.path = t.substr(mid + 2, close - mid - 2);
            const std::size_t w = t.find("{width=", close);
            if (w != std::string::npos) {
                b.widthPercent = std::stod(t.substr(w + 7));
            }
        } else if (std::size_t m = bulletMarker(t); m > 0) {
            Block& b = add(BlockKind::Bullet);
            b.level = indentOf(raw) >= 2 ? 1 : 0;
            b.text = trim(t.substr(m));
            open = true;
        } else if (std::size_t n = numberMarker(t); n > 0) {
            Block& b = add(BlockKind::Numbered);
            b.level = indentOf(raw) >= 2 ? 1 : 0;
            b.label = t.substr(0, n - 1);
            b.text = trim(t.substr(n));
            open = true;
        } else if (open) {
            blocks.back().text += ' ';
            blocks.back().text += t;
        } else {
            Block& b = add(BlockKind::Paragraph);
            b.text = t;
            open = true;
        }
    }
    return blocks;
}

} // namespace manual
