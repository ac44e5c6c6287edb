// Assembling the output: pages, images and media in order, overlay, layout, outline,
// description and imposition.
#include "pdfengine/run/BuildRunImpl.h"
#include "pdfengine/run/Fields.h"

namespace plait::pdf {

namespace {

// Gives the page the /Rotate of `source` (the page it was copied from) turned by `degrees`, a
// multiple of 90, kept within 0 to 270. It is set from the source, never added to what the copy
// holds: a page taken twice is copied from its first copy, which may have been turned otherwise.
void turnPage(QPDFObjectHandle page, QPDFObjectHandle source, int degrees) {
    QPDFObjectHandle rotate = source.getKey("/Rotate");
    const long long before = rotate.isInteger() ? rotate.getIntValue() : 0;
    const long long after = (((before + degrees) % 360) + 360) % 360;
    if (after == 0) {
        page.removeKey("/Rotate");
    } else {
        page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(after));
    }
}

// Copies the selected pages of PDF inputs into the output, one input after another, with
// their form fields, their links and, when the job keeps them, their outlines.
class PageCopier {
public:
    PageCopier(QPDF& out, const RunHooks& hooks, std::function<void()> checkCancel, bool keepOutlines,
               DocumentCarrier& carrier)
        : out_(out), outPages_(out), hooks_(hooks), checkCancel_(std::move(checkCancel)),
          keepOutlines_(keepOutlines), carrier_(carrier) {}

    // Throws QPDFExc when the input turns out to be damaged.
    void copy(QPDF& src, std::vector<QPDFPageObjectHelper>& pages, const std::vector<int>& selected,
              const std::string& name, const std::vector<int>& turns) {
        std::unique_ptr<QPDFAcroFormDocumentHelper> srcForms = formsOf(src);
        const int fieldsBefore = fieldCount();
        std::string formLost;
        PageMap pageMap;
        std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> copied;
        copied.reserve(selected.size());
        for (std::size_t k = 0; k < selected.size(); ++k) {
            if ((k & 63) == 63) {
                checkCancel_();
            }
            QPDFPageObjectHelper& page = pages[static_cast<std::size_t>(selected[k])];
            outPages_.addPage(page, false);
            QPDFObjectHandle added = out_.getAllPages().back();
            if (k < turns.size()) {
                turnPage(added, page.getObjectHandle(), turns[k]);
            }
            if (srcForms) {
                try {
                    outForms_->fixCopiedAnnotations(added, page.getObjectHandle(), *srcForms);
                } catch (const QPDFExc& e) {
                    // A form too damaged to read: the page keeps its annotations as copied,
                    // drawn as they are, without the fields behind them.
                    if (formLost.empty()) {
                        formLost = e.getMessageDetail();
                    }
                }
            }
            geometry::ownAnnotations(added, placedAnnotations_);
            pageMap.emplace(page.getObjectHandle().getObjGen(), added);
            copied.emplace_back(page.getObjectHandle(), added);
        }
        if (srcForms && formLost.empty()) {
            joinSplitFields(out_, copied, fieldsBefore);
        }
        if (!formLost.empty()) {
            hooks_.warn(name + ": its form fields cannot be read (" + formLost +
                        "); their widgets were kept as they are drawn, but cannot be filled in");
        }
        const int lostLinks = repairLinks(src, copied, pageMap);
        if (lostLinks > 0) {
            hooks_.warn(name + ": " + std::to_string(lostLinks) +
                        " links point at pages that are not in the output; they were removed");
        }
        if (keepOutlines_) {
            keepOutline(src, pageMap, name);
        }
        std::vector<QPDFObjectHandle> outPages;
        outPages.reserve(copied.size());
        for (auto& [from, to] : copied)
            outPages.push_back(to);
        carrier_.add(src, name, pages, selected, outPages, pageMap);
    }

