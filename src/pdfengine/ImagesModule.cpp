// The calls into the image module (ImagesModule.h), which is loaded on first use.
#include "ImagesModule.h"

#include "Modules.h"

#include <new>
#include <stdexcept>

namespace plait::pdf {
namespace {

// The module's entry `entry` as a function of type F. Throws ImagesModuleMissing, its message
// opening with `failure`, when the module cannot be loaded.
template <typename F> F imagesEntry(const char* entry, const std::string& failure) {
    std::string error;
    auto* address = reinterpret_cast<F>(moduleEntry(kImagesModule, entry, error));
    if (address == nullptr)
        throw ImagesModuleMissing(failure + ": the image module is missing (" + error + ")");
    return address;
}

// Raises again what the module reported as a result code.
void raise(int result, const std::string& message) {
    switch (result) {
    case kImagesDone:
        return;
    case kImagesUnreadable:
        throw ImageLoadError(message);
    case kImagesOutOfMemory:
        throw std::bad_alloc();
    default:
        throw std::runtime_error(message);
    }
}

std::vector<images::PageImage> readWithModule(ImagesFormat format, QPDF& pdf, const std::string& data,
                                              const std::string& name) {
    auto* read = imagesEntry<ImagesReadEntry>(kImagesReadEntry, name + ": cannot be read");
    std::vector<images::PageImage> pages;
    std::string message;
    raise(read(format, &pdf, &data, &name, &pages, &message), message);
    return pages;
}

} // namespace

namespace images {

std::vector<PageImage> readPng(QPDF& pdf, const std::string& data, const std::string& name) {
    return readWithModule(kImagesPng, pdf, data, name);
}

std::vector<PageImage> readGif(QPDF& pdf, const std::string& data, const std::string& name) {
    return readWithModule(kImagesGif, pdf, data, name);
}

std::vector<PageImage> readTiff(QPDF& pdf, const std::string& data, const std::string& name) {
    return readWithModule(kImagesTiff, pdf, data, name);
}

} // namespace images

std::string encodePng(const Raster& raster) {
    auto* encode = imagesEntry<ImagesPngEntry>(kImagesPngEntry, "images cannot be exported as PNG");
    std::string png, message;
    raise(encode(&raster, &png, &message), message);
    return png;
}

} // namespace plait::pdf
