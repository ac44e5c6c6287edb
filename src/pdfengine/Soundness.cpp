#include "Soundness.h"

#include "FileSource.h"
#include "PageTree.h"
#include "Retire.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

// Counts the pages under `node`, or -1 when a count or a parent there disagrees with what
// the parser found. `depth` bounds the walk (the parser has already refused loops).
long long checkedCount(QOH node, std::set<QPDFObjGen>& seen, int depth) {
    if (depth > 256 || !node.isIndirect() || !seen.insert(node.getObjGen()).second) {
        return -1;
    }
    QOH kids = node.hasKey("/Kids") ? node.getKey("/Kids") : QOH();
    if (!kids.isInitialized() || !kids.isArray()) {
        return 1; // a page
    }
    long long total = 0;
    for (QOH kid : kids.aitems()) {
        if (!kid.isDictionary() || !kid.getKey("/Parent").isSameObjectAs(node)) {
            return -1;
        }
        const long long n = checkedCount(kid, seen, depth + 1);
        if (n < 0) {
            return -1;
        }
        total += n;
    }
    QOH count = node.getKey("/Count");
    if (!count.isInteger() || count.getIntValue() != total) {
        return -1;
    }
    return total;
}

// Sets the stream's filter and keeps it only if the data then decodes.
bool decodesWith(QOH stream, QOH filter) {
    stream.getDict().replaceKey("/Filter", filter);
    Pl_Discard discard;
    bool attempted = false;
    try {
        if (stream.pipeStreamData(&discard, &attempted, 0, qpdf_dl_all, true, false) && attempted) {
            return true;
        }
    } catch (const std::exception&) {
    }
    return false;
}

// Collects what reaches it, so that the part of a stream that decoded before an error is
// kept.
class Collect : public Pipeline {
public:
    Collect() : Pipeline("collect", nullptr) {}
    void write(unsigned char const* data, size_t len) override {
        bytes.append(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}
    std::string bytes;
};

// The content streams of every page. With `tidy`, content that is no stream (a number, a
// missing object) is dropped from the pages, as readers ignore it; `untidy` counts the pages
// that hold such content.
std::vector<QOH> contentStreams(QPDF& doc, bool tidy = false, int* untidy = nullptr) {
    std::vector<QOH> streams;
    int odd = 0;
    for (QOH page : doc.getAllPages()) {
        QOH contents = page.getKey("/Contents");
        if (contents.isStream()) {
            streams.push_back(contents);
        } else if (contents.isArray()) {
            const std::size_t before = streams.size();
            for (QOH item : contents.aitems()) {
                if (item.isStream())
                    streams.push_back(item);
            }
            const std::size_t found = streams.size() - before;
            if (found != static_cast<std::size_t>(contents.getArrayNItems())) {
                ++odd;
                if (tidy) {
                    page.replaceKey("/Contents",
                                    QOH::newArray(std::vector<QOH>(
                                        streams.begin() + static_cast<long>(before), streams.end())));
                }
            }
        } else if (page.hasKey("/Contents")) {
            ++odd;
            if (tidy)
                page.removeKey("/Contents");
        }
    }
    if (untidy)
        *untidy = odd;
    return streams;
}

bool contentFilter(const std::string& name) {
    static const std::set<std::string> known = {"/FlateDecode",     "/Fl",  "/LZWDecode",     "/LZW",
                                                "/ASCIIHexDecode",  "/AHx", "/ASCII85Decode", "/A85",
                                                "/RunLengthDecode", "/RL"};
    return known.count(name) > 0;
}

// "N G" when `text` holds "N G " right before `obj` (blanks between), else empty.
std::string objectNumberBefore(const std::string& text, std::size_t obj) {
    std::size_t i = obj;
    const auto skip = [&](const char* set) {
        const std::size_t from = i;
        while (i > 0 && std::strchr(set, text[i - 1]) != nullptr)
            --i;
        return i != from;
    };
    skip(" \r\n\t");
    const std::size_t genEnd = i;
    if (!skip("0123456789")) {
        return {};
    }
    const std::size_t genStart = i;
    if (!skip(" \r\n\t")) {
        return {};
    }
    const std::size_t numEnd = i;
    if (!skip("0123456789")) {
        return {};
    }
    return text.substr(i, numEnd - i) + " " + text.substr(genStart, genEnd - genStart);
}

} // namespace

