#include "FileSource.h"

#include <qpdf/QPDFSystemError.hh>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plait::pdf {

std::size_t OpenFiles::openCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

FileSource::FileSource(std::string path, std::shared_ptr<OpenFiles> files)
    : path_(std::move(path)), files_(files ? std::move(files) : std::make_shared<OpenFiles>()) {
    std::lock_guard lock(files_->mutex_);
    openLocked();
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int error = errno;
        closeLocked();
        throw QPDFSystemError("stat " + path_, error);
    }
    fileSize_ = static_cast<qpdf_offset_t>(st.st_size);
    size_ = fileSize_;
}

FileSource::~FileSource() {
    std::lock_guard lock(files_->mutex_);
    closeLocked();
}

void FileSource::openLocked() {
    auto& open = files_->open_;
    while (open.size() >= files_->maxOpen_ && !open.empty()) {
        open.back()->closeLocked();
    }
    do {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        throw QPDFSystemError("open " + path_, errno);
    }
    open.push_front(this);
    lruPosition_ = open.begin();
}

void FileSource::closeLocked() {
    if (fd_ < 0) {
        return;
    }
    ::close(fd_);
    fd_ = -1;
    files_->open_.erase(lruPosition_);
}

// What the parser sees: the added header, the file from start_ on, the added trailer.
std::size_t FileSource::preadAt(qpdf_offset_t at, char* dst, std::size_t len) {
    const auto headerSize = static_cast<qpdf_offset_t>(header_.size());
    const qpdf_offset_t fileEnd = headerSize + fileSize_ - start_;
    std::size_t done = 0;
    const auto copy = [&](const std::string& bytes, qpdf_offset_t from) {
        const std::size_t n =
            std::min(len - done, static_cast<std::size_t>(static_cast<qpdf_offset_t>(bytes.size()) - from));
        std::memcpy(dst + done, bytes.data() + from, n);
        done += n;
    };
    if (at < headerSize) {
        copy(header_, at);
    }
    const qpdf_offset_t here = at + static_cast<qpdf_offset_t>(done);
    if (done < len && here < fileEnd) {
        const std::size_t want = std::min(len - done, static_cast<std::size_t>(fileEnd - here));
        const std::size_t got = preadFile(start_ + here - headerSize, dst + done, want);
        done += got;
        if (got < want) {
            return done; // the file shrank
        }
    }
    const qpdf_offset_t there = at + static_cast<qpdf_offset_t>(done);
    if (done < len && there >= fileEnd && there < fileEnd + static_cast<qpdf_offset_t>(trailer_.size())) {
        copy(trailer_, there - fileEnd);
    }
    return done;
}

void FileSource::relayout() {
    size_ = static_cast<qpdf_offset_t>(header_.size()) + fileSize_ - start_ +
            static_cast<qpdf_offset_t>(trailer_.size());
    pos_ = 0;
    blockStart_ = 0;
    blockLen_ = 0;
}

void FileSource::addHeader(std::string header) {
    header_ = std::move(header);
    relayout();
}

void FileSource::addTrailer(std::string trailer) {
    trailer_ = std::move(trailer);
    relayout();
}

std::size_t FileSource::preadFile(qpdf_offset_t at, char* dst, std::size_t len) {
    std::lock_guard lock(files_->mutex_);
    if (fd_ < 0) {
        openLocked();
    } else if (lruPosition_ != files_->open_.begin()) {
        files_->open_.splice(files_->open_.begin(), files_->open_, lruPosition_);
    }
    std::size_t done = 0;
    while (done < len) {
        const ssize_t n =
            ::pread(fd_, dst + done, len - done, static_cast<off_t>(at) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw QPDFSystemError("read " + path_, errno);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::string FileSource::head(std::size_t n) {
    std::string bytes(n, '\0');
    bytes.resize(preadFile(0, bytes.data(), n));
    return bytes;
}

void FileSource::startAt(qpdf_offset_t offset) {
    start_ = std::clamp<qpdf_offset_t>(offset, 0, fileSize_);
    relayout();
}

void FileSource::seek(qpdf_offset_t offset, int whence) {
    qpdf_offset_t target = offset;
    if (whence == SEEK_CUR) {
        target += pos_;
    } else if (whence == SEEK_END) {
        target += size_;
    }
    if (target < 0) {
        throw QPDFSystemError("seek in " + path_, EINVAL);
    }
    pos_ = target;
}

size_t FileSource::read(char* out, size_t length) {
    last_offset = pos_;
    std::size_t done = 0;
    while (done < length) {
        if (pos_ >= blockStart_ && pos_ < blockStart_ + static_cast<qpdf_offset_t>(blockLen_)) {
            const auto inBlock = static_cast<std::size_t>(pos_ - blockStart_);
            const std::size_t n = std::min(length - done, blockLen_ - inBlock);
            std::memcpy(out + done, block_.data() + inBlock, n);
            done += n;
            pos_ += static_cast<qpdf_offset_t>(n);
        } else if (length - done >= kBlock) {
            // Stream data and the like: straight into the caller's buffer.
            const std::size_t n = preadAt(pos_, out + done, length - done);
            done += n;
            pos_ += static_cast<qpdf_offset_t>(n);
            break;
        } else {
            // The block starts a little before the position, so that stepping back a few
            // bytes (as the tokenizer does) stays inside it.
            block_.resize(kBlock);
            blockStart_ = pos_ - pos_ % 512;
            blockLen_ = preadAt(blockStart_, block_.data(), kBlock);
            if (pos_ >= blockStart_ + static_cast<qpdf_offset_t>(blockLen_)) {
                break; // end of file
            }
        }
    }
    return done;
}

void FileSource::unreadCh(char) {
    if (pos_ > 0) {
        --pos_;
    }
}

qpdf_offset_t FileSource::findAndSkipNextEOL() {
    char buf[4096];
    while (true) {
        const qpdf_offset_t start = pos_;
        const std::size_t len = read(buf, sizeof buf);
        if (len == 0) {
            return pos_;
        }
        char* end = buf + len;
        char* eol = std::find_if(buf, end, [](char c) { return c == '\r' || c == '\n'; });
        if (eol == end) {
            continue;
        }
        const qpdf_offset_t result = start + (eol - buf);
        // Skip the whole run of line-end characters.
        pos_ = result + 1;
        char ch;
        while (read(&ch, 1) == 1) {
            if (ch != '\r' && ch != '\n') {
                unreadCh(ch);
                break;
            }
        }
        return result;
    }
}

} // namespace plait::pdf
