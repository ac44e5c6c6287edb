#include "pdfengine/geometry/ContentBalance.h"

#include "pdfengine/Background.h"
#include "pdfengine/Flate.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// What each byte is to the scanner, looked up rather than compared: content is scanned byte by
// byte, and a page of text is mostly strings and numbers.
enum ByteClass : unsigned char { kRegular, kWhite, kDelimiter };

struct ByteClasses {
    ByteClass token[256]{}; // outside strings
    bool inString[256]{};   // the bytes a string's end or nesting depends on
    constexpr ByteClasses() {
        for (unsigned char w : {'\0', '\t', '\n', '\f', '\r', ' '})
            token[w] = kWhite;
        for (unsigned char d : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'})
            token[d] = kDelimiter;
        for (unsigned char x : {'(', ')', '\\'})
            inString[x] = true;
    }
};
constexpr ByteClasses kBytes;

bool isWhite(char c) {
    return kBytes.token[static_cast<unsigned char>(c)] == kWhite;
}

bool isDelimiter(char c) {
    return kBytes.token[static_cast<unsigned char>(c)] == kDelimiter;
}

} // namespace

StateBalance scanStates(std::string_view c) {
    StateBalance found;
    long long depth = 0;
    const std::size_t n = c.size();
    std::size_t i = 0;
    const auto endOfWord = [&](std::size_t from) {
        while (from < n && kBytes.token[static_cast<unsigned char>(c[from])] == kRegular) {
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
                while (i < n && !kBytes.inString[static_cast<unsigned char>(c[i])]) {
                    ++i;
                }
                if (i == n) {
                    break;
                }
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

namespace {

// The page's content decoded in one piece, when every stream of it is plain Flate (as nearly
// all are): qpdf's filters set up a decoder per stream and decode in small steps, which on a
// page of text costs twice as much. Streams follow each other with a newline between, as
// they do for a reader. Empty when any stream needs qpdf's decoding.
std::optional<std::string> flateContents(QPDFPageObjectHelper& page, std::size_t most) {
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    std::vector<QPDFObjectHandle> streams;
    if (contents.isArray()) {
        streams = contents.getArrayAsVector();
    } else {
        streams.push_back(contents);
    }
    if (streams.size() == 1) {
        return inflateWhole(streams.front(), most);
    }
    std::string all;
    for (auto& stream : streams) {
        std::optional<std::string> decoded = inflateWhole(stream, most - all.size());
        if (!decoded || decoded->size() >= most - all.size()) {
            return std::nullopt;
        }
        all += *decoded;
        all += '\n';
    }
    return all;
}

struct TooLarge : std::runtime_error {
    TooLarge() : std::runtime_error("page content too large") {}
};

// Collects decoded content up to a limit.
class BoundedCollect : public Pipeline {
public:
    explicit BoundedCollect(std::size_t most) : Pipeline("page content", nullptr), most_(most) {}
    void write(unsigned char const* data, size_t len) override {
        if (len > most_ - bytes.size()) {
            throw TooLarge();
        }
        bytes.append(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}
    std::string bytes;

private:
    std::size_t most_;
};

} // namespace

StateBalance countStates(QPDFPageObjectHelper page, std::size_t mostBytes) {
    // The decoded bytes are scanned directly: the content tokenizer builds a token object for
    // every number and name, which costs ten times as much on a page of text.
    if (std::optional<std::string> decoded = flateContents(page, mostBytes)) {
        return scanStates(*decoded);
    }
    // Stream by stream rather than qpdf's pipeContents, which gathers all of it before
    // passing any on, past any limit.
    BoundedCollect content(mostBytes);
    try {
        for (QPDFObjectHandle& stream : page.getPageContents()) {
            if (!stream.pipeStreamData(&content, 0, qpdf_dl_specialized)) {
                return {};
            }
            content.write(reinterpret_cast<const unsigned char*>("\n"), 1);
        }
    } catch (const QPDFExc&) {
        return {};
    } catch (const std::runtime_error&) {
        return {}; // TooLarge among them
    }
    return scanStates(content.bytes);
}

namespace {

// The stored content of the pages counted together is held at once up to this much; the pages
// past it are counted one by one.
constexpr std::size_t kMostHeldBytes = std::size_t(64) << 20;

// The stored bytes of each of the page's content streams when all are plain Flate.
std::vector<std::shared_ptr<Buffer>> storedFlate(QPDFPageObjectHelper page) {
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    std::vector<QPDFObjectHandle> streams =
        contents.isArray() ? contents.getArrayAsVector() : std::vector<QPDFObjectHandle>{contents};
    std::vector<std::shared_ptr<Buffer>> stored;
    for (auto& stream : streams) {
        std::shared_ptr<Buffer> raw = rawFlate(stream);
        if (!raw)
            return {};
        stored.push_back(std::move(raw));
    }
    return stored;
}

// Decodes as flateContents does: one stream as it is, several joined by line ends.
std::optional<std::string> inflateAll(const std::vector<std::shared_ptr<Buffer>>& stored, std::size_t most) {
    if (stored.size() == 1)
        return inflateRaw(*stored.front(), most);
    std::string all;
    for (const auto& raw : stored) {
        std::optional<std::string> decoded = inflateRaw(*raw, most - all.size());
        if (!decoded || decoded->size() >= most - all.size())
            return std::nullopt;
        all += *decoded;
        all += '\n';
    }
    return all;
}

} // namespace

std::vector<StateBalance> countStates(const std::vector<QPDFPageObjectHelper>& pages) {
    const std::size_t n = pages.size();
    std::vector<StateBalance> counts(n);
    std::vector<std::vector<std::shared_ptr<Buffer>>> stored(n);
    std::size_t held = 0;
    for (std::size_t i = 0; i < n && held < kMostHeldBytes; ++i) {
        stored[i] = storedFlate(pages[i]);
        for (const auto& raw : stored[i])
            held += raw->getSize();
    }
    const std::size_t workers = workersFor(n);
    const std::size_t share = kMostContentBytes / workers;
    std::vector<char> counted(n, 0);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < n; i = next++) {
            if (stored[i].empty())
                continue; // not plain Flate, or past what is held at once
            try {
                if (std::optional<std::string> decoded = inflateAll(stored[i], share)) {
                    counts[i] = scanStates(*decoded);
                    counted[i] = 1;
                }
            } catch (const std::bad_alloc&) {
                // Counted again below, on its own.
            }
            stored[i].clear();
        }
    };
    onWorkers(workers, work);
    for (std::size_t i = 0; i < n; ++i) {
        if (!counted[i])
            counts[i] = countStates(pages[i]);
    }
    return counts;
}

StateBalance balanceContents(QPDFPageObjectHelper page) {
    return balanceContents(page, countStates(page));
}

StateBalance balanceContents(QPDFPageObjectHelper page, StateBalance found) {
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