bool contentsSuspect(QPDF& doc) {
    int untidy = 0;
    const std::vector<QOH> streams = contentStreams(doc, false, &untidy);
    if (untidy > 0) {
        return true;
    }
    for (QOH stream : streams) {
        QOH filter = stream.getDict().getKey("/Filter");
        if (filter.isName() && !contentFilter(filter.getName())) {
            return true;
        }
        if (filter.isArray()) {
            for (QOH f : filter.aitems()) {
                if (!f.isName() || !contentFilter(f.getName()))
                    return true;
            }
        }
    }
    return false;
}

int soundPageContents(QPDF& doc) {
    int replaced = 0;
    std::set<QPDFObjGen> seen;
    for (QOH stream : contentStreams(doc, true, &replaced)) {
        if (stream.isIndirect() && !seen.insert(stream.getObjGen()).second) {
            continue;
        }
        Collect decoded;
        bool attempted = false;
        bool whole = false;
        try {
            whole =
                stream.pipeStreamData(&decoded, &attempted, 0, qpdf_dl_generalized, true, false) && attempted;
        } catch (const std::exception&) {
        }
        if (!whole) {
            if (!attempted)
                decoded.bytes.clear(); // not decodable at all: raw bytes are no content
            stream.replaceStreamData(decoded.bytes, QOH::newNull(), QOH::newNull());
            ++replaced;
        }
    }
    return replaced;
}

std::string findCatalog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    constexpr std::size_t kBlock = 1 << 20, kBefore = 4096;
    std::string window; // the block read last, after up to kBefore bytes of the one before
    std::string block(kBlock, '\0');
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(kBlock));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        if (window.size() > kBefore) {
            window.erase(0, window.size() - kBefore);
        }
        window.append(block, 0, got);
        for (std::size_t at = window.find("/Catalog"); at != std::string::npos;
             at = window.find("/Catalog", at + 1)) {
            // "/Type /Catalog" (blanks optional), then the "N G obj" in front of it.
            const std::size_t type = at == 0 ? std::string::npos : window.find_last_not_of(" \r\n\t", at - 1);
            if (type == std::string::npos || type < 4 || window.compare(type - 4, 5, "/Type") != 0) {
                continue;
            }
            for (std::size_t obj = window.rfind("obj", type); obj != std::string::npos && obj > 0;
                 obj = window.rfind("obj", obj - 1)) {
                if (std::string ref = objectNumberBefore(window, obj); !ref.empty()) {
                    return ref + " R";
                }
            }
        }
    }
    return {};
}

int unloopPageTree(QPDF& doc) {
    QOH root = doc.getRoot();
    QOH top = root.getKey("/Pages");
    if (!top.isDictionary()) {
        return 0;
    }
    static const char* const kInherited[] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};
    struct Visit {
        QOH node;
        std::map<std::string, QOH> inherited;
        int depth;
    };
    std::set<QPDFObjGen> seen;
    std::vector<QOH> pages;
    std::vector<Visit> todo{{top, {}, 0}};
    while (!todo.empty()) {
        Visit v = std::move(todo.back());
        todo.pop_back();
        if (!v.node.isDictionary() || (v.node.isIndirect() && !seen.insert(v.node.getObjGen()).second)) {
            continue;
        }
        QOH kids = v.node.getKey("/Kids");
        if (!kids.isArray()) {
            for (const auto& [key, value] : v.inherited) {
                if (!v.node.hasKey(key)) {
                    v.node.replaceKey(key, value);
                }
            }
            pages.push_back(v.node.isIndirect() ? v.node : doc.makeIndirectObject(v.node));
            continue;
        }
        if (v.depth >= kMaxPageTreeDepth) {
            continue;
        }
        for (const char* key : kInherited) {
            if (v.node.hasKey(key)) {
                v.inherited[key] = v.node.getKey(key);
            }
        }
        for (int i = kids.getArrayNItems() - 1; i >= 0; --i) {
            todo.push_back({kids.getArrayItem(i), v.inherited, v.depth + 1});
        }
    }
    if (pages.empty()) {
        return 0;
    }
    QOH tree = doc.makeIndirectObject(QOH::newDictionary());
    QOH list = QOH::newArray();
    for (QOH page : pages) {
        page.replaceKey("/Type", QOH::newName("/Page"));
        page.replaceKey("/Parent", tree);
        list.appendItem(page);
    }
    tree.replaceKey("/Type", QOH::newName("/Pages"));
    tree.replaceKey("/Kids", list);
    tree.replaceKey("/Count", QOH::newInteger(static_cast<long long>(pages.size())));
    root.replaceKey("/Pages", tree);
    doc.updateAllPagesCache();
    return static_cast<int>(pages.size());
}

