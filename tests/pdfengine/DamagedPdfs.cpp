#include "DamagedPdfs.h"

#include <cstdio>
#include <stdexcept>

namespace plait::pdf::testing {
namespace {

struct Options {
    std::string pagesCount = "/Count 2";
    std::string kids = "[3 0 R 4 0 R]";
    std::string trailerSize = "auto"; // "auto": the right /Size; otherwise written as given
    std::string firstContentDict;     // extra keys of page one's content stream
    std::string header = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    bool secondPageAsStream = false;  // page two written as a stream with the page's dictionary
    bool largestObjectNumber = false; // an extra object numbered 2147483647
};

std::string content(const std::string& text) {
    return "BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET";
}

std::string stream(const std::string& data, const std::string& extra = "") {
    return "<< /Length " + std::to_string(data.size()) + " " + extra + ">>\nstream\n" + data + "\nendstream";
}

std::string writePdf(const Options& o) {
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids " + o.kids + " " + o.pagesCount + " >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R"
        " /Resources << /Font << /F1 7 0 R >> >> >>",
        o.secondPageAsStream
            ? stream("junk", "/Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R"
                             " /Resources << /Font << /F1 7 0 R >> >> ")
            : "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R"
              " /Resources << /Font << /F1 7 0 R >> >> >>",
        stream(content("page one"), o.firstContentDict),
        stream(content("page two")),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string out = o.header;
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t huge = out.size();
    if (o.largestObjectNumber) {
        out += "2147483647 0 obj\n<< /Unused true >>\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    const auto entry = [&out](std::size_t offset) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    };
    for (std::size_t offset : offsets)
        entry(offset);
    if (o.largestObjectNumber) {
        out += "2147483647 1\n";
        entry(huge);
    }
    const std::string size =
        o.trailerSize == "auto" ? "/Size " + std::to_string(objects.size() + 1) : o.trailerSize;
    out += "trailer\n<< " + size + " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

DamagedPdf with(std::string name, void (*change)(Options&)) {
    Options o;
    change(o);
    return {std::move(name), writePdf(o)};
}

} // namespace

std::string soundTwoPagePdf() {
    return writePdf(Options{});
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) {
        throw std::logic_error("not found: " + from);
    }
    return text.replace(at, from.size(), to);
}

std::vector<DamagedPdf> repairablePdfs() {
    std::vector<DamagedPdf> all = {
        with("count-wrong.pdf", [](Options& o) { o.pagesCount = "/Count 5"; }),
        with("count-missing.pdf", [](Options& o) { o.pagesCount = ""; }),
        with("count-negative.pdf", [](Options& o) { o.pagesCount = "/Count -3"; }),
        with("count-huge.pdf", [](Options& o) { o.pagesCount = "/Count 2147483647"; }),
        with("size-missing.pdf", [](Options& o) { o.trailerSize = ""; }),
        with("size-misspelt.pdf", [](Options& o) { o.trailerSize = "/Sise 8"; }),
        with("filter-number.pdf", [](Options& o) { o.firstContentDict = "/Filter 5 "; }),
        with("filter-string.pdf", [](Options& o) { o.firstContentDict = "/Filter (FlateDecode) "; }),
        with("filter-array-of-numbers.pdf", [](Options& o) { o.firstContentDict = "/Filter [1 2] "; }),
        with("filter-unknown.pdf", [](Options& o) { o.firstContentDict = "/Filter /NoSuchDecode "; }),
        with("page-as-stream.pdf", [](Options& o) { o.secondPageAsStream = true; }),
        with("page-tree-loop.pdf", [](Options& o) { o.kids = "[3 0 R 2 0 R 4 0 R]"; }),
        with("largest-object-number.pdf", [](Options& o) { o.largestObjectNumber = true; }),
    };
    const std::string sound = soundTwoPagePdf();
    std::string junk(4096, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 7 + 13) % 251);
    all.push_back({"header-after-4k-junk.pdf", junk + sound});
    all.push_back({"header-after-1200-bytes.pdf", std::string(1200, 'J') + sound});
    all.push_back({"header-zeroed.pdf", std::string(8, '\0') + sound.substr(8)});
    all.push_back({"header-missing.pdf", sound.substr(sound.find("1 0 obj"))});
    all.push_back({"cut-before-xref.pdf", sound.substr(0, sound.find("xref\n"))});
    all.push_back({"length-huge.pdf", replaced(sound, "<< /Length 39 >>", "<< /Length 999999999 >>")});
    all.push_back({"page-type-damaged.pdf",
                   replaced(sound, "/Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6",
                            "/Type /Pgae /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6")});
    all.push_back({"catalog-in-trailer.pdf",
                   replaced(sound, "/Root 1 0 R", "/Root << /Type /Catalog /Pages 2 0 R >>")});
    all.push_back(
        {"xref-missing.pdf", sound.substr(0, sound.find("xref\n")) + "trailer\n<< /Root 1 0 R >>\n%%EOF\n"});
    return all;
}

} // namespace plait::pdf::testing
