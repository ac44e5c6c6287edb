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

    // Flushes, syncs and renames the temporary file over the target; throws
    // EngineError(CannotCreateOutput) on failure, leaving the target as it was.
    void commit();

private:
    void discard();

    std::string target_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

} // namespace plait::pdf
