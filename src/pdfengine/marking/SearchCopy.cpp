#include "SearchCopy.h"

#include "BlockStream.h"

#include "pdfengine/Cancel.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <poppler/PDFDoc.h>
#include <poppler/Stream.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace plait::pdf {

namespace {

std::string temporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// A writer of the output as the search needs it: decrypted, and checking the build's cancel.
void prepare(QPDFWriter& writer) {
    writer.setPreserveEncryption(false);
    writer.registerProgressReporter(
        std::make_shared<QPDFWriter::FunctionProgressReporter>([](int) { checkCancel(); }));
}

} // namespace

SearchCopy::SearchCopy(QPDF& pdf) {
    if (writeToFile(pdf))
        return;
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    prepare(writer);
    writer.write();
    memory_ = writer.getBufferSharedPointer();
}

SearchCopy::~SearchCopy() {
    if (fd_ >= 0)
        ::close(fd_);
}

// The file has no name from the start (O_TMPFILE), so nothing is left behind whatever ends
// the build. A file system that cannot hold it, or a full disk, leaves the copy to memory.
bool SearchCopy::writeToFile(QPDF& pdf) {
    fd_ = ::open(temporaryFolder().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return false;
    bool written = false;
    if (std::FILE* out = ::fdopen(::fcntl(fd_, F_DUPFD_CLOEXEC, 0), "wb")) {
        try {
            QPDFWriter writer(pdf);
            writer.setOutputFile("the copy searched for text", out, false);
            prepare(writer);
            writer.write();
            written = std::fflush(out) == 0;
            size_ = std::ftell(out);
        } catch (const std::runtime_error&) {
            written = false;
        }
        std::fclose(out);
    }
    if (written && size_ > 0)
        return true;
    ::close(fd_);
    fd_ = -1;
    return false;
}

BaseStream* SearchCopy::open() const {
    if (fd_ >= 0)
        return new BlockStream(std::make_shared<BlockCache>(fd_, size_), 0, size_, Object(objNull));
    auto* data = memory_ ? reinterpret_cast<char*>(memory_->getBuffer()) : nullptr;
    const Goffset size = memory_ ? static_cast<Goffset>(memory_->getSize()) : 0;
    return new MemStream(data, 0, size, Object(objNull));
}

} // namespace plait::pdf
