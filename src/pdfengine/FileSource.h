#pragma once

#include <qpdf/InputSource.hh>

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plait::pdf {

class FileSource;

// The open files of one run. Every input stays readable until the output is written (qpdf
// copies stream data from its source only then), but a build may have thousands of inputs
// and a process only so many descriptors: past `maxOpen`, the file used longest ago is
// closed and reopened when it is read again.
class OpenFiles {
public:
    explicit OpenFiles(std::size_t maxOpen = 128) : maxOpen_(maxOpen < 1 ? 1 : maxOpen) {}
    std::size_t openCount() const;

private:
    friend class FileSource;
    std::size_t maxOpen_;
    mutable std::mutex mutex_;
    std::list<FileSource*> open_; // most recently used first
};

// An input file for qpdf, read with pread through a block cache. qpdf's own file source
// goes through stdio and costs a seek system call for nearly every token it reads; this one
// keeps the position itself and touches the file only when its block runs out.
//
// Used by one thread at a time (a source may pass from one thread to another).
class FileSource : public InputSource {
public:
    // Opens the file; throws QPDFSystemError when it cannot be opened.
    FileSource(std::string path, std::shared_ptr<OpenFiles> files);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Up to `n` bytes from the start of the file (the position is left alone).
    std::string head(std::size_t n);

    // Makes the byte at `offset` of the file the start of what the parser sees, as a
    // reader does with junk before the header: offsets inside the PDF count from there.
    // Call before the first read by the parser.
    void startAt(qpdf_offset_t offset);
    qpdf_offset_t start() const { return start_; }

    // Puts `header` in front of what the parser sees, for a file whose body starts at its
    // first byte with no header at all (the parser takes no object at offset 0). Offsets in
    // the file are then off by its length, which the parser's recovery puts right.
    void addHeader(std::string header);
    const std::string& addedHeader() const { return header_; }

    // Puts `trailer` after the end of the file, for a file cut short before its own trailer:
    // the parser's recovery finds it there.
    void addTrailer(std::string trailer);
    const std::string& addedTrailer() const { return trailer_; }

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const& getName() const override { return path_; }
    qpdf_offset_t tell() override { return pos_; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { seek(0, SEEK_SET); }
    size_t read(char* out, size_t length) override;
    void unreadCh(char ch) override;

private:
    // As large as a stdio buffer: a build may hold thousands of sources.
    static constexpr std::size_t kBlock = 4096;
    std::size_t preadAt(qpdf_offset_t at, char* dst, std::size_t len);   // as the parser sees it
    std::size_t preadFile(qpdf_offset_t at, char* dst, std::size_t len); // at an offset of the file
    void relayout();    // after header_, start_ or trailer_ changed
    void openLocked();  // with files_->mutex_ held
    void closeLocked(); // with files_->mutex_ held

    std::string path_;
    std::shared_ptr<OpenFiles> files_;
    int fd_ = -1;
    qpdf_offset_t size_ = 0;  // as the parser sees it
    qpdf_offset_t start_ = 0; // where the parser's offset 0 lies in the file
    std::string header_;      // bytes the parser sees before that
    std::string trailer_;     // and after the end of the file
    qpdf_offset_t fileSize_ = 0;
    qpdf_offset_t pos_ = 0;
    std::list<FileSource*>::iterator lruPosition_;
    std::vector<char> block_;
    qpdf_offset_t blockStart_ = 0;
    std::size_t blockLen_ = 0;
};

} // namespace plait::pdf
