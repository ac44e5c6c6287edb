#include "Fixtures.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

namespace plait::pdf::testing {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "plait-engine-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& entry : fs::recursive_directory_iterator(root_, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

std::string rawPdf(const fs::path& path, const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.7\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t off : offsets) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    writeFile(path, pdf);
    return path.string();
}

std::string widePdf(const fs::path& path) {
    std::string numbers = "[";
    numbers.reserve(6'000'010);
    for (int i = 0; i < 3'000'000; ++i) {
        numbers += "0 ";
    }
    numbers += "]";
    return rawPdf(path,
                  {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                   "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /PieceInfo 4 0 R >>", numbers});
}

std::string makePdf(const fs::path& path, const PdfSpec& layout) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper pages(pdf);
    for (const auto& text : layout.pageTexts) {
        QPDFObjectHandle page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + std::to_string(layout.width) + " " +
                                    std::to_string(layout.height) + "] >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/Font", QPDFObjectHandle::newDictionary());
        resources.getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "BT /F1 20 Tf 40 " +
                                                                           std::to_string(layout.height / 2) +
                                                                           " Td (" + text + ") Tj ET\n"));
        pages.addPage(QPDFPageObjectHelper(page), false);
    }
    auto all = pdf.getAllPages();
    for (std::size_t k = 0; k < layout.linkTo.size() && k < all.size(); ++k) {
        if (layout.linkTo[k] < 1)
            continue;
        QPDFObjectHandle annot = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Link /Rect [0 0 100 100] /Border [0 0 0] >>"));
        annot.replaceKey("/Dest", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                      all[static_cast<std::size_t>(layout.linkTo[k] - 1)],
                                      QPDFObjectHandle::newName("/Fit")}));
        all[k].replaceKey("/Annots", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{annot}));
    }
    if (!layout.bookmarks.empty()) {
        QPDFObjectHandle outlines = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        std::vector<QPDFObjectHandle> parents{outlines};
        std::vector<QPDFObjectHandle> lastAt{QPDFObjectHandle::newNull()};
        for (const auto& b : layout.bookmarks) {
            parents.resize(static_cast<std::size_t>(b.level));
            lastAt.resize(static_cast<std::size_t>(b.level), QPDFObjectHandle::newNull());
            QPDFObjectHandle parent = parents.back();
            QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(b.title));
            item.replaceKey("/Parent", parent);
            item.replaceKey(
                "/Dest", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                             all[static_cast<std::size_t>(b.page - 1)], QPDFObjectHandle::newName("/Fit")}));
            QPDFObjectHandle prev = lastAt.back();
            if (prev.isNull()) {
                parent.replaceKey("/First", item);
            } else {
                prev.replaceKey("/Next", item);
                item.replaceKey("/Prev", prev);
            }
            parent.replaceKey("/Last", item);
            lastAt.back() = item;
            parents.push_back(item);
            lastAt.push_back(QPDFObjectHandle::newNull());
        }
        outlines.replaceKey("/Count",
                            QPDFObjectHandle::newInteger(static_cast<long long>(layout.bookmarks.size())));
        pdf.getRoot().replaceKey("/Outlines", outlines);
    }
    if (!layout.title.empty()) {
        QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(layout.title));
        pdf.getTrailer().replaceKey("/Info", info);
    }
    if (!layout.xmpTitle.empty()) {
        const std::string xmp =
            "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
            "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
            "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
            layout.xmpTitle +
            "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
        QPDFObjectHandle meta = QPDFObjectHandle::newStream(&pdf, xmp);
        meta.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
        meta.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
        pdf.getRoot().replaceKey("/Metadata", meta);
    }
    QPDFWriter w(pdf, path.c_str());
    w.setStaticID(true);
    if (!layout.userPassword.empty() || !layout.ownerPassword.empty()) {
        w.setR6EncryptionParameters(layout.userPassword.c_str(), layout.ownerPassword.c_str(), true, true,
                                    true, true, true, true, qpdf_r3p_full, true);
    }
    w.write();
    return path.string();
}

std::string makePdf(const fs::path& path, const std::string& name, int pages) {
    PdfSpec layout;
    for (int i = 1; i <= pages; ++i) {
        layout.pageTexts.push_back(name + " " + std::to_string(i));
    }
    return makePdf(path, layout);
}

std::string editPdf(const std::string& from, const fs::path& to, const std::function<void(QPDF&)>& edit) {
    QPDF pdf;
    pdf.processFile(from.c_str());
    edit(pdf);
    QPDFWriter w(pdf, to.c_str());
    w.setStaticID(true);
    w.write();
    return to.string();
}

Pixmap readPixmap(const fs::path& path) {
    std::istringstream in(readFile(path));
    std::string magic;
    int maxValue = 0;
    Pixmap p;
    in >> magic >> p.width >> p.height >> maxValue;
    in.get();
    p.bytes.assign(std::istreambuf_iterator<char>(in), {});
    return p;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

ToolResult run(const std::string& commandLine) {
    ToolResult r{-1, {}};
    FILE* p = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buf{};
    size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) {
        r.output.append(buf.data(), n);
    }
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> pageTexts(const std::string& pdf, const std::string& password) {
    const std::string pw = password.empty() ? "" : " -upw " + quote(password);
    const auto r = run("pdftotext -q" + pw + " " + quote(pdf) + " -");
    std::vector<std::string> pages;
    std::stringstream ss(r.output);
    std::string page;
    while (std::getline(ss, page, '\f')) {
        while (!page.empty() && (page.back() == '\n' || page.back() == ' '))
            page.pop_back();
        while (!page.empty() && (page.front() == '\n' || page.front() == ' '))
            page.erase(0, 1);
        pages.push_back(page);
    }
    if (!pages.empty() && pages.back().empty())
        pages.pop_back();
    return pages;
}

int pageCount(const std::string& pdf) {
    QPDF q;
    q.processFile(pdf.c_str());
    return static_cast<int>(q.getAllPages().size());
}

std::vector<Word> words(const std::string& pdf, int page) {
    const std::string n = std::to_string(page);
    const auto r = run("pdftotext -bbox -f " + n + " -l " + n + " " + quote(pdf) + " -");
    std::vector<Word> out;
    static const std::regex re(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" )re"
                               R"re(yMax="([-\d.]+)">([^<]*)</word>)re");
    for (std::sregex_iterator it(r.output.begin(), r.output.end(), re), end; it != end; ++it) {
        out.push_back(
            {(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
    }
    return out;
}

std::optional<Word> find(const std::vector<Word>& words, const std::string& text) {
    for (const auto& w : words)
        if (w.text == text)
            return w;
    return std::nullopt;
}

bool Build::warned(std::string_view fragment) const {
    for (const auto& w : engine.warnings()) {
        if (w.find(fragment) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace plait::pdf::testing
