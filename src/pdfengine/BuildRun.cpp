#include "BuildRun.h"

#include "Cancel.h"
#include "Description.h"
#include "EngineError.h"
#include "FileSource.h"
#include "InputFiles.h"
#include "InputType.h"
#include "Outline.h"
#include "OutputFile.h"
#include "PageList.h"
#include "PageTree.h"
#include "Security.h"
#include "Soundness.h"
#include "Text.h"
#include "marking/TextMarking.h"
#include "marks/Marks.h"
#include "pdfengine/compose/Compose.h"
#include "pdfengine/export/ImageExport.h"
#include "pdfengine/geometry/Annotations.h"

#include "pdfengine/images/ImagePages.h"
#include "pdfengine/geometry/Geometry.h"
#include "pdfengine/media/MediaPages.h"

#include "engine/RegularFile.h"

#include <qpdf/Pl_StdioFile.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace plait::pdf {
namespace {

std::string baseName(const std::string& path) {
    return fs::path(path).filename().string();
}

using Kind = InputType;

// The largest audio or video file embedded in an output; it is held in memory while the
// output is built.
constexpr std::uint64_t kMaxMediaBytes = 512ull * 1024 * 1024;
// The largest bookmark markup file read.
constexpr std::uint64_t kMaxMarkupBytes = 64ull * 1024 * 1024;

// Passes the output on in large blocks and stops the writer when the caller cancels. The
// writer hands over a few bytes at a time and finishes its pipeline after every stream;
// writing once per block keeps both the cancel check and the system calls off its path.
class CancelPipeline : public Pipeline {
public:
    CancelPipeline(Pipeline* downstream, const std::function<bool()>& cancelled, OutputFile* output = nullptr)
        : Pipeline("cancel check", downstream), cancelled_(cancelled), output_(output) {
        buffer_.reserve(kBlock);
    }
    void write(unsigned char const* data, size_t len) override {
        if (buffer_.size() + len > kBlock) {
            flush();
            if (len >= kBlock) {
                getNext()->write(data, len);
                sinceWriteBack_ += len;
                return;
            }
        }
        buffer_.insert(buffer_.end(), data, data + len);
    }
    // Not the end of the output (see above): close() is.
    void finish() override {}
    void close() {
        flush();
        getNext()->finish();
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    void flush() {
        if (cancelled_ && cancelled_()) {
            throw BuildCancelled{};
        }
        if (!buffer_.empty()) {
            getNext()->write(buffer_.data(), buffer_.size());
            sinceWriteBack_ += buffer_.size();
            buffer_.clear();
        }
        // The disk works while the rest is produced, instead of all at once at the end.
        if (output_ != nullptr && sinceWriteBack_ >= kWriteBack) {
            output_->startWriteBack();
            sinceWriteBack_ = 0;
        }
    }
    static constexpr std::size_t kWriteBack = 1024 * 1024;
    const std::function<bool()>& cancelled_;
    OutputFile* output_;
    std::size_t sinceWriteBack_ = 0;
    std::vector<unsigned char> buffer_;
};

// qpdf repairs much of what it finds wrong with a file and tells about it; pass that on,
// but do not flood the list with hundreds of lines about one file.
using WarnFn = std::function<void(std::string)>;

void passWarnings(QPDF& pdf, const std::string& name, const WarnFn& warn) {
    reportRepairs(pdf, name, warn);
}

} // namespace

struct BuildRun::Impl {
    const Job& job;
    RunHooks hooks;
    CancelScope cancelScope{[this] { return hooks.cancelled(); }}; // for the loops deep in a run
    std::vector<std::string> inputs;
    std::shared_ptr<OpenFiles> openFiles = std::make_shared<OpenFiles>();
    std::vector<std::unique_ptr<QPDF>> sources; // alive until the output is written
    std::vector<std::string> sourceNames;       // the base name of each source
    std::string emptyTree;                      // the first PDF input whose page tree gave no page
    bool inPlace = false;             // the output is the single input, rewritten (see writeInPlace)
    bool noInPlace = false;           // write the single input by copying its pages after all
    bool damaged = false;             // an input needed repairs to be read
    bool undecodable = false;         // the writer met stream data that does not decode
    std::atomic<bool> abandon{false}; // the reader thread's work is no longer wanted
    std::vector<std::string> passwords;
    std::vector<InputPages> inputPages; // where each input's pages start in the output

    Impl(const Job& j, RunHooks h) : job(j), hooks(std::move(h)) {
        if (!hooks.status)
            hooks.status = [](std::string, int) {};
        if (!hooks.cancelled)
            hooks.cancelled = [] { return false; };
        if (!hooks.warn)
            hooks.warn = [](std::string) {};
        // What was repaired decides whether page content is worth decoding before writing.
        hooks.warn = [this, warn = std::move(hooks.warn)](std::string line) {
            damaged = damaged || line.find(kRepairedNote) != std::string::npos;
            undecodable = undecodable || line.find("decoding stream data") != std::string::npos;
            warn(std::move(line));
        };
        passwords = parsePasswordList(job.passwordList);
    }

