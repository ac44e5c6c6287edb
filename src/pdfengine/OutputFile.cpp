#include "OutputFile.h"

#include "EngineError.h"
#include "PendingOutputs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace plait::pdf {

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
    const fs::path targetPath(target_);
    if (targetPath.filename().empty()) {
        throw EngineError(BuildFailure::CannotCreateOutput, target_, "the output name has no file name");
    }
    std::error_code ec;
    if (fs::is_directory(targetPath, ec)) {
        throw EngineError(BuildFailure::CannotCreateOutput, target_, "the output name is a folder");
    }
    fs::path folder = targetPath.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    // A hidden name beside the target; mkstemp picks a name nobody else holds.
    std::string hidden = ".";
    hidden += targetPath.filename().string();
    hidden += ".plait-XXXXXX";
    std::string pattern = (folder / hidden).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw EngineError(BuildFailure::CannotCreateOutput, target_,
                          std::string("cannot create a file in the output folder: ") + std::strerror(errno));
    }
    // mkstemp makes the file private; give it the usual permissions an application's new
    // file gets (0666 less the umask), or those of the file it replaces.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    tempPath_ = pattern;
    addPendingOutput(tempPath_);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        ::unlink(tempPath_.c_str());
        dropPendingOutput(tempPath_);
        throw EngineError(BuildFailure::CannotCreateOutput, target_, "cannot open the temporary output");
    }
}

OutputFile::~OutputFile() {
    if (!committed_) {
        discard();
    }
}

void OutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        dropPendingOutput(tempPath_);
    }
}

void OutputFile::startWriteBack() {
    if (file_ == nullptr || std::fflush(file_) != 0) {
        return;
    }
    const off_t end = ::ftello(file_);
    if (end > writtenBack_) {
        ::sync_file_range(::fileno(file_), writtenBack_, end - writtenBack_, SYNC_FILE_RANGE_WRITE);
        writtenBack_ = end;
    }
}

void OutputFile::commit() {
    const auto fail = [&](const char* what) {
        const std::string reason = std::string(what) + ": " + std::strerror(errno);
        discard();
        throw EngineError(BuildFailure::CannotCreateOutput, target_, reason);
    };
    if (std::fflush(file_) != 0) {
        fail("cannot write the output");
    }
    if (::fsync(::fileno(file_)) != 0) {
        fail("cannot write the output to disk");
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        fail("cannot write the output");
    }
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        fail("cannot put the output in place");
    }
    committed_ = true;
    dropPendingOutput(tempPath_);
    // The folder is not synced after the rename. The file's data is on disk before the rename
    // (the fsync above), so whichever name a crash leaves in the folder, the old file or the
    // new one, is complete; syncing the folder would only make the rename itself survive a
    // crash, which is not worth a second wait for the disk on every build.
}

} // namespace plait::pdf
