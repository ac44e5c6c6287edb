// Where images are painted: page content and forms followed through their transformations.
#include "Placements.h"

#include "pdfengine/Cancel.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace plait::pdf::reduce {
namespace {

using QOH = QPDFObjectHandle;

constexpr int kMaxFormDepth = 16;

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // `m` applied first, then this one: the matrix a cm operator or a form's /Matrix makes.
    Matrix after(const Matrix& m) const {
        return {m.a * a + m.b * c, m.a * b + m.b * d,     m.c * a + m.d * c,
                m.c * b + m.d * d, m.e * a + m.f * c + e, m.e * b + m.f * d + f};
    }
};

bool isImage(QOH x) {
    return x.isStream() && x.getDict().getKey("/Subtype").isNameAndEquals("/Image");
}
bool isForm(QOH x) {
    return x.isStream() && x.getDict().getKey("/Subtype").isNameAndEquals("/Form");
}

std::optional<Matrix> matrixOf(std::vector<QOH> operands, std::size_t from) {
    if (operands.size() < from + 6) {
        return std::nullopt;
    }
    double v[6];
    for (std::size_t i = 0; i < 6; ++i) {
        if (!operands[from + i].getValueAsNumber(v[i])) {
            return std::nullopt;
        }
    }
    return Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
}

// The images reachable from `resources`, through forms.
void collectImages(QOH resources, int depth, std::set<QPDFObjGen>& images, std::set<QPDFObjGen>& seen) {
    if (!resources.isDictionary() || depth > kMaxFormDepth) {
        return;
    }
    QOH xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary()) {
        return;
    }
    for (auto& [name, x] : xobjects.ditems()) {
        if (!x.isIndirect() || !seen.insert(x.getObjGen()).second) {
            continue;
        }
        if (isImage(x)) {
            images.insert(x.getObjGen());
        } else if (isForm(x)) {
            collectImages(x.getDict().getKey("/Resources"), depth + 1, images, seen);
        }
    }
}

class ContentWalker : public QPDFObjectHandle::ParserCallbacks {
public:
    ContentWalker(Placements& out, QOH resources, Matrix ctm, int depth, std::vector<QPDFObjGen>& forms)
        : out_(out), resources_(resources), ctm_(ctm), depth_(depth), forms_(forms) {}

    void handleObject(QOH obj) override {
        if (!obj.isOperator()) {
            operands_.push_back(obj);
            return;
        }
        const std::string op = obj.getOperatorValue();
        if (op == "q") {
            saved_.push_back(ctm_);
        } else if (op == "Q") {
            if (!saved_.empty()) {
                ctm_ = saved_.back();
                saved_.pop_back();
            }
        } else if (op == "cm") {
            if (auto m = matrixOf(operands_, operands_.size() < 6 ? 0 : operands_.size() - 6)) {
                ctm_ = ctm_.after(*m);
            }
        } else if (op == "Do" && !operands_.empty() && operands_.back().isName()) {
            paint(operands_.back().getName());
        }
        operands_.clear();
        poll_();
    }
    void handleEOF() override {}

private:
    void paint(const std::string& name) {
        QOH xobjects = resources_.isDictionary() ? resources_.getKey("/XObject") : QOH::newNull();
        QOH x = xobjects.isDictionary() ? xobjects.getKey(name) : QOH::newNull();
        if (!x.isIndirect()) {
            return;
        }
        if (isImage(x)) {
            DrawnSize& size = out_.drawn[x.getObjGen()];
            size.width = std::max(size.width, std::hypot(ctm_.a, ctm_.b));
            size.height = std::max(size.height, std::hypot(ctm_.c, ctm_.d));
            return;
        }
        if (!isForm(x) || depth_ >= kMaxFormDepth ||
            std::find(forms_.begin(), forms_.end(), x.getObjGen()) != forms_.end()) {
            return;
        }
        QOH dict = x.getDict();
        Matrix m;
        if (QOH matrix = dict.getKey("/Matrix"); matrix.isArray()) {
            m = matrixOf(matrix.getArrayAsVector(), 0).value_or(Matrix{});
        }
        QOH resources = dict.getKey("/Resources");
        forms_.push_back(x.getObjGen());
        ContentWalker inner(out_, resources.isDictionary() ? resources : resources_, ctm_.after(m),
                            depth_ + 1, forms_);
        QOH::parseContentStream(x, &inner);
        forms_.pop_back();
    }

    Placements& out_;
    QOH resources_;
    Matrix ctm_;
    int depth_;
    std::vector<QPDFObjGen>& forms_;
    std::vector<Matrix> saved_;
    std::vector<QOH> operands_;
    CancelPoll poll_{4096};
};

} // namespace

Placements findPlacements(QPDF& pdf) {
    Placements out;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        checkCancel();
        QOH resources = page.getAttribute("/Resources", false);
        std::set<QPDFObjGen> images, seen;
        collectImages(resources, 0, images, seen);
        if (images.empty()) {
            continue;
        }
        std::vector<QPDFObjGen> forms;
        ContentWalker walker(out, resources, Matrix{}, 0, forms);
        try {
            page.parseContents(&walker);
        } catch (const std::exception&) {
            out.unknown.insert(images.begin(), images.end());
        }
    }
    return out;
}

} // namespace plait::pdf::reduce
