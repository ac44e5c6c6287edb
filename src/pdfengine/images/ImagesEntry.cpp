// The entries of the image module (ImagesModule.h). Nothing thrown here leaves the module.
#include "pdfengine/ImagesModule.h"

#include <new>

namespace {

using namespace plait::pdf;

template <typename Work> int guarded(std::string* message, Work work) {
    try {
        work();
        return kImagesDone;
    } catch (const ImageLoadError& e) {
        *message = e.what();
        return kImagesUnreadable;
    } catch (const std::bad_alloc&) {
        return kImagesOutOfMemory;
    } catch (const std::exception& e) {
        *message = e.what();
        return kImagesFailed;
    } catch (...) {
        *message = "unexpected failure in the image module";
        return kImagesFailed;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
plait_images_read(int format, QPDF* pdf, const std::string* data, const std::string* name,
                  std::vector<images::PageImage>* pages, std::string* message) {
    return guarded(message, [&] {
        switch (format) {
        case kImagesPng:
            *pages = images::pngPages(*pdf, *data, *name);
            break;
        case kImagesGif:
            *pages = images::gifPages(*pdf, *data, *name);
            break;
        case kImagesTiff:
            *pages = images::tiffPages(*pdf, *data, *name);
            break;
        default:
            throw ImageLoadError(*name + ": not an image of a known kind");
        }
    });
}

extern "C" __attribute__((visibility("default"))) int
plait_images_encode_png(const Raster* raster, std::string* png, std::string* message) {
    return guarded(message, [&] { *png = pngFile(*raster); });
}
