#pragma once

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plait::pdf {

// Flate streams handled in one piece with libdeflate, where qpdf's own filters would set up a
// zlib state for each stream (which costs more than a small stream holds) and decode in small
// steps.

// The decoded data of `stream` when its only filter is /FlateDecode without parameters and its
// data is one whole, intact zlib stream decoding to at most `limit` bytes. Empty for any other
// stream, or when reading its data fails: decode that one with qpdf, which also says what is
// wrong with it.
std::optional<std::string> inflateWhole(QPDFObjectHandle stream, std::size_t limit);

// The two halves of inflateWhole, for decoding on another thread: the stored bytes of a stream
// that inflateWhole would decode (read from its document, on the document's thread), and their
// decoding, which touches no document and may run on any thread.
std::shared_ptr<Buffer> rawFlate(QPDFObjectHandle stream);
std::optional<std::string> inflateRaw(const Buffer& raw, std::size_t limit);

// A new stream of `pdf` holding `data` compressed with /FlateDecode.
QPDFObjectHandle newFlateStream(QPDF& pdf, std::string_view data);

} // namespace plait::pdf
