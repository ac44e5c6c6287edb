#include "Description.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QUtil.hh>

#include <ctime>

namespace plait::pdf {
namespace {

constexpr const char* kProducer = "PDF Plait 3.0";

std::string xmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Removes the element `name` (in either <x>...</x> or <x/> form) and an attribute name="..."
// from the packet.
void removeProperty(std::string& xmp, const std::string& name) {
    for (;;) {
        const std::size_t open = xmp.find("<" + name);
        if (open == std::string::npos) {
            break;
        }
        const char after = open + 1 + name.size() < xmp.size() ? xmp[open + 1 + name.size()] : '\0';
        if (after != '>' && after != '/' && after != ' ' && after != '\t' && after != '\r' && after != '\n') {
            break;
        }
        const std::size_t gt = xmp.find('>', open);
        if (gt == std::string::npos) {
            break;
        }
        std::size_t end = gt + 1;
        if (xmp[gt - 1] != '/') {
            const std::size_t close = xmp.find("</" + name + ">", gt);
            if (close == std::string::npos) {
                break;
            }
            end = close + name.size() + 3;
        }
        xmp.erase(open, end - open);
    }
    for (const char quote : {'"', '\''}) {
        const std::string attr = name + "=" + quote;
        for (std::size_t at = xmp.find(attr); at != std::string::npos; at = xmp.find(attr)) {
            const std::size_t close = xmp.find(quote, at + attr.size());
            if (close == std::string::npos) {
                return;
            }
            xmp.erase(at, close + 1 - at);
        }
    }
}

std::string pdfDate(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "D:%Y%m%d%H%M%SZ", &tm);
    return buf;
}

std::string xmpDate(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

} // namespace

bool updateXmp(std::string& xmp, const XmpValues& v) {
    const std::size_t rdfEnd = xmp.find("</rdf:RDF>");
    if (rdfEnd == std::string::npos) {
        return false;
    }
    std::string body;
    const auto alt = [](const std::string& s) {
        return "<rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlEscape(s) + "</rdf:li></rdf:Alt>";
    };
    if (v.title) {
        removeProperty(xmp, "dc:title");
        body += "<dc:title>" + alt(*v.title) + "</dc:title>";
    }
    if (v.subject) {
        removeProperty(xmp, "dc:description");
        body += "<dc:description>" + alt(*v.subject) + "</dc:description>";
    }
    if (v.author) {
        removeProperty(xmp, "dc:creator");
        body += "<dc:creator><rdf:Seq><rdf:li>" + xmlEscape(*v.author) + "</rdf:li></rdf:Seq></dc:creator>";
    }
    if (v.producer) {
        removeProperty(xmp, "pdf:Producer");
        body += "<pdf:Producer>" + xmlEscape(*v.producer) + "</pdf:Producer>";
    }
    if (v.keywords) {
        removeProperty(xmp, "pdf:Keywords");
        body += "<pdf:Keywords>" + xmlEscape(*v.keywords) + "</pdf:Keywords>";
    }
    if (v.modifyDate) {
        removeProperty(xmp, "xmp:ModifyDate");
        removeProperty(xmp, "xmp:MetadataDate");
        body += "<xmp:ModifyDate>" + *v.modifyDate + "</xmp:ModifyDate><xmp:MetadataDate>" + *v.modifyDate +
                "</xmp:MetadataDate>";
    }
    if (body.empty()) {
        return true;
    }
    const std::size_t at = xmp.find("</rdf:RDF>");
    xmp.insert(at, "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                   "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">" +
                       body + "</rdf:Description>\n");
    return true;
}

void applyDescription(QPDF& out, const Description& d, bool deterministic, std::vector<std::string>& notes) {
    QPDFObjectHandle trailer = out.getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (!info.isDictionary()) {
        info = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", info);
    }
    const auto put = [&](const char* key, const std::optional<std::string>& value) {
        if (value) {
            info.replaceKey(key, QPDFObjectHandle::newUnicodeString(*value));
        }
    };
    put("/Title", d.title);
    put("/Subject", d.subject);
    put("/Author", d.author);
    put("/Keywords", d.keywords);
    const std::string producer = d.producer.value_or(kProducer);
    info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(producer));

    std::optional<std::string> modified;
    if (!deterministic) {
        const std::time_t now = std::time(nullptr);
        info.replaceKey("/ModDate", QPDFObjectHandle::newString(pdfDate(now)));
        if (!info.hasKey("/CreationDate")) {
            info.replaceKey("/CreationDate", QPDFObjectHandle::newString(pdfDate(now)));
        }
        modified = xmpDate(now);
    }
    for (const auto& [name, value] : d.attributes) {
        info.replaceKey("/" + name, QPDFObjectHandle::newUnicodeString(value));
    }

    QPDFObjectHandle metadata = out.getRoot().getKey("/Metadata");
    if (!metadata.isStream()) {
        return;
    }
    std::string xmp;
    try {
        auto buffer = metadata.getStreamData(qpdf_dl_generalized);
        xmp.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    } catch (std::exception&) {
        xmp.clear();
    }
    XmpValues values{d.title, d.subject, d.author, producer, d.keywords, modified};
    if (xmp.empty() || !updateXmp(xmp, values)) {
        out.getRoot().removeKey("/Metadata");
        notes.push_back("The document's XMP metadata could not be read and was left out, so that it cannot "
                        "contradict the description");
        return;
    }
    metadata.replaceStreamData(xmp, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
}

} // namespace plait::pdf
