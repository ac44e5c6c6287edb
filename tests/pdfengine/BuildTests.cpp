// The run itself: a merge, the failure codes, what a failed or cancelled run leaves behind.
#include "Fixtures.h"

#include <qpdf/QPDFPageDocumentHelper.hh>

#include <chrono>
#include <thread>

namespace plait::pdf::testing {
namespace {

using Strings = std::vector<std::string>;

// The calls the program makes when every field is at its default.
Build& defaultBuild(Build& b, const std::string& out, const std::string& in) {
    return b.call("setOutFile", {out})
        .call("setInFile", {in})
        .call("setOwner", {""})
        .call("setUser", {""})
        .call("setPageNumOutside")
        .call("setBookmarkKeep")
        .call("setTitle", {""})
        .call("setSubject", {""})
        .call("setAuthor", {""})
        .call("setProducer", {""})
        .call("setKeywords", {""})
        .call("setPwdList", {""})
        .call("setCmds", {""})
        .call("setPageDown", {"0"})
        .call("setPageRight", {"0"})
        .call("setMediaPlay", {""})
        .call("setPageCenter")
        .call("setPages", {""});
}

TEST(Build, DefaultBuildIsAPlainMergeThatEveryReaderOpens) {
    TempDir dir;
    const auto a = makePdf(dir.path("a.pdf"), "alpha", 2);
    const auto b = makePdf(dir.path("b.pdf"), "beta", 3);
    const auto out = dir.path("out.pdf").string();
    Build build;
    defaultBuild(build, out, a + "," + b);
    EXPECT_EQ(build.run(), "5");
    EXPECT_TRUE(build.engine.warnings().empty()) << build.engine.warnings().front();
    EXPECT_EQ(pageTexts(out), (Strings{"alpha 1", "alpha 2", "beta 1", "beta 2", "beta 3"}));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_NE(run("pdfinfo " + quote(out)).output.find("Pages:           5"), std::string::npos);
    EXPECT_EQ(run("mutool info " + quote(out)).exitCode, 0);
    EXPECT_EQ(run("qpdf --is-encrypted " + quote(out)).exitCode, 2);

    // Plain merge: page content is copied, not rewritten.
    QPDF in, merged;
    in.processFile(a.c_str());
    merged.processFile(out.c_str());
    auto orig = pageOf(in, 0).getKey("/Contents").getStreamData(qpdf_dl_all);
    auto copy = pageOf(merged, 0).getKey("/Contents").getStreamData(qpdf_dl_all);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(orig->getBuffer()), orig->getSize()),
              std::string(reinterpret_cast<const char*>(copy->getBuffer()), copy->getSize()));
    EXPECT_EQ(pageOf(merged, 0).getKey("/MediaBox").unparse(), pageOf(in, 0).getKey("/MediaBox").unparse());
    EXPECT_EQ(build.engine.stsTitle(), "PDF Plait - Building");
    EXPECT_EQ(build.engine.stsBar(), "100");
}

TEST(Build, LinksBetweenPagesFollowTheirPagesAndFormsSurvive) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"one", "two", "three"};
    layout.linkTo = {3, 1, 0}; // forward and backward links
    const auto a = makePdf(dir.path("a.pdf"), layout);
    const auto b = makePdf(dir.path("b.pdf"), "b", 1);
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {b + "," + a});
    ASSERT_EQ(build.run(), "4");
    QPDF q;
    q.processFile(out.c_str());
    auto pages = q.getAllPages();
    EXPECT_EQ(pages[1].getKey("/Annots").getArrayItem(0).getKey("/Dest").getArrayItem(0).getObjGen(),
              pages[3].getObjGen());
    EXPECT_EQ(pages[2].getKey("/Annots").getArrayItem(0).getKey("/Dest").getArrayItem(0).getObjGen(),
              pages[1].getObjGen());

    // A link whose target page was left out by the page list loses its target, with a note.
    Build pulled;
    pulled.call("setOutFile", {out}).call("setInFile", {a}).call("setPages", {"1"});
    ASSERT_EQ(pulled.run(), "1");
    EXPECT_TRUE(pulled.warned("links point at pages that are not in the output"));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

