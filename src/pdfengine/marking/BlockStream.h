#pragma once

#include <poppler/Object.h>
#include <poppler/Stream.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plait::pdf {

// The last few blocks read from a file, for the streams of one document (not shared between
// threads). A reader of a PDF jumps about the file (cross-reference, objects, contents) but
// mostly within a few regions at a time, so a handful of large blocks serve most reads with
// one system call each, and the file itself stays in the file system's cache.
class BlockCache {
public:
    static constexpr Goffset kBlockSize = 8 * 1024;

    BlockCache(int fd, Goffset size) : fd_(fd), size_(size) {}
    // Block `index` of the file (the bytes from index * kBlockSize on): up to kBlockSize bytes,
    // fewer at the end of the file or where reading fails.
    std::shared_ptr<const std::string> block(Goffset index);
    Goffset size() const { return size_; }

private:
    static constexpr std::size_t kBlocksKept = 4;
    int fd_;
    Goffset size_;
    std::vector<std::pair<Goffset, std::shared_ptr<const std::string>>> recent_; // newest first
};

// A stream over part of a file read through a BlockCache; poppler's own file stream reads
// 256 bytes at a time, a system call each.
class BlockStream : public BaseStream {
public:
    BlockStream(std::shared_ptr<BlockCache> cache, Goffset start, Goffset size, Object&& streamDict);

    BaseStream* copy() override;
    Stream* makeSubStream(Goffset start, bool limited, Goffset subLength, Object&& subDict) override;
    StreamKind getKind() const override { return strWeird; }
    void reset() override { seek(start_); }
    void close() override {}
    int getChar() override { return ptr_ < end_ || fill() ? static_cast<unsigned char>(*ptr_++) : EOF; }
    int lookChar() override { return ptr_ < end_ || fill() ? static_cast<unsigned char>(*ptr_) : EOF; }
    Goffset getPos() override { return base_ + (ptr_ - data_); }
    void setPos(Goffset pos, int dir = 0) override;
    Goffset getStart() override { return start_; }
    void moveStart(Goffset delta) override;
    int getUnfilteredChar() override { return getChar(); }
    void unfilteredReset() override { reset(); }

private:
    bool hasGetChars() override { return true; }
    int getChars(int nChars, unsigned char* buffer) override;
    void seek(Goffset pos);
    bool fill();

    std::shared_ptr<BlockCache> cache_;
    Goffset start_;
    std::shared_ptr<const std::string> block_; // the block ptr_ points into
    const char* data_ = nullptr;               // its first byte, at file offset base_
    const char* ptr_ = nullptr;
    const char* end_ = nullptr;
    Goffset base_ = 0;
};

} // namespace plait::pdf
