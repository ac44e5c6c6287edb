#include "AtomicFile.h"

#include "engine/FileName.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plait::ui {
namespace {

namespace fs = std::filesystem;

// The file a name leads to: a symbolic link is followed, so that the link stays.
fs::path resolveTarget(const std::string& path) {
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) {
            target = resolved;
        }
    }
    return target;
}

// A new temporary file beside the target; its descriptor, or -1 with errno set.
int createTemporary(const fs::path& target, bool ownerOnly, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target.string() + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable.
void syncFolder(const fs::path& target) {
    fs::path dir = target.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

std::optional<ReplaceFailure> replaceFileAtomically(const std::string& path, std::string_view bytes,
                                                    bool ownerOnly) {
    const fs::path target = resolveTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        return ReplaceFailure{"a folder of that name exists", EISDIR};
    }
    if (exists && engine::writeProtected(target.string())) {
        // Replacing the file by rename would get around its write protection.
        return ReplaceFailure{"the file is write-protected", EACCES};
    }

    std::string temp;
    const int fd = createTemporary(target, ownerOnly, temp);
    if (fd < 0) {
        return ReplaceFailure{"the file cannot be created", errno};
    }
    const auto abandon = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return ReplaceFailure{what, err};
    };
    if (ownerOnly) {
        if (::fchmod(fd, 0600) != 0) {
            return abandon("its permissions cannot be set");
        }
    } else if (exists) {
        // Best effort: a file owned by someone else may refuse it, and then keeps the default mode.
        // Never the set-user-ID, set-group-ID or sticky bits.
        (void)::fchmod(fd, existing.st_mode & 0777);
    }
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        return abandon("writing failed");
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return ReplaceFailure{"writing failed", err};
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return ReplaceFailure{"the file cannot be replaced", err};
    }
    syncFolder(target);
    return std::nullopt;
}

} // namespace plait::ui
