#pragma once

#include <cstdio>
#include <string>

namespace plait::pdf {

// The output under construction: a temporary file beside the target, so that the final
// rename stays on one file system and is atomic. Until commit() succeeds, the target is
// untouched; destroying an uncommitted OutputFile removes the temporary file.
class OutputFile {
public:
    // Creates the temporary file; throws EngineError(CannotCreateOutput) when the folder is
    // missing or not writable.
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() const { return file_; }
    const std::string& tempPath() const { return tempPath_; }
    const std::string& target() const { return target_; }

    // Starts writing what was written so far to disk, without waiting for it, so that the
    // sync in commit() finds little left to do. Errors show at commit().
    void startWriteBack();

    // Flushes, syncs and renames the temporary file over the target; throws
    // EngineError(CannotCreateOutput) on failure, leaving the target as it was.
    void commit();

private:
    void discard();

    std::string target_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    long long writtenBack_ = 0; // bytes handed to startWriteBack so far
    bool committed_ = false;
};

} // namespace plait::pdf
