#pragma once

#include "MediaOptions.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plait::pdf {

// An audio or video format we can embed: what the page calls it and its MIME type.
struct MediaType {
    std::string label; // "WAV audio", "MP4 video", ...
    std::string mime;  // "audio/wav", "video/mp4", ...
};

// The format of a media file judged by its first bytes; when the bytes say nothing (a raw MP3
// stream without a recognisable frame, a truncated header) the file name's extension decides,
// since the user chose to add the file as media. nullopt when neither knows the format.
std::optional<MediaType> sniffMediaType(const unsigned char* data, std::size_t size,
                                        const std::string& fileName);

// One new page (US Letter landscape) per entry of `copies`, each showing the file's name and
// kind and holding a screen annotation that plays the file, embedded once. The file is also
// listed in the document's embedded files so that readers without multimedia can open it.
// The pages are indirect objects of `pdf`, not yet in the page tree.
std::vector<QPDFObjectHandle> makeMediaPages(QPDF& pdf, const std::string& fileName, const std::string& data,
                                             const MediaType& type, const MediaOptions& options, int copies);

} // namespace plait::pdf
