#include "TemporaryFile.h"

#include "Background.h"
#include "PendingOutputs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace plait::pdf {

namespace {

const char* stepText(TemporaryFile::Step step) {
    switch (step) {
    case TemporaryFile::Step::Create:
        return "cannot create the temporary file";
    case TemporaryFile::Step::Open:
        return "cannot open the temporary file";
    case TemporaryFile::Step::Write:
        return "cannot write the temporary file";
    case TemporaryFile::Step::Sync:
        return "cannot write the temporary file to disk";
    case TemporaryFile::Step::Rename:
        return "cannot give the temporary file its name";
    }
    return "";
}

// mkostemp's pattern with the X's replaced; the descriptor of the new file, locked, or -1
// with errno set. The lock says that the file's writer is alive: it goes with the process,
// however that ends, and removeAbandoned() takes a file whose lock it can get for one nobody
// writes. Close-on-exec, so that no process this one starts (a viewer, a build) holds the
// file or its lock.
int createLocked(std::string& pattern) {
    const std::string model = pattern;
    for (int attempt = 0; attempt < 16; ++attempt) {
        pattern = model;
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        // Between the creation and the lock, removeAbandoned() may take the new file for an
        // abandoned one and remove it: then the name leads elsewhere, and another is made.
        // A file system without locks keeps the file unlocked: nobody can take it for abandoned.
        if (::flock(fd, LOCK_EX) != 0) {
            return fd;
        }
        struct stat mine {
        }, named{};
        if (::fstat(fd, &mine) == 0 && ::stat(pattern.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
            mine.st_ino == named.st_ino) {
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

} // namespace

void TemporaryFile::removeAbandoned(const fs::path& folder, const std::string& hiddenPrefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != hiddenPrefix.size() + 6 ||
            name.compare(0, hiddenPrefix.size(), hiddenPrefix) != 0) {
            continue;
        }
        const std::string path = it->path().string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat held {
        }, named{};
        // Only a regular file whose writer is gone (nobody holds its lock), and only while the
        // name still leads to it.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
}

TemporaryFile::Failure::Failure(Step step, int errorNumber)
    : std::runtime_error(errorNumber == 0 ? std::string(stepText(step))
                                          : std::string(stepText(step)) + ": " + std::strerror(errorNumber)),
      step_(step), errorNumber_(errorNumber) {}

std::string TemporaryFile::Failure::reason() const {
    return std::strerror(errorNumber_);
}

TemporaryFile::TemporaryFile(const fs::path& folder, const std::string& hiddenPrefix,
                             const std::string& permissionsOf) {
    std::string pattern = (folder / (hiddenPrefix + "XXXXXX")).string();
    const int fd = createLocked(pattern);
    if (fd < 0) {
        throw Failure(Step::Create, errno);
    }
    // mkstemp makes the file private; give it the usual permissions an application's new
    // file gets, or the read and write permissions of the regular file it is to replace. A
    // symbolic link is replaced, not followed, so its target's mode is not taken; and no
    // output ever carries the set-user-ID, set-group-ID or sticky bits, which would make a
    // document an executable that runs with another's rights.
    struct stat st {};
    if (!permissionsOf.empty() && ::lstat(permissionsOf.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(fd, st.st_mode & 0777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    path_ = pattern;
    // The lock lives with the open file, which this second descriptor keeps after the stream is
    // closed: until the file has its name, nobody can take it for abandoned.
    lockFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    addPendingOutput(path_);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        remove();
        throw Failure(Step::Open, 0);
    }
}

TemporaryFile::~TemporaryFile() {
    close();
    remove();
}

int TemporaryFile::waitForSync() {
    return syncing_.valid() ? syncing_.get() : -1;
}

void TemporaryFile::close() {
    waitForSync(); // the descriptor stays open while a sync uses it
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void TemporaryFile::remove() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        dropPendingOutput(path_);
        path_.clear();
    }
    releaseLock();
}

void TemporaryFile::published() {
    dropPendingOutput(path_);
    path_.clear();
    releaseLock();
}

void TemporaryFile::releaseLock() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

void TemporaryFile::fail(Step step) {
    // A stream that failed earlier may have nothing left to say: call it an I/O error then.
    const int error = errno != 0 ? errno : EIO;
    close();
    remove();
    throw Failure(step, error);
}

void TemporaryFile::write(const std::string& bytes) {
    if (file_ == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(Step::Write);
    }
}

void TemporaryFile::startSync() {
    if (syncing_.valid()) {
        return;
    }
    if (file_ == nullptr || std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        fail(Step::Write);
    }
    const int fd = ::fileno(file_);
    syncing_ = inBackground([fd] { return ::fsync(fd) == 0 ? 0 : errno; });
}

void TemporaryFile::finish() {
    // A write that failed earlier leaves its mark on the stream even when nothing is left to
    // flush: such a file is incomplete.
    if (file_ == nullptr || std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        fail(Step::Write);
    }
    int error = waitForSync();
    if (error < 0) {
        error = ::fsync(::fileno(file_)) == 0 ? 0 : errno;
    }
    if (error != 0) {
        errno = error;
        fail(Step::Sync);
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail(Step::Write);
    }
}

void TemporaryFile::replace(const std::string& target) {
    if (file_ != nullptr || path_.empty() || ::rename(path_.c_str(), target.c_str()) != 0) {
        fail(Step::Rename);
    }
    published();
    // The folder is not synced after the rename. The file's data is on disk before the rename
    // (finish() syncs it), so whichever name a crash leaves in the folder, the old file or the
    // new one, is complete; syncing the folder would only make the rename itself survive a
    // crash, which is not worth a second wait for the disk on every build.
}

bool TemporaryFile::publishNew(const fs::path& target) {
    if (file_ != nullptr || path_.empty()) {
        fail(Step::Rename);
    }
    // link() fails when the name is taken, so two writers cannot replace each other's file.
    if (::link(path_.c_str(), target.c_str()) == 0) {
        remove();
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    // A file system without hard links: check, then rename.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec))) {
        return false;
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        fail(Step::Rename);
    }
    published();
    return true;
}

} // namespace plait::pdf