    // Kept outlines lose the bookmarks of pages left out, rather than keeping them jumping
    // nowhere (setBookmarkTrim: a part of a document cut from it).
    bool trimOutlines = false;

    // The kept outlines, one list per input, in input order.
    std::vector<OutlineNode> takeOutline() { return std::move(kept_); }

private:
    int fieldCount() {
        QPDFObjectHandle form = out_.getRoot().getKey("/AcroForm");
        QPDFObjectHandle fields = form.isDictionary() ? form.getKey("/Fields") : QPDFObjectHandle::newNull();
        return fields.isArray() ? fields.getArrayNItems() : 0;
    }

    // The input's form, when it has one; the output gets one of its own then.
    std::unique_ptr<QPDFAcroFormDocumentHelper> formsOf(QPDF& src) {
        if (!src.getRoot().getKey("/AcroForm").isDictionary()) {
            return nullptr;
        }
        auto srcForms = std::make_unique<QPDFAcroFormDocumentHelper>(src);
        if (!srcForms->hasAcroForm()) {
            return nullptr;
        }
        if (!outForms_) {
            outForms_ = std::make_unique<QPDFAcroFormDocumentHelper>(out_);
        }
        return srcForms;
    }

    void keepOutline(QPDF& src, const PageMap& pageMap, const std::string& name) {
        int lost = 0;
        auto nodes = keptOutline(src, out_, pageMap, lost);
        if (trimOutlines) {
            dropLost(nodes);
        } else if (lost > 0) {
            hooks_.warn(name + ": " + std::to_string(lost) +
                        " bookmarks point at pages that are not in the output; they jump nowhere");
        }
        for (auto& node : nodes)
            kept_.push_back(std::move(node));
    }

    QPDF& out_;
    QPDFPageDocumentHelper outPages_;
    std::unique_ptr<QPDFAcroFormDocumentHelper> outForms_;
    const RunHooks& hooks_;
    std::function<void()> checkCancel_;
    const bool keepOutlines_;
    DocumentCarrier& carrier_;
    std::vector<OutlineNode> kept_;
    std::set<QPDFObjGen> placedAnnotations_; // so a page taken twice gets its own
};

} // namespace

std::vector<OutlineNode> BuildRun::Impl::assemble(QPDF& out) {
    const PageList& pageList = job.pageList;

    carrier = std::make_unique<DocumentCarrier>(out, hooks.warn, !job.compose.reshapes());
    PageCopier copier(
        out, hooks, [this] { checkCancel(); }, job.bookmarkKeep && job.bookmarkFile.empty(), *carrier);
    copier.trimOutlines = job.bookmarkTrim;
    bool anyOutOfRange = false;
    Reader reader(*this, pageList, 1);
    const int n = static_cast<int>(inputs.size());
    for (int i = 0; i < n; ++i) {
        checkCancel();
        const std::string& path = inputs[static_cast<std::size_t>(i)];
        const std::string name = baseName(path);
        hooks.status("Reading " + name + " (" + std::to_string(i + 1) + " of " + std::to_string(n) + ")",
                     i * 50 / n);
        inputPages.push_back({name, static_cast<int>(out.getAllPages().size()), 0});
        Prepared prepared = reader.take();
        for (auto& w : prepared.warnings)
            hooks.warn(std::move(w));
        if (prepared.error) {
            std::rethrow_exception(prepared.error);
        }
        if (prepared.kind == Kind::Other) {
            if (addMedia(out, path, pageList, anyOutOfRange, choiceOf(static_cast<std::size_t>(i)))) {
                continue;
            }
            throw EngineError(BuildFailure::CannotParseInput, path,
                              "the file is neither a PDF, a supported image nor an audio or video file");
        }
        if (prepared.kind == Kind::Image) {
            addImage(out, path, pageList, anyOutOfRange, choiceOf(static_cast<std::size_t>(i)));
            continue;
        }
        if (prepared.noPages) {
            hooks.warn(name + ": its page tree holds no pages; it adds nothing to the output");
            if (emptyTree.empty())
                emptyTree = path;
        }
        anyOutOfRange = anyOutOfRange || prepared.outOfRange;
        if (prepared.selected.size() >= PageList::kMaxPages) {
            hooks.warn(name + ": the page list selects more than " + std::to_string(PageList::kMaxPages) +
                       " pages; only the first " + std::to_string(PageList::kMaxPages) + " were taken");
        }
        std::unique_ptr<QPDF> src = std::move(prepared.pdf);
        try {
            copier.copy(*src, prepared.pages, prepared.selected, name, prepared.turns);
        } catch (const QPDFExc& e) {
            passWarnings(*src, name, hooks.warn);
            throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
        }
        passWarnings(*src, name, hooks.warn);
        sources.push_back(std::move(src));
        sourceNames.push_back(name);
    }
    if (anyOutOfRange) {
        hooks.warn("The page list names pages that some inputs do not have; those were skipped");
    }
    carrier->writeDocument();
    return copier.takeOutline();
}

