#pragma once

#include <string>
#include <vector>

namespace manual {

// The part of markdown the manual is written in. One block per heading, paragraph, list item,
// code block, table, picture; inline marks (**bold**, *italic*, `code`) stay in the text and
// are read by the typesetter.
enum class BlockKind { Title, Heading, Paragraph, Bullet, Numbered, Code, Table, Image, PageBreak };

struct Block {
    BlockKind kind = BlockKind::Paragraph;
    int level = 0;                              // heading level 1..3; list nesting 0 or 1
    std::string text;                           // heading, paragraph, list item, picture caption, title
    std::string label;                          // numbered item "3."; the title's second line
    std::vector<std::string> lines;             // code block
    std::vector<std::vector<std::string>> rows; // table, header row first
    std::string path;                           // picture, as written
    double widthPercent = 100;                  // picture width, share of the text width
    int line = 0;                               // where the block starts, for messages
};

// Throws std::runtime_error("line N: ...") on markup it cannot read (an unclosed code block).
std::vector<Block> parseMarkdown(const std::string& text);

} // namespace manual
