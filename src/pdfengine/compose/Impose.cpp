// Imposition: the output's pages placed as forms on new sheets.

#include "pdfengine/Cancel.h"
#include "pdfengine/PdfNumber.h"
#include "pdfengine/compose/Compose.h"
#include "pdfengine/compose/ComposeSupport.h"
#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>

namespace plait::pdf {

namespace {

using namespace compose;
using Rect = QPDFObjectHandle::Rectangle;

// Width and height as the page is displayed: its trim box, turned by /Rotate.
std::pair<double, double> displayedSize(QPDFPageObjectHelper page) {
    const Rect r = page.getTrimBox().getArrayAsRectangle();
    double w = std::fabs(r.urx - r.llx), h = std::fabs(r.ury - r.lly);
    QPDFObjectHandle rotate = page.getObjectHandle().getKey("/Rotate");
    if (rotate.isInteger() && ((rotate.getIntValue() % 180) + 180) % 180 == 90) {
        std::swap(w, h);
    }
    return {w, h};
}

// One output page of an imposition and the input pages placed on it.
struct Sheet {
    double width = 0, height = 0;
    std::vector<std::pair<std::size_t, Rect>> cells; // page index, where it goes
    bool turned = false;                             // the whole side drawn upside down
};

// Two pages side by side on a landscape sheet of the first page's size.
std::vector<Sheet> twoUpSheets(const std::vector<std::pair<double, double>>& sizes) {
    const auto [w0, h0] = sizes.front();
    const double width = std::max(w0, h0), height = std::min(w0, h0);
    std::vector<Sheet> sheets;
    for (std::size_t i = 0; i < sizes.size(); i += 2) {
        Sheet s{width, height, {}};
        s.cells.emplace_back(i, Rect(0, 0, width / 2, height));
        if (i + 1 < sizes.size()) {
            s.cells.emplace_back(i + 1, Rect(width / 2, 0, width, height));
        }
        sheets.push_back(std::move(s));
    }
    return sheets;
}

// Saddle-stitch order: the pages, padded with blanks to a multiple of four, on sheet sides
// that are folded in the middle and nested. Side 1 holds the last page on the left and the
// first on the right, side 2 pages 2 and the last but one, and so on inwards. A blank is a
// cell left empty. Sheets are those of 2-up. Printed on both sides, the back sides come out
// right for a printer that flips the sheet over its short edge; one that flips it over the
// long edge needs every back side turned by 180 degrees, which `longEdge` asks for.
std::vector<Sheet> bookletSheets(const std::vector<std::pair<double, double>>& sizes, bool longEdge) {
    const auto [w0, h0] = sizes.front();
    const double width = std::max(w0, h0), height = std::min(w0, h0);
    const std::size_t n = sizes.size();
    const std::size_t padded = (n + 3) / 4 * 4;
    std::vector<Sheet> sides;
    const auto side = [&](std::size_t left, std::size_t right, bool back) {
        Sheet s{width, height, {}, back && longEdge};
        if (left < n) {
            s.cells.emplace_back(left, Rect(0, 0, width / 2, height));
        }
        if (right < n) {
            s.cells.emplace_back(right, Rect(width / 2, 0, width, height));
        }
        sides.push_back(std::move(s));
    };
    for (std::size_t k = 0; k < padded / 4; ++k) {
        side(padded - 1 - 2 * k, 2 * k, false);
        side(2 * k + 1, padded - 2 - 2 * k, true);
    }
    return sides;
}

// Every page on one sheet, in rows: scaled into a sheet of the first page's size, or at full
// size in cells as large as the largest page (then `expand` is cleared: pages keep their size).
Sheet onePageSheet(const ComposeOptions& options, const std::vector<std::pair<double, double>>& sizes,
                   bool& expand, std::vector<std::string>& notes) {
    const std::size_t n = sizes.size();
    const auto [w0, h0] = sizes.front();
    std::size_t cols = 1;
    double cellW = 0, cellH = 0;
    double width = w0, height = h0;
    if (options.imposition == ComposeOptions::Imposition::OnePageScaled) {
        double best = -1;
        for (std::size_t c = 1; c <= n; ++c) {
            const std::size_t r = (n + c - 1) / c;
            const double s = std::min(w0 / static_cast<double>(c) / w0, h0 / static_cast<double>(r) / h0);
            if (s > best + 1e-12) {
                best = s;
                cols = c;
            }
        }
        cellW = w0 / static_cast<double>(cols);
        cellH = h0 / static_cast<double>((n + cols - 1) / cols);
    } else {
        expand = false;
        cols = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
        for (const auto& [w, h] : sizes) {
            cellW = std::max(cellW, w);
            cellH = std::max(cellH, h);
        }
        width = cellW * static_cast<double>(cols);
        height = cellH * static_cast<double>((n + cols - 1) / cols);
        if (width > 14400 || height > 14400) {
            notes.push_back("One page (no scale): the sheet is " + pdfNumber(width, 4) + " x " +
                            pdfNumber(height, 4) + " points, larger than many viewers show (14400)");
        }
    }
    Sheet s{width, height, {}};
    for (std::size_t i = 0; i < n; ++i) {
        const double x = cellW * static_cast<double>(i % cols);
        const double top = height - cellH * static_cast<double>(i / cols);
        s.cells.emplace_back(i, Rect(x, top - cellH, x + cellW, top));
    }
    return s;
}

// The page of one sheet: each input page placed as a form in its cell, its annotations moved
// along; `remap` learns which sheet shows each input page.
QPDFObjectHandle makeSheet(QPDF& out, const Sheet& sheet, const std::vector<QPDFObjectHandle>& pages,
                           bool expand, CancelPoll& poll, geometry::MovedAnnotations& moved,
                           PageRemap& remap) {
    QPDFObjectHandle page = out.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
    page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle(Rect(0, 0, sheet.width, sheet.height)));
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Resources", QPDFObjectHandle::parse("<< >>"));
    page.getKey("/Resources").replaceKey("/XObject", xobjects);
    QPDFPageObjectHelper sheetHelper(page);
    std::string content;
    // A turned side: everything placed on it is drawn through a half turn about its centre.
    const geometry::Affine turn =
        sheet.turned ? geometry::Affine{-1, 0, 0, -1, sheet.width, sheet.height} : geometry::Affine{};
    if (sheet.turned) {
        content = "q -1 0 0 -1 " + pdfNumber(sheet.width, 4) + " " + pdfNumber(sheet.height, 4) + " cm\n";
    }
    std::vector<QPDFObjectHandle> annots;
    int placed = 0;
    for (const auto& [index, rect] : sheet.cells) {
        poll();
        QPDFObjectHandle src = pages[index];
        // A form's content must restore what it saves, or it unsettles the sheet around it.
        geometry::balanceContents(QPDFPageObjectHelper(src));
        QPDFObjectHandle form = QPDFPageObjectHelper(src).getFormXObjectForPage();
        const std::string name = "/Fx" + std::to_string(++placed);
        xobjects.replaceKey(name, form);
        QPDFMatrix cm;
        content += sheetHelper.placeFormXObject(form, name, rect, cm, true, true, expand);
        // Annotations follow their page: moved by the placement (which includes the
        // page's own /Rotate) and handed to the sheet.
        QPDFObjectHandle srcAnnots = src.getKey("/Annots");
        if (srcAnnots.isArray() && srcAnnots.getArrayNItems() > 0) {
            geometry::transformAnnotations(src, formToPage(form, cm).then(turn), moved);
            for (auto& annot : src.getKey("/Annots").aitems()) {
                if (annot.isDictionary()) {
                    annot.replaceKey("/P", page);
                    annots.push_back(annot);
                }
            }
        }
        remap.emplace(src.getObjGen(), page);
    }
    if (sheet.turned) {
        content += "Q\n";
    }
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&out, content));
    if (!annots.empty()) {
        page.replaceKey("/Annots", QPDFObjectHandle::newArray(annots));
    }
    return page;
}

} // namespace