    void checkCancel() const {
        if (hooks.cancelled()) {
            throw BuildCancelled{};
        }
    }

    void resolveInputs() {
        inputs = splitInputList(job.inFileText, [](const std::string& p) {
            std::error_code ec;
            return fs::is_regular_file(p, ec);
        });
        if (inputs.empty()) {
            throw EngineError(BuildFailure::CannotOpenInput, "", "no input file was given");
        }
        for (const auto& path : inputs) {
            // Checked before opening: opening a pipe would wait for a writer.
            if (const std::string problem = engine::regularFileProblem(path); !problem.empty()) {
                throw EngineError(BuildFailure::CannotOpenInput, path, problem);
            }
            std::ifstream probe(path, std::ios::binary);
            if (!probe) {
                throw EngineError(BuildFailure::CannotOpenInput, path,
                                  "the file does not exist or cannot be read");
            }
        }
        sortInputs(inputs, job.sort);
    }

    // An output that is one of the inputs would be destroyed while it is read.
    void refuseOverwritingInput(const std::string& output) const {
        std::error_code ec;
        if (!fs::exists(output, ec)) {
            return;
        }
        for (const auto& path : inputs) {
            if (fs::equivalent(output, path, ec)) {
                throw EngineError(BuildFailure::CannotCreateOutput, output,
                                  "the output is the input " + path + " and would be overwritten");
            }
        }
    }

    // Opens a PDF, trying the empty password and then each listed password (as written,
    // without blanks around it, and in the other encodings readers match passwords in).
    // `first` is the already open file for the first try.
    std::unique_ptr<QPDF> openPdf(const std::string& path, std::shared_ptr<FileSource> first,
                                  const WarnFn& warn) {
        std::vector<std::string> candidates{""};
        for (const auto& p : passwords) {
            for (auto& c : passwordCandidates(p)) {
                candidates.push_back(std::move(c));
            }
        }
        const qpdf_offset_t start = first ? first->start() : 0;
        const std::string header = first ? first->addedHeader() : std::string();
        std::string trailer;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const std::string& password = candidates[i];
            auto pdf = std::make_unique<QPDF>();
            pdf->setSuppressWarnings(true);
            try {
                std::shared_ptr<FileSource> source =
                    first ? std::move(first) : std::make_shared<FileSource>(path, openFiles);
                source->startAt(start);
                source->addHeader(header);
                source->addTrailer(trailer);
                pdf->processInputSource(source, password.empty() ? nullptr : password.c_str());
                return pdf;
            } catch (const QPDFExc& e) {
                if (e.getErrorCode() == qpdf_e_password) {
                    continue;
                }
                // Cut short before its trailer: readers look for the catalog themselves.
                if (trailer.empty() && e.getMessageDetail().find("trailer") != std::string::npos) {
                    if (const std::string root = findCatalog(path); !root.empty()) {
                        trailer = "\ntrailer\n<< /Root " + root + " >>\n";
                        warn(repairedNote(baseName(path), "its trailer is missing; one naming its catalog (" +
                                                              root + ") was put after its end"));
                        --i;
                        continue;
                    }
                }
                passWarnings(*pdf, baseName(path), warn);
                throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
            } catch (const QPDFSystemError& e) {
                throw EngineError(BuildFailure::CannotOpenInput, path, e.what());
            } catch (const std::exception& e) {
                throw EngineError(BuildFailure::CannotParseInput, path, e.what());
            }
        }
        throw EngineError(BuildFailure::CannotDecryptInput, path,
                          passwords.empty() ? "the file is encrypted and no password was given"
                                            : "none of the given passwords opens the file");
    }

    // One input as the reader thread leaves it: typed, and for a PDF opened, its pages
    // listed and the objects of the selected pages parsed, so that copying them finds
    // everything in memory.
    struct Prepared {
        Kind kind = Kind::Other;
        std::unique_ptr<QPDF> pdf;
        std::vector<QPDFPageObjectHelper> pages;
        std::vector<int> selected;
        bool outOfRange = false;
        bool noPages = false;              // a PDF whose page tree gave no page
        std::vector<std::string> warnings; // published in input order by the build thread
        std::exception_ptr error;
    };

