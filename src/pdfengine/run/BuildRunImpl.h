#pragma once

// The state of one build run and its steps, shared by the files that carry them out in the run's
// order: BuildRun.cpp (the run itself), ReadInputs.cpp, Assemble.cpp and Write.cpp.

#include "engine/RegularFile.h"
#include "pdfengine/BuildRun.h"
#include "pdfengine/Cancel.h"
#include "pdfengine/Description.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/FileSource.h"
#include "pdfengine/InputFiles.h"
#include "pdfengine/InputType.h"
#include "pdfengine/Outline.h"
#include "pdfengine/OutputFile.h"
#include "pdfengine/PageList.h"
#include "pdfengine/PageTree.h"
#include "pdfengine/Retire.h"
#include "pdfengine/Security.h"
#include "pdfengine/Soundness.h"
#include "pdfengine/Text.h"
#include "pdfengine/compose/Compose.h"
#include "pdfengine/export/ImageExport.h"
#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/geometry/Geometry.h"
#include "pdfengine/images/ImagePages.h"
#include "pdfengine/marking/TextMarking.h"
#include "pdfengine/marks/Marks.h"
#include "pdfengine/media/MediaPages.h"
#include "pdfengine/run/Carry.h"
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <qpdf/Pl_StdioFile.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <thread>

namespace plait::pdf {

namespace fs = std::filesystem;

inline std::string baseName(const std::string& path) {
    return fs::path(path).filename().string();
}

using Kind = InputType;

// The pages an image input makes, one for each of its pages; an image that cannot be read is
// a failure naming the file.
std::vector<QPDFObjectHandle> imagePagesOf(QPDF& pdf, const std::string& path);

// The largest bookmark markup file read.
inline constexpr std::uint64_t kMaxMarkupBytes = 64ull * 1024 * 1024;

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

inline void passWarnings(QPDF& pdf, const std::string& name, const WarnFn& warn) {
    reportRepairs(pdf, name, warn);
}

struct BuildRun::Impl {
    const Job& job;
    RunHooks hooks;
    CancelScope cancelScope{[this] { return hooks.cancelled(); }}; // for the loops deep in a run
    std::vector<std::string> inputs;
    // The pages chosen for each input (setInPages), beside `inputs`; null takes every page.
    std::vector<const PageChoice*> inputChoices;
    const PageChoice* choiceOf(std::size_t input) const {
        return input < inputChoices.size() ? inputChoices[input] : nullptr;
    }
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
    std::vector<InputPages> inputPages;       // where each input's pages start in the output
    std::optional<SecurityPlan> security;     // worked out when the build starts (see build())
    std::optional<FileKey> fileKey;           // of the output last set up for 256-bit AES
    std::unique_ptr<DocumentCarrier> carrier; // what the inputs of a merge hold beyond their pages

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
        passwords = job.passwords;
    }
    ~Impl() {
        for (auto& source : sources)
            retire(std::move(source));
    }

    void checkCancel() const;

    void resolveInputs();

    // An output that is one of the inputs would be destroyed while it is read.
    void refuseOverwritingInput(const std::string& output) const;

    // Opens a PDF, trying the empty password and then each listed password (as written,
    // without blanks around it, and in the other encodings readers match passwords in).
    // `first` is the already open file for the first try.
    std::unique_ptr<QPDF> openPdf(const std::string& path, std::shared_ptr<FileSource> first,
                                  const WarnFn& warn);

    // One input as the reader thread leaves it: typed, and for a PDF opened, its pages
    // listed and the objects of the selected pages parsed, so that copying them finds
    // everything in memory.
    struct Prepared {
        Kind kind = Kind::Other;
        std::unique_ptr<QPDF> pdf;
        std::vector<QPDFPageObjectHelper> pages;
        std::vector<int> selected;
        std::vector<int> turns; // beside `selected`: degrees added to each page's /Rotate; empty: none
        bool outOfRange = false;
        bool noPages = false;              // a PDF whose page tree gave no page
        std::vector<std::string> warnings; // published in input order by the build thread
        std::exception_ptr error;
    };

    Prepared prepareInput(const std::string& path, const PageList& pageList, bool parseSelected = true,
                          const PageChoice* choice = nullptr);

    // Parses every object the selected pages reach (not their parents), so that the build
    // thread's copy does not wait for the parser.
    void parseAhead(Prepared& p);

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
            for (std::size_t i = 0; i < run_.inputs.size(); ++i) {
                {
                    std::unique_lock lock(mutex_);
                    changed_.wait(lock, [this] { return stop_ || ready_.size() < ahead_; });
                    if (stop_) {
                        return;
                    }
                }
                Prepared p = run_.prepareInput(run_.inputs[i], pageList_, true, run_.choiceOf(i));
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
    std::vector<OutlineNode> assemble(QPDF& out);

    // An audio or video file becomes one page that plays it; false when it is not one.
    bool addMedia(QPDF& out, const std::string& path, const PageList& pageList, bool& anyOutOfRange,
                  const PageChoice* choice = nullptr);

    void addImage(QPDF& out, const std::string& path, const PageList& pageList, bool& anyOutOfRange,
                  const PageChoice* choice = nullptr);

    GeometryOptions geometryOptions() const;

    void layOut(QPDF& out, std::vector<OutlineNode>& kept);

    void outline(QPDF& out, std::vector<OutlineNode> kept);

    // Takes the first PDF input's description (information dictionary and XMP metadata) as
    // the output's starting point: merging appendices into a report keeps the report's.
    void inheritDescription(QPDF& out);

    void configureWriter(QPDFWriter& w, std::vector<std::string>& notes);
    // For an output with 256-bit AES, waits for the check that its passwords give its key;
    // throws EngineError(CannotCreateOutput) when they do not.
    void checkPasswords();

    // Everything up to writing: returns the assembled output.
    // A job that takes one PDF whole and leaves its pages as they are (typically: encrypt or
    // describe a file) needs no copy: the input itself is trimmed to what a merge would carry
    // and written. Null when the job is not of that kind, or the input is an image.
    std::unique_ptr<QPDF> writeInPlace(std::vector<OutlineNode>& kept);

    // Overlays come before the page layout, which then applies to the combined pages.
    void overlay(QPDF& out, std::vector<OutlineNode>& kept);

    // Imposition takes the finished pages, marks included, as a printer would.
    void impose(QPDF& out, std::vector<OutlineNode>& kept);

    std::unique_ptr<QPDF> prepare();

    void writeTo(OutputFile& output, QPDF& out);

    // Replaces page content that does not decode; true when there was any.
    bool repairContents(QPDF& out);

    // Runs the writer, turning its failures into ours: a damaged object that only shows when
    // its input is read at last belongs to that input; anything else is the output's.
    void write(QPDFWriter& w, QPDF& out);
};

} // namespace plait::pdf
