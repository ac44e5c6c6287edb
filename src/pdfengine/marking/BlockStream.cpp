#include "BlockStream.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace plait::pdf {

std::shared_ptr<const std::string> BlockCache::block(Goffset index) {
    const auto found =
        std::find_if(recent_.begin(), recent_.end(), [&](const auto& b) { return b.first == index; });
    if (found != recent_.end()) {
        std::rotate(recent_.begin(), found, found + 1);
        return recent_.front().second;
    }
    const Goffset offset = index * kBlockSize;
    auto bytes = std::make_shared<std::string>(
        static_cast<std::size_t>(std::clamp<Goffset>(size_ - offset, 0, kBlockSize)), '\0');
    std::size_t got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::pread(fd_, bytes->data() + got, bytes->size() - got,
                                  static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes->resize(got);
    if (recent_.size() == kBlocksKept)
        recent_.pop_back();
    recent_.insert(recent_.begin(), {index, bytes});
    return bytes;
}

BlockStream::BlockStream(std::shared_ptr<BlockCache> cache, Goffset start, Goffset size, Object&& streamDict)
    : BaseStream(std::move(streamDict), size), cache_(std::move(cache)), start_(start) {
    seek(start_);
}

BaseStream* BlockStream::copy() {
    return new BlockStream(cache_, start_, length, dict.copy());
}

Stream* BlockStream::makeSubStream(Goffset start, bool limited, Goffset subLength, Object&& subDict) {
    if (!limited || start + subLength > start_ + length)
        subLength = start_ + length - start;
    return new BlockStream(cache_, start, subLength, std::move(subDict));
}

void BlockStream::setPos(Goffset pos, int dir) {
    seek(std::clamp(dir >= 0 ? pos : start_ + length - pos, start_, start_ + length));
}

void BlockStream::moveStart(Goffset delta) {
    start_ += delta;
    length -= delta;
    seek(start_);
}

void BlockStream::seek(Goffset pos) {
    block_.reset();
    data_ = ptr_ = end_ = nullptr;
    base_ = pos;
}

bool BlockStream::fill() {
    const Goffset pos = getPos();
    const Goffset end = start_ + length;
    if (pos < 0 || pos >= end)
        return false;
    const Goffset index = pos / BlockCache::kBlockSize;
    block_ = cache_->block(index);
    const Goffset offset = index * BlockCache::kBlockSize;
    const Goffset available = std::min<Goffset>(static_cast<Goffset>(block_->size()), end - offset);
    if (pos - offset >= available) {
        seek(pos);
        return false;
    }
    data_ = block_->data();
    base_ = offset;
    ptr_ = data_ + (pos - offset);
    end_ = data_ + available;
    return true;
}

int BlockStream::getChars(int nChars, unsigned char* buffer) {
    int n = 0;
    while (n < nChars && (ptr_ < end_ || fill())) {
        const int m = static_cast<int>(std::min<std::ptrdiff_t>(end_ - ptr_, nChars - n));
        std::memcpy(buffer + n, ptr_, static_cast<std::size_t>(m));
        ptr_ += m;
        n += m;
    }
    return n;
}

} // namespace plait::pdf
