#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <stdexcept>
#include <string>
#include <string_view>

namespace plait::pdf::geometry {
namespace {

// Follows the save depth token by token. When writing, it passes every token on except the
// restores that have nothing to restore, and closes what is still open at the end.
class StateCounter : public QPDFObjectHandle::TokenFilter {
public:
    explicit StateCounter(bool rewrite) : rewrite_(rewrite) {}

    void handleToken(QPDFTokenizer::Token const& token) override {
        if (token.getType() == QPDFTokenizer::tt_word) {
            const std::string& word = token.getValue();
            if (word == "q") {
                ++depth_;
            } else if (word == "Q") {
                if (depth_ == 0) {
                    ++balance_.extra;
                    return; // dropped when writing
                }
                --depth_;
            }
        }
        if (rewrite_) {
            writeToken(token);
        }
    }

    void handleEOF() override {
        balance_.open = depth_;
        if (rewrite_) {
            for (long long i = 0; i < depth_; ++i) {
                write("\nQ");
            }
            write("\n");
        }
    }

    const StateBalance& balance() const { return balance_; }

private:
    bool rewrite_;
    long long depth_ = 0;
    StateBalance balance_;
};

bool isWhite(char c) {
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool isDelimiter(char c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

} // namespace

StateBalance scanStates(std::string_view c) {
    StateBalance found;
    long long depth = 0;
    const std::size_t n = c.size();
    std::size_t i = 0;
    const auto endOfWord = [&](std::size_t from) {
        while (from < n && !isWhite(c[from]) && !isDelimiter(c[from])) {
            ++from;
        }
        return from;
    };
    while (i < n) {
        const char ch = c[i];
        if (isWhite(ch)) {
            ++i;
        } else if (ch == '%') { // a comment runs to the end of its line
            while (i < n && c[i] != '\n' && c[i] != '\r') {
                ++i;
            }
        } else if (ch == '(') { // a string: balanced parentheses, a backslash escapes the next byte
            int nesting = 1;
            for (++i; i < n && nesting > 0; ++i) {
                if (c[i] == '\\') {
                    ++i;
                } else if (c[i] == '(') {
                    ++nesting;
                } else if (c[i] == ')') {
                    --nesting;
                }
            }
        } else if (ch == '<' && i + 1 < n && c[i + 1] == '<') {
            i += 2;
        } else if (ch == '<') { // a hexadecimal string
            while (i < n && c[i] != '>') {
                ++i;
            }
            ++i;
        } else if (ch == '/') {
            i = endOfWord(i + 1);
        } else if (isDelimiter(ch)) {
            ++i;
        } else {
            const std::size_t end = endOfWord(i);
            const std::string_view word = c.substr(i, end - i);
            i = end;
            if (word == "q") {
                ++depth;
            } else if (word == "Q") {
                if (depth == 0) {
                    ++found.extra;
                } else {
                    --depth;
                }
            } else if (word == "ID") {
                // Inline image data: any bytes, up to an EI that stands as a word of its own.
                for (i = end + 1; i < n; ++i) {
                    if (c[i] == 'E' && i + 1 < n && c[i + 1] == 'I' && isWhite(c[i - 1]) &&
                        (i + 2 == n || isWhite(c[i + 2]) || isDelimiter(c[i + 2]))) {
                        i += 2;
                        break;
                    }
                }
            }
        }
    }
    found.open = depth;
    return found;
}

StateBalance countStates(QPDFPageObjectHelper page) {
    // The decoded bytes are scanned directly: the content tokenizer builds a token object for
    // every number and name, which costs ten times as much on a page of text.
    Pl_Buffer buffer("page content");
    try {
        page.pipeContents(&buffer);
    } catch (const QPDFExc&) {
        return {};
    } catch (const std::runtime_error&) {
        return {};
    }
    auto data = buffer.getBufferSharedPointer();
    return scanStates(std::string_view(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
}

StateBalance balanceContents(QPDFPageObjectHelper page) {
    const StateBalance found = countStates(page);
    if (found.balanced()) {
        return found;
    }
    QPDF* pdf = page.getObjectHandle().getOwningQPDF();
    if (!pdf) {
        return {};
    }
    if (found.extra == 0) {
        std::string closing = "\n";
        for (long long i = 0; i < found.open; ++i) {
            closing += "Q\n";
        }
        page.addPageContents(pdf->newStream(closing), false);
        return found;
    }
    StateCounter writer(true);
    Pl_Buffer buffer("balanced content");
    try {
        page.filterContents(&writer, &buffer);
    } catch (const QPDFExc&) {
        return {};
    } catch (const std::runtime_error&) {
        return {};
    }
    auto data = buffer.getBufferSharedPointer();
    page.getObjectHandle().replaceKey(
        "/Contents",
        pdf->newStream(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize())));
    return found;
}

} // namespace plait::pdf::geometry