bool BuildRun::Impl::addMedia(QPDF& out, const std::string& path, const PageList& pageList,
                              bool& anyOutOfRange, const PageChoice* choice) {
    std::string reason;
    std::optional<std::string> read = engine::readRegularFile(path, engine::kMaxEmbeddedFileBytes, reason);
    if (!read) {
        throw EngineError(BuildFailure::CannotOpenInput, path, reason);
    }
    const std::string& data = *read;
    const auto type =
        sniffMediaType(reinterpret_cast<const unsigned char*>(data.data()), data.size(), baseName(path));
    if (!type) {
        return false;
    }
    bool outOfRange = false;
    const int copies = static_cast<int>(choice ? choice->resolve(1, pageList, &outOfRange).size()
                                               : pageList.resolve(1, &outOfRange).size());
    anyOutOfRange = anyOutOfRange || outOfRange;
    QPDFPageDocumentHelper outPages(out);
    for (QPDFObjectHandle page : makeMediaPages(out, baseName(path), data, *type, job.media, copies)) {
        outPages.addPage(QPDFPageObjectHelper(page), false);
    }
    return true;
}

std::vector<QPDFObjectHandle> imagePagesOf(QPDF& pdf, const std::string& path) {
    try {
        return makeImagePages(pdf, path);
    } catch (const ImageLoadError& e) {
        throw EngineError(BuildFailure::CannotParseInput, path, e.what());
    }
}

void BuildRun::Impl::addImage(QPDF& out, const std::string& path, const PageList& pageList,
                              bool& anyOutOfRange, const PageChoice* choice) {
    const std::vector<QPDFObjectHandle> frames = imagePagesOf(out, path);
    bool outOfRange = false;
    QPDFPageDocumentHelper outPages(out);
    const std::vector<ChosenPage> chosen =
        (choice ? *choice : PageChoice()).resolve(static_cast<int>(frames.size()), pageList, &outOfRange);
    for (const ChosenPage& c : chosen) {
        QPDFObjectHandle frame = frames[static_cast<std::size_t>(c.index)];
        // The same frame chosen twice becomes two pages of one content; a turned one a page
        // of its own, so the turn stays on it.
        QPDFObjectHandle page = c.turn != 0          ? out.makeIndirectObject(frame.shallowCopy())
                                : frame.isIndirect() ? frame
                                                     : out.makeIndirectObject(frame);
        if (c.turn != 0) {
            turnPage(page, frame, c.turn);
        }
        outPages.addPage(QPDFPageObjectHelper(page), false);
    }
    anyOutOfRange = anyOutOfRange || outOfRange;
}

