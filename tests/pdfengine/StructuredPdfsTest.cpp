// The structured inputs are what they claim to be, as independent readers see them: otherwise a
// test that finds a structure missing from an output would prove nothing about the engine.
#include "StructuredPdfs.h"

#include "Fixtures.h"
#include <regex>

namespace plait::pdf::testing {
namespace {

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The value pdfinfo gives for `field` ("Tagged", "Form"), without the padding.
std::string infoField(const std::string& info, const std::string& field) {
    const std::regex re("(^|\n)" + field + ":[ ]*([^\n]*)");
    std::smatch m;
    return std::regex_search(info, m, re) ? m[2].str() : "";
}

TEST(StructuredPdfs, EveryFilePassesQpdfCheckWithoutAWarning) {
    TempDir dir;
    for (Structure s : allStructures()) {
        for (int variant : {1, 2}) {
            const auto pdf =
                makeStructuredPdf(dir.path(structureName(s) + std::to_string(variant) + ".pdf"), s, variant);
            const auto check = run("qpdf --check " + quote(pdf));
            EXPECT_EQ(check.exitCode, 0) << pdf << "\n" << check.output;
            EXPECT_FALSE(has(check.output, "WARNING")) << pdf << "\n" << check.output;
            const auto mu = run("mutool info " + quote(pdf));
            EXPECT_FALSE(has(mu.output, "error")) << pdf << "\n" << mu.output;
            const auto texts = pageTexts(pdf);
            ASSERT_EQ(static_cast<int>(texts.size()), structuredPageCount(s)) << pdf;
            for (int k = 1; k <= structuredPageCount(s); ++k)
                EXPECT_TRUE(has(texts[static_cast<std::size_t>(k - 1)], structuredPageText(s, variant, k)))
                    << pdf << " page " << k;
        }
    }
}

TEST(StructuredPdfs, ReadersSeeEachStructure) {
    TempDir dir;
    const auto all = makeStructuredPdf(dir.path("all.pdf"), Structure::All);

    // The hidden layer is hidden: its text is not extracted, the visible text is.
    const auto texts = pageTexts(all);
    ASSERT_FALSE(texts.empty());
    EXPECT_FALSE(has(texts[0], kHiddenText)) << texts[0];
    EXPECT_TRUE(has(texts[0], "all 1"));

    const auto attachments = run("qpdf --list-attachments " + quote(all)).output;
    EXPECT_TRUE(has(attachments, "data.csv")) << attachments;
    EXPECT_TRUE(has(attachments, "notes.txt")) << attachments;

    const auto structure = run("pdfinfo -struct-text " + quote(all)).output;
    EXPECT_LT(structure.find("all 1"), structure.find("all 2")) << structure;
    EXPECT_NE(structure.find("all 2"), std::string::npos) << structure;
    EXPECT_FALSE(has(structure, "Warning")) << structure;
    EXPECT_FALSE(has(structure, "Error")) << structure;

    const auto labels = run("qpdf --json --json-key=pagelabels " + quote(all)).output;
    EXPECT_TRUE(has(labels, "\"/P\": \"u:X-\"")) << labels;

    const auto info = run("pdfinfo " + quote(all)).output;
    EXPECT_EQ(infoField(info, "Tagged"), "yes") << info;
    EXPECT_EQ(infoField(info, "JavaScript"), "yes") << info;
    EXPECT_EQ(infoField(info, "Form"), "AcroForm") << info;

    const auto outline = run("qpdf --json --json-key=outlines " + quote(all)).output;
    for (const char* title : {"Web", "Script", "Next page", "Other file", "Inline page 2", "Indirect page 3",
                              "To chapter", "To appendix"})
        EXPECT_TRUE(has(outline, title)) << title << "\n" << outline;

    const auto fields = run("qpdf --json --json-key=acroform " + quote(all)).output;
    EXPECT_TRUE(has(fields, "\"fullname\": \"u:spread\"") || has(fields, "\"fullname\": \"spread\""))
        << fields;
}

} // namespace
} // namespace plait::pdf::testing
