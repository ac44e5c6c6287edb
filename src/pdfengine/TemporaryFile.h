#pragma once

#include <cstdio>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>

namespace plait::pdf {

// A file written under a hidden temporary name in the folder it is meant for and given its
// real name only when complete, so that nobody ever sees half of it and a failure leaves the
// folder as it was. Staying in the folder keeps the final rename on one file system, where it
// is atomic. The temporary file is announced as a pending output (PendingOutputs.h) while it
// exists, so that a process ending on a signal removes it; destroying a TemporaryFile that
// was not given its name removes it too.
class TemporaryFile {
public:
    // What failed, for the caller's message; errorNumber is errno (0 when there is none).
    enum class Step { Create, Open, Write, Sync, Rename };
    class Failure : public std::runtime_error {
    public:
        Failure(Step step, int errorNumber);
        Step step() const { return step_; }
        int errorNumber() const { return errorNumber_; }
        // strerror of errorNumber.
        std::string reason() const;

    private:
        Step step_;
        int errorNumber_;
    };

    // Creates `folder`/`hiddenPrefix`XXXXXX, the X's chosen so that nobody else holds the
    // name. The file gets the permission bits (0777) of `permissionsOf` when that is a regular
    // file, else those a new file usually gets (0666 less the umask); never set-user-ID,
    // set-group-ID or sticky. It is closed on exec. Throws Failure (Create, Open).
    TemporaryFile(const std::filesystem::path& folder, const std::string& hiddenPrefix,
                  const std::string& permissionsOf = {});
    ~TemporaryFile();

    // Removes the files `folder`/`hiddenPrefix`XXXXXX that a writer left when it was killed:
    // a file is taken only when no process holds it open for writing (each TemporaryFile
    // keeps a lock on its file for its life, which ends with its process).
    static void removeAbandoned(const std::filesystem::path& folder, const std::string& hiddenPrefix);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* stream() const { return file_; }
    const std::string& path() const { return path_; }

    // Throws Failure (Write).
    void write(const std::string& bytes);
    // Flushes what was written and starts syncing it to disk on a thread of its own, so that
    // this thread can go on (reading the file back) while the disk works; finish() takes the
    // result. Nothing may be written after it. Throws Failure (Write) after removing the file.
    void startSync();
    // Flushes what was written, syncs it to disk (or waits for startSync's sync) and closes
    // the file; throws Failure (Write, Sync) after removing the file, also when any earlier
    // write to stream() failed.
    void finish();
    // Renames the finished file over `target`, whatever that held, and makes the rename
    // durable; throws Failure (Rename) after removing the file, leaving `target` as it was.
    void replace(const std::string& target);
    // Gives the finished file the name `target` unless that name exists; false when it does.
    // Two writers can never replace each other's file. Throws Failure (Rename).
    bool publishNew(const std::filesystem::path& target);

private:
    [[noreturn]] void fail(Step step);
    void close();
    void remove();
    // The sync's errno (0 on success), once it is done; -1 when none was started.
    int waitForSync();
    void published();
    void releaseLock();

    std::string path_;
    std::FILE* file_ = nullptr;
    std::shared_future<int> syncing_; // the sync startSync() started
    int lockFd_ = -1;                 // holds the writer's lock until the file has its name
};

} // namespace plait::pdf
