// Reading the inputs: the list, the check that the output is none of them, opening PDFs with
// their passwords, and the reader thread that parses the next input ahead of the build.
#include "pdfengine/run/BuildRunImpl.h"

#include "engine/FileName.h"

namespace plait::pdf {

void BuildRun::Impl::resolveInputs() {
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
    std::vector<std::string> sorted;
    inputChoices.clear();
    for (std::size_t place : inputOrder(inputs, job.sort)) {
        sorted.push_back(std::move(inputs[place]));
        const auto chosen = job.inputPages.find(place);
        inputChoices.push_back(chosen == job.inputPages.end() ? nullptr : &chosen->second);
    }
    inputs = std::move(sorted);
}

void BuildRun::Impl::refuseOverwritingInput(const std::string& output) const {
    for (const auto& path : inputs) {
        if (engine::sameFile(output, path)) {
            throw EngineError(BuildFailure::CannotCreateOutput, output,
                              "the output is the input " + path + " and would be overwritten");
        }
    }
}

std::unique_ptr<QPDF> BuildRun::Impl::openPdf(const std::string& path, std::shared_ptr<FileSource> first,
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

namespace {

// Replaces each page of `pages` that is a stream whose dictionary has what a page needs (its
// content or its size) with a page made of that dictionary, in the page tree too. Returns
// how many were replaced.
int pagesFromStreams(QPDF& pdf, std::vector<QPDFPageObjectHelper>& pages) {
    int restored = 0;
    for (auto& page : pages) {
        QPDFObjectHandle h = page.getObjectHandle();
        if (!h.isStream()) {
            continue;
        }
        QPDFObjectHandle dict = h.getDict();
        if (!dict.hasKey("/Contents") && !dict.hasKey("/MediaBox")) {
            continue;
        }
        QPDFObjectHandle made = pdf.makeIndirectObject(dict.shallowCopy());
        made.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        made.removeKey("/Length");
        made.removeKey("/Filter");
        made.removeKey("/DecodeParms");
        QPDFObjectHandle parent = dict.getKey("/Parent");
        if (QPDFObjectHandle kids = parent.isDictionary() ? parent.getKey("/Kids") : parent; kids.isArray()) {
            for (int i = 0; i < kids.getArrayNItems(); ++i) {
                if (kids.getArrayItem(i).getObjGen() == h.getObjGen()) {
                    kids.setArrayItem(i, made);
                }
            }
        }
        page = QPDFPageObjectHelper(made);
        ++restored;
    }
    if (restored > 0) {
        pdf.updateAllPagesCache();
    }
    return restored;
}

} // namespace

auto BuildRun::Impl::prepareInput(const std::string& path, const PageList& pageList, bool parseSelected,
                                  const PageChoice* choice) -> Prepared {
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
            try {
                p.pdf->pushInheritedAttributesToPage();
                p.pages = QPDFPageDocumentHelper(*p.pdf).getAllPages();
            } catch (const QPDFExc& e) {
                // A tree that leads back into itself still holds pages a reader draws.
                if (e.getMessageDetail().find("Loop detected") == std::string::npos ||
                    unloopPageTree(*p.pdf) == 0) {
                    throw;
                }
                warn(repairedNote(baseName(path), "its page tree leads back into itself; it was rebuilt "
                                                  "with each page once"));
                p.pdf->pushInheritedAttributesToPage();
                p.pages = QPDFPageDocumentHelper(*p.pdf).getAllPages();
            }
        } catch (const std::exception& e) {
            passWarnings(*p.pdf, baseName(path), warn);
            throw EngineError(BuildFailure::CannotParseInput, path,
                              std::string("cannot read its pages: ") + e.what());
        }
        // A page written as a stream (its object number used twice, say) is drawn from its
        // dictionary; a kid that is neither (a missing object) is no page a reader could draw.
        if (const int restored = pagesFromStreams(*p.pdf, p.pages); restored > 0) {
            warn(repairedNote(baseName(path),
                              std::to_string(restored) +
                                  " pages of its page tree were streams; their dictionaries were "
                                  "taken as the pages"));
        }
        std::string lost;
        int lostCount = 0;
        for (std::size_t k = 0; k < p.pages.size(); ++k) {
            if (!p.pages[k].getObjectHandle().isDictionary() && ++lostCount <= 10) {
                lost += (lost.empty() ? "" : ", ") + std::to_string(k + 1);
            }
        }
        if (lostCount > 0) {
            std::erase_if(p.pages,
                          [](QPDFPageObjectHelper& page) { return !page.getObjectHandle().isDictionary(); });
            warn(repairedNote(baseName(path), std::to_string(lostCount) + " entries of its page tree (page " +
                                                  lost + (lostCount > 10 ? ", ..." : "") +
                                                  ") are missing objects, no pages; they were left out"));
        }
        if (p.pages.empty()) {
            passWarnings(*p.pdf, baseName(path), warn);
            p.noPages = true;
        }
        if (choice) {
            for (const ChosenPage& c :
                 choice->resolve(static_cast<int>(p.pages.size()), pageList, &p.outOfRange)) {
                p.selected.push_back(c.index);
                p.turns.push_back(c.turn);
            }
        } else {
            p.selected = pageList.resolve(static_cast<int>(p.pages.size()), &p.outOfRange);
        }
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

void BuildRun::Impl::parseAhead(Prepared& p) {
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

} // namespace plait::pdf
