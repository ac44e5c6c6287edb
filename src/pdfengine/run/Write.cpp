// Writing the output: the writer's settings, the one-input path that writes an input itself,
// and writing to the temporary file with the repairs that writing finds necessary.
#include "pdfengine/run/BuildRunImpl.h"

#include <qpdf/Pl_Flate.hh>

namespace plait::pdf {

void BuildRun::Impl::configureWriter(QPDFWriter& w, std::vector<std::string>& notes) {
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
    // The level is qpdf's for the whole process: every build sets it, so none inherits it.
    Pl_Flate::setCompressionLevel(o.smallest ? 9 : -1); // -1: zlib's default
    if (o.smallest) {
        w.setObjectStreamMode(qpdf_o_generate);
        w.setCompressStreams(true);
        w.setRecompressFlate(true);
        w.setDecodeLevel(qpdf_dl_generalized);
    }
    // Written in place, the input's own encryption would otherwise carry over.
    w.setPreserveEncryption(false);
    w.setLinearization(o.linearize);
    if (!o.minVersion.empty()) {
        w.setMinimumPDFVersion(o.minVersion);
    }
    fileKey = security ? security->apply(w, notes) : applySecurity(w, job.security, job.cipher(), notes);
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
    w.registerProgressReporter(std::make_shared<QPDFWriter::FunctionProgressReporter>([this](int percent) {
        hooks.status("", 50 + percent / 2);
        checkCancel();
    }));
}

void BuildRun::Impl::checkPasswords() {
    if (!fileKey) {
        return;
    }
    if (const std::string problem = fileKey->check.get(); !problem.empty()) {
        throw EngineError(BuildFailure::CannotCreateOutput, job.outFile,
                          "the written file would not open with its passwords (" + problem +
                              "); it was not kept");
    }
}

std::unique_ptr<QPDF> BuildRun::Impl::writeInPlace(std::vector<OutlineNode>& kept) {
    const PageList& pageList = job.pageList;
    if (noInPlace || inputs.size() != 1 || !pageList.selectsAll() || choiceOf(0) ||
        !geometryOptions().isNoOp() || job.compose.reshapes()) {
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
    try {
        // Links and bookmarks by name become explicit, as in a merge; the names stay for links
        // from other documents. Only pages with annotations can hold links, and the page map
        // is made only when needed.
        std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> linked;
        for (auto& page : p.pages) {
            if (QPDFObjectHandle h = page.getObjectHandle(); h.hasKey("/Annots")) {
                linked.emplace_back(h, h);
            }
        }
        const bool keepOutline = job.bookmarkKeep && job.bookmarkFile.empty();
        PageMap same;
        if (!linked.empty() || keepOutline) {
            for (auto& page : p.pages) {
                same.emplace(page.getObjectHandle().getObjGen(), page.getObjectHandle());
            }
        }
        const int lostLinks = linked.empty() ? 0 : repairLinks(doc, linked, same);
        if (lostLinks > 0) {
            hooks.warn(name + ": " + std::to_string(lostLinks) +
                       " links point at pages that are not in the output; they were removed");
        }
        if (keepOutline) {
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
        // The document is carried as it is, catalog and all (page labels, layers, names,
        // tags, threads, viewer settings); the outline is written again from what was kept
        // of it, or replaced by the job's own.
        doc.getRoot().removeKey("/Outlines");
    } catch (const QPDFExc& e) {
        passWarnings(doc, name, hooks.warn);
        throw EngineError(BuildFailure::CannotParseInput, path, e.getMessageDetail());
    }
    passWarnings(doc, name, hooks.warn);
    inPlace = true;
    return std::move(p.pdf);
}

void BuildRun::Impl::writeTo(OutputFile& output, QPDF& out) {
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
        // The disk starts on the rest while the written file is read back.
        output.startWriteBack();
    } catch (const BuildCancelled&) {
        throw;
    } catch (const std::exception& e) {
        throw EngineError(BuildFailure::CannotCreateOutput, job.outFile, e.what());
    }
}

bool BuildRun::Impl::repairContents(QPDF& out) {
    undecodable = false;
    const int replaced = soundPageContents(out);
    if (replaced > 0) {
        const std::string what = std::to_string(replaced) +
                                 " page contents could not be read; what could be read of them was kept";
        hooks.warn(inputs.size() == 1 ? repairedNote(baseName(inputs.front()), what) : what);
    }
    return replaced > 0;
}

void BuildRun::Impl::write(QPDFWriter& w, QPDF& out) {
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

} // namespace plait::pdf
