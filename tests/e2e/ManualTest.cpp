// The user manual as the build makes it, and make_manual on texts of our own: a valid PDF,
// text that readers can extract, an outline that matches the headings and leads to them.

#include "pdfengine/Fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>

#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace plait::pdf::testing;
using ::testing::HasSubstr;
using ::testing::Not;

struct OutlineItem {
    int level;
    std::string title;
    int page; // 0-based, -1 when the item leads nowhere
    int count;
};

void collect(std::vector<QPDFOutlineObjectHelper> items, int level,
             const std::vector<QPDFObjectHandle>& pages, std::vector<OutlineItem>& out) {
    for (auto& item : items) {
        int page = -1;
        QPDFObjectHandle dest = item.getDestPage();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (dest.isDictionary() && pages[i].getObjGen() == dest.getObjGen()) {
                page = static_cast<int>(i);
            }
        }
        out.push_back({level, item.getTitle(), page, item.getCount()});
        collect(item.getKids(), level + 1, pages, out);
    }
}

std::vector<OutlineItem> outlineOf(const std::string& pdf) {
    QPDF q;
    q.processFile(pdf.c_str());
    QPDFOutlineDocumentHelper outlines(q);
    std::vector<OutlineItem> out;
    std::vector<QPDFObjectHandle> pages = q.getAllPages();
    collect(outlines.getTopLevelOutlines(), 1, pages, out);
    return out;
}

// Blanks and line breaks as one blank, so that a wrapped heading still matches.
std::string squeeze(const std::string& s) {
    std::string out;
    for (char c : s) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (!(blank && (out.empty() || out.back() == ' '))) {
            out += blank ? ' ' : c;
        }
    }
    return out;
}

// The headings of a markdown text, marks removed, outside code blocks.
std::vector<std::pair<int, std::string>> headingsOf(const std::string& markdown) {
    std::vector<std::pair<int, std::string>> out;
    std::istringstream in(markdown);
    bool code = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("```", 0) == 0) {
            code = !code;
        }
        const auto level = line.find_first_not_of('#');
        if (code || line.empty() || line[0] != '#' || level == std::string::npos || line[level] != ' ') {
            continue;
        }
        std::string title;
        for (char c : line.substr(level + 1)) {
            if (c != '`' && c != '*') {
                title += c;
            }
        }
        out.emplace_back(static_cast<int>(level), title);
    }
    return out;
}

ToolResult makeManual(const fs::path& markdown, const fs::path& pdf) {
    return run(quote(PLAIT_MAKE_MANUAL_PATH) + " " + quote(markdown.string()) + " -o " + quote(pdf.string()) +
               " 2>&1");
}