    Prepared prepareInput(const std::string& path, const PageList& pageList, bool parseSelected = true) {
        Prepared p;
        const WarnFn warn = [&p](std::string w) { p.warnings.push_back(std::move(w)); };
        try {
            std::shared_ptr<FileSource> file;
            SniffedInput sniffed;
            try {
                file = std::make_shared<FileSource>(path, openFiles);
                sniffed = sniffInput(file->head(kSniffBytes));
                p.kind = sniffed.type;
            } catch (const std::exception& e) {
                throw EngineError(BuildFailure::CannotOpenInput, path, e.what());
            }
            if (p.kind != Kind::Pdf) {
                return p; // images go straight into the output, on the build thread
            }
            if (sniffed.bareBody) {
                file->addHeader("%PDF-1.4\n");
                warn(repairedNote(baseName(path), "its PDF header is missing; one was put in front"));
            }
            if (sniffed.pdfStart > 0) {
                file->startAt(static_cast<qpdf_offset_t>(sniffed.pdfStart));
                warn(repairedNote(baseName(path), std::to_string(sniffed.pdfStart) +
                                                      " bytes before its PDF header were skipped"));
            }
            p.pdf = openPdf(path, std::move(file), warn);
            try {
                checkPageTree(*p.pdf);
                if (soundPagesRoot(*p.pdf)) {
                    warn(repairedNote(baseName(path), "its one page had no page tree above it"));
                }
                p.pdf->pushInheritedAttributesToPage();
                p.pages = QPDFPageDocumentHelper(*p.pdf).getAllPages();
            } catch (const std::exception& e) {
                passWarnings(*p.pdf, baseName(path), warn);
                throw EngineError(BuildFailure::CannotParseInput, path,
                                  std::string("cannot read its pages: ") + e.what());
            }
            // A kid the parser could not make a page of (a missing object) is no page.
            const std::size_t listed = p.pages.size();
            std::erase_if(p.pages,
                          [](QPDFPageObjectHelper& page) { return !page.getObjectHandle().isDictionary(); });
            if (p.pages.size() != listed) {
                warn(repairedNote(baseName(path),
                                  std::to_string(listed - p.pages.size()) +
                                      " entries of its page tree are no pages; they were left out"));
            }
            if (p.pages.empty()) {
                passWarnings(*p.pdf, baseName(path), warn);
                p.noPages = true;
            }
            p.selected = pageList.resolve(static_cast<int>(p.pages.size()), &p.outOfRange);
            try {
                if (parseSelected) {
                    parseAhead(p);
                }
            } catch (const std::exception&) {
                // Damage shows again, and is reported, when the page is copied.
            }
        } catch (...) {
            p.error = std::current_exception();
        }
        return p;
    }

    // Parses every object the selected pages reach (not their parents), so that the build
    // thread's copy does not wait for the parser.
    void parseAhead(Prepared& p) {
        std::set<QPDFObjGen> seen;
        std::vector<QPDFObjectHandle> todo;
        for (int index : p.selected) {
            todo.push_back(p.pages[static_cast<std::size_t>(index)].getObjectHandle());
        }
        std::size_t visited = 0;
        while (!todo.empty()) {
            QPDFObjectHandle h = todo.back();
            todo.pop_back();
            if (h.isIndirect() && !seen.insert(h.getObjGen()).second) {
                continue;
            }
            if ((++visited & 255) == 0 && abandon.load(std::memory_order_relaxed)) {
                return;
            }
            if (h.isArray()) {
                const int n = h.getArrayNItems();
                for (int i = 0; i < n; ++i) {
                    QPDFObjectHandle item = h.getArrayItem(i);
                    if (item.isIndirect() || item.isArray() || item.isDictionary()) {
                        todo.push_back(item);
                    }
                }
            } else if (h.isDictionary() || h.isStream()) {
                QPDFObjectHandle dict = h.isStream() ? h.getDict() : h;
                for (auto& [key, value] : dict.getDictAsMap()) {
                    if (key != "/Parent" && key != "/P" &&
                        (value.isIndirect() || value.isArray() || value.isDictionary())) {
                        todo.push_back(value);
                    }
                }
            }
        }
    }

