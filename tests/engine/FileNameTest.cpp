// The one reading of file names: folders resolved as the file system resolves them, the last
// part kept, and "the same file" decided by identity.
#include "engine/FileName.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace plait::engine {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path root;
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "plait-names-XXXXXX").string();
        root = fs::canonical(::mkdtemp(pattern.data()));
    }
    ~Folder() { fs::remove_all(root); }
    std::string write(const fs::path& name) const {
        fs::create_directories((root / name).parent_path());
        std::ofstream(root / name) << "x";
        return (root / name).string();
    }
    std::string at(const std::string& name) const { return (root / name).string(); }
};

TEST(FileName, FoldersAreResolvedAsTheFileSystemOpensThem) {
    Folder f;
    f.write("real/deep/x.pdf");
    f.write("x.pdf");
    fs::create_directory_symlink(f.root / "real" / "deep", f.root / "sub");
    // "sub/.." is the folder above the link's target, not the folder holding the link.
    EXPECT_EQ(resolveFileName("sub/../x.pdf", f.root.string()), f.at("real/x.pdf"));
    EXPECT_EQ(resolveFileName("./sub/./x.pdf", f.root.string()), f.at("real/deep/x.pdf"));
    // Parts that do not exist are folded without the file system.
    EXPECT_EQ(resolveFileName("none/../y.pdf", f.root.string()), f.at("y.pdf"));
    EXPECT_EQ(resolveFileName("real/", f.root.string()), f.at("real"));
    EXPECT_EQ(resolveFileName("real/deep/..", f.root.string()), f.at("real"));
    // A full name ignores the base; blanks belong to the name.
    EXPECT_EQ(resolveFileName(f.at("sub/x.pdf"), "/elsewhere"), f.at("real/deep/x.pdf"));
    EXPECT_EQ(resolveFileName(" a.pdf ", f.root.string()), f.at(" a.pdf "));
}

TEST(FileName, ALinkAtTheNameItselfIsKeptButItsFileIsTheSame) {
    Folder f;
    const std::string target = f.write("in.pdf");
    fs::create_symlink(target, f.root / "link.pdf");
    EXPECT_EQ(resolveFileName("link.pdf", f.root.string()), f.at("link.pdf"));
    EXPECT_TRUE(sameFile("link.pdf", target, f.root.string()));
}

TEST(FileName, SameFileComparesIdentitiesAndNamesOfFilesNotYetWritten) {
    Folder f;
    const std::string a = f.write("a.pdf");
    const std::string b = f.write("b.pdf");
    fs::create_hard_link(a, f.root / "hard.pdf");
    fs::create_directory_symlink(f.root, f.root / "again");
    EXPECT_TRUE(sameFile(a, "hard.pdf", f.root.string()));
    EXPECT_TRUE(sameFile(a, "again/again/a.pdf", f.root.string()));
    EXPECT_FALSE(sameFile(a, b));
    // Not written yet: two spellings of one name are one file, two names are two.
    const std::string throughLink = "again/../" + f.root.filename().string() + "/x/../new.pdf";
    EXPECT_TRUE(sameFile("new.pdf", throughLink, f.root.string()));
    EXPECT_TRUE(sameFile("new.pdf", "./new.pdf", f.root.string()));
    EXPECT_FALSE(sameFile("new.pdf", "New.pdf", f.root.string()));
    EXPECT_FALSE(sameFile("new.pdf", a, f.root.string()));
}

TEST(FileName, ControlCharactersAreShownEscaped) {
    EXPECT_EQ(printableName("a\x1b[2Jb.pdf"), "a\\x1b[2Jb.pdf");
    EXPECT_EQ(printableName("tab\there\nnew\x7f"), "tab\\x09here\\x0anew\\x7f");
    EXPECT_EQ(printableName("plain é.pdf"), "plain é.pdf");
}

} // namespace
} // namespace plait::engine
