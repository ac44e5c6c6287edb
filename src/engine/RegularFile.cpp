#include "RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plait::engine {
namespace {

std::string kindProblem(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder, not a file";
    }
    if (!S_ISREG(st.st_mode)) {
        return "it is a device, a pipe or a socket, not a regular file";
    }
    return {};
}

} // namespace

std::string describeSize(std::uint64_t bytes) {
    constexpr std::uint64_t kMB = 1024 * 1024;
    if (bytes >= kMB && bytes % kMB == 0) {
        return std::to_string(bytes / kMB) + " MB";
    }
    return std::to_string(bytes) + " bytes";
}

std::string regularFileProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? "it does not exist"
                               : std::string("it cannot be read: ") + std::strerror(errno);
    }
    return kindProblem(st);
}

std::optional<std::string> readRegularFile(const std::string& path, std::uint64_t maxBytes,
                                           std::string& reason) {
    // Non-blocking, so that opening a FIFO with no writer returns at once; the descriptor is
    // then checked for what it really is before anything is read.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = errno == ENOENT ? "it does not exist"
                                 : std::string("it cannot be opened: ") + std::strerror(errno);
        return std::nullopt;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::string("it cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    if (std::string problem = kindProblem(st); !problem.empty()) {
        reason = std::move(problem);
        return std::nullopt;
    }
    const auto tooLarge = [&] {
        reason = "it is larger than " + describeSize(maxBytes);
        return std::nullopt;
    };
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        return tooLarge();
    }
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (true) {
        if (done == data.size()) {
            // The file may have grown since fstat: read on in small steps, up to the bound.
            if (done >= maxBytes) {
                char probe;
                const ssize_t n = ::read(fd, &probe, 1);
                if (n > 0) {
                    return tooLarge();
                }
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                break;
            }
            data.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, done + 65536)));
        }
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            reason = std::string("it cannot be read: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return data;
}

} // namespace plait::engine
