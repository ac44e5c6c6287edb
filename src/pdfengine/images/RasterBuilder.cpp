// Pieces every image reader uses, in the engine (JPEG) and in the image module (the others).
#include "pdfengine/images/ImagePages.h"
#include "pdfengine/images/ImageSupport.h"

#include <stdexcept>

namespace plait::pdf::images {

void checkDimensions(unsigned long long width, unsigned long long height, const std::string& name) {
    if (width == 0 || height == 0) {
        throw ImageLoadError(name + ": the image has no pixels");
    }
    // Divide rather than multiply so a forged 32-bit size cannot overflow the test.
    if (width > kMaxImagePixels || height > kMaxImagePixels / width) {
        throw ImageLoadError(name + ": the image is too large (" + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels)");
    }
}

RasterBuilder::RasterBuilder(unsigned width, unsigned height, int components, bool withAlpha,
                             int bitsPerComponent)
    : width_(width), height_(height), components_(components), withAlpha_(withAlpha),
      bits_(bitsPerComponent == 1 && components == 1 ? 1 : 8) {
    colourBuffer_ = std::make_unique<Pl_Buffer>("image colour");
    colourFlate_ = std::make_unique<Pl_Flate>("image colour flate", colourBuffer_.get(), Pl_Flate::a_deflate);
    if (withAlpha_) {
        alphaBuffer_ = std::make_unique<Pl_Buffer>("image alpha");
        alphaFlate_ =
            std::make_unique<Pl_Flate>("image alpha flate", alphaBuffer_.get(), Pl_Flate::a_deflate);
    }
}

RasterBuilder::~RasterBuilder() = default;

void RasterBuilder::addRow(const unsigned char* colour, const unsigned char* alpha) {
    const std::size_t samples = static_cast<std::size_t>(width_) * static_cast<std::size_t>(components_);
    colourFlate_->write(colour, bits_ == 1 ? (samples + 7) / 8 : samples);
    if (withAlpha_ && alpha) {
        alphaFlate_->write(alpha, width_);
        if (!anyTranslucent_) {
            for (unsigned x = 0; x < width_; ++x) {
                if (alpha[x] != 255) {
                    anyTranslucent_ = true;
                    break;
                }
            }
        }
    }
    ++rowsAdded_;
}

namespace {

QPDFObjectHandle imageStream(QPDF& pdf, std::shared_ptr<Buffer> data, unsigned width, unsigned height,
                             const char* colourSpace, int bits) {
    auto stream = pdf.newStream();
    stream.replaceStreamData(data, QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
    auto dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(colourSpace));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
    return stream;
}

} // namespace

QPDFObjectHandle RasterBuilder::finish(QPDF& pdf) {
    if (rowsAdded_ != height_) {
        throw std::logic_error("RasterBuilder: not every row was added");
    }
    colourFlate_->finish();
    const char* space = components_ == 1 ? "/DeviceGray" : components_ == 4 ? "/DeviceCMYK" : "/DeviceRGB";
    auto image = imageStream(pdf, colourBuffer_->getBufferSharedPointer(), width_, height_, space, bits_);
    if (withAlpha_) {
        alphaFlate_->finish();
        if (anyTranslucent_) {
            auto mask =
                imageStream(pdf, alphaBuffer_->getBufferSharedPointer(), width_, height_, "/DeviceGray", 8);
            image.getDict().replaceKey("/SMask", mask);
        }
    }
    return image;
}

} // namespace plait::pdf::images
