#include "Channel.h"

#include <cerrno>
#include <sys/socket.h>

namespace plait::worker {
namespace {

void putNumber(std::string& out, std::size_t n) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((n >> shift) & 0xFF));
    }
}

std::size_t getNumber(const std::string& in, std::size_t at) {
    std::size_t n = 0;
    for (int i = 0; i < 4; ++i) {
        n = (n << 8) | static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]);
    }
    return n;
}

} // namespace

std::string encode(const Message& message) {
    std::string out(1, message.kind);
    putNumber(out, message.fields.size());
    for (const auto& field : message.fields) {
        putNumber(out, field.size());
        out += field;
    }
    return out;
}

bool send(int fd, const Message& message) {
    const std::string bytes = encode(message);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t MessageReader::maxField(char kind) {
    switch (kind) {
    case 'C':
        return kMaxCallField;
    case 'R':
        return kMaxResultField;
    default:
        return kMaxTextField;
    }
}

std::optional<Message> MessageReader::next() {
    if (broken_) {
        return std::nullopt;
    }
    std::size_t at = offset_;
    const auto have = [&](std::size_t n) { return buffer_.size() - at >= n; };
    if (!have(5)) {
        return std::nullopt;
    }
    Message m;
    m.kind = buffer_[at];
    const std::size_t count = getNumber(buffer_, at + 1);
    at += 5;
    if (count > kMaxFields) {
        broken_ = true;
        return std::nullopt;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!have(4)) {
            return std::nullopt;
        }
        const std::size_t length = getNumber(buffer_, at);
        if (length > maxField(m.kind)) {
            broken_ = true;
            return std::nullopt;
        }
        at += 4;
        if (!have(length)) {
            return std::nullopt;
        }
        m.fields.push_back(buffer_.substr(at, length));
        at += length;
    }
    offset_ = at;
    // Drop what was read once it is most of the buffer, so the buffer does not grow forever.
    if (offset_ > 65536 && offset_ * 2 > buffer_.size()) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    return m;
}

} // namespace plait::worker
