// GIF: the first frame, composed on the logical screen, as RGB with a soft mask for the
// transparent colour and for the screen area the frame does not cover.

#include "pdfengine/images/ImageSupport.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace plait::pdf::images {

namespace {

struct GifSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

extern "C" int gifReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    if (length <= 0) {
        return 0;
    }
    const std::size_t n = std::min(static_cast<std::size_t>(length), src->size - src->pos);
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
    return static_cast<int>(n);
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

} // namespace

std::vector<PageImage> readGif(QPDF& pdf, const std::string& data, const std::string& name) {
    GifSource source{reinterpret_cast<const unsigned char*>(data.data()), data.size(), 0};
    int error = 0;
    GifHandle handle;
    handle.gif = DGifOpen(&source, gifReadFromMemory, &error);
    if (!handle.gif) {
        throw ImageLoadError(name + ": damaged GIF (" + gifError(error) + ")");
    }
    GifFileType* gif = handle.gif;
    auto fail = [&](const char* what) -> ImageLoadError {
        return ImageLoadError(name + ": damaged GIF (" + what + ": " + gifError(gif->Error) + ")");
    };

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) != GIF_OK) {
            throw fail("record");
        }
        if (type == TERMINATE_RECORD_TYPE) {
            throw ImageLoadError(name + ": the GIF holds no image");
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK) {
                throw fail("extension");
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                    transparent = gcb.TransparentColor;
                }
            }
            while (block) {
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
                    throw fail("extension");
                }
            }
            continue;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
    }
    if (DGifGetImageDesc(gif) != GIF_OK) {
        throw fail("image descriptor");
    }

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

    std::vector<unsigned char> rgb(static_cast<std::size_t>(screenW) * screenH * 3, 0);
    std::vector<unsigned char> alpha(static_cast<std::size_t>(screenW) * screenH, 0);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));

    auto storeRow = [&](int y) {
        const long sy = static_cast<long>(frame.Top) + y;
        if (sy < 0 || sy >= static_cast<long>(screenH)) {
            return;
        }
        for (int x = 0; x < frame.Width; ++x) {
            const long sx = static_cast<long>(frame.Left) + x;
            if (sx < 0 || sx >= static_cast<long>(screenW)) {
                continue;
            }
            const int index = line[static_cast<std::size_t>(x)];
            const std::size_t at = static_cast<std::size_t>(sy) * screenW + static_cast<std::size_t>(sx);
            if (index == transparent) {
                continue;
            }
            // An index past the colour table is drawn black rather than read out of bounds.
            if (index < map->ColorCount) {
                const GifColorType& c = map->Colors[index];
                rgb[at * 3] = c.Red;
                rgb[at * 3 + 1] = c.Green;
                rgb[at * 3 + 2] = c.Blue;
            }
            alpha[at] = 255;
        }
    };

    if (frame.Interlace) {
        static const int start[] = {0, 4, 2, 1};
        static const int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = start[pass]; y < frame.Height; y += step[pass]) {
                if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) {
                    throw fail("pixels");
                }
                storeRow(y);
            }
        }
    } else {
        for (int y = 0; y < frame.Height; ++y) {
            if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) {
                throw fail("pixels");
            }
            storeRow(y);
        }
    }

    RasterBuilder builder(screenW, screenH, 3, true);
    for (unsigned y = 0; y < screenH; ++y) {
        builder.addRow(&rgb[static_cast<std::size_t>(y) * screenW * 3],
                       &alpha[static_cast<std::size_t>(y) * screenW]);
    }
    PageImage page;
    page.width = screenW;
    page.height = screenH;
    page.xobject = builder.finish(pdf);
    return {page};
}

} // namespace plait::pdf::images