TEST(Manual, IsAValidPdfWhoseTextReadersCanExtract) {
    const std::string pdf = PLAIT_MANUAL_PATH;
    ASSERT_TRUE(fs::exists(pdf)) << pdf;
    const ToolResult check = run("qpdf --check " + quote(pdf) + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_THAT(check.output, HasSubstr("No syntax or stream encoding errors"));
    EXPECT_GT(pageCount(pdf), 4);

    std::string all;
    for (const auto& page : pageTexts(pdf)) {
        all += squeeze(page) + "\n";
    }
    for (const char* words :
         {"PDF Plait User Manual", "Settings", "Security", "Page Size Advanced", "Keep Bookmark Layout",
          "Cannot open input file.", "No pages for output PDF.", "plait build",
          "Auto Open in Default PDF Viewer", "does not occur in the output; nothing is marked"}) {
        EXPECT_THAT(all, HasSubstr(words));
    }
}

TEST(Manual, OutlineFollowsTheHeadingsAndLeadsToTheirPages) {
    const std::string pdf = PLAIT_MANUAL_PATH;
    std::ifstream in(PLAIT_MANUAL_SOURCE, std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    const auto headings = headingsOf(source.str());
    ASSERT_GT(headings.size(), 10u);

    const auto outline = outlineOf(pdf);
    ASSERT_EQ(outline.size(), headings.size());
    const auto pages = pageTexts(pdf);
    int lastPage = 0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        SCOPED_TRACE(headings[i].second);
        EXPECT_EQ(outline[i].title, headings[i].second);
        EXPECT_EQ(outline[i].level, headings[i].first);
        ASSERT_GE(outline[i].page, 1); // never the title page
        EXPECT_GE(outline[i].page, lastPage);
        lastPage = outline[i].page;
        EXPECT_THAT(squeeze(pages.at(static_cast<std::size_t>(outline[i].page))),
                    HasSubstr(headings[i].second));
    }
    // The contents on the first page list chapters and sections with the pages the outline
    // leads to: "Title . . . . 7".
    std::map<std::string, std::string> contents;
    std::istringstream first(run("pdftotext -layout -f 1 -l 1 " + quote(pdf) + " -").output);
    for (std::string line; std::getline(first, line);) {
        const auto dots = line.find(" . .");
        const auto number = line.find_last_of(' ');
        if (dots != std::string::npos && number != std::string::npos) {
            const auto start = line.find_first_not_of(' ');
            const auto end = line.find_last_not_of(' ', dots) + 1;
            contents[line.substr(start, end - start)] = line.substr(number + 1);
        }
    }
    for (std::size_t i = 0; i < outline.size(); ++i) {
        if (headings[i].first <= 2) {
            EXPECT_EQ(contents[headings[i].second], std::to_string(outline[i].page + 1))
                << headings[i].second;
        }
    }
}

TEST(MakeManual, LongTablesAndCodeContinueOnTheNextPageAndTheOutlineNests) {
    TempDir dir;
    std::string md = "% Test Book\n\n# One\n\nIntro with (parentheses), a back\\\\slash and "
                     "\xC3\xA9t\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9Cquoted\xE2\x80\x9D.\n\n## One A\n\n"
                     "| Column A | Column B |\n|---|---|\n";
    for (int i = 0; i < 120; ++i) {
        md += "| row " + std::to_string(i) + " | `value " + std::to_string(i) + "` |\n";
    }
    md += "\n### One A deep\n\n```\n";
    for (int i = 0; i < 150; ++i) {
        md += "code line " + std::to_string(i) + "\n";
    }
    md += "```\n\n# Two\n\nThe end.\n";
    writeFile(dir.path("book.md"), md);
    const fs::path pdf = dir.path("book.pdf");
    const ToolResult r = makeManual(dir.path("book.md"), pdf);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(run("qpdf --check " + quote(pdf.string()) + " 2>&1").exitCode, 0);

    const auto pages = pageTexts(pdf.string());
    std::string all;
    int pagesWithHeader = 0;
    for (const auto& p : pages) {
        all += p + "\n";
        pagesWithHeader += p.find("Column A") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(pagesWithHeader, 2); // the table's header again on every page it runs onto
    EXPECT_THAT(all, HasSubstr("row 119"));
    EXPECT_THAT(all, HasSubstr("code line 0"));
    EXPECT_THAT(all, HasSubstr("code line 149"));
    EXPECT_THAT(all, HasSubstr("Intro with (parentheses), a back\\slash and \xC3\xA9t\xC3\xA9 \xE2\x80\x93 "
                               "\xE2\x80\x9Cquoted\xE2\x80\x9D."));

    const auto outline = outlineOf(pdf.string());
    ASSERT_EQ(outline.size(), 4u);
    EXPECT_EQ(outline[0].title, "One");
    EXPECT_EQ(outline[0].count, -1); // closed, one child
    EXPECT_EQ(outline[1].title, "One A");
    EXPECT_EQ(outline[1].level, 2);
    EXPECT_EQ(outline[2].title, "One A deep");
    EXPECT_EQ(outline[2].level, 3);
    EXPECT_EQ(outline[3].title, "Two");
    EXPECT_EQ(outline[3].level, 1);
    EXPECT_GT(outline[3].page, outline[2].page);
    EXPECT_THAT(pages.at(static_cast<std::size_t>(outline[3].page)), HasSubstr("The end."));
}

TEST(MakeManual, RefusesWhatItCannotSetAndLeavesNoFile) {
    TempDir dir;
    const fs::path pdf = dir.path("out.pdf");
    struct Case {
        const char* markdown;
        const char* message;
    };
    const Case cases[] = {
        {"# Title\n\nAn arrow \xE2\x86\x92 here.\n", "line 3"},
        {"# Title\n\n![Missing](nothing.png)\n", "nothing.png"},
        {"# Title\n\n```\nnever closed\n", "not closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markdown);
        writeFile(dir.path("in.md"), c.markdown);
        const ToolResult r = makeManual(dir.path("in.md"), pdf);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_THAT(r.output, HasSubstr(c.message));
        EXPECT_FALSE(fs::exists(pdf));
        EXPECT_FALSE(fs::exists(pdf.string() + ".part"));
    }
}

} // namespace
