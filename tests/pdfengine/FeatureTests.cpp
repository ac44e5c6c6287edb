// What the options do to the output: security, description, bookmarks, page lists, order.
#include "Fixtures.h"

#include "engine/TagReader.h"
#include "pdfengine/Description.h"
#include "pdfengine/InputFiles.h"
#include "pdfengine/PageList.h"

#include <qpdf/QPDFOutlineDocumentHelper.hh>

#include <set>

namespace plait::pdf::testing {
namespace {

using Strings = std::vector<std::string>;

std::string showEncryption(const std::string& pdf, const std::string& password) {
    return run("qpdf --show-encryption --password=" + quote(password) + " " + quote(pdf)).output;
}
bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
bool warnedIn(const Strings& warnings, const std::string& part) {
    for (const auto& w : warnings)
        if (has(w, part))
            return true;
    return false;
}

TEST(Security, LevelsPermissionsAndPasswords) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "x", 1);
    const auto out = dir.path("out.pdf").string();
    const auto build = [&](std::initializer_list<std::pair<std::string_view, std::string_view>> calls) {
        Build b;
        b.call("setOutFile", {out}).call("setInFile", {in});
        for (auto& [op, arg] : calls) {
            if (arg == "-")
                b.call(op);
            else
                b.call(op, {arg});
        }
        EXPECT_EQ(b.run(), "1");
        int checked = 2;
        for (const char* pw : {"owner", "user", ""}) {
            checked =
                std::min(checked, run("qpdf --check --password=" + quote(pw) + " " + quote(out)).exitCode);
        }
        EXPECT_EQ(checked, 0);
        return b.engine.warnings();
    };

    // 40-bit: revision 2; the finer restrictions fold into the coarser bits, with a note.
    auto weak =
        build({{"setOwner", "owner"}, {"setUser", "user"}, {"setNoCopy", "-"}, {"setNoAssemble", "-"}});
    std::string e = showEncryption(out, "owner");
    EXPECT_TRUE(has(e, "R = 2")) << e;
    EXPECT_TRUE(has(e, "extract for any purpose: not allowed")) << e;
    EXPECT_TRUE(has(e, "modify document assembly: not allowed")) << e;
    EXPECT_TRUE(has(e, "print high resolution: allowed")) << e;
    EXPECT_TRUE(warnedIn(weak, "cannot forbid assembly alone"));
    EXPECT_TRUE(has(showEncryption(out, "user"), "Supplied password is user password"));
    EXPECT_TRUE(has(showEncryption(out, ""), "Incorrect password")); // needs a password to open

    // 128-bit: revision 3 with each restriction on its own bit.
    build({{"setOwner", "owner"}, {"setEncrypt128", "-"}, {"setNoPrint", "-"}, {"setNoFillIn", "-"}});
    e = showEncryption(out, "owner");
    EXPECT_TRUE(has(e, "R = 3")) << e;
    EXPECT_TRUE(has(e, "print low resolution: not allowed")) << e;
    EXPECT_TRUE(has(e, "modify forms: not allowed")) << e;
    EXPECT_TRUE(has(e, "modify annotations: allowed")) << e;
    EXPECT_TRUE(has(e, "modify document assembly: allowed")) << e;

    // Hi-res printing alone at 128-bit leaves low-resolution printing.
    build({{"setOwner", "owner"}, {"setEncrypt128", "-"}, {"setNoDigital", "-"}});
    e = showEncryption(out, "owner");
    EXPECT_TRUE(has(e, "print low resolution: allowed")) << e;
    EXPECT_TRUE(has(e, "print high resolution: not allowed")) << e;

    // AES-256 on request; a non-Latin password works there.
    build({{"setOwner", "owner"}, {"setUser", "пароль"}, {"setCmds", "aes256"}});
    e = showEncryption(out, "owner");
    EXPECT_TRUE(has(e, "R = 6")) << e;
    EXPECT_TRUE(has(showEncryption(out, "пароль"), "Supplied password is user password"));