TEST(Build, APageTakenTwiceHasItsOwnLinksAndLinksWithoutTargetGo) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"one", "two", "three"};
    layout.linkTo = {3, 1, 0};
    const auto a = makePdf(dir.path("a.pdf"), layout);
    const auto out = dir.path("out.pdf").string();

    Build twice;
    twice.call("setOutFile", {out}).call("setInFile", {a}).call("setPages", {"1,3,1"});
    ASSERT_EQ(twice.run(), "3");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    {
        QPDF q;
        q.processFile(out.c_str());
        auto pages = q.getAllPages();
        auto first = pages[0].getKey("/Annots").getArrayItem(0);
        auto second = pages[2].getKey("/Annots").getArrayItem(0);
        EXPECT_NE(first.getObjGen(), second.getObjGen());
        for (auto link : {first, second})
            EXPECT_EQ(link.getKey("/Dest").getArrayItem(0).getObjGen(), pages[1].getObjGen());
    }

    // Both copies of page 1 lose their link to page 3: two links go, and none stays without
    // a target; page 2's link to page 1 stays.
    Build lost;
    lost.call("setOutFile", {out}).call("setInFile", {a}).call("setPages", {"1,1,2"});
    ASSERT_EQ(lost.run(), "3");
    EXPECT_TRUE(lost.warned("a.pdf: 2 links point at pages that are not in the output; they were removed"));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    QPDF q;
    q.processFile(out.c_str());
    auto pages = q.getAllPages();
    for (int i : {0, 1}) {
        auto annots = pages[static_cast<std::size_t>(i)].getKey("/Annots");
        EXPECT_TRUE(!annots.isArray() || annots.getArrayNItems() == 0) << i;
    }
    EXPECT_EQ(pages[2].getKey("/Annots").getArrayItem(0).getKey("/Dest").getArrayItem(0).getObjGen(),
              pages[0].getObjGen());
}

TEST(Build, FailureCodesLeaveNoOutputAndKeepAnExistingOne) {
    TempDir dir;
    const auto good = makePdf(dir.path("good.pdf"), "good", 2);
    const auto out = dir.path("out.pdf");
    writeFile(out, "previous output");

    const auto expectFailure = [&](const std::string& inputs, const std::string& code,
                                   const std::string& pages = "", const std::string& pwd = "") {
        Build b;
        b.call("setOutFile", {out.string()}).call("setInFile", {inputs}).call("setPages", {pages});
        b.call("setPwdList", {pwd});
        EXPECT_EQ(b.run(), code) << inputs;
        EXPECT_FALSE(b.engine.warnings().empty());
        EXPECT_EQ(readFile(out), "previous output");
        int entries = 0;
        for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.root()))
            ++entries;
        return entries;
    };

    const int baseline = expectFailure(dir.path("missing.pdf").string(), "-1");
    expectFailure(good + "," + dir.path("missing.pdf").string(), "-1");

    PdfSpec locked;
    locked.pageTexts = {"secret"};
    locked.userPassword = "open sesame";
    locked.ownerPassword = "owner secret";
    const auto enc = makePdf(dir.path("locked.pdf"), locked);
    expectFailure(enc, "-3");
    expectFailure(enc, "-3", "", "wrong,guess");

    // Not a PDF, whatever its name says; a PDF cut short before anything useful.
    writeFile(dir.path("text.pdf"), "just some words\n");
    expectFailure(dir.path("text.pdf").string(), "-4");
    const std::string whole = readFile(good);
    writeFile(dir.path("cut.pdf"), whole.substr(0, 20));
    expectFailure(dir.path("cut.pdf").string(), "-4");

    expectFailure(good, "-5", "7-9");
    expectFailure(good, "-5", "nonsense");

    // None of the failures left a temporary file behind.
    EXPECT_EQ(expectFailure(good, "-5", "9"), baseline + 3); // locked, text and cut
}

TEST(Build, DamagedInputsAreRepairedOrRefusedButNeverCrash) {
    TempDir dir;
    const std::string whole = readFile(makePdf(dir.path("good.pdf"), "good", 3));
    const auto out = dir.path("out.pdf").string();
    // Cut at many places and with bytes flipped: each build either succeeds with a file that
    // passes a check, or fails with a code; it never throws.
    for (std::size_t cut : {whole.size() / 4, whole.size() / 2, whole.size() * 3 / 4, whole.size() - 30}) {
        for (bool flip : {false, true}) {
            std::string damaged = whole.substr(0, cut);
            if (flip) {
                for (std::size_t i = 200; i < damaged.size(); i += 97)
                    damaged[i] = static_cast<char>(~damaged[i]);
            }
            writeFile(dir.path("bad.pdf"), damaged);
            fs::remove(out);
            Build b;
            b.call("setOutFile", {out}).call("setInFile", {dir.path("bad.pdf").string()});
            std::string result;
            ASSERT_NO_THROW(result = b.run());
            if (std::stoi(result) > 0) {
                EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode % 3, 0) << cut; // 0 ok, 3 warnings
                EXPECT_TRUE(b.warned("repaired"));
            } else {
                EXPECT_TRUE(result == "-4" || result == "-5") << result;
                EXPECT_FALSE(fs::exists(out));
            }
        }
    }
}

