#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plait::worker {

// One message between the program and its engine worker: a kind letter and text fields.
//   to the worker:   'C' operation args...   a set-operation, in the order it was made
//                    'B'                     run the build
//                    'X' value               setCancelBuild(value)
//   from the worker: 'T' path                a temporary output now exists
//                    'S' message bar title   status
//                    'W' text                a warning
//                    'R' result              what BuildPDF returned; the last message
// On the wire: the kind byte, the field count, then each field as its length and bytes
// (counts and lengths as four bytes, most significant first).
struct Message {
    char kind = 0;
    std::vector<std::string> fields;
};

std::string encode(const Message& message);

// Sends a whole message on a socket; false when the other side is gone. Never raises
// SIGPIPE.
bool send(int fd, const Message& message);

// Collects bytes as they arrive and hands out whole messages.
class MessageReader {
public:
    // A field longer than its kind allows, or a message of more fields, is a broken peer, not
    // a message: the reader never buffers more than one field of that size. Calls carry the
    // markup texts whole; a result may carry bookmark tags; the rest is a line of text.
    static constexpr std::size_t kMaxCallField = std::size_t{1} << 30;
    static constexpr std::size_t kMaxResultField = std::size_t{256} << 20;
    static constexpr std::size_t kMaxTextField = std::size_t{64} << 10;
    static constexpr std::size_t kMaxFields = 64;
    static std::size_t maxField(char kind);

    void feed(const char* data, std::size_t size) { buffer_.append(data, size); }
    // The next whole message, or nothing until more bytes arrive. Sets broken() on nonsense.
    std::optional<Message> next();
    bool broken() const { return broken_; }
    // The bytes received past the last whole message.
    std::string unread() const { return buffer_.substr(offset_); }

private:
    std::string buffer_;
    std::size_t offset_ = 0;
    bool broken_ = false;
};

} // namespace plait::worker
