// Reading a file whole, with a bound, and only when it is a regular file.
#include "engine/RegularFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace plait::engine {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path root;
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "plait-regular-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
    }
    ~Folder() { fs::remove_all(root); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(root / name, std::ios::binary) << bytes;
        return (root / name).string();
    }
};

TEST(RegularFile, ReadsUpToTheBoundAndRefusesMore) {
    Folder f;
    const std::string path = f.write("a.txt", std::string(1000, 'a') + "end");
    std::string reason;
    auto whole = readRegularFile(path, 1003, reason);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 1003u);
    EXPECT_EQ(whole->substr(1000), "end");
    EXPECT_FALSE(readRegularFile(path, 1002, reason));
    EXPECT_EQ(reason, "it is larger than 1002 bytes");
    const std::string empty = f.write("empty", "");
    auto none = readRegularFile(empty, 10, reason);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(describeSize(64ull * 1024 * 1024), "64 MB");
}

TEST(RegularFile, RefusesWhatIsNoRegularFileWithoutWaitingOrReading) {
    Folder f;
    const std::string fifo = (f.root / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string reason;
    // A pipe with no writer: a blocking open would never return.
    EXPECT_FALSE(readRegularFile(fifo, 1 << 20, reason));
    EXPECT_EQ(reason, "it is a device, a pipe or a socket, not a regular file");
    // An endless device: reading it would fill memory.
    EXPECT_FALSE(readRegularFile("/dev/zero", 1 << 20, reason));
    EXPECT_EQ(reason, "it is a device, a pipe or a socket, not a regular file");
    EXPECT_FALSE(readRegularFile(f.root.string(), 1 << 20, reason));
    EXPECT_EQ(reason, "it is a folder, not a file");
    EXPECT_FALSE(readRegularFile((f.root / "missing").string(), 1 << 20, reason));
    EXPECT_EQ(reason, "it does not exist");

    EXPECT_EQ(regularFileProblem(fifo), "it is a device, a pipe or a socket, not a regular file");
    EXPECT_EQ(regularFileProblem("/dev/null"), "it is a device, a pipe or a socket, not a regular file");
    EXPECT_EQ(regularFileProblem((f.root / "missing").string()), "it does not exist");
    EXPECT_EQ(regularFileProblem(f.write("ok", "x")), "");
}

} // namespace
} // namespace plait::engine