    // Restrictions without any password: encrypted, and the empty password is not the owner's.
    auto restricted = build({{"setOwner", ""}, {"setUser", ""}, {"setNoChange", "-"}});
    e = showEncryption(out, "");
    EXPECT_TRUE(has(e, "Supplied password is user password")) << e;
    EXPECT_TRUE(has(e, "modify other: not allowed")) << e;
    EXPECT_TRUE(warnedIn(restricted, "random"));

    // An open password alone: the empty password must not open the file as its owner.
    build({{"setOwner", ""}, {"setUser", "user"}});
    EXPECT_TRUE(has(showEncryption(out, ""), "Incorrect password"));
    EXPECT_TRUE(has(showEncryption(out, "user"), "Supplied password is"));

    // No password and no restriction: not encrypted.
    build({{"setOwner", ""}, {"setUser", ""}});
    EXPECT_EQ(run("qpdf --is-encrypted " + quote(out)).exitCode, 2);
}

// The AES levels chosen with their own operations: every reader opens them with either
// password and refuses a wrong one, and every restriction lands on its own bit.
TEST(Security, AesLevelsOpenInEveryReaderWithTheirPermissions) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "aes", 1);
    const auto out = dir.path("out.pdf").string();
    struct Level {
        const char *operation, *revision, *method, *algorithm;
    };
    for (const Level level : {Level{"setEncryptAES128", "R = 4", "method: AESv2", "AES"},
                              Level{"setEncryptAES256", "R = 6", "method: AESv3", "AES-256"}}) {
        SCOPED_TRACE(level.operation);
        Build b;
        b.call("setOutFile", {out})
            .call("setInFile", {in})
            .call("setOwner", {"owner"})
            .call("setUser", {"user"});
        // A cipher named in the parameters does not weaken the level chosen with the passwords.
        b.call(level.operation)
            .call("setNoCopy")
            .call("setNoFillIn")
            .call("setNoDigital")
            .call("setCmds", {"rc4"});
        ASSERT_EQ(b.run(), "1");
        EXPECT_EQ(run("qpdf --check --password=user " + quote(out)).exitCode, 0);

        const std::string e = showEncryption(out, "owner");
        EXPECT_TRUE(has(e, level.revision)) << e;
        EXPECT_TRUE(has(e, std::string("stream encryption ") + level.method)) << e;
        EXPECT_TRUE(has(e, std::string("string encryption ") + level.method)) << e;
        EXPECT_TRUE(has(e, "Supplied password is owner password")) << e;
        EXPECT_TRUE(has(e, "extract for any purpose: not allowed")) << e;
        EXPECT_TRUE(has(e, "modify forms: not allowed")) << e;
        EXPECT_TRUE(has(e, "print high resolution: not allowed")) << e;
        EXPECT_TRUE(has(e, "print low resolution: allowed")) << e;
        EXPECT_TRUE(has(e, "modify annotations: allowed")) << e;
        EXPECT_TRUE(has(e, "modify document assembly: allowed")) << e;
        EXPECT_TRUE(has(e, "modify other: allowed")) << e;
        EXPECT_TRUE(has(showEncryption(out, "user"), "Supplied password is user password"));
        EXPECT_TRUE(has(showEncryption(out, "wrong"), "Incorrect password"));

        for (const char* pw : {"-upw user", "-opw owner"}) {
            const auto info = run(std::string("pdfinfo ") + pw + " " + quote(out));
            EXPECT_EQ(info.exitCode, 0) << pw;
            EXPECT_TRUE(has(info.output, "algorithm:" + std::string(level.algorithm) + ")")) << info.output;
            EXPECT_TRUE(has(info.output, "copy:no")) << info.output;
        }
        EXPECT_NE(run("pdfinfo -upw wrong " + quote(out)).exitCode, 0);
        EXPECT_NE(run("pdfinfo " + quote(out)).exitCode, 0);

        for (const char* pw : {"user", "owner"}) {
            const auto text = run(std::string("mutool draw -F txt -o - -p ") + pw + " " + quote(out));
            EXPECT_EQ(text.exitCode, 0) << pw;
            EXPECT_TRUE(has(text.output, "aes 1")) << text.output;
        }
        EXPECT_NE(run("mutool draw -F txt -o - -p wrong " + quote(out)).exitCode, 0);
    }

    // Asked for with nothing to protect, AES is not written, and the note says so.
    Build none;
    none.call("setOutFile", {out}).call("setInFile", {in}).call("setEncryptAES256");
    ASSERT_EQ(none.run(), "1");
    EXPECT_EQ(run("qpdf --is-encrypted " + quote(out)).exitCode, 2);
    EXPECT_TRUE(warnedIn(none.engine.warnings(), "256-bit AES encryption was asked for without a password"));
}

