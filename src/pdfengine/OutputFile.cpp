#include "OutputFile.h"

#include "EngineError.h"
#include "engine/FileName.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

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
    // Replacing a file by rename gets around its write protection: a file the user may not
    // write is refused, as saving a settings file over it is. A symbolic link at the name is
    // replaced itself, whatever it points at.
    struct stat existing {};
    if (::lstat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        engine::writeProtected(target_)) {
        throw EngineError(BuildFailure::CannotCreateOutput, target_, "the output file is write-protected");
    }
    fs::path folder = targetPath.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string hiddenPrefix = "." + targetPath.filename().string() + ".plait-";
    // What a killed build of the same output left beside it goes now.
    TemporaryFile::removeAbandoned(folder, hiddenPrefix);
    try {
        temp_ = std::make_unique<TemporaryFile>(folder, hiddenPrefix, target_);
    } catch (const TemporaryFile::Failure& e) {
        throw EngineError(BuildFailure::CannotCreateOutput, target_,
                          e.step() == TemporaryFile::Step::Create
                              ? "cannot create a file in the output folder: " + e.reason()
                              : std::string("cannot open the temporary output"));
    }
    tempPath_ = temp_->path();
}

OutputFile::~OutputFile() = default;

void OutputFile::startWriteBack() {
    std::FILE* file = temp_->stream();
    if (file == nullptr || std::fflush(file) != 0) {
        return;
    }
    const off_t end = ::ftello(file);
    if (end > writtenBack_) {
        ::sync_file_range(::fileno(file), writtenBack_, end - writtenBack_, SYNC_FILE_RANGE_WRITE);
        writtenBack_ = end;
    }
}

void OutputFile::startSync() {
    try {
        temp_->startSync();
    } catch (const TemporaryFile::Failure& e) {
        std::string what = "cannot write the output: ";
        throw EngineError(BuildFailure::CannotCreateOutput, target_, what += e.reason());
    }
}

void OutputFile::commit() {
    try {
        temp_->finish();
        temp_->replace(target_);
    } catch (const TemporaryFile::Failure& e) {
        const char* what = e.step() == TemporaryFile::Step::Sync     ? "cannot write the output to disk"
                           : e.step() == TemporaryFile::Step::Rename ? "cannot put the output in place"
                                                                     : "cannot write the output";
        throw EngineError(BuildFailure::CannotCreateOutput, target_, std::string(what) + ": " + e.reason());
    }
}

} // namespace plait::pdf
