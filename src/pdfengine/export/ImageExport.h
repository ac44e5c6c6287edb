#pragma once

// Writes the images of PDF pages to a folder as files of their own.

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace plait::pdf {

// Decoded samples of one image, 8 bits a sample, top row first: 1 (grey) or 3 (RGB)
// components a pixel.
struct Raster {
    unsigned width = 0, height = 0;
    int components = 0;
    std::string samples;
};

// The image's pixels as grey or RGB. Returns false and says why in `reason` when the image
// uses what this cannot turn into plain samples (a filter qpdf does not decode, a colour
// space without a device equivalent, truncated data). CMYK is turned into RGB by the plain
// formula (no colour management); `approximated` is set then.
bool decodeImage(QPDFObjectHandle image, Raster& raster, std::string& reason, bool& approximated);

// A PNG file of the raster, made by the image module (ImagesModule.h), which is loaded the
// first time; throws ImagesModuleMissing when it cannot be, std::runtime_error when the file
// cannot be made.
std::string encodePng(const Raster& raster);

// Writes `bytes` as `folder`/`stem``ext`, or as `stem`-2`ext`, -3, ... when that name is
// taken: an existing file is never replaced. The bytes go to a temporary file first and
// appear under their name only when complete. Returns the path written; throws
// std::runtime_error when the folder cannot be written.
std::filesystem::path writeNewFile(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& ext, const std::string& bytes);

// Exports the images of the pages of one document after another into one folder.
class ImageExporter {
public:
    using Warn = std::function<void(std::string)>;
    ImageExporter(std::filesystem::path folder, Warn warn, std::function<void()> checkCancel);

    // A new document: images seen in the previous one may be exported again.
    void startDocument(std::string baseName);
    // Every image XObject the page shows, forms included, each once per document. Files
    // are named <base name>-p<pageNumber>-<n>.<ext>, n counting from 1 on the page.
    void exportPage(QPDFPageObjectHelper page, int pageNumber);

    int written() const { return written_; }
    int skipped() const { return skipped_; }
    bool approximated() const { return approximated_; }

private:
    std::filesystem::path folder_;
    Warn warn_;
    std::function<void()> checkCancel_;
    std::string base_;
    std::set<QPDFObjGen> seen_;
    int written_ = 0, skipped_ = 0;
    bool approximated_ = false;
};

} // namespace plait::pdf