bool soundPagesRoot(QPDF& doc) {
    QOH root = doc.getRoot();
    QOH top = root.getKey("/Pages");
    if (!top.isDictionary() || top.hasKey("/Kids") ||
        !(top.getKey("/Type").isNameAndEquals("/Page") || top.hasKey("/Contents"))) {
        return false;
    }
    QOH tree = doc.makeIndirectObject(QOH::newDictionary());
    tree.replaceKey("/Type", QOH::newName("/Pages"));
    tree.replaceKey("/Kids", QOH::newArray(std::vector<QOH>{top}));
    tree.replaceKey("/Count", QOH::newInteger(1));
    top.replaceKey("/Type", QOH::newName("/Page"));
    top.replaceKey("/Parent", tree);
    root.replaceKey("/Pages", tree);
    return true;
}

bool soundPageTree(QPDF& doc, const std::vector<QPDFPageObjectHelper>& pages) {
    QOH root = doc.getRoot();
    QOH tree = root.getKey("/Pages");
    std::set<QPDFObjGen> seen;
    if (tree.isDictionary() && checkedCount(tree, seen, 0) == static_cast<long long>(pages.size()) &&
        seen.size() >= pages.size()) {
        return false;
    }
    if (!tree.isDictionary() || !tree.isIndirect()) {
        tree = doc.makeIndirectObject(QOH::newDictionary());
        root.replaceKey("/Pages", tree);
    }
    QOH kids = QOH::newArray();
    for (const auto& page : pages) {
        QOH h = page.getObjectHandle();
        h.replaceKey("/Parent", tree);
        kids.appendItem(h);
    }
    tree.replaceKey("/Type", QOH::newName("/Pages"));
    tree.replaceKey("/Kids", kids);
    tree.replaceKey("/Count", QOH::newInteger(static_cast<long long>(pages.size())));
    tree.removeKey("/Parent");
    doc.updateAllPagesCache();
    return true;
}

void soundTrailer(QPDF& doc) {
    QOH trailer = doc.getTrailer();
    // Readers look the catalog up by reference: one written inside the trailer is moved out.
    if (QOH root = trailer.getKey("/Root"); root.isDictionary()) {
        if (!root.isIndirect()) {
            root = doc.makeIndirectObject(root);
            trailer.replaceKey("/Root", root);
        }
        root.replaceKey("/Type", QOH::newName("/Catalog"));
    }
    for (const auto& key : trailer.getKeys()) {
        if (key != "/Root" && key != "/Info" && key != "/ID" && key != "/Encrypt") {
            trailer.removeKey(key);
        }
    }
    trailer.replaceKey("/Size", QOH::newInteger(1));
}

