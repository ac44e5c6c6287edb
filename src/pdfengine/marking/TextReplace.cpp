#include "TextReplace.h"

#include "pdfengine/Cancel.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <set>
#include <vector>

namespace plait::pdf {
namespace {

bool printableAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

// Whether the font draws the bytes of both texts as the ASCII characters they are.
bool holds(QPDFObjectHandle font, const std::string& find, const std::string& change) {
    if (!font.isDictionary() || !font.getKey("/Subtype").isName())
        return false;
    const std::string subtype = font.getKey("/Subtype").getName();
    if (subtype != "/Type1" && subtype != "/TrueType" && subtype != "/MMType1")
        return false;
    const std::string base = font.getKey("/BaseFont").isName() ? font.getKey("/BaseFont").getName() : "";
    if (base.size() > 8 && base[7] == '+')
        return false; // a subset: the new glyphs may be missing
    if (base.find("Symbol") != std::string::npos || base.find("Dingbats") != std::string::npos)
        return false;
    std::set<unsigned char> bytes(find.begin(), find.end());
    bytes.insert(change.begin(), change.end());
    // Quotes differ between Standard and the other encodings; the rest of ASCII is shared.
    if (bytes.count('\'') || bytes.count('`'))
        return false;
    QPDFObjectHandle enc = font.getKey("/Encoding");
    if (enc.isNull())
        return true;
    const auto known = [](QPDFObjectHandle name) {
        return name.isName() &&
               (name.getName() == "/WinAnsiEncoding" || name.getName() == "/MacRomanEncoding" ||
                name.getName() == "/StandardEncoding");
    };
    if (enc.isName())
        return known(enc);
    if (!enc.isDictionary())
        return false;
    if (enc.hasKey("/BaseEncoding") && !known(enc.getKey("/BaseEncoding")))
        return false;
    QPDFObjectHandle diffs = enc.getKey("/Differences");
    if (!diffs.isArray())
        return true;
    long long code = 0;
    for (auto& item : diffs.getArrayAsVector()) {
        if (item.isInteger()) {
            code = item.getIntValue();
        } else if (item.isName()) {
            if (code >= 0 && code < 256 && bytes.count(static_cast<unsigned char>(code)))
                return false;
            ++code;
        }
    }
    return true;
}

// Rewrites the strings shown by text operators, one operator (with its operands) at a time.
class Replacer : public QPDFObjectHandle::TokenFilter {
public:
    Replacer(QPDFObjectHandle fonts, const std::string& find, const std::string& change)
        : fonts_(fonts), find_(find), change_(change) {}

    int replaced = 0;

    void handleToken(QPDFTokenizer::Token const& token) override {
        pending_.push_back(token);
        if (token.getType() == QPDFTokenizer::tt_word || token.getType() == QPDFTokenizer::tt_inline_image ||
            token.getType() == QPDFTokenizer::tt_bad) {
            flush(token.getValue());
        }
    }
    void handleEOF() override { flush(""); }

private:
    void flush(const std::string& op) {
        if (op == "Tf") {
            for (auto& t : pending_)
                if (t.getType() == QPDFTokenizer::tt_name)
                    font_ = t.getValue();
        }
        const bool shows = op == "Tj" || op == "TJ" || op == "'" || op == "\"";
        const bool canReplace = shows && fonts_.isDictionary() && holds(fonts_.getKey(font_), find_, change_);
        for (auto& t : pending_) {
            const auto type = t.getType();
            if (canReplace && type == QPDFTokenizer::tt_string &&
                t.getValue().find(find_) != std::string::npos) {
                std::string s = t.getValue();
                for (auto at = s.find(find_); at != std::string::npos;
                     at = s.find(find_, at + change_.size())) {
                    s.replace(at, find_.size(), change_);
                    ++replaced;
                }
                write(QPDFObjectHandle::newString(s).unparse());
            } else {
                writeToken(t);
            }
        }
        pending_.clear();
    }

    QPDFObjectHandle fonts_;
    std::string find_, change_, font_;
    std::vector<QPDFTokenizer::Token> pending_;
};

} // namespace

int replaceText(QPDF& pdf, const std::string& find, const std::string& change) {
    if (find.empty() || !printableAscii(find) || !printableAscii(change))
        return 0;
    int replaced = 0;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        checkCancel();
        QPDFPageObjectHelper helper(page);
        QPDFObjectHandle resources = helper.getAttribute("/Resources", false);
        QPDFObjectHandle fonts =
            resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle::newNull();
        if (!fonts.isDictionary())
            continue;
        Replacer filter(fonts, find, change);
        Pl_Buffer buffer("replaced content");
        helper.filterContents(&filter, &buffer);
        if (filter.replaced == 0)
            continue;
        auto content = buffer.getBufferSharedPointer();
        page.replaceKey(
            "/Contents",
            QPDFObjectHandle::newStream(
                &pdf, std::string(reinterpret_cast<const char*>(content->getBuffer()), content->getSize())));
        replaced += filter.replaced;
    }
    return replaced;
}

} // namespace plait::pdf