TEST(Security, EncryptedInputsOpenWithAListedPassword) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"hidden"};
    layout.userPassword = "a,b c";
    layout.ownerPassword = "other";
    const auto in = makePdf(dir.path("locked.pdf"), layout);
    const auto plain = makePdf(dir.path("plain.pdf"), "plain", 1);
    const auto out = dir.path("out.pdf").string();
    Build b;
    // A comma inside a password is written "\,"; blanks around a password are forgiven.
    b.call("setOutFile", {out}).call("setInFile", {plain + "," + in}).call("setPwdList", {"nope, a\\,b c "});
    EXPECT_EQ(b.run(), "2");
    EXPECT_EQ(pageTexts(out), (Strings{"plain 1", "hidden"}));
    EXPECT_EQ(parsePasswordList("x\\\\,,y\\,z"), (Strings{"x\\", "y,z"}));
}

TEST(Description, InfoInAnyLanguageCustomKeysAndXmpInStep) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"p"};
    layout.title = "Original";
    layout.xmpTitle = "Original";
    const auto in = makePdf(dir.path("in.pdf"), layout);
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in});
    b.call("setTitle", {"Отчёт 報告 <1>"}).call("setAuthor", {"Zoë"}).call("setSubject", {""});
    b.call("setAttribute", {"Project Code", "X-1"});
    ASSERT_EQ(b.run(), "1");
    const std::string info = run("pdfinfo -enc UTF-8 " + quote(out)).output;
    EXPECT_TRUE(has(info, "Отчёт 報告 <1>\n")) << info;
    EXPECT_TRUE(has(info, "Zoë\n")) << info;
    EXPECT_TRUE(has(info, "PDF Plait 3.0\n")) << info;
    EXPECT_FALSE(has(info, "Subject:")) << info; // empty means not given

    QPDF q;
    q.processFile(out.c_str());
    EXPECT_EQ(q.getTrailer().getKey("/Info").getKey("/Project Code").getUTF8Value(), "X-1");
    auto xmpData = q.getRoot().getKey("/Metadata").getStreamData(qpdf_dl_all);
    const std::string xmp(reinterpret_cast<const char*>(xmpData->getBuffer()), xmpData->getSize());
    EXPECT_TRUE(has(xmp, "Отчёт 報告 &lt;1&gt;")) << xmp;
    EXPECT_FALSE(has(xmp, "Original")) << xmp;
    EXPECT_TRUE(has(xmp, "<pdf:Producer>PDF Plait")) << xmp;
    EXPECT_TRUE(has(xmp, "Zoë"));

    // A packet without RDF cannot be kept in step.
    std::string broken = "<x:xmpmeta/>";
    EXPECT_FALSE(updateXmp(broken, {}));
}

std::string outlineJson(const std::string& pdf) {
    return run("qpdf --json --json-key=outlines " + quote(pdf)).output;
}

