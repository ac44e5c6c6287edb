#pragma once

#include "TemporaryFile.h"

#include <cstdio>
#include <memory>
#include <string>

namespace plait::pdf {

// The output under construction: a temporary file beside the target named
// ".NAME.plait-XXXXXX" (see TemporaryFile). Until commit() succeeds, the target is untouched;
// destroying an uncommitted OutputFile removes the temporary file.
class OutputFile {
public:
    // Creates the temporary file; throws EngineError(CannotCreateOutput) when the folder is
    // missing or not writable.
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() const { return temp_->stream(); }
    const std::string& tempPath() const { return tempPath_; }
    const std::string& target() const { return target_; }

    // Starts writing what was written so far to disk, without waiting for it, so that the
    // sync in commit() finds little left to do. Errors show at commit().
    void startWriteBack();

    // Starts syncing the complete file to disk while the caller goes on (TemporaryFile's
    // startSync); throws EngineError(CannotCreateOutput).
    void startSync();

    // Flushes, syncs and renames the temporary file over the target; throws
    // EngineError(CannotCreateOutput) on failure, leaving the target as it was.
    void commit();

private:
    std::string target_;
    std::unique_ptr<TemporaryFile> temp_;
    std::string tempPath_;      // kept after the temporary file took the target's name
    long long writtenBack_ = 0; // bytes handed to startWriteBack so far
};

} // namespace plait::pdf
