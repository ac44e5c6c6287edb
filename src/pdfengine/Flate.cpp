#include "Flate.h"

#include <qpdf/Buffer.hh>

#include <libdeflate.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

bool isFlate(QOH filter) {
    if (filter.isArray() && filter.getArrayNItems() == 1) {
        filter = filter.getArrayItem(0);
    }
    return filter.isNameAndEquals("/FlateDecode") || filter.isNameAndEquals("/Fl");
}

bool noParameters(QOH parms) {
    if (parms.isArray() && parms.getArrayNItems() == 1) {
        parms = parms.getArrayItem(0);
    }
    return parms.isNull() || (parms.isDictionary() && parms.getKeys().empty());
}

struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One of each per thread, made on first use: builds may run on several threads at once.
libdeflate_decompressor* decompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, FreeDecompressor> d(
        libdeflate_alloc_decompressor());
    return d.get();
}

// Data this small does not shrink enough to pay for looking for repeats: it is stored in Flate's
// uncompressed blocks, which cost a few bytes and no work. Larger data gets zlib's default
// level, the one qpdf compresses with.
constexpr std::size_t kStoredUpTo = 512;

libdeflate_compressor* compressor(std::size_t size) {
    thread_local std::unique_ptr<libdeflate_compressor, FreeCompressor> stored(
        libdeflate_alloc_compressor(0));
    thread_local std::unique_ptr<libdeflate_compressor, FreeCompressor> packed(
        libdeflate_alloc_compressor(6));
    return size <= kStoredUpTo ? stored.get() : packed.get();
}

} // namespace

std::shared_ptr<Buffer> rawFlate(QOH stream) {
    if (!stream.isStream()) {
        return nullptr;
    }
    QOH dict = stream.getDict();
    if (!isFlate(dict.getKey("/Filter")) || !noParameters(dict.getKey("/DecodeParms"))) {
        return nullptr;
    }
    try {
        return stream.getRawStreamData();
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::optional<std::string> inflateRaw(const Buffer& raw, std::size_t limit) {
    libdeflate_decompressor* d = decompressor();
    if (d == nullptr) {
        return std::nullopt;
    }
    const std::size_t in = raw.getSize();
    // Page content shrinks about fourfold; the buffer grows until the data fits.
    std::size_t room = std::min(limit, std::max<std::size_t>(4096, in * 8));
    while (true) {
        // Not cleared first: libdeflate writes every byte it reports.
        const auto out = std::make_unique_for_overwrite<char[]>(room);
        std::size_t used = 0, made = 0;
        const libdeflate_result r =
            libdeflate_zlib_decompress_ex(d, raw.getBuffer(), in, out.get(), room, &used, &made);
        if (r == LIBDEFLATE_SUCCESS && used == in) {
            return std::string(out.get(), made);
        }
        if (r != LIBDEFLATE_INSUFFICIENT_SPACE || room >= limit) {
            return std::nullopt; // damaged, cut short, followed by other bytes, or too large
        }
        room = room > limit / 4 ? limit : room * 4;
    }
}

std::optional<std::string> inflateWhole(QOH stream, std::size_t limit) {
    const std::shared_ptr<Buffer> raw = rawFlate(stream);
    if (!raw) {
        return std::nullopt;
    }
    return inflateRaw(*raw, limit);
}

QOH newFlateStream(QPDF& pdf, std::string_view data) {
    libdeflate_compressor* c = compressor(data.size());
    if (c == nullptr) {
        return pdf.newStream(std::string(data)); // left to the writer
    }
    std::string packed(libdeflate_zlib_compress_bound(c, data.size()), '\0');
    packed.resize(libdeflate_zlib_compress(c, data.data(), data.size(), packed.data(), packed.size()));
    if (packed.empty()) {
        return pdf.newStream(std::string(data));
    }
    QOH stream = pdf.newStream();
    stream.replaceStreamData(packed, QOH::newName("/FlateDecode"), QOH::newNull());
    return stream;
}

} // namespace plait::pdf