TEST(Bookmarks, KeptOutlinesPointWhereTheirPagesLanded) {
    TempDir dir;
    PdfSpec a;
    a.pageTexts = {"a1", "a2"};
    a.bookmarks = {{"A start", 1}, {"A child", 2, 2}};
    PdfSpec b;
    b.pageTexts = {"b1", "b2", "b3"};
    b.bookmarks = {{"B last", 3}};
    const auto pa = makePdf(dir.path("a.pdf"), a);
    const auto pb = makePdf(dir.path("b.pdf"), b);
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {pa + "," + pb}).call("setBookmarkKeep");
    ASSERT_EQ(build.run(), "5");

    QPDF q;
    q.processFile(out.c_str());
    QPDFOutlineDocumentHelper outlines(q);
    auto top = outlines.getTopLevelOutlines();
    ASSERT_EQ(top.size(), 2u);
    const auto pageNo = [&](QPDFOutlineObjectHelper& item) {
        auto pages = q.getAllPages();
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (pages[i].getObjGen() == item.getDestPage().getObjGen())
                return static_cast<int>(i) + 1;
        return 0;
    };
    EXPECT_EQ(top[0].getTitle(), "A start");
    EXPECT_EQ(pageNo(top[0]), 1);
    auto kids = top[0].getKids();
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(pageNo(kids[0]), 2);
    EXPECT_EQ(top[1].getTitle(), "B last");
    EXPECT_EQ(pageNo(top[1]), 5);
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

TEST(Bookmarks, MarkupWritesTheOutlineAndWinsOverKeeping) {
    TempDir dir;
    PdfSpec a;
    a.pageTexts = {"1", "2", "3"};
    a.bookmarks = {{"Own", 1}};
    const auto in = makePdf(dir.path("a.pdf"), a);
    const auto out = dir.path("out.pdf").string();
    const std::string markup = "<BOOKMARK LEVEL=1 DESCR=\"Intro \"quoted\"\" PAGE=1>\r\n"
                               "<BOOKMARK LEVEL=2 DESCR=\"Détails 細節\" PAGE=3 CLOSED>\r\n"
                               "<BOOKMARK LEVEL=3 DESCR=\"Deep\" PAGE=2>\r\n"
                               "<BOOKMARK LEVEL=1 DESCR=\"Too far\" PAGE=9>\r\n"
                               "<BOOKMARK LEVEL=1 DESCR=\"Nowhere\" PAGE=>\r\n";
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {in}).call("setBookmarkKeep");
    build.call("setFileDataS", {"_bm_", markup}).call("setBookmarkFile", {"_bm_"});
    ASSERT_EQ(build.run(), "3");
    EXPECT_TRUE(build.warned("\"Too far\" points at page 9"));

    const std::string json = outlineJson(out);
    EXPECT_FALSE(has(json, "\"Own\"")) << json;
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);

    // Listing it again gives the same tags back, which the tag reader reads.
    Build list;
    list.call("setOutFile", {"membuild"})
        .call("setInFile", {out})
        .call("setPwdList", {""})
        .call("setBookmarkOut");
    const std::string tags = list.run();
    EXPECT_EQ(tags, "<BOOKMARK LEVEL=1 DESCR=\"Intro \"quoted\"\" PAGE=1>\r\n"
                    "<BOOKMARK LEVEL=2 DESCR=\"Détails 細節\" PAGE=3 CLOSED>\r\n"
                    "<BOOKMARK LEVEL=3 DESCR=\"Deep\" PAGE=2>\r\n"
                    "<BOOKMARK LEVEL=1 DESCR=\"Too far\" PAGE=>\r\n"
                    "<BOOKMARK LEVEL=1 DESCR=\"Nowhere\" PAGE=>\r\n");
    list.call("setTags", {tags});
    ASSERT_EQ(list.engine.getNextTag(), 1);
    EXPECT_EQ(list.engine.getTagParams("DESCR"), "Intro \"quoted\"");
    ASSERT_EQ(list.engine.getNextTag(), 1);
    EXPECT_EQ(list.engine.getTagParams("PAGE"), "3");

    // The closed entry hides its one child; the outline counts what is visible.
    QPDF q;
    q.processFile(out.c_str());
    EXPECT_EQ(q.getRoot().getKey("/Outlines").getKey("/Count").getIntValue(), 4);
}

TEST(Bookmarks, ListingAFileWithoutOutlineOrThatFailsGivesNoTags) {
    TempDir dir;
    const auto in = makePdf(dir.path("a.pdf"), "a", 1);
    Build plain;
    plain.call("setOutFile", {"membuild"}).call("setInFile", {in}).call("setBookmarkOut");
    EXPECT_EQ(plain.run(), "");
    Build missing;
    missing.call("setOutFile", {"membuild"}).call("setInFile", {in + ".gone"}).call("setBookmarkOut");
    const std::string r = missing.run();
    EXPECT_TRUE(engine::TagReader::parseAll(r).empty()) << r;
}