GeometryOptions BuildRun::Impl::geometryOptions() const {
    const PageGeometry& g = job.geometry;
    GeometryOptions options;
    const auto box = [](const std::optional<BoxValues>& b) -> std::optional<PdfBox> {
        if (!b)
            return std::nullopt;
        return PdfBox{(*b)[0], (*b)[1], (*b)[2], (*b)[3]};
    };
    options.mediaBox = box(g.mediaBox);
    options.cropBox = box(g.cropBox);
    options.bleedBox = box(g.bleedBox);
    options.artBox = box(g.artBox);
    options.trimBox = box(g.trimBox);
    options.scalePercent = g.scalePercent;
    options.down = g.down;
    options.right = g.right;
    options.angle = g.angle;
    options.autoRotate = g.autoRotate;
    options.center = g.center;
    options.pageSize = g.pageSize;
    options.scaleUp = g.scaleUp;
    options.scaleDown = g.scaleDown;
    return options;
}

void BuildRun::Impl::layOut(QPDF& out, std::vector<OutlineNode>& kept) {
    const GeometryOptions options = geometryOptions();
    if (options.isNoOp()) {
        return;
    }
    std::vector<std::string> notes;
    PageMoves moves;
    applyGeometry(out, options, notes, &moves);
    moveDestinations(out, kept, moves);
    for (auto& n : notes)
        hooks.warn(n);
}

void BuildRun::Impl::outline(QPDF& out, std::vector<OutlineNode> kept) {
    if (!job.bookmarkFile.empty()) {
        std::string markup;
        if (auto it = job.fileData.find(job.bookmarkFile); it != job.fileData.end()) {
            markup = it->second;
        } else {
            std::string reason;
            std::optional<std::string> read =
                engine::readRegularFile(job.bookmarkFile, kMaxMarkupBytes, reason);
            if (!read) {
                hooks.warn("The bookmark file " + job.bookmarkFile + " cannot be read (" + reason +
                           "); the output has no bookmarks");
                return;
            }
            markup = std::move(*read);
        }
        std::vector<std::string> notes;
        auto nodes = outlineFromMarkup(markup, out, notes);
        for (auto& n : notes)
            hooks.warn(n);
        writeOutline(out, nodes);
        return;
    }
    if (!kept.empty()) {
        writeOutline(out, kept);
    }
}

void BuildRun::Impl::inheritDescription(QPDF& out) {
    if (sources.empty() && !inPlace) {
        return;
    }
    QPDF& first = inPlace ? out : *sources.front();
    QPDFObjectHandle info = first.getTrailer().getKey("/Info");
    if (info.isDictionary()) {
        QPDFObjectHandle copy = QPDFObjectHandle::newDictionary();
        for (const auto& key : info.getKeys()) {
            QPDFObjectHandle v = info.getKey(key);
            if (v.isString() || v.isName()) {
                copy.replaceKey(key, v.shallowCopy());
            }
        }
        out.getTrailer().replaceKey("/Info", out.makeIndirectObject(copy));
    }
    QPDFObjectHandle metadata = first.getRoot().getKey("/Metadata");
    if (metadata.isStream() && !inPlace) {
        out.getRoot().replaceKey("/Metadata", out.copyForeignObject(metadata));
    }
}

void BuildRun::Impl::overlay(QPDF& out, std::vector<OutlineNode>& kept) {
    std::vector<std::string> notes = mergeModeNotes(job.compose);
    if (job.compose.overlay && !inPlace) {
        std::vector<InputPages> spans = inputPages;
        const int total = static_cast<int>(out.getAllPages().size());
        for (std::size_t i = 0; i < spans.size(); ++i) {
            spans[i].count = (i + 1 < spans.size() ? spans[i + 1].first : total) - spans[i].first;
        }
        overlayInputs(out, job.compose, spans, kept, notes);
    }
    for (auto& n : notes)
        hooks.warn(n);
}

void BuildRun::Impl::impose(QPDF& out, std::vector<OutlineNode>& kept) {
    std::vector<std::string> notes;
    imposePages(out, job.compose, kept, notes);
    for (auto& n : notes)
        hooks.warn(n);
}

} // namespace plait::pdf
