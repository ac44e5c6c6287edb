// GIF: the first frame, composed on the logical screen, as RGB with a soft mask for the
// transparent colour and for the screen area the frame does not cover.

#include "pdfengine/ImagesModule.h"
#include "pdfengine/images/ImageSupport.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace plait::pdf::images {

namespace {

extern "C" int gifReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<int>(
        static_cast<MemorySource*>(gif->UserData)->read(out, static_cast<std::size_t>(length)));
}

struct GifHandle {
    GifFileType* gif = nullptr;
    ~GifHandle() {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
};

std::string gifError(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "unknown error";
}

ImageLoadError damaged(const std::string& name, GifFileType* gif, const char* what) {
    return ImageLoadError(name + ": damaged GIF (" + what + ": " + gifError(gif->Error) + ")");
}

// Reads the records up to the first image's descriptor; returns the transparent colour the
// graphics control extensions before it set.
int readUpToFirstImage(GifFileType* gif, const std::string& name) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) != GIF_OK) {
            throw damaged(name, gif, "record");
        }
        if (type == TERMINATE_RECORD_TYPE) {
            throw ImageLoadError(name + ": the GIF holds no image");
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        if (type != EXTENSION_RECORD_TYPE) {
            continue;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK) {
            throw damaged(name, gif, "extension");
        }
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                transparent = gcb.TransparentColor;
            }
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
                throw damaged(name, gif, "extension");
            }
        }
    }
    if (DGifGetImageDesc(gif) != GIF_OK) {
        throw damaged(name, gif, "image descriptor");
    }
    return transparent;
}

// The logical screen the frame is composed on: RGB and coverage, black and uncovered at first.
class Screen {
public:
    Screen(unsigned width, unsigned height, const GifImageDesc& frame, const ColorMapObject& map,
           int transparent)
        : width_(width), height_(height), frame_(frame), map_(map), transparent_(transparent),
          rgb_(static_cast<std::size_t>(width) * height * 3, 0),
          alpha_(static_cast<std::size_t>(width) * height, 0) {}

    // Draws row y of the frame (colour indexes) where it lies on the screen.
    void drawRow(int y, const std::vector<GifPixelType>& line) {
        const long sy = static_cast<long>(frame_.Top) + y;
        if (sy < 0 || sy >= static_cast<long>(height_)) {
            return;
        }
        for (int x = 0; x < frame_.Width; ++x) {
            const long sx = static_cast<long>(frame_.Left) + x;
            const int index = line[static_cast<std::size_t>(x)];
            if (sx < 0 || sx >= static_cast<long>(width_) || index == transparent_) {
                continue;
            }
            const std::size_t at = static_cast<std::size_t>(sy) * width_ + static_cast<std::size_t>(sx);
            // An index past the colour table is drawn black rather than read out of bounds.
            if (index < map_.ColorCount) {
                const GifColorType& c = map_.Colors[index];
                rgb_[at * 3] = c.Red;
                rgb_[at * 3 + 1] = c.Green;
                rgb_[at * 3 + 2] = c.Blue;
            }
            alpha_[at] = 255;
        }
    }

    PageImage page(QPDF& pdf) const {
        RasterBuilder builder(width_, height_, 3, true);
        for (unsigned y = 0; y < height_; ++y) {
            builder.addRow(&rgb_[static_cast<std::size_t>(y) * width_ * 3],
                           &alpha_[static_cast<std::size_t>(y) * width_]);
        }
        PageImage page;
        page.width = width_;
        page.height = height_;
        page.xobject = builder.finish(pdf);
        return page;
    }

private:
    unsigned width_, height_;
    const GifImageDesc& frame_;
    const ColorMapObject& map_;
    int transparent_;
    std::vector<unsigned char> rgb_, alpha_;
};

// Decodes the frame's rows onto the screen, in the order an interlaced frame stores them.
void drawFrame(GifFileType* gif, Screen& screen, const std::string& name) {
    const GifImageDesc& frame = gif->Image;
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    const auto drawPass = [&](int start, int step) {
        for (int y = start; y < frame.Height; y += step) {
            if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) {
                throw damaged(name, gif, "pixels");
            }
            screen.drawRow(y, line);
        }
    };
    if (frame.Interlace) {
        drawPass(0, 8);
        drawPass(4, 8);
        drawPass(2, 4);
        drawPass(1, 2);
    } else {
        drawPass(0, 1);
    }
}

} // namespace

std::vector<PageImage> gifPages(QPDF& pdf, const std::string& data, const std::string& name) {
    MemorySource source(data);
    int error = 0;
    GifHandle handle;
    handle.gif = DGifOpen(&source, gifReadFromMemory, &error);
    if (!handle.gif) {
        throw ImageLoadError(name + ": damaged GIF (" + gifError(error) + ")");
    }
    GifFileType* gif = handle.gif;
    const int transparent = readUpToFirstImage(gif, name);

    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0) {
        throw ImageLoadError(name + ": the GIF frame has no pixels");
    }
    checkDimensions(static_cast<unsigned>(frame.Width), static_cast<unsigned>(frame.Height), name);
    // A screen of zero size (seen in the wild) means the frame decides.
    const unsigned screenW = gif->SWidth > 0 ? static_cast<unsigned>(gif->SWidth) : frame.Left + frame.Width;
    const unsigned screenH =
        gif->SHeight > 0 ? static_cast<unsigned>(gif->SHeight) : frame.Top + frame.Height;
    checkDimensions(screenW, screenH, name);

    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) {
        throw ImageLoadError(name + ": the GIF has no colour table");
    }
    Screen screen(screenW, screenH, frame, *map, transparent);
    drawFrame(gif, screen, name);
    return {screen.page(pdf)};
}

} // namespace plait::pdf::images
