// Images and page geometry as the engine drives them: the order of calls decides what a
// value means (units before lengths, stamp values after setStamp).
#include "Fixtures.h"
#include "images/ImageFixtures.h"

#include <qpdf/QPDFPageObjectHelper.hh>

namespace plait::pdf::testing {
namespace {

std::string box(QPDF& q, int page, const char* key) {
    return QPDFPageObjectHelper(pageOf(q, page)).getAttribute(key, false).unparse();
}

TEST(Integration, ImagesByContentBesidePdfsAndEveryPageListPerInput) {
    TempDir dir;
    plait::testing::JpegOptions jpeg;
    jpeg.width = 144;
    jpeg.height = 72;
    jpeg.densityUnit = 1;
    jpeg.density = 72;
    // A JPEG named .png, a PDF, and a text file named .jpg.
    writeFile(dir.path("photo.png"), plait::testing::makeJpeg(jpeg));
    const auto pdf = makePdf(dir.path("doc.pdf"), "doc", 3);
    const auto out = dir.path("out.pdf").string();
    Build ok;
    ok.call("setOutFile", {out}).call("setInFile", {dir.path("photo.png").string() + "," + pdf});
    ok.call("setPages", {"last"});
    ASSERT_EQ(ok.run(), "2");
    QPDF q;
    q.processFile(out.c_str());
    EXPECT_EQ(box(q, 0, "/MediaBox"), "[ 0 0 144 72 ]");
    EXPECT_EQ(pageTexts(out).back(), "doc 3");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);

    writeFile(dir.path("fake.jpg"), "not an image at all");
    Build bad;
    bad.call("setOutFile", {out}).call("setInFile", {pdf + "," + dir.path("fake.jpg").string()});
    EXPECT_EQ(bad.run(), "-4");
}

TEST(Integration, GeometryUnitsAndStampValuesAreKeptApart) {
    TempDir dir;
    const auto pdf = makePdf(dir.path("doc.pdf"), "doc", 2);
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {pdf});
    b.call("setCropBox", {"10", "10", "400", "500"});
    b.call("setPageDown", {"0"}).call("setPageRight", {"0"}).call("setAngle", {"90"});
    // The stamp's own values must not turn or move the pages.
    b.call("setStamp", {"Draft"})
        .call("setAngle", {"45"})
        .call("setUnits", {"in"})
        .call("setPageRight", {"2"});
    b.call("setUnits", {"mm"}).call("setPageSize", {"210", "297"});
    ASSERT_EQ(b.run(), "2");
    EXPECT_FALSE(b.warned("setStamp"));
    const Job& job = b.engine.job();
    ASSERT_TRUE(job.stamp.has_value());
    EXPECT_EQ(job.stamp->angle, 45.0);
    EXPECT_DOUBLE_EQ(job.stamp->right, 144.0);
    EXPECT_EQ(job.geometry.right, 0.0);
    EXPECT_EQ(job.geometry.angle, 90.0);
    ASSERT_TRUE(job.geometry.pageSize.has_value());
    EXPECT_NEAR(job.geometry.pageSize->first, 595.28, 0.01);

    QPDF q;
    q.processFile(out.c_str());
    EXPECT_EQ(QPDFPageObjectHelper(pageOf(q, 0)).getAttribute("/Rotate", false).getIntValue(), 90);
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

} // namespace
} // namespace plait::pdf::testing
