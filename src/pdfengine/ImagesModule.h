#pragma once

// The image module (`libplait_images.so`): the PNG, GIF and TIFF readers and the PNG writer of
// image export, with the codec libraries they need (libpng, libtiff and its codecs, giflib).
// The engine loads it the first time a build reads such an image or exports images, so that
// every other run of the programs starts without those libraries. JPEG stays in the engine:
// libqpdf loads libjpeg in any case.
//
// The engine calls the module through two entries taking plain pointers; nothing thrown inside
// the module crosses them: a failure comes back as a result code and a message.

#include "pdfengine/export/ImageExport.h"
#include "pdfengine/images/ImageSupport.h"

#include <string>
#include <vector>

namespace plait::pdf {

inline constexpr const char* kImagesModule = "libplait_images.so";
inline constexpr const char* kImagesReadEntry = "plait_images_read";
inline constexpr const char* kImagesPngEntry = "plait_images_encode_png";

// Which reader plait_images_read runs.
enum ImagesFormat : int { kImagesPng = 1, kImagesGif = 2, kImagesTiff = 3 };

// What the entries return. kImagesUnreadable: the input is damaged or too large (the message
// names it, as an ImageLoadError does); kImagesOutOfMemory: an allocation failed;
// kImagesFailed: anything else, with its message.
enum ImagesResult : int { kImagesDone = 0, kImagesUnreadable = 1, kImagesOutOfMemory = 2, kImagesFailed = 3 };

// int plait_images_read(int format, QPDF* pdf, const std::string* data, const std::string* name,
//                       std::vector<images::PageImage>* pages, std::string* message)
using ImagesReadEntry = int (*)(int, QPDF*, const std::string*, const std::string*,
                                std::vector<images::PageImage>*, std::string*);
// int plait_images_encode_png(const Raster* raster, std::string* png, std::string* message)
using ImagesPngEntry = int (*)(const Raster*, std::string*, std::string*);

// The image module cannot be loaded: what it names cannot be read without it. An
// ImageLoadError, so that a build fails naming the input, never as a damaged file's warning.
struct ImagesModuleMissing : ImageLoadError {
    using ImageLoadError::ImageLoadError;
};

namespace images {

// The readers as the module implements them (images::readPng and the others call these
// through the entry). They throw ImageLoadError.
std::vector<PageImage> pngPages(QPDF& pdf, const std::string& data, const std::string& name);
std::vector<PageImage> gifPages(QPDF& pdf, const std::string& data, const std::string& name);
std::vector<PageImage> tiffPages(QPDF& pdf, const std::string& data, const std::string& name);

} // namespace images

// The module's PNG writer behind encodePng; throws std::runtime_error.
std::string pngFile(const Raster& raster);

} // namespace plait::pdf