TEST(PageLists, ItemsRangesAndWords) {
    std::vector<std::string> notes;
    const auto pages = [&](std::string_view list, int count) {
        std::vector<int> r;
        for (int p : PageList::parse(list, notes).resolve(count))
            r.push_back(p + 1);
        return r;
    };
    using V = std::vector<int>;
    EXPECT_EQ(pages("1,3,6-8,odd,even", 8), (V{1, 3, 6, 7, 8, 1, 3, 5, 7, 2, 4, 6, 8}));
    EXPECT_EQ(pages("last", 4), V{4});
    EXPECT_EQ(pages("z-1", 3), (V{3, 2, 1}));
    EXPECT_EQ(pages(" 3 - 1 ", 5), (V{3, 2, 1}));
    EXPECT_EQ(pages("2-", 4), (V{2, 3, 4}));
    EXPECT_EQ(pages("", 2), (V{1, 2}));
    EXPECT_TRUE(notes.empty());
    // Past the end is skipped; a huge backwards range is not walked page by page.
    bool outside = false;
    EXPECT_EQ(PageList::parse("2000000000-2", notes).resolve(3, &outside), (std::vector<int>{2, 1}));
    EXPECT_TRUE(outside);
    EXPECT_EQ(pages("0,x,1-y,-", 3), V{});
    EXPECT_EQ(notes.size(), 4u);
}

TEST(InputOrder, SortKeysAndNames) {
    EXPECT_TRUE(naturalLess("p2.pdf", "p10.pdf"));
    EXPECT_FALSE(naturalLess("p10.pdf", "p2.pdf"));
    EXPECT_TRUE(naturalLess("p02", "p3"));
    EXPECT_TRUE(naturalLess("a", "ab"));

    TempDir dir;
    const auto big = makePdf(dir.path("p10.pdf"), "ten", 3);
    const auto small = makePdf(dir.path("p2.pdf"), "two", 1);
    const auto mid = makePdf(dir.path("a.pdf"), "alpha", 2);
    // Oldest first for 'd'.
    fs::last_write_time(small, fs::file_time_type::clock::now() - std::chrono::hours(3));
    fs::last_write_time(big, fs::file_time_type::clock::now() - std::chrono::hours(2));
    fs::last_write_time(mid, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const auto order = [&](std::string key) {
        Build b;
        const auto out = dir.path("out.pdf").string();
        b.call("setOutFile", {out}).call("setInFile", {big + "," + small + "," + mid}).call("setSort", {key});
        b.call("setPages", {"1"});
        EXPECT_EQ(b.run(), "3");
        return pageTexts(out);
    };
    EXPECT_EQ(order("f"), (Strings{"alpha 1", "ten 1", "two 1"}));
    EXPECT_EQ(order("n"), (Strings{"alpha 1", "two 1", "ten 1"}));
    EXPECT_EQ(order("b"), (Strings{"two 1", "alpha 1", "ten 1"}));
    EXPECT_EQ(order("d"), (Strings{"two 1", "ten 1", "alpha 1"}));
}

TEST(InputOrder, SplittingTheListTriesJoinedNames) {
    const std::set<std::string> files{"/x/a,b.pdf", "/x/c.pdf", "/x/d,e,f.pdf"};
    const auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    EXPECT_EQ(splitInputList("/x/a,b.pdf,/x/c.pdf,/x/d,e,f.pdf", exists),
              (Strings{"/x/a,b.pdf", "/x/c.pdf", "/x/d,e,f.pdf"}));
    // A missing piece stands alone and fails later as a missing input.
    EXPECT_EQ(splitInputList("/x/gone.pdf,,/x/c.pdf", exists), (Strings{"/x/gone.pdf", "/x/c.pdf"}));
}

} // namespace
} // namespace plait::pdf::testing
