#include "pdfengine/Heap.h"
#include "pdfengine/reduce/Reduce.h"
#include "pdfengine/run/BuildRunImpl.h"
#include "pdfengine/run/SharedObjects.h"

#include <stdexcept>

namespace plait::pdf {

void BuildRun::Impl::checkCancel() const {
    if (hooks.cancelled()) {
        throw BuildCancelled{};
    }
}

std::unique_ptr<QPDF> BuildRun::Impl::prepare() {
    std::vector<OutlineNode> kept;
    carrier.reset();
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
    if (carrier) {
        carrier->writePages();
        carrier.reset(); // its handles go before the output, which may be retired on another thread
    }
    outline(*out, std::move(kept));
    inheritDescription(*out);
    std::vector<std::string> notes;
    applyDescription(*out, job.description, job.writer.deterministic, notes);
    // Text is looked for on the finished pages, where the user will see it.
    applyTextMarking(*out, job.textMarking, notes);
    for (auto& n : notes)
        hooks.warn(n);
    soundStreamFilters(*out);
    {
        std::vector<std::string> reduceNotes;
        reduceImages(*out, job.imageReduce, reduceNotes);
        for (auto& n : reduceNotes)
            hooks.warn(n);
    }
    writeSharedOnce(*out);
    return out;
}

BuildRun::BuildRun(const Job& job, RunHooks hooks) : impl_(std::make_unique<Impl>(job, std::move(hooks))) {}
BuildRun::~BuildRun() = default;

int BuildRun::build() {
    settleHeapThresholds();
    Impl& r = *impl_;
    r.resolveInputs();
    if (r.job.outFile.empty()) {
        throw EngineError(BuildFailure::CannotCreateOutput, "", "no output file was given");
    }
    r.refuseOverwritingInput(r.job.outFile);
    // The slow part of encrypting (the password hash of 256-bit AES) runs while the inputs are read.
    r.security.emplace(r.job.security, r.job.cipher());
    while (true) {
        std::optional<OutputFile> output(std::in_place, r.job.outFile);
        std::unique_ptr<QPDF> out;
        try {
            out = r.prepare();
        } catch (const std::range_error& e) {
            // An input that uses the largest object number leaves no room for the objects a
            // build adds to it: its pages are copied into a new file, numbered afresh.
            if (r.noInPlace || r.inputs.size() != 1) {
                throw;
            }
            r.hooks.warn(baseName(r.inputs.front()) + " could not be written as it stands (" + e.what() +
                         "); its pages were copied into a new file instead");
            r.inPlace = false;
            r.noInPlace = true;
            continue;
        }
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
        // before it takes the target's place, while the disk takes it in.
        output->startSync();
        retire(std::move(out));
        const std::string problem =
            checkWrittenPdf(output->tempPath(), static_cast<std::size_t>(pageCount), r.job.security.user,
                            r.fileKey ? r.fileKey->key : std::string());
        if (problem.empty()) {
            r.checkPasswords();
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

namespace {

// The folder images are exported to, made when it is missing (but not its parent).
fs::path exportFolder(std::string folderName) {
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
        return folder;
    }
    // Only the folder itself is made: a missing parent is more likely a typing error.
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
        throw EngineError(BuildFailure::CannotCreateOutput, folder.string(),
                          "its parent folder does not exist");
    }
    if (!fs::create_directory(folder, ec) && !fs::is_directory(folder)) {
        throw EngineError(BuildFailure::CannotCreateOutput, folder.string(), ec.message());
    }
    return folder;
}

// The image as it would be placed on a page: a JPEG keeps its bytes, other formats come out
// as PNG. Returns whether the page list named pages the image does not have.
bool exportImageInput(ImageExporter& exporter, const std::string& path, const PageList& pageList) {
    QPDF scratch;
    scratch.emptyPDF();
    const std::vector<QPDFObjectHandle> frames = imagePagesOf(scratch, path);
    bool outOfRange = false;
    for (int index : pageList.resolve(static_cast<int>(frames.size()), &outOfRange)) {
        exporter.exportPage(QPDFPageObjectHelper(frames[static_cast<std::size_t>(index)]), index + 1);
    }
    return outOfRange;
}

} // namespace

int BuildRun::exportImages() {
    Impl& r = *impl_;
    r.resolveInputs();
    const fs::path folder = exportFolder(r.job.outFile);
    const PageList& pageList = r.job.pageList;

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
        Impl::Prepared p = r.prepareInput(path, pageList, false, r.choiceOf(static_cast<std::size_t>(i)));
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
                anyOutOfRange = exportImageInput(exporter, path, pageList) || anyOutOfRange;
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
        } catch (const ImageLoadError& e) {
            // The image module is missing: the input's images cannot be exported.
            throw EngineError(BuildFailure::CannotParseInput, path, e.what());
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
