// Passwords with characters beyond ASCII open what was locked with them, whatever encoding the
// encryption level stores them in.
#include "Fixtures.h"
#include "pdfengine/Security.h"

#include <algorithm>

namespace plait::pdf::testing {
namespace {

const std::string kJuergen = "J\xC3\xBCrgen";            // UTF-8, composed
const std::string kJuergenLatin1 = "J\xFCrgen";          // Latin-1 / PDFDocEncoding
const std::string kJuergenDecomposed = "Ju\xCC\x88rgen"; // u + combining diaeresis

bool contains(const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

TEST(Passwords, CandidatesCoverTheEncodingsReadersUse) {
    const auto utf8 = passwordCandidates(kJuergen);
    ASSERT_FALSE(utf8.empty());
    EXPECT_EQ(utf8.front(), kJuergen); // as typed first
    EXPECT_TRUE(contains(utf8, kJuergenLatin1));
    // Typed in Latin-1, the UTF-8 form is tried too.
    EXPECT_TRUE(contains(passwordCandidates(kJuergenLatin1), kJuergen));
    // SASLprep composes, maps odd spaces to a blank and drops invisible characters.
    EXPECT_TRUE(contains(passwordCandidates(kJuergenDecomposed), kJuergen));
    EXPECT_TRUE(contains(passwordCandidates("a\xC2\xA0"
                                            "b\xC2\xAD"),
                         "a b"));
    const auto padded = passwordCandidates(" secret ");
    EXPECT_EQ(padded.front(), " secret ");
    EXPECT_TRUE(contains(padded, "secret"));
    for (const auto& list : {utf8, padded, passwordCandidates("plain")}) {
        EXPECT_FALSE(contains(list, ""));
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_EQ(std::count(list.begin(), list.end(), list[i]), 1);
    }
    EXPECT_EQ(passwordCandidates("plain"), std::vector<std::string>{"plain"});
}

// An output locked with "Jürgen" opens again as an input with "Jürgen", at every level.
TEST(Passwords, AnOutputLockedWithAnAccentedPasswordOpensAgainWithIt) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "body", 2);
    struct Level {
        const char* name;
        std::vector<std::pair<std::string, std::string>> calls;
        std::string latin1Check; // the password bytes pdfinfo is given
    };
    const std::vector<Level> levels = {
        {"rc4-40", {}, kJuergenLatin1},
        {"rc4-128", {{"setEncrypt128", ""}}, kJuergenLatin1},
        {"aes128", {{"setCmds", "aes128"}}, kJuergenLatin1},
        {"aes256", {{"setCmds", "aes256"}}, kJuergen},
    };
    for (const auto& level : levels) {
        SCOPED_TRACE(level.name);
        const auto locked = dir.path(std::string(level.name) + ".pdf").string();
        Build lock;
        lock.call("setOutFile", {locked}).call("setInFile", {in}).call("setUser", {kJuergen});
        lock.call("setOwner", {"owner"});
        for (const auto& [op, arg] : level.calls) {
            if (arg.empty())
                lock.call(op);
            else
                lock.call(op, {arg});
        }
        ASSERT_EQ(lock.run(), "2");
        // An independent reader opens it with the bytes the level stores.
        EXPECT_EQ(run("pdfinfo -upw " + quote(level.latin1Check) + " " + quote(locked)).exitCode, 0);
        EXPECT_NE(run("pdfinfo " + quote(locked)).exitCode, 0);

        for (const auto& typed : {kJuergen, kJuergenLatin1}) {
            const auto again = dir.path("again.pdf").string();
            Build reopen;
            reopen.call("setOutFile", {again}).call("setInFile", {locked}).call("setPwdList", {"x," + typed});
            EXPECT_EQ(reopen.run(), "2");
            EXPECT_EQ(pageTexts(again).size(), 2u);
        }
    }
    // 256-bit AES normalises the password: typed decomposed, it still opens.
    const auto again = dir.path("nfd.pdf").string();
    Build reopen;
    reopen.call("setOutFile", {again})
        .call("setInFile", {dir.path("aes256.pdf").string()})
        .call("setPwdList", {kJuergenDecomposed});
    EXPECT_EQ(reopen.run(), "2");
    Build wrong;
    wrong.call("setOutFile", {again})
        .call("setInFile", {dir.path("aes256.pdf").string()})
        .call("setPwdList", {"Jurgen"});
    EXPECT_NE(wrong.run(), "2");
}

TEST(Passwords, EncryptionAskedForWithNothingToProtectIsSaid) {
    TempDir dir;
    const std::string in = makePdf(dir.path("in.pdf"), "in", 1);
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setOwner", {""}).call("setUser", {""});
    b.call("setEncrypt128");
    ASSERT_EQ(b.run(), "1");
    EXPECT_EQ(run("qpdf --is-encrypted " + quote(out)).exitCode, 2);
    EXPECT_TRUE(b.warned("128-bit encryption was asked for without a password or a restriction"));
}

} // namespace
} // namespace plait::pdf::testing
