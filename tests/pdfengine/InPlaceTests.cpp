// A job that takes one PDF whole is written from the input itself instead of a copy; the
// result must be what the copying path makes of the same input.
#include "Fixtures.h"

#include <qpdf/QPDFWriter.hh>

namespace plait::pdf::testing {
namespace {

std::string listing(const std::string& pdf, const std::string& password = "") {
    Build list;
    list.call("setOutFile", {"membuild"})
        .call("setInFile", {pdf})
        .call("setPwdList", {password})
        .call("setBookmarkOut");
    return list.run();
}

TEST(InPlace, SingleWholeInputMatchesTheCopyingPath) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"one", "two", "three"};
    layout.bookmarks = {{"First", 1}, {"Third", 3, 2}};
    layout.linkTo = {3, 0, 1};
    layout.title = "Report";
    layout.userPassword = "open";
    const auto in = makePdf(dir.path("in.pdf"), layout);
    {
        // Catalog entries beyond the pages: both paths carry them.
        QPDF pdf;
        pdf.processFile(in.c_str(), "open");
        pdf.getRoot().replaceKey("/PageLabels", QPDFObjectHandle::parse("<< /Nums [0 << /S /r >>] >>"));
        pdf.getRoot().replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
        const std::string rewritten = in + ".tmp"; // the writer keeps the name, not a copy
        QPDFWriter w(pdf, rewritten.c_str());
        w.setPreserveEncryption(true);
        w.write();
    }
    fs::rename(in + ".tmp", in);

    // Whole (written in place) and "1-z" (copied): the same pages, outline, links, title,
    // page labels and viewer settings, and neither keeps the input's encryption.
    const auto whole = dir.path("whole.pdf").string();
    const auto copied = dir.path("copied.pdf").string();
    for (const auto& [out, pages] : {std::pair{whole, ""}, std::pair{copied, "1-z"}}) {
        Build build;
        build.call("setOutFile", {out})
            .call("setInFile", {in})
            .call("setPwdList", {"open"})
            .call("setBookmarkKeep")
            .call("setPages", {pages});
        ASSERT_EQ(build.run(), "3") << out;
        EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0) << out;
        EXPECT_EQ(run("qpdf --is-encrypted " + quote(out)).exitCode, 2) << out;
        QPDF pdf;
        pdf.processFile(out.c_str());
        QPDFObjectHandle nums = pdf.getRoot().getKey("/PageLabels").getKey("/Nums");
        ASSERT_TRUE(nums.isArray()) << out;
        EXPECT_EQ(nums.getArrayNItems(), 2) << out; // one range, lower-case roman from page 1
        EXPECT_EQ(nums.getArrayItem(1).getKey("/S").unparse(), "/r") << out;
        EXPECT_EQ(pdf.getRoot().getKey("/PageMode").unparse(), "/UseOutlines") << out;
        auto all = pdf.getAllPages();
        QPDFObjectHandle dest = all[0].getKey("/Annots").getArrayItem(0).getKey("/Dest");
        EXPECT_EQ(dest.getArrayItem(0).getObjGen(), all[2].getObjGen()) << out;
        EXPECT_EQ(pdf.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(), "Report") << out;
    }
    EXPECT_EQ(pageTexts(whole), pageTexts(copied));
    EXPECT_EQ(listing(whole), listing(copied));
    EXPECT_EQ(listing(whole), "<BOOKMARK LEVEL=1 DESCR=\"First\" PAGE=1>\r\n"
                              "<BOOKMARK LEVEL=2 DESCR=\"Third\" PAGE=3>\r\n");

    // Without keeping bookmarks the outline goes; with passwords the output is encrypted.
    const auto secured = dir.path("secured.pdf").string();
    Build build;
    build.call("setOutFile", {secured})
        .call("setInFile", {in})
        .call("setPwdList", {"open"})
        .call("setUser", {"new"});
    ASSERT_EQ(build.run(), "3");
    EXPECT_EQ(run("qpdf --is-encrypted " + quote(secured)).exitCode, 0);
    EXPECT_EQ(pageTexts(secured, "new"), pageTexts(copied));
    EXPECT_EQ(listing(secured, "new"), "");
}

} // namespace
} // namespace plait::pdf::testing
