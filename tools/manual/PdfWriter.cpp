#include "PdfWriter.h"

#include "Fonts.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <png.h>

#include <filesystem>
#include <stdexcept>

namespace manual {
namespace {

using OH = QPDFObjectHandle;

OH destination(const std::vector<OH>& pages, int page, double top) {
    OH dest = OH::newArray();
    dest.appendItem(pages.at(static_cast<std::size_t>(page)));
    dest.appendItem(OH::newName("/XYZ"));
    dest.appendItem(OH::newNull());
    dest.appendItem(OH::newReal(top, 2));
    dest.appendItem(OH::newNull());
    return dest;
}

struct Node {
    const Heading* heading = nullptr;
    std::vector<Node> children;
};

// Builds the outline items of `nodes` under `parent`; returns the count of items shown when
// the parent is open (its own /Count).
int addOutlineItems(QPDF& pdf, const std::vector<Node>& nodes, OH parent, const std::vector<OH>& pages) {
    std::vector<OH> items;
    for (const Node& n : nodes) {
        OH item = pdf.makeIndirectObject(OH::newDictionary());
        item.replaceKey("/Title", OH::newUnicodeString(n.heading->title));
        item.replaceKey("/Parent", parent);
        item.replaceKey("/Dest", destination(pages, n.heading->page, n.heading->top));
        if (!n.children.empty()) {
            const int shown = addOutlineItems(pdf, n.children, item, pages);
            // Chapters start closed so the outline reads as a table of contents.
            item.replaceKey("/Count", OH::newInteger(-shown));
        }
        items.push_back(item);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            items[i].replaceKey("/Prev", items[i - 1]);
        }
        if (i + 1 < items.size()) {
            items[i].replaceKey("/Next", items[i + 1]);
        }
    }
    if (!items.empty()) {
        parent.replaceKey("/First", items.front());
        parent.replaceKey("/Last", items.back());
    }
    return static_cast<int>(items.size());
}

std::vector<Node> headingTree(const std::vector<Heading>& headings) {
    std::vector<Node> top;
    for (const Heading& h : headings) {
        // A heading goes under the last heading of a higher level, however deep it is.
        std::vector<Node>* siblings = &top;
        for (int level = 1; level < h.level && !siblings->empty(); ++level) {
            siblings = &siblings->back().children;
        }
        siblings->push_back({&h, {}});
    }
    return top;
}

} // namespace

void writePdf(const Document& doc, const std::string& path) {
    QPDF pdf;
    pdf.emptyPDF();

    OH fonts = OH::newDictionary();
    for (int f = 0; f < kFontCount; ++f) {
        OH font = OH::parse("<< /Type /Font /Subtype /Type1 /Encoding /WinAnsiEncoding >>");
        font.replaceKey("/BaseFont", OH::newName(std::string("/") + baseFontName(static_cast<Font>(f))));
        fonts.replaceKey("/F" + std::to_string(f + 1), pdf.makeIndirectObject(font));
    }
    std::vector<OH> images;
    for (const Picture& pic : doc.pictures) {
        // Stored unfiltered here; the writer compresses it.
        OH image = OH::newStream(&pdf, pic.rgb);
        OH dict = image.getDict();
        dict.replaceKey("/Type", OH::newName("/XObject"));
        dict.replaceKey("/Subtype", OH::newName("/Image"));
        dict.replaceKey("/Width", OH::newInteger(pic.width));
        dict.replaceKey("/Height", OH::newInteger(pic.height));
        dict.replaceKey("/ColorSpace", OH::newName("/DeviceRGB"));
        dict.replaceKey("/BitsPerComponent", OH::newInteger(8));
        images.push_back(image);
    }

    QPDFPageDocumentHelper pageHelper(pdf);
    std::vector<OH> pages;
    for (const PageOut& p : doc.pages) {
        OH page = OH::parse("<< /Type /Page /MediaBox [0 0 595.276 841.89] >>");
        OH resources = OH::newDictionary();
        resources.replaceKey("/Font", fonts);
        if (!p.pictures.empty()) {
            OH xobjects = OH::newDictionary();
            for (int index : p.pictures) {
                xobjects.replaceKey("/Im" + std::to_string(index),
                                    images.at(static_cast<std::size_t>(index)));
            }
            resources.replaceKey("/XObject", xobjects);
        }
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", OH::newStream(&pdf, p.content));
        page = pdf.makeIndirectObject(page);
        pageHelper.addPage(QPDFPageObjectHelper(page), false);
        pages.push_back(page);
    }
    // Links can only be made once every page they may point at exists.
    for (std::size_t i = 0; i < doc.pages.size(); ++i) {
        if (doc.pages[i].links.empty()) {
            continue;
        }
        OH annots = OH::newArray();
        for (const Link& l : doc.pages[i].links) {
            OH link = OH::parse("<< /Type /Annot /Subtype /Link /Border [0 0 0] >>");
            link.replaceKey("/Rect", OH::newArray({OH::newReal(l.x1, 2), OH::newReal(l.y1, 2),
                                                   OH::newReal(l.x2, 2), OH::newReal(l.y2, 2)}));
            link.replaceKey("/Dest", destination(pages, l.page, l.top));
            annots.appendItem(pdf.makeIndirectObject(link));
        }
        pages[i].replaceKey("/Annots", annots);
    }

    OH root = pdf.getRoot();
    if (!doc.headings.empty()) {
        OH outlines = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
        const int shown = addOutlineItems(pdf, headingTree(doc.headings), outlines, pages);
        outlines.replaceKey("/Count", OH::newInteger(shown));
        root.replaceKey("/Outlines", outlines);
        root.replaceKey("/PageMode", OH::newName("/UseOutlines"));
    }
    OH info = pdf.makeIndirectObject(OH::newDictionary());
    info.replaceKey("/Title", OH::newUnicodeString(doc.title));
    info.replaceKey("/Creator", OH::newUnicodeString("make_manual"));
    pdf.getTrailer().replaceKey("/Info", info);
    root.replaceKey("/ViewerPreferences", OH::parse("<< /DisplayDocTitle true >>"));

    const std::string temp = path + ".part";
    {
        QPDFWriter writer(pdf, temp.c_str());
        writer.setDeterministicID(true); // the same text makes the same file
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp);
        throw std::runtime_error("cannot write " + path + ": " + ec.message());
    }
}

Picture readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        throw std::runtime_error("cannot read the picture " + path + ": " + image.message);
    }
    image.format = PNG_FORMAT_RGB;
    Picture pic;
    pic.width = static_cast<int>(image.width);
    pic.height = static_cast<int>(image.height);
    pic.rgb.resize(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    if (png_image_finish_read(&image, &white, pic.rgb.data(), 0, nullptr) == 0) {
        const std::string message = image.message;
        png_image_free(&image);
        throw std::runtime_error("cannot read the picture " + path + ": " + message);
    }
    return pic;
}

} // namespace manual