int soundStreamFilters(QPDF& doc) {
    int changed = 0;
    const auto asName = [](QOH f) -> QOH {
        if (f.isName())
            return f;
        if (f.isString() && !f.getUTF8Value().empty())
            return QOH::newName("/" + f.getUTF8Value());
        return QOH::newNull();
    };
    for (QOH obj : doc.getAllObjects()) {
        if (!obj.isStream()) {
            continue;
        }
        QOH dict = obj.getDict();
        QOH filter = dict.getKey("/Filter");
        if (filter.isNull() || filter.isName()) {
            continue;
        }
        if (filter.isArray()) {
            bool allNames = true;
            for (QOH f : filter.aitems())
                allNames = allNames && f.isName();
            if (allNames) {
                continue;
            }
            QOH names = QOH::newArray();
            for (QOH f : filter.aitems()) {
                if (QOH n = asName(f); n.isName())
                    names.appendItem(n);
            }
            if (names.getArrayNItems() == filter.getArrayNItems() && decodesWith(obj, names)) {
                ++changed;
                continue;
            }
        } else if (QOH n = asName(filter); n.isName() && decodesWith(obj, n)) {
            ++changed;
            continue;
        }
        // Which decoding was meant cannot be told: the data is taken as it stands.
        dict.removeKey("/Filter");
        dict.removeKey("/DecodeParms");
        ++changed;
    }
    return changed;
}

std::string checkWrittenPdf(const std::string& path, std::size_t pages, const std::string& password,
                            const std::string& fileKey) {
    // The document is let go like the build's own (Retire.h).
    auto doc = std::make_unique<QPDF>();
    struct Retiring {
        std::unique_ptr<QPDF>& doc;
        ~Retiring() { retire(std::move(doc)); }
    } retiring{doc};
    QPDF& pdf = *doc;
    // Read as the inputs are (FileSource.h): qpdf's own file source seeks with a system call
    // for nearly every token, a few hundred of them for even a small file.
    const auto source = [&] { return std::make_shared<FileSource>(path, std::make_shared<OpenFiles>(1)); };
    try {
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(false);
        try {
            if (!fileKey.empty()) {
                pdf.setPasswordIsHexKey(true);
                pdf.processInputSource(source(), QUtil::hex_encode(fileKey).c_str());
            } else {
                pdf.processInputSource(source(), password.empty() ? nullptr : password.c_str());
            }
        } catch (const QPDFExc& e) {
            // The older encryption levels store the password in PDFDocEncoding.
            std::string legacy;
            if (e.getErrorCode() != qpdf_e_password || !QUtil::utf8_to_pdf_doc(password, legacy, '?') ||
                legacy == password) {
                throw;
            }
            pdf.processInputSource(source(), legacy.c_str());
        }
        QOH size = pdf.getTrailer().getKey("/Size");
        if (!size.isInteger() || size.getIntValue() < 1) {
            return "its trailer has no valid /Size";
        }
        QOH tree = pdf.getRoot().getKey("/Pages");
        QOH count = tree.getKey("/Count");
        if (!count.isInteger() || count.getIntValue() != static_cast<long long>(pages)) {
            return "its page tree does not count its pages";
        }
        // The page objects themselves are not read (that would cost a parse of each): the
        // top node must list at least one kid and no more than there are pages, and its
        // first kid must be a dictionary.
        QOH kids = tree.getKey("/Kids");
        if (!kids.isArray() || kids.getArrayNItems() < 1 ||
            static_cast<std::size_t>(kids.getArrayNItems()) > pages) {
            return "its page tree does not list its pages";
        }
        if (!kids.getArrayItem(0).isDictionary()) {
            return "its page tree lists something that is not a page";
        }
        auto warnings = pdf.getWarnings();
        if (!warnings.empty()) {
            return warnings.front().getMessageDetail();
        }
        return {};
    } catch (const QPDFExc& e) {
        return e.getMessageDetail();
    } catch (const std::exception& e) {
        return e.what();
    }
}

void reportRepairs(QPDF& pdf, const std::string& name, const std::function<void(std::string)>& warn) {
    constexpr std::size_t kMaxPerFile = 5;
    std::set<std::string> said;
    std::size_t more = 0;
    for (const auto& w : pdf.getWarnings()) {
        const std::string detail = w.getMessageDetail();
        if (!said.insert(detail).second) {
            continue;
        }
        if (said.size() > kMaxPerFile) {
            ++more;
        } else {
            warn(repairedNote(name, detail));
        }
    }
    if (more > 0) {
        warn(repairedNote(name, std::to_string(more) + " more problems"));
    }
}

} // namespace plait::pdf
