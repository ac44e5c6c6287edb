// What the batch command loads: runs that need no image codec start without libpng, libtiff
// and giflib (and without the text-marking and scripts modules' libraries), and a program
// whose image module is missing or broken fails the builds that need it, naming the input.

#include "pdfengine/Fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include <sys/wait.h>

namespace {

using namespace plait::pdf::testing;
using ::testing::HasSubstr;
using ::testing::Not;

// A 2 x 2 RGB PNG: red, black / blue, white.
const std::string kPng(
    "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x02\x00\x00\x00\x02\x08\x02\x00\x00\x00\xfd\xd4\x9a"
    "s\x00\x00\x00\x12IDATx\x9c\x63\xf8\xcf\x00\x04\xff\x41\xe8\xff\xff\xff\x00\x1f\xee\x05\xfbm\xdc\xce"
    "\xad\x00\x00\x00\x00IEND\xae\x42\x60\x82",
    75);

struct Result {
    int exitCode = -1;
    std::string err;
};

// Runs `program` with the arguments in `cwd`, with `env` ("NAME=value ...") before it.
Result runIn(const fs::path& cwd, const std::string& program, const std::vector<std::string>& args,
             const std::string& env = "") {
    const fs::path errFile = cwd / ".stderr";
    std::string line = "cd " + quote(cwd.string()) + " && " + env + " " + quote(program);
    for (const auto& a : args) {
        line += " " + quote(a);
    }
    line += " >/dev/null 2>" + quote(errFile.string());
    const int status = std::system(line.c_str());
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errFile);
    fs::remove(errFile);
    return r;
}

// The shared objects whose initialisers ran, as the dynamic loader reports them.
std::string loadedBy(const fs::path& cwd, const std::vector<std::string>& args) {
    const Result r = runIn(cwd, PLAIT_CLI_PATH, args, "LD_DEBUG=libs");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string loaded;
    std::istringstream in(r.err);
    for (std::string line; std::getline(in, line);) {
        if (line.find("calling init:") != std::string::npos) {
            loaded += line.substr(line.find("calling init:") + 13) + "\n";
        }
    }
    EXPECT_THAT(loaded, HasSubstr("libqpdf")) << "the loader's report was not read";
    return loaded;
}

// The settings of a build that exports the inputs' images instead of building a PDF.
void writeExportSettings(const fs::path& cwd, const std::string& name) {
    ASSERT_EQ(runIn(cwd, "sh",
                    {"-c", quote(PLAIT_CLI_PATH) +
                               " settings | awk 'p { print \" 1 \\r\"; p = 0; next } "
                               "{ print } /^\\[Field=chkImages /{ p = 1 }' >" +
                               name})
                  .exitCode,
              0);
}

class ImageModule : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.path("photo.png"), kPng);
        makePdf(dir.path("a.pdf"), "alpha", 4);
        makePdf(dir.path("b.pdf"), "beta", 4);
    }
    TempDir dir;
};

TEST_F(ImageModule, HelpAndAPdfMergeLoadNoImageOrTextLibraries) {
    const std::vector<std::string> unwanted = {"libpng",   "libtiff",     "libgif",
                                               "libwebp",  "libplait_",   "libpoppler",
                                               "libicuuc", "libharfbuzz", "libfontconfig"};
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"build", "-q", "-o", "merged.pdf", "a.pdf", "b.pdf"}}) {
        const std::string loaded = loadedBy(dir.root(), args);
        for (const auto& library : unwanted) {
            EXPECT_THAT(loaded, Not(HasSubstr(library))) << args[0];
        }
    }
    EXPECT_EQ(pageCount(dir.path("merged.pdf").string()), 8);

    // The same check sees the module and its codecs when a build reads a PNG.
    const std::string loaded = loadedBy(dir.root(), {"build", "-q", "-o", "photo.pdf", "photo.png"});
    EXPECT_THAT(loaded, HasSubstr("libplait_images.so"));
    EXPECT_THAT(loaded, HasSubstr("libpng"));
    EXPECT_EQ(run("qpdf --check " + quote(dir.path("photo.pdf").string())).exitCode, 0);
}

TEST_F(ImageModule, WithoutTheModuleImageBuildsFailNamingTheInputAndPdfBuildsStillWork) {
    // A copy of the program outside the build tree, with no module folder beside it.
    fs::create_directories(dir.path("solo/bin"));
    const std::string solo = dir.path("solo/bin/plait").string();
    fs::copy_file(PLAIT_CLI_PATH, solo);
    writeFile(dir.path("old.pdf"), "previous output");

    Result r = runIn(dir.root(), solo, {"build", "-q", "-o", "old.pdf", "a.pdf", "photo.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("photo.png"));
    EXPECT_THAT(r.err, HasSubstr("the image module is missing"));
    EXPECT_EQ(readFile(dir.path("old.pdf")), "previous output");

    // Exporting the images of a PDF needs the PNG writer: a failure naming the PDF, not a
    // build that succeeds with its images skipped.
    ASSERT_EQ(runIn(dir.root(), PLAIT_CLI_PATH, {"build", "-q", "-o", "photo.pdf", "photo.png"}).exitCode, 0);
    writeExportSettings(dir.root(), "export.plt");
    r = runIn(dir.root(), solo, {"build", "-q", "--settings", "export.plt", "-o", "pics", "photo.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("photo.pdf"));
    EXPECT_THAT(r.err, HasSubstr("the image module is missing"));
    // With the module, the same export writes the picture.
    ASSERT_EQ(runIn(dir.root(), PLAIT_CLI_PATH,
                    {"build", "-q", "--settings", "export.plt", "-o", "pics2", "photo.pdf"})
                  .exitCode,
              0);
    EXPECT_TRUE(fs::exists(dir.path("pics2/photo-p1-1.png")));

    EXPECT_EQ(runIn(dir.root(), solo, {"build", "-q", "-o", "merged.pdf", "a.pdf", "b.pdf"}).exitCode, 0);
    EXPECT_EQ(pageCount(dir.path("merged.pdf").string()), 8);

    // A module file that cannot be loaded is no better than none.
    fs::create_directories(dir.path("solo/lib/pdfplait"));
    writeFile(dir.path("solo/lib/pdfplait/libplait_images.so"), "not a shared object");
    r = runIn(dir.root(), solo, {"build", "-q", "-o", "new.pdf", "photo.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("photo.png"));
    EXPECT_THAT(r.err, HasSubstr("the image module is missing"));
    EXPECT_FALSE(fs::exists(dir.path("new.pdf")));
}

} // namespace
