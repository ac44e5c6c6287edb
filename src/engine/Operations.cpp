#include "Operations.h"

#include <array>

namespace plait::engine {
namespace {

constexpr std::array kOperations{
    // no arguments
    Operation{"setImgDir", 0},
    Operation{"setEncrypt128", 0},
    Operation{"setNoPrint", 0},
    Operation{"setNoChange", 0},
    Operation{"setNoCopy", 0},
    Operation{"setNoAnnote", 0},
    Operation{"setNoFillIn", 0},
    Operation{"setNoAssemble", 0},
    Operation{"setNoDigital", 0},
    Operation{"setPageNumOutside", 0},
    Operation{"setPageNum", 0},
    Operation{"setOverlay", 0},
    Operation{"setRepeat", 0},
    Operation{"setRevOverlay", 0},
    Operation{"setOpen", 0},
    Operation{"setMail", 0},
    Operation{"setPrint", 0},
    Operation{"setBookmarkKeep", 0},
    Operation{"setAutoRotate", 0},
    Operation{"setMediaRepeat", 0},
    Operation{"setPageCenter", 0},
    Operation{"setBookmarkOut", 0},
    Operation{"setBookmarkTrim", 0},
    // one argument
    Operation{"setOutFile", 1},
    Operation{"setInFile", 1},
    Operation{"setOwner", 1},
    Operation{"setUser", 1},
    Operation{"setPwdList", 1},
    Operation{"setAnnotesFile", 1},
    Operation{"setEmbedFile", 1},
    Operation{"setStrFileIn", 1},
    Operation{"setBookmarkFile", 1},
    Operation{"setImpose", 1},
    Operation{"setOnePage", 1},
    Operation{"setPageNumAlign", 1},
    Operation{"setPageLMargin", 1},
    Operation{"setPageBMargin", 1},
    Operation{"setPageFmt", 1},
    Operation{"setPageNumStyle", 1},
    Operation{"setFontSize", 1},
    Operation{"setPageScale", 1},
    Operation{"setSort", 1},
    Operation{"setString", 1},
    Operation{"setStringChange", 1},
    Operation{"setStringColorMode", 1},
    Operation{"setStringColor", 1},
    Operation{"setTitle", 1},
    Operation{"setSubject", 1},
    Operation{"setAuthor", 1},
    Operation{"setProducer", 1},
    Operation{"setKeywords", 1},
    Operation{"setCmds", 1},
    Operation{"setPageDown", 1},
    Operation{"setPageRight", 1},
    Operation{"setAngle", 1},
    Operation{"setStamp", 1},
    Operation{"setStampText", 1},
    Operation{"setUnits", 1},
    Operation{"setOverlayPages", 1},
    Operation{"setMediaPlay", 1},
    Operation{"setPages", 1},
    Operation{"setAutoScale", 1},
    Operation{"setTags", 1},
    // two arguments
    Operation{"setFileDataS", 2},
    Operation{"setAttribute", 2},
    Operation{"setTransparency", 2},
    Operation{"setPageSize", 2},
    Operation{"setInPages", 2},
    // four arguments
    Operation{"setMediaBox", 4},
    Operation{"setCropBox", 4},
    Operation{"setBleedBox", 4},
    Operation{"setArtBox", 4},
    Operation{"setTrimBox", 4},
    // output strength and size
    Operation{"setEncryptAES128", 0},
    Operation{"setEncryptAES256", 0},
    Operation{"setImageReduce", 2},
    Operation{"setSmallest", 0},
};

} // namespace

std::span<const Operation> operationTable() {
    return kOperations;
}

const Operation* findOperation(std::string_view name) {
    for (const auto& op : kOperations) {
        if (op.name == name) {
            return &op;
        }
    }
    return nullptr;
}

} // namespace plait::engine
