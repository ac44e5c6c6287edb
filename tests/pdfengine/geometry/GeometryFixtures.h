#pragma once

// Builds small PDFs with a word at a known spot (and optionally a link over it), writes them,
// and asks poppler where words ended up, in displayed coordinates (origin at the top-left of
// the page as shown, after /Rotate; y down).

#include "pdfengine/images/ImageFixtures.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

namespace plait::testing {

struct TestPage {
    double width = 612, height = 792;
    int rotate = 0;
    std::string word = "Marker";
    double x = 72, y = 700; // baseline start of the word, user space
    bool link = false;      // a link (Rect and QuadPoints) over the word
};

inline std::string num(double v) {
    return QUtil::double_to_string(v, 3, true);
}

// Helvetica 12: "Marker" is about 40 points wide; the link box covers it generously.
inline std::unique_ptr<QPDF> makeDocument(const std::vector<TestPage>& pages) {
    auto pdf = std::make_unique<QPDF>();
    pdf->emptyPDF();
    auto font = pdf->makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper helper(*pdf);
    for (const auto& p : pages) {
        auto page = QPDFObjectHandle::parse("<< /Type /Page >>");
        page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle({0, 0, p.width, p.height}));
        auto resources = QPDFObjectHandle::parse("<< /Font << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf->newStream("BT /F1 12 Tf " + num(p.x) + " " + num(p.y) + " Td (" +
                                                    p.word + ") Tj ET\n"));
        if (p.rotate) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(p.rotate));
        }
        if (p.link) {
            const double x0 = p.x - 2, y0 = p.y - 4, x1 = p.x + 45, y1 = p.y + 12;
            auto link = QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Link /Border [0 0 0] >>");
            link.replaceKey("/Rect", QPDFObjectHandle::newFromRectangle({x0, y0, x1, y1}));
            link.replaceKey("/QuadPoints",
                            QPDFObjectHandle::parse("[" + num(x0) + " " + num(y1) + " " + num(x1) + " " +
                                                    num(y1) + " " + num(x0) + " " + num(y0) + " " + num(x1) +
                                                    " " + num(y0) + "]"));
            link.replaceKey("/A", QPDFObjectHandle::parse("<< /S /URI /URI (https://example.org/) >>"));
            page.replaceKey("/Annots", QPDFObjectHandle::newArray({pdf->makeIndirectObject(link)}));
        }
        helper.addPage(pdf->makeIndirectObject(page), false);
    }
    return pdf;
}

inline std::string writeDocument(QPDF& pdf, const std::string& path) {
    QPDFWriter writer(pdf, path.c_str());
    writer.setStaticID(true);
    writer.setDeterministicID(false);
    writer.write();
    return path;
}

inline std::string writeToMemory(QPDF& pdf) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

struct Box {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double cx() const { return (xMin + xMax) / 2; }
    double cy() const { return (yMin + yMax) / 2; }
    double w() const { return xMax - xMin; }
    double h() const { return yMax - yMin; }
};

struct PageText {
    double width = 0, height = 0; // poppler gives the media box size, before /Rotate
    std::map<std::string, Box> words;
};

// pdftotext -bbox: every page's displayed size and its words' boxes.
inline std::vector<PageText> readText(const std::string& pdf) {
    std::string html;
    EXPECT_EQ(runCommand("pdftotext -bbox " + quoted(pdf) + " -", &html), 0) << html;
    std::vector<PageText> pages;
    static const std::regex page(R"re(<page width="([-0-9.]+)" height="([-0-9.]+)">)re");
    static const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    std::istringstream lines(html);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, m, page)) {
            pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
        } else if (std::regex_search(line, m, word) && !pages.empty()) {
            pages.back().words[m[5]] = {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
        }
    }
    return pages;
}

// The box around every word of a page.
inline Box allWords(const PageText& page) {
    Box all{1e9, 1e9, -1e9, -1e9};
    for (const auto& [text, box] : page.words) {
        all = {std::min(all.xMin, box.xMin), std::min(all.yMin, box.yMin), std::max(all.xMax, box.xMax),
               std::max(all.yMax, box.yMax)};
    }
    return all;
}

inline QPDFObjectHandle::Rectangle rectOf(QPDFObjectHandle page, const char* key) {
    return page.getKey(key).getArrayAsRectangle();
}

// A link's /Rect on an unrotated page, in displayed coordinates (y down from the media box top).
inline Box linkBox(QPDFObjectHandle page, int index = 0) {
    const auto media = rectOf(page, "/MediaBox");
    const auto r = page.getKey("/Annots").getArrayItem(index).getKey("/Rect").getArrayAsRectangle();
    return {r.llx - media.llx, media.ury - r.ury, r.urx - media.llx, media.ury - r.lly};
}

inline bool contains(const Box& outer, double x, double y) {
    return x >= outer.xMin && x <= outer.xMax && y >= outer.yMin && y <= outer.yMax;
}

} // namespace plait::testing
