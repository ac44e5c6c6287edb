#include "InputType.h"

#include "pdfengine/media/MediaPages.h"

#include "pdfengine/images/ImagePages.h"

namespace plait::pdf {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSpace(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == '\0';
}

// "<number> <number> obj" somewhere in the text, as every PDF body has.
bool holdsNumberedObject(std::string_view text) {
    for (std::size_t at = text.find("obj"); at != std::string_view::npos; at = text.find("obj", at + 3)) {
        std::size_t i = at;
        const auto skip = [&](auto pred) {
            const std::size_t from = i;
            while (i > 0 && pred(text[i - 1]))
                --i;
            return i != from;
        };
        if (skip(isSpace) && skip(isDigit) && skip(isSpace) && skip(isDigit)) {
            return true;
        }
    }
    return false;
}

} // namespace

SniffedInput sniffInput(std::string_view head) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    switch (sniffInputKind(bytes, head.size())) {
    case InputKind::Jpeg:
    case InputKind::Png:
    case InputKind::Gif:
    case InputKind::Tiff:
        return {InputType::Image, 0};
    case InputKind::Pdf:
    case InputKind::Unknown:
        break;
    }
    // Where strict readers look first; a media signature at the very start outranks a
    // header found further on, which may be text inside the media.
    const std::size_t header = head.find("%PDF-");
    if (header != std::string_view::npos && header < 1024) {
        return {InputType::Pdf, header};
    }
    if (sniffMediaType(bytes, head.size(), {})) {
        return {InputType::Other, 0};
    }
    if (header != std::string_view::npos) {
        return {InputType::Pdf, header};
    }
    if (holdsNumberedObject(head)) {
        // Does the first object start the file (blanks aside)?
        const std::size_t first = head.find("obj");
        const bool bare = holdsNumberedObject(head.substr(0, first + 3)) &&
                          head.find_first_not_of(" \r\n\t\f0123456789") == first;
        return {InputType::Pdf, 0, bare};
    }
    return {InputType::Other, 0};
}

} // namespace plait::pdf