    // Runs prepareInput for each input in order on a thread of its own, staying at most
    // `ahead` inputs in front of the build thread (each prepared input holds a parsed file).
    class Reader {
    public:
        Reader(Impl& run, const PageList& pageList, std::size_t ahead)
            : run_(run), pageList_(pageList), ahead_(ahead), thread_([this] { loop(); }) {}
        ~Reader() {
            {
                std::lock_guard lock(mutex_);
                stop_ = true;
            }
            run_.abandon.store(true);
            changed_.notify_all();
            thread_.join();
            run_.abandon.store(false);
        }
        Prepared take() {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty(); });
            Prepared p = std::move(ready_.front());
            ready_.pop_front();
            changed_.notify_all();
            return p;
        }

    private:
        void loop() {
            for (const auto& path : run_.inputs) {
                {
                    std::unique_lock lock(mutex_);
                    changed_.wait(lock, [this] { return stop_ || ready_.size() < ahead_; });
                    if (stop_) {
                        return;
                    }
                }
                Prepared p = run_.prepareInput(path, pageList_);
                std::lock_guard lock(mutex_);
                ready_.push_back(std::move(p));
                changed_.notify_all();
            }
        }
        Impl& run_;
        const PageList& pageList_;
        const std::size_t ahead_;
        std::mutex mutex_;
        std::condition_variable changed_;
        std::deque<Prepared> ready_;
        bool stop_ = false;
        std::thread thread_; // last: starts once everything above exists
    };

    // Copies the selected pages of every input into `out`. Returns the kept outlines, one
    // list per input, when the job keeps them.
    std::vector<OutlineNode> assemble(QPDF& out) {
        std::vector<std::string> notes;
        const PageList pageList = PageList::parse(job.pageList, notes);
        for (auto& n : notes)
            hooks.warn(n);

        QPDFPageDocumentHelper outPages(out);
        std::unique_ptr<QPDFAcroFormDocumentHelper> outForms;
        std::vector<OutlineNode> kept;
        const bool keepOutlines = job.bookmarkKeep && job.bookmarkFile.empty();
        bool anyOutOfRange = false;
        std::set<QPDFObjGen> placedAnnotations; // so a page taken twice gets its own

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
                if (addMedia(out, path, pageList, anyOutOfRange)) {
                    continue;
                }
                throw EngineError(BuildFailure::CannotParseInput, path,
                                  "the file is neither a PDF, a supported image nor an audio or video file");
            }
            if (prepared.kind == Kind::Image) {
                addImage(out, path, pageList, anyOutOfRange);
                continue;
            }

            if (prepared.noPages) {
                hooks.warn(name + ": its page tree holds no pages; it adds nothing to the output");
                if (emptyTree.empty())
                    emptyTree = path;
            }
            std::unique_ptr<QPDF> src = std::move(prepared.pdf);
            std::vector<QPDFPageObjectHelper>& pages = prepared.pages;
            const std::vector<int>& selected = prepared.selected;
            anyOutOfRange = anyOutOfRange || prepared.outOfRange;
            if (selected.size() >= PageList::kMaxPages) {
                hooks.warn(name + ": the page list selects more than " + std::to_string(PageList::kMaxPages) +
                           " pages; only the first " + std::to_string(PageList::kMaxPages) + " were taken");
            }

            std::unique_ptr<QPDFAcroFormDocumentHelper> srcForms;
            if (src->getRoot().getKey("/AcroForm").isDictionary()) {
                srcForms = std::make_unique<QPDFAcroFormDocumentHelper>(*src);
                if (!srcForms->hasAcroForm()) {
                    srcForms.reset();
                } else if (!outForms) {
                    outForms = std::make_unique<QPDFAcroFormDocumentHelper>(out);
                }
            }
            if (src->getRoot().hasKey("/StructTreeRoot")) {
                hooks.warn(name +
                           ": its tagged structure (accessibility tags) is not carried into the output");
            }

            PageMap pageMap;
            std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> copied;
            copied.reserve(selected.size());
            try {
                for (std::size_t k = 0; k < selected.size(); ++k) {
                    if ((k & 63) == 63) {
                        checkCancel();
                    }
                    QPDFPageObjectHelper& page = pages[static_cast<std::size_t>(selected[k])];
                    outPages.addPage(page, false);
                    QPDFObjectHandle added = out.getAllPages().back();
                    if (srcForms) {
                        outForms->fixCopiedAnnotations(added, page.getObjectHandle(), *srcForms);
                    }
                    geometry::ownAnnotations(added, placedAnnotations);
                    pageMap.emplace(page.getObjectHandle().getObjGen(), added);
                    copied.emplace_back(page.getObjectHandle(), added);
                }
                const int lostLinks = repairLinks(*src, copied, pageMap);
                if (lostLinks > 0) {
                    hooks.warn(name + ": " + std::to_string(lostLinks) +
                               " links point at pages that are not in the output; they were removed");
                }
                if (keepOutlines) {
                    int lost = 0;
                    auto nodes = keptOutline(*src, out, pageMap, lost);
                    if (lost > 0) {
                        hooks.warn(name + ": " + std::to_string(lost) +
                                   " bookmarks point at pages that are not in the output; they jump nowhere");
                    }
                    for (auto& node : nodes)
                        kept.push_back(std::move(node));
                }
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
        return kept;
    }

    // An audio or video file becomes one page that plays it; false when it is not one.
    bool addMedia(QPDF& out, const std::string& path, const PageList& pageList, bool& anyOutOfRange) {
        std::string reason;
        std::optional<std::string> read = engine::readRegularFile(path, kMaxMediaBytes, reason);
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
        const int copies = static_cast<int>(pageList.resolve(1, &outOfRange).size());
        anyOutOfRange = anyOutOfRange || outOfRange;
        QPDFPageDocumentHelper outPages(out);
        for (QPDFObjectHandle page : makeMediaPages(out, baseName(path), data, *type, job.media, copies)) {
            outPages.addPage(QPDFPageObjectHelper(page), false);
        }
        return true;
    }

    void addImage(QPDF& out, const std::string& path, const PageList& pageList, bool& anyOutOfRange) {
        std::vector<QPDFObjectHandle> frames;
        try {
            frames = makeImagePages(out, path);
        } catch (const ImageLoadError& e) {
            throw EngineError(BuildFailure::CannotParseInput, path, e.what());
        }
        bool outOfRange = false;
        QPDFPageDocumentHelper outPages(out);
        for (int index : pageList.resolve(static_cast<int>(frames.size()), &outOfRange)) {
            QPDFObjectHandle frame = frames[static_cast<std::size_t>(index)];
            // The same frame chosen twice becomes two pages of one content.
            outPages.addPage(QPDFPageObjectHelper(frame.isIndirect() ? frame : out.makeIndirectObject(frame)),
                             false);
        }
        anyOutOfRange = anyOutOfRange || outOfRange;
    }

    GeometryOptions geometryOptions() const {
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

    void layOut(QPDF& out, std::vector<OutlineNode>& kept) {
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

    void outline(QPDF& out, std::vector<OutlineNode> kept) {
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

    // Takes the first PDF input's description (information dictionary and XMP metadata) as
    // the output's starting point: merging appendices into a report keeps the report's.
    void inheritDescription(QPDF& out) {
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

    void configureWriter(QPDFWriter& w, std::vector<std::string>& notes) {
        const WriterOptions& o = job.writer;
        switch (o.objectStreams) {
        case WriterOptions::ObjectStreams::Preserve:
            w.setObjectStreamMode(qpdf_o_preserve);
            break;
        case WriterOptions::ObjectStreams::Generate:
            w.setObjectStreamMode(qpdf_o_generate);
            break;
        case WriterOptions::ObjectStreams::Disable:
            w.setObjectStreamMode(qpdf_o_disable);
            break;
        }
        w.setCompressStreams(o.compressStreams);
        // Written in place, the input's own encryption would otherwise carry over.
        w.setPreserveEncryption(false);
        w.setLinearization(o.linearize);
        if (!o.minVersion.empty()) {
            w.setMinimumPDFVersion(o.minVersion);
        }
        applySecurity(w, job.security, o.cipher, notes);
        if (o.deterministic) {
            if (job.security.wanted()) {
                // An encrypted file's /ID is an input of its keys and cannot be derived from
                // its content; a fixed one keeps test outputs comparable.
                w.setStaticID(true);
                w.setStaticAesIV(true);
            } else {
                w.setDeterministicID(true);
            }
        }
        w.registerProgressReporter(
            std::make_shared<QPDFWriter::FunctionProgressReporter>([this](int percent) {
                hooks.status("", 50 + percent / 2);
                checkCancel();
            }));
    }

    // Everything up to writing: returns the assembled output.
    // A job that takes one PDF whole and leaves its pages as they are (typically: encrypt or
    // describe a file) needs no copy: the input itself is trimmed to what a merge would carry
    // and written. Null when the job is not of that kind, or the input is an image.
    std::unique_ptr<QPDF> writeInPlace(std::vector<OutlineNode>& kept) {
        std::vector<std::string> notes;
        const PageList pageList = PageList::parse(job.pageList, notes);
        if (noInPlace || inputs.size() != 1 || !pageList.selectsAll() || !geometryOptions().isNoOp() ||
            job.compose.reshapes()) {
            return nullptr;
        }
        const std::string& path = inputs.front();
        const std::string name = baseName(path);
        hooks.status("Reading " + name + " (1 of 1)", 0);
        Prepared p = prepareInput(path, pageList, false);
        if (!p.error && p.kind != Kind::Pdf) {
            return nullptr; // an image, or not a PDF: the usual path says what it is
        }
        for (auto& w : p.warnings)
            hooks.warn(std::move(w));
        if (p.error) {
            std::rethrow_exception(p.error);
        }
        QPDF& doc = *p.pdf;
        if (p.noPages) {
            throw EngineError(BuildFailure::CannotParseInput, path,
                              "its page tree holds no pages; the file is damaged");
        }
        if (doc.getRoot().hasKey("/StructTreeRoot")) {
            hooks.warn(name + ": its tagged structure (accessibility tags) is not carried into the output");
        }
        try {
            PageMap same;
            std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> pages;
            for (auto& page : p.pages) {
                same.emplace(page.getObjectHandle().getObjGen(), page.getObjectHandle());
                pages.emplace_back(page.getObjectHandle(), page.getObjectHandle());
            }
            // Links and bookmarks by name become explicit, as in a merge: the name tree goes.
            const int lostLinks = repairLinks(doc, pages, same);
            if (lostLinks > 0) {
                hooks.warn(name + ": " + std::to_string(lostLinks) +
                           " links point at pages that are not in the output; they were removed");
            }
            if (job.bookmarkKeep && job.bookmarkFile.empty()) {
                int lost = 0;
                kept = keptOutline(doc, doc, same, lost);
                if (lost > 0) {
                    hooks.warn(name + ": " + std::to_string(lost) +
                               " bookmarks point at pages that are not in the output; they jump nowhere");
                }
            }
            // Written as it stands, the file's own page tree and trailer are carried over:
            // they must be sound whatever the input held.
            if (soundPageTree(doc, p.pages)) {
                hooks.warn(repairedNote(name, "its page tree was rebuilt"));
            }
            soundTrailer(doc);
            // What a merged document's catalog holds; the rest (names, page labels, tags,
            // open actions, ...) is left behind as a merge leaves it.
            QPDFObjectHandle root = doc.getRoot();
            for (const auto& key : root.getKeys()) {
                if (key != "/Type" && key != "/Pages" && key != "/AcroForm" && key != "/Metadata") {
                    root.removeKey(key);
                }
            }
        } catch (const QPDFExc& e) {
            passWarnings(doc, name, hooks.warn);
            throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
        }
        passWarnings(doc, name, hooks.warn);
        inPlace = true;
        return std::move(p.pdf);
    }

    // Overlays come before the page layout, which then applies to the combined pages.
    void overlay(QPDF& out, std::vector<OutlineNode>& kept) {
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

    // Imposition takes the finished pages, marks included, as a printer would.
    void impose(QPDF& out, std::vector<OutlineNode>& kept) {
        std::vector<std::string> notes;
        imposePages(out, job.compose, kept, notes);
        for (auto& n : notes)
            hooks.warn(n);
    }

    std::unique_ptr<QPDF> prepare() {
        std::vector<OutlineNode> kept;
        std::unique_ptr<QPDF> out = writeInPlace(kept);
        if (!out) {
            out = std::make_unique<QPDF>();
            out->emptyPDF();
            out->setSuppressWarnings(true);
            kept = assemble(*out);
        }
        if (out->getAllPages().empty()) {
            if (!emptyTree.empty()) {
                throw EngineError(BuildFailure::CannotParseInput, emptyTree,
                                  "its page tree holds no pages; the file is damaged");
            }
            throw EngineError(BuildFailure::NoPages, inputs.size() == 1 ? inputs.front() : "",
                              "the inputs and page list select no page");
        }
        checkCancel();
        overlay(*out, kept);
        layOut(*out, kept);
        {
            std::vector<std::string> notes;
            applyMarks(*out, job, notes);
            for (auto& n : notes)
                hooks.warn(n);
        }
        impose(*out, kept);
        outline(*out, std::move(kept));
        inheritDescription(*out);
        std::vector<std::string> notes;
        applyDescription(*out, job.description, job.writer.deterministic, notes);
        // Text is looked for on the finished pages, where the user will see it.
        applyTextMarking(*out, job.textMarking, notes);
        for (auto& n : notes)
            hooks.warn(n);
        soundStreamFilters(*out);
        return out;
    }

    void writeTo(OutputFile& output, QPDF& out) {
        hooks.status("Writing " + baseName(job.outFile), 50);
        std::vector<std::string> notes;
        Pl_StdioFile file("output", output.stream());
        CancelPipeline guard(&file, hooks.cancelled, &output);
        {
            QPDFWriter writer(out);
            writer.setOutputPipeline(&guard);
            configureWriter(writer, notes);
            for (auto& n : notes)
                hooks.warn(n);
            write(writer, out);
        }
        try {
            guard.close();
            if (std::fflush(output.stream()) != 0) {
                throw std::runtime_error("cannot write the output");
            }
        } catch (const BuildCancelled&) {
            throw;
        } catch (const std::exception& e) {
            throw EngineError(BuildFailure::CannotCreateOutput, job.outFile, e.what());
        }
    }

    // Replaces page content that does not decode; true when there was any.
    bool repairContents(QPDF& out) {
        undecodable = false;
        const int replaced = soundPageContents(out);
        if (replaced > 0) {
            const std::string what = std::to_string(replaced) +
                                     " page contents could not be read; what could be read of them was kept";
            hooks.warn(inputs.size() == 1 ? repairedNote(baseName(inputs.front()), what) : what);
        }
        return replaced > 0;
    }

    // Runs the writer, turning its failures into ours: a damaged object that only shows when
    // its input is read at last belongs to that input; anything else is the output's.
    void write(QPDFWriter& w, QPDF& out) {
        // Data read only now belongs to the input it comes from; written in place, the
        // output's own warnings are about the one input.
        const auto passAll = [&] {
            for (std::size_t i = 0; i < sources.size(); ++i)
                passWarnings(*sources[i], sourceNames[i], hooks.warn);
            if (inPlace)
                passWarnings(out, baseName(inputs.front()), hooks.warn);
        };
        try {
            w.write();
        } catch (const QPDFExc& e) {
            passAll();
            std::string file = e.getFilename();
            if (inPlace || std::find(inputs.begin(), inputs.end(), file) == inputs.end()) {
                file = inputs.size() == 1 ? inputs.front() : file;
            }
            throw EngineError(BuildFailure::CannotParseInput, file, e.getMessageDetail());
        } catch (const BuildCancelled&) {
            throw;
        } catch (const std::exception& e) {
            throw EngineError(BuildFailure::CannotCreateOutput, job.outFile, e.what());
        }
        passAll();
        if (!inPlace) {
            // What the writer itself had to put right in the copied objects.
            std::set<std::string> said;
            for (const auto& warning : out.getWarnings()) {
                if (said.insert(warning.getMessageDetail()).second)
                    hooks.warn("Repaired while writing: " + warning.getMessageDetail());
            }
        }
    }
};

BuildRun::BuildRun(const Job& job, RunHooks hooks) : impl_(std::make_unique<Impl>(job, std::move(hooks))) {}
BuildRun::~BuildRun() = default;

int BuildRun::build() {
    Impl& r = *impl_;
    r.resolveInputs();
    if (r.job.outFile.empty()) {
        throw EngineError(BuildFailure::CannotCreateOutput, "", "no output file was given");
    }
    r.refuseOverwritingInput(r.job.outFile);
    while (true) {
        std::optional<OutputFile> output(std::in_place, r.job.outFile);
        auto out = r.prepare();
        const int pageCount = static_cast<int>(out->getAllPages().size());
        const bool checked = r.damaged || contentsSuspect(*out);
        if (checked) {
            r.repairContents(*out);
        }
        r.writeTo(*output, *out);
        r.checkCancel();
        // Damage found only while writing (stream data read at last) asks for the check too.
        if ((r.undecodable || (r.damaged && !checked)) && r.repairContents(*out)) {
            // Written again without the content that does not decode.
            output.reset();
            output.emplace(r.job.outFile);
            r.writeTo(*output, *out);
            r.checkCancel();
        }
        // No success for a file a reader could not open: the written file is read back
        // before it takes the target's place.
        const std::string problem =
            checkWrittenPdf(output->tempPath(), static_cast<std::size_t>(pageCount), r.job.security.user);
        if (problem.empty()) {
            output->commit();
            return pageCount;
        }
        if (!r.inPlace) {
            throw EngineError(BuildFailure::CannotCreateOutput, r.job.outFile,
                              "the written file would not open soundly (" + problem + "); it was not kept");
        }
        // Written as it stood, the input left something unsound: copy its pages instead.
        r.hooks.warn(baseName(r.inputs.front()) + " could not be written as it stands (" + problem +
                     "); its pages were copied into a new file instead");
        r.inPlace = false;
        r.noInPlace = true;
    }
}

std::string BuildRun::buildToMemory() {
    Impl& r = *impl_;
    r.resolveInputs();
    auto out = r.prepare();
    if (r.damaged || contentsSuspect(*out)) {
        r.repairContents(*out);
    }
    r.hooks.status("Writing", 50);
    QPDFWriter writer(*out);
    writer.setOutputMemory();
    std::vector<std::string> notes;
    r.configureWriter(writer, notes);
    for (auto& n : notes)
        r.hooks.warn(n);
    r.write(writer, *out);
    auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

std::string BuildRun::listBookmarks() {
    Impl& r = *impl_;
    r.resolveInputs();
    const std::string& path = r.inputs.front();
    r.hooks.status("Reading " + baseName(path), 10);
    std::shared_ptr<FileSource> file;
    try {
        file = std::make_shared<FileSource>(path, r.openFiles);
    } catch (const std::exception& e) {
        throw EngineError(BuildFailure::CannotOpenInput, path, e.what());
    }
    const SniffedInput sniffed = sniffInput(file->head(kSniffBytes));
    if (sniffed.type != Kind::Pdf) {
        return {}; // an image has no bookmarks
    }
    file->startAt(static_cast<qpdf_offset_t>(sniffed.pdfStart));
    auto src = r.openPdf(path, std::move(file), r.hooks.warn);
    try {
        std::string tags = listOutline(*src);
        passWarnings(*src, baseName(path), r.hooks.warn);
        return tags;
    } catch (const QPDFExc& e) {
        throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
    }
}

int BuildRun::exportImages() {
    Impl& r = *impl_;
    r.resolveInputs();
    std::string folderName = r.job.outFile;
    while (folderName.size() > 1 && folderName.back() == '/') {
        folderName.pop_back(); // "images/" is the folder "images", not a name inside it
    }
    const fs::path folder = folderName;
    if (folder.empty()) {
        throw EngineError(BuildFailure::CannotCreateOutput, "", "no output folder was given");
    }
    std::error_code ec;
    if (fs::exists(folder, ec)) {
        if (!fs::is_directory(folder, ec)) {
            throw EngineError(BuildFailure::CannotCreateOutput, folder.string(),
                              "it is a file; images are exported to a folder");
        }
    } else {
        // Only the folder itself is made: a missing parent is more likely a typing error.
        const fs::path parent = folder.parent_path();
        if (!parent.empty() && !fs::is_directory(parent, ec)) {
            throw EngineError(BuildFailure::CannotCreateOutput, folder.string(),
                              "its parent folder does not exist");
        }
        if (!fs::create_directory(folder, ec) && !fs::is_directory(folder)) {
            throw EngineError(BuildFailure::CannotCreateOutput, folder.string(), ec.message());
        }
    }
    std::vector<std::string> notes;
    const PageList pageList = PageList::parse(r.job.pageList, notes);
    for (auto& n : notes)
        r.hooks.warn(n);

    ImageExporter exporter(folder, r.hooks.warn, [&r] { r.checkCancel(); });
    bool anyOutOfRange = false;
    const int count = static_cast<int>(r.inputs.size());
    for (int i = 0; i < count; ++i) {
        r.checkCancel();
        const std::string& path = r.inputs[static_cast<std::size_t>(i)];
        const std::string name = baseName(path);
        r.hooks.status("Exporting images of " + name + " (" + std::to_string(i + 1) + " of " +
                           std::to_string(count) + ")",
                       i * 100 / count);
        Impl::Prepared p = r.prepareInput(path, pageList, false);
        for (auto& w : p.warnings)
            r.hooks.warn(std::move(w));
        if (p.error) {
            std::rethrow_exception(p.error);
        }
        exporter.startDocument(fs::path(path).stem().string());
        try {
            if (p.kind == Kind::Other) {
                r.hooks.warn(name + " is neither a PDF nor an image; it has no images to export");
            } else if (p.kind == Kind::Image) {
                // The image as it would be placed on a page: a JPEG keeps its bytes, other
                // formats come out as PNG.
                QPDF scratch;
                scratch.emptyPDF();
                std::vector<QPDFObjectHandle> frames;
                try {
                    frames = makeImagePages(scratch, path);
                } catch (const ImageLoadError& e) {
                    throw EngineError(BuildFailure::CannotParseInput, path, e.what());
                }
                bool outOfRange = false;
                for (int index : pageList.resolve(static_cast<int>(frames.size()), &outOfRange)) {
                    exporter.exportPage(QPDFPageObjectHelper(frames[static_cast<std::size_t>(index)]),
                                        index + 1);
                }
                anyOutOfRange = anyOutOfRange || outOfRange;
            } else {
                anyOutOfRange = anyOutOfRange || p.outOfRange;
                for (int index : p.selected) {
                    exporter.exportPage(p.pages[static_cast<std::size_t>(index)], index + 1);
                }
                passWarnings(*p.pdf, name, r.hooks.warn);
            }
        } catch (const QPDFExc& e) {
            if (p.pdf)
                passWarnings(*p.pdf, name, r.hooks.warn);
            throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
        } catch (const EngineError&) {
            throw;
        } catch (const std::runtime_error& e) {
            // Reading is done by qpdf and reported above; what is left is writing the files.
            throw EngineError(BuildFailure::CannotCreateOutput, folder.string(), e.what());
        }
    }
    if (anyOutOfRange) {
        r.hooks.warn("The page list names pages that some inputs do not have; those were skipped");
    }
    if (exporter.approximated()) {
        r.hooks.warn(
            "CMYK images were turned into RGB without colour management; their colours are approximate");
    }
    if (exporter.skipped() > 0) {
        r.hooks.warn("Not all images could be exported: " + std::to_string(exporter.skipped()) +
                     " were skipped");
    } else if (exporter.written() == 0) {
        r.hooks.warn("No images were found in the selected pages; nothing was exported");
    }
    return exporter.written();
}

} // namespace plait::pdf
