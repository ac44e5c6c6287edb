// The least a merge on libqpdf has to do, as a yardstick for `plait build`: open each input,
// copy all its pages to a new document, write it with the writer's defaults. No outlines,
// links, forms, status or checks. Usage: minimal_merge OUT.pdf IN.pdf...
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.pdf IN.pdf...\n", argv[0]);
        return 2;
    }
    try {
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        // Stream data is copied lazily when the output is written, so every source stays
        // open until then.
        std::vector<std::unique_ptr<QPDF>> sources;
        for (int i = 2; i < argc; ++i) {
            auto src = std::make_unique<QPDF>();
            src->processFile(argv[i]);
            for (auto& page : QPDFPageDocumentHelper(*src).getAllPages()) {
                outPages.addPage(page, false);
            }
            sources.push_back(std::move(src));
        }
        QPDFWriter writer(out, argv[1]);
        writer.write();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
