#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <stdexcept>
#include <string>

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

} // namespace

StateBalance countStates(QPDFPageObjectHelper page) {
    StateCounter counter(false);
    try {
        page.filterContents(&counter);
    } catch (const QPDFExc&) {
        return {};
    } catch (const std::runtime_error&) {
        return {};
    }
    return counter.balance();
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
