#include "PageCount.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cstring>
#include <set>
#include <stdexcept>

namespace plait::pdf {

PageCount countPages(const std::string& path, const std::string& password) {
    PageCount result;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
        result.pages = static_cast<int>(pdf.getAllPages().size());
    } catch (const QPDFExc& e) {
        result.problem = e.getErrorCode() == qpdf_e_password ? PageCount::Problem::NeedsPassword
                                                             : PageCount::Problem::Damaged;
        result.reason = e.getMessageDetail();
    } catch (const QPDFSystemError& e) {
        result.problem = PageCount::Problem::CannotOpen;
        result.reason = std::strerror(e.getErrno());
    } catch (const std::exception& e) {
        result.problem = PageCount::Problem::Damaged;
        result.reason = e.what();
    }
    return result;
}

namespace {

struct OverBudget : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Counts what passes through it, and stops the decoding past the budget.
class CostCounter : public Pipeline {
public:
    CostCounter(std::uint64_t& spent, std::uint64_t budget)
        : Pipeline("preview cost", nullptr), spent_(spent), budget_(budget) {}
    void write(unsigned char const* /*data*/, size_t length) override { add(length); }
    void finish() override {}
    void add(std::uint64_t n) {
        spent_ += n;
        check();
    }
    // qpdf turns what a pipeline throws while it decodes into a warning and stops that
    // stream: the budget is checked again after each one.
    void check() const {
        if (spent_ > budget_) {
            throw OverBudget("it decodes to more than " + std::to_string(budget_ >> 20) + " MB");
        }
    }

private:
    std::uint64_t& spent_;
    std::uint64_t budget_;
};

void costOfResources(QPDFObjectHandle resources, CostCounter& counter, std::set<QPDFObjGen>& seen, int depth);

void costOfStream(QPDFObjectHandle stream, CostCounter& counter, std::set<QPDFObjGen>& seen, int depth) {
    if (!stream.isStream() || !seen.insert(stream.getObjGen()).second) {
        return;
    }
    QPDFObjectHandle dict = stream.getDict();
    if (dict.getKey("/Subtype").isNameAndEquals("/Image")) {
        // The picture a viewer makes of it: width x height x 4 bytes.
        QPDFObjectHandle width = dict.getKey("/Width");
        QPDFObjectHandle height = dict.getKey("/Height");
        if (width.isInteger() && height.isInteger() && width.getIntValue() > 0 && height.getIntValue() > 0) {
            counter.add(static_cast<std::uint64_t>(width.getIntValue()) *
                        static_cast<std::uint64_t>(height.getIntValue()) * 4);
        }
    }
    stream.pipeStreamData(&counter, 0, qpdf_dl_generalized);
    counter.check();
    if (depth < 8) {
        costOfResources(dict.getKey("/Resources"), counter, seen, depth + 1);
    }
}

void costOfResources(QPDFObjectHandle resources, CostCounter& counter, std::set<QPDFObjGen>& seen,
                     int depth) {
    if (!resources.isDictionary()) {
        return;
    }
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (xobjects.isDictionary()) {
        for (auto& [name, xobject] : xobjects.ditems()) {
            costOfStream(xobject, counter, seen, depth);
        }
    }
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (fonts.isDictionary()) {
        for (auto& [name, font] : fonts.ditems()) {
            if (!font.isDictionary()) {
                continue;
            }
            QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
            for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"}) {
                if (descriptor.isDictionary()) {
                    costOfStream(descriptor.getKey(key), counter, seen, depth);
                }
            }
        }
    }
}

} // namespace

PreviewProbe probePreview(const std::string& path, std::uint64_t budgetBytes, int pages) {
    PreviewProbe probe;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        std::uint64_t spent = 0;
        CostCounter counter(spent, budgetBytes);
        std::set<QPDFObjGen> seen;
        int n = 0;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            if (n++ >= pages) {
                break;
            }
            spent = 0; // a viewer draws a page at a time
            page.pipeContents(&counter);
            counter.check();
            costOfResources(page.getAttribute("/Resources", false), counter, seen, 0);
        }
    } catch (const OverBudget& e) {
        probe.outcome = PreviewProbe::Outcome::TooLarge;
        probe.reason = e.what();
    } catch (const std::bad_alloc&) {
        probe.outcome = PreviewProbe::Outcome::TooLarge;
        probe.reason = "it needs more memory than a preview may take";
    } catch (const QPDFExc& e) {
        // A password or damage: the viewer has its own say about those.
        probe.outcome = PreviewProbe::Outcome::Unreadable;
        probe.reason = e.getMessageDetail();
    } catch (const std::exception& e) {
        probe.outcome = PreviewProbe::Outcome::Unreadable;
        probe.reason = e.what();
    }
    return probe;
}

} // namespace plait::pdf
