#include "TemporaryFile.h"

#include "Background.h"
#include "PendingOutputs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

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
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw Failure(Step::Create, errno);
    }
    // mkstemp makes the file private; give it the usual permissions an application's new
    // file gets, or those of the file it is to replace.
    struct stat st {};
    if (!permissionsOf.empty() && ::stat(permissionsOf.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    path_ = pattern;
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
}

void TemporaryFile::published() {
    dropPendingOutput(path_);
    path_.clear();
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
