#pragma once

#include <memory>

class BaseStream;
class Buffer;
class QPDF;

namespace plait::pdf {

// The output as the text search reads it. It is written to an unnamed temporary file, so that
// the bytes stay in the file system's cache rather than in the build's memory while the
// search holds the text library's documents (each reads it through a few blocks of its own); where no such
// file can be made (or written), it is written to memory instead. Never encrypted. A cancel during the write
// goes through.
class SearchCopy {
public:
    explicit SearchCopy(QPDF& pdf);
    ~SearchCopy();
    SearchCopy(const SearchCopy&) = delete;
    SearchCopy& operator=(const SearchCopy&) = delete;

    // A stream over the bytes for one reader, owned by the document it is given to. Readers on
    // several threads each open their own.
    BaseStream* open() const;

private:
    bool writeToFile(QPDF& pdf);

    int fd_ = -1;
    long long size_ = 0;
    std::shared_ptr<Buffer> memory_;
};

} // namespace plait::pdf
