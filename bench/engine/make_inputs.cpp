// Writes the benchmark inputs: many small PDFs, a few thousand-page PDFs with outlines, JPEG
// photos, and ready-made page numbers for a peer to overlay. Usage: make_inputs DIR
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Appends a letter-size page that draws `content` with the font as /F1.
static void addTextPage(QPDF& pdf, QPDFObjectHandle font, const std::string& content) {
    QPDFObjectHandle page =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
    QPDFObjectHandle res = QPDFObjectHandle::parse("<< /Font << >> >>");
    res.getKey("/Font").replaceKey("/F1", font);
    page.replaceKey("/Resources", res);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
}

static void writePdf(const fs::path& path, int pages, int bookmarks, unsigned seed) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    std::mt19937 rng(seed);
    for (int p = 0; p < pages; ++p) {
        // About 3 KB of text a page, like a typical report page.
        std::string content = "BT /F1 10 Tf 50 780 Td 12 TL\n";
        for (int line = 0; line < 60; ++line) {
            content += "(";
            for (int c = 0; c < 45; ++c)
                content += static_cast<char>('a' + rng() % 26);
            content += ") '\n";
        }
        content += "ET\n";
        addTextPage(pdf, font, content);
    }
    if (bookmarks > 0) {
        auto all = pdf.getAllPages();
        QPDFObjectHandle outlines = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        QPDFObjectHandle prev;
        for (int b = 0; b < bookmarks; ++b) {
            QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString("Chapter " + std::to_string(b + 1)));
            item.replaceKey("/Parent", outlines);
            item.replaceKey("/Dest", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                         all[static_cast<size_t>(b * pages / bookmarks)],
                                         QPDFObjectHandle::newName("/Fit")}));
            if (prev.isInitialized()) {
                prev.replaceKey("/Next", item);
                item.replaceKey("/Prev", prev);
            } else {
                outlines.replaceKey("/First", item);
            }
            prev = item;
        }
        outlines.replaceKey("/Last", prev);
        outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(bookmarks));
        pdf.getRoot().replaceKey("/Outlines", outlines);
    }
    QPDFWriter w(pdf, path.c_str());
    w.setObjectStreamMode(qpdf_o_generate);
    w.write();
}

// A thousand pages of prose-like text for the text-marking rows: words from a small vocabulary,
// "ledger" on average about 8.4 times a page and the phrase "quantum marmalade" exactly once.
static void writeWordsPdf(const fs::path& path, int pages) {
    static const char* const words[] = {
        "account", "balance", "report",  "summary", "quarter", "revenue", "expense",  "profit", "market",
        "client",  "service", "product", "sales",   "growth",  "budget",  "forecast", "audit",  "policy",
        "review",  "figure",  "total",   "annual",  "monthly", "weekly",  "region",   "office", "staff",
        "project", "status",  "value",   "price",   "order",   "supply",  "demand",   "stock",  "cash",
        "asset",   "credit",  "debit",   "invoice", "payment", "receipt", "notes",    "table",  "chart"};
    const int vocabulary = static_cast<int>(sizeof words / sizeof *words);
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    std::mt19937 rng(4242);
    for (int p = 0; p < pages; ++p) {
        std::string content = "BT /F1 10 Tf 50 770 Td 14 TL\n";
        for (int line = 0; line < 50; ++line) {
            std::string text;
            while (text.size() < 80) {
                if (!text.empty())
                    text += ' ';
                // 1 word in 60 is the frequent one: 50 lines of about 10 words.
                text += rng() % 60 == 0 ? "ledger" : words[rng() % static_cast<unsigned>(vocabulary)];
            }
            if (p == pages * 7 / 10 && line == 20)
                text = "the quantum marmalade of the annual report";
            content += "(" + text + ") '\n";
        }
        content += "ET\n";
        addTextPage(pdf, font, content);
    }
    QPDFWriter w(pdf, path.c_str());
    w.setObjectStreamMode(qpdf_o_generate);
    w.setCompressStreams(true);
    w.write();
}

// A thousand letter-size pages that show only "N of 1000" where a page number goes (Helvetica
// 10 at 36, 36): what a peer overlays to number the pages of a thousand-page file.
static void writeNumbersPdf(const fs::path& path, int pages) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    for (int p = 1; p <= pages; ++p) {
        addTextPage(pdf, font,
                    "0 g BT 36 36 Td /F1 10 Tf (" + std::to_string(p) + " of " + std::to_string(pages) +
                        ") Tj ET\n");
    }
    QPDFWriter w(pdf, path.c_str());
    w.setObjectStreamMode(qpdf_o_generate);
    w.setCompressStreams(true);
    w.write();
}

static void writeJpeg(const fs::path& path, unsigned seed) {
    const int width = 1600, height = 1200;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = 300;
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::mt19937 rng(seed);
    std::vector<unsigned char> row(width * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<unsigned char>((x + seed * 7) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y * 2) & 255);
            row[x * 3 + 2] = static_cast<unsigned char>(rng() & 63);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_inputs DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir / "small");
    fs::create_directories(dir / "large");
    fs::create_directories(dir / "photos");
    fs::create_directories(dir / "text");
    fs::create_directories(dir / "outline");
    fs::create_directories(dir / "stamp");
    writeWordsPdf(dir / "text" / "words.pdf", 1000);
    writeNumbersPdf(dir / "text" / "numbers.pdf", 1000);
    char name[64];
    for (int i = 0; i < 500; ++i) {
        std::snprintf(name, sizeof name, "doc%03d.pdf", i);
        writePdf(dir / "small" / name, 4, 2, static_cast<unsigned>(i));
    }
    for (int i = 0; i < 10; ++i) {
        std::snprintf(name, sizeof name, "book%02d.pdf", i);
        writePdf(dir / "large" / name, 1000, 100, static_cast<unsigned>(1000 + i));
    }
    // Three ten-page PDFs of eight bookmarks each: a merge that keeps a 24-entry outline.
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "part%d.pdf", i);
        writePdf(dir / "outline" / name, 10, 8, static_cast<unsigned>(2000 + i));
    }
    // One page laid over every page of another (overlay and repeat).
    writePdf(dir / "stamp" / "stamp.pdf", 1, 0, 3000);
    for (int i = 0; i < 200; ++i) {
        std::snprintf(name, sizeof name, "photo%03d.jpg", i);
        writeJpeg(dir / "photos" / name, static_cast<unsigned>(i));
    }
    return 0;
}