void imposePages(QPDF& out, const ComposeOptions& options, std::vector<OutlineNode>& outline,
                 std::vector<std::string>& notes) {
    if (options.imposition == ComposeOptions::Imposition::None) {
        return;
    }
    const std::vector<QPDFObjectHandle> pages = out.getAllPages();
    if (pages.empty()) {
        return;
    }
    std::vector<std::pair<double, double>> sizes;
    for (const auto& p : pages)
        sizes.push_back(displayedSize(QPDFPageObjectHelper(p)));
    bool expand = true;
    std::vector<Sheet> sheets;
    switch (options.imposition) {
    case ComposeOptions::Imposition::TwoUp:
        sheets = twoUpSheets(sizes);
        break;
    case ComposeOptions::Imposition::Booklet:
    case ComposeOptions::Imposition::BookletLongEdge:
        sheets = bookletSheets(sizes, options.imposition == ComposeOptions::Imposition::BookletLongEdge);
        break;
    default:
        sheets = {onePageSheet(options, sizes, expand, notes)};
    }

    PageRemap remap;
    CancelPoll poll(16);
    std::vector<QPDFObjectHandle> made;
    geometry::MovedAnnotations moved;
    for (const auto& sheet : sheets) {
        made.push_back(makeSheet(out, sheet, pages, expand, poll, moved, remap));
    }
    replacePageList(out, made);
    remapLinks(out, remap);
    remapOutline(outline, remap);
}

} // namespace plait::pdf