TEST(Build, OutputThatIsAnInputOrCannotBeWrittenIsRefused) {
    TempDir dir;
    const auto a = makePdf(dir.path("a.pdf"), "a", 1);
    const std::string before = readFile(a);
    Build same;
    same.call("setOutFile", {(dir.root() / "." / "a.pdf").string()}).call("setInFile", {a});
    EXPECT_EQ(same.run(), "-2");
    EXPECT_TRUE(same.warned("would be overwritten"));
    EXPECT_EQ(readFile(a), before);

    Build noFolder;
    noFolder.call("setOutFile", {dir.path("no/such/folder/out.pdf").string()}).call("setInFile", {a});
    EXPECT_EQ(noFolder.run(), "-2");

    if (::geteuid() != 0) { // root writes anywhere
        fs::create_directory(dir.path("ro"));
        fs::permissions(dir.path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        Build readOnly;
        readOnly.call("setOutFile", {dir.path("ro/out.pdf").string()}).call("setInFile", {a});
        EXPECT_EQ(readOnly.run(), "-2");
    }
}

TEST(Build, CancelStopsWithinASecondAndLeavesNothing) {
    TempDir dir;
    std::string inputs;
    for (int i = 0; i < 30; ++i) {
        inputs += (i ? "," : "") + makePdf(dir.path("in" + std::to_string(i) + ".pdf"), "in", 40);
    }
    const auto out = dir.path("out.pdf");
    writeFile(out, "keep me");

    Build before;
    before.call("setOutFile", {out.string()}).call("setInFile", {inputs});
    before.engine.setCancelBuild(1);
    EXPECT_EQ(before.run(), "-6");
    EXPECT_TRUE(before.warned("cancelled"));

    Build during;
    during.call("setOutFile", {out.string()}).call("setInFile", {inputs});
    std::string result;
    std::thread worker([&] { result = during.run(); });
    std::string seen;
    for (int i = 0; i < 2000 && seen.rfind("Reading", 0) != 0; ++i) {
        seen = during.engine.stsMsg();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto asked = std::chrono::steady_clock::now();
    during.engine.setCancelBuild(1);
    worker.join();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_NE(seen.find(" of 30)"), std::string::npos) << seen;
    if (result != "1200") { // the run may have finished before the cancel arrived
        EXPECT_EQ(result, "-6");
        EXPECT_EQ(readFile(out), "keep me");
    }
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.root()))
        ++entries;
    EXPECT_EQ(entries, 31);
}

TEST(Build, InputNamesWithCommasAreFound) {
    TempDir dir;
    const auto a = makePdf(dir.path("one, two.pdf"), "comma", 1);
    const auto b = makePdf(dir.path("b.pdf"), "plain", 1);
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {b + "," + a + "," + b});
    EXPECT_EQ(build.run(), "3");
    EXPECT_EQ(pageTexts(out), (Strings{"plain 1", "comma 1", "plain 1"}));
}

TEST(Build, OpensTheOutputOnlyAfterSuccess) {
    TempDir dir;
    const auto a = makePdf(dir.path("a.pdf"), "a", 1);
    Build ok;
    ok.call("setOutFile", {dir.path("out.pdf").string()}).call("setInFile", {a}).call("setOpen");
    ASSERT_EQ(ok.run(), "1");
    EXPECT_EQ(ok.viewer->opened, (Strings{dir.path("out.pdf").string()}));

    Build failed;
    failed.call("setOutFile", {dir.path("out2.pdf").string()}).call("setInFile", {a + "x"}).call("setOpen");
    EXPECT_EQ(failed.run(), "-1");
    EXPECT_TRUE(failed.viewer->opened.empty());
}

TEST(Build, OptionsNotBuiltYetAndUnknownParametersAreReported) {
    TempDir dir;
    const auto a = makePdf(dir.path("a.pdf"), "a", 1);
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {a}).call("setString", {"x"}).call("setOverlay");
    build.call("setCmds", {"linearize frobnicate=3"});
    EXPECT_EQ(build.run(), "1");
    EXPECT_TRUE(build.warned("\"x\" does not occur in the output"));
    EXPECT_TRUE(build.warned("setOverlay"));
    EXPECT_TRUE(build.warned("Unknown parameter \"frobnicate=3\""));
    EXPECT_NE(run("qpdf --check " + quote(out)).output.find("File is linearized"), std::string::npos);
}

TEST(Build, DeterministicOutputIsByteForByteRepeatable) {
    TempDir dir;
    const auto a = makePdf(dir.path("a.pdf"), "a", 2);
    std::string first;
    for (int i = 0; i < 2; ++i) {
        Build build;
        build.call("setOutFile", {dir.path("out.pdf").string()})
            .call("setInFile", {a})
            .call("setCmds", {"deterministic"});
        build.call("setTitle", {"Same"});
        ASSERT_EQ(build.run(), "2");
        if (i == 0)
            first = readFile(dir.path("out.pdf"));
    }
    EXPECT_EQ(readFile(dir.path("out.pdf")), first);
}

} // namespace
} // namespace plait::pdf::testing
