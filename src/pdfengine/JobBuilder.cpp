#include "JobBuilder.h"

#include "Text.h"

#include <algorithm>

#include "pdfengine/geometry/Geometry.h"
#define PLAIT_NUMBER(text) parseNumber(text)

namespace plait::pdf {

std::optional<double> JobBuilder::plainNumber(std::string_view op, const std::string& value) {
    // Lengths and angles are read like the geometry reads them (a decimal comma is fine).
    auto n = PLAIT_NUMBER(value);
    if (!n) {
        job_.notes.push_back(std::string(op) + ": \"" + value + "\" is not a number; ignored");
    }
    return n;
}

std::optional<double> JobBuilder::length(std::string_view op, const std::string& value) {
    auto n = plainNumber(op, value);
    if (!n) {
        return std::nullopt;
    }
    switch (unit_) {
    case Unit::Inches:
        return *n * 72.0;
    case Unit::Centimeters:
        return *n * 72.0 / 2.54;
    case Unit::Millimeters:
        return *n * 72.0 / 25.4;
    case Unit::Points:
        break;
    }
    return *n;
}

void JobBuilder::box(std::optional<BoxValues>& target, std::string_view op,
                     const std::vector<std::string>& args) {
    BoxValues values{};
    for (std::size_t i = 0; i < 4; ++i) {
        auto n = plainNumber(op, args[i]);
        if (!n) {
            return;
        }
        values[i] = *n;
    }
    if (values[2] == values[0] || values[3] == values[1]) {
        job_.notes.push_back(std::string(op) + ": the box has no area; ignored");
        return;
    }
    target = values;
}

void JobBuilder::apply(std::string_view op, const std::vector<std::string>& a) {
    Job& j = job_;
    // Empty texts mean "not given": the program passes every text field in every build.
    const auto given = [&](std::size_t i) { return !text::trim(a[i]).empty(); };

    if (op == "setOutFile") {
        j.outFile = a[0];
    } else if (op == "setInFile") {
        j.inFileText = a[0];
    } else if (op == "setOwner") {
        j.security.owner = a[0];
    } else if (op == "setUser") {
        j.security.user = a[0];
    } else if (op == "setEncrypt128") {
        j.security.encrypt128 = true;
    } else if (op == "setNoPrint") {
        j.security.noPrint = true;
    } else if (op == "setNoChange") {
        j.security.noChange = true;
    } else if (op == "setNoCopy") {
        j.security.noCopy = true;
    } else if (op == "setNoAnnote") {
        j.security.noAnnote = true;
    } else if (op == "setNoFillIn") {
        j.security.noFillIn = true;
    } else if (op == "setNoAssemble") {
        j.security.noAssemble = true;
    } else if (op == "setNoDigital") {
        j.security.noDigital = true;
    } else if (op == "setPwdList") {
        j.passwordList = a[0];
    } else if (op == "setTitle") {
        if (given(0))
            j.description.title = a[0];
    } else if (op == "setSubject") {
        if (given(0))
            j.description.subject = a[0];
    } else if (op == "setAuthor") {
        if (given(0))
            j.description.author = a[0];
    } else if (op == "setProducer") {
        if (given(0))
            j.description.producer = a[0];
    } else if (op == "setKeywords") {
        if (given(0))
            j.description.keywords = a[0];
    } else if (op == "setAttribute") {
        if (!given(0)) {
            j.notes.push_back("setAttribute: an attribute without a name is ignored");
        } else {
            j.description.attributes.emplace_back(std::string(text::trim(a[0])), a[1]);
        }
    } else if (op == "setCmds") {
        for (auto& note : parseWriterOptions(a[0], j.writer)) {
            j.notes.push_back(std::move(note));
        }
    } else if (op == "setSort") {
        const std::string key = text::lower(text::trim(a[0]));
        if (key == "f" || key == "n" || key == "b" || key == "d") {
            j.sort = key[0];
        } else if (!key.empty()) {
            j.notes.push_back("setSort: unknown sort key \"" + a[0] + "\"; inputs kept in list order");
        }
    } else if (op == "setPages") {
        j.pageList = a[0];
    } else if (op == "setBookmarkKeep") {
        j.bookmarkKeep = true;
    } else if (op == "setBookmarkOut") {
        j.bookmarkOut = true;
    } else if (op == "setBookmarkFile") {
        j.bookmarkFile = a[0];
    } else if (op == "setFileDataS") {
        j.fileData[a[0]] = a[1];
    } else if (op == "setOpen") {
        j.openAfterBuild = true;
    } else if (op == "setUnits") {
        const std::string u = text::lower(text::trim(a[0]));
        if (u == "in") {
            unit_ = Unit::Inches;
        } else if (u == "cm") {
            unit_ = Unit::Centimeters;
        } else if (u == "mm") {
            unit_ = Unit::Millimeters;
        } else if (u.empty() || u == "pt") {
            unit_ = Unit::Points;
        } else {
            j.notes.push_back("setUnits: unknown unit \"" + a[0] + "\"; points are used");
            unit_ = Unit::Points;
        }
    } else if (op == "setMediaBox") {
        box(j.geometry.mediaBox, op, a);
    } else if (op == "setCropBox") {
        box(j.geometry.cropBox, op, a);
    } else if (op == "setBleedBox") {
        box(j.geometry.bleedBox, op, a);
    } else if (op == "setArtBox") {
        box(j.geometry.artBox, op, a);
    } else if (op == "setTrimBox") {
        box(j.geometry.trimBox, op, a);
    } else if (op == "setPageScale") {
        if (!given(0))
            return;
        auto n = plainNumber(op, a[0]);
        if (n && *n <= 0) {
            j.notes.push_back("setPageScale: a scale must be above 0 percent; ignored");
            n.reset();
        }
        if (n)
            (stampMode_ ? j.stamp->scalePercent : j.geometry.scalePercent) = n;
    } else if (op == "setPageDown" || op == "setPageRight") {
        if (!given(0))
            return;
        if (auto n = length(op, a[0])) {
            double& target = op == "setPageDown" ? (stampMode_ ? j.stamp->down : j.geometry.down)
                                                 : (stampMode_ ? j.stamp->right : j.geometry.right);
            target = *n;
            if (stampMode_)
                j.stamp->placed = true;
        }
    } else if (op == "setAngle") {
        if (!given(0))
            return;
        if (auto n = plainNumber(op, a[0]))
            (stampMode_ ? j.stamp->angle : j.geometry.angle) = n;
    } else if (op == "setAutoRotate") {
        j.geometry.autoRotate = true;
    } else if (op == "setPageCenter") {
        j.geometry.center = true;
    } else if (op == "setPageSize") {
        auto w = length(op, a[0]);
        auto h = length(op, a[1]);
        if (w && h) {
            if (*w <= 0 || *h <= 0) {
                j.notes.push_back("setPageSize: a page needs a width and a height above 0; ignored");
            } else {
                j.geometry.pageSize = std::make_pair(*w, *h);
            }
        }
    } else if (op == "setAutoScale") {
        const std::string v = text::lower(text::trim(a[0]));
        if (v == "u" || v == "d" || v == "du" || v == "ud") {
            j.geometry.scaleUp = v.find('u') != std::string::npos;
            j.geometry.scaleDown = v.find('d') != std::string::npos;
        } else if (!v.empty()) {
            j.notes.push_back("setAutoScale: unknown mode \"" + a[0] + "\"; ignored");
        }
    } else if (op == "setStamp") {
        stampMode_ = true;
        j.stamp.emplace();
        j.stamp->name = a[0];
    } else if (op == "setStampText") {
        if (j.stamp)
            j.stamp->text = a[0];
    } else if (op == "setOverlayPages") {
        if (stampMode_) {
            j.stamp->pages = a[0];
        } else {
            j.compose.overlayPages = std::string(text::trim(a[0]));
        }
    } else if (op == "setPageNumOutside") {
        // Numbers are always drawn over the finished page, outside its content (marks/Marks.h).
    } else if (op == "setPageNumAlign") {
        j.marks.pageNumAlign = a[0];
    } else if (op == "setPageLMargin") {
        j.marks.pageLMargin = a[0];
    } else if (op == "setPageBMargin") {
        j.marks.pageBMargin = a[0];
    } else if (op == "setPageFmt") {
        j.marks.pageFmt = a[0];
    } else if (op == "setPageNumStyle") {
        j.marks.pageNumStyle = a[0];
    } else if (op == "setFontSize") {
        j.marks.fontSize = a[0];
    } else if (op == "setPageNum") {
        j.marks.pageNumbers = true;
    } else if (op == "setOverlay") {
        j.compose.overlay = true;
    } else if (op == "setRepeat") {
        // Repeating is a kind of overlay, whether or not setOverlay came first.
        j.compose.overlay = j.compose.repeat = true;
    } else if (op == "setRevOverlay") {
        j.compose.reverse = true;
    } else if (op == "setImpose" || op == "setOnePage") {
        const std::string v = text::lower(text::trim(a[0]));
        using Imp = ComposeOptions::Imposition;
        if (op == "setImpose" && v == "2-up") {
            j.compose.imposition = Imp::TwoUp;
        } else if (op == "setOnePage" && v == "scale") {
            j.compose.imposition = Imp::OnePageScaled;
        } else if (op == "setOnePage" && v == "noscale") {
            j.compose.imposition = Imp::OnePageFullSize;
        } else if (!v.empty()) {
            j.notes.push_back(std::string(op) + ": unknown layout \"" + a[0] + "\"; ignored");
        }
    } else if (op == "setTransparency") {
        if (given(0)) {
            if (auto n = plainNumber(op, a[0])) {
                if (*n < 0 || *n > 100) {
                    j.notes.push_back("setTransparency: a transparency is 0 to 100 percent; " +
                                      std::string(*n < 0 ? "0" : "100") + " is used");
                }
                j.compose.transparency = std::clamp(*n, 0.0, 100.0);
            }
        }
        if (!given(1)) {
            j.compose.blend = "Normal";
        } else if (auto mode = blendModeName(text::trim(a[1]))) {
            j.compose.blend = *mode;
        } else {
            j.compose.blend = "Normal";
            j.notes.push_back("setTransparency: unknown blend mode \"" + a[1] + "\"; Normal is used");
        }
    } else if (op == "setString") {
        j.textMarking.find = a[0];
    } else if (op == "setStringChange") {
        if (given(0))
            j.textMarking.change = a[0];
    } else if (op == "setStringColorMode") {
        j.textMarking.mode = std::string(text::trim(a[0]));
    } else if (op == "setStringColor") {
        j.textMarking.color = std::string(text::trim(a[0]));
    } else if (op == "setAnnotesFile") {
        j.marks.notesFile = a[0];
    } else if (op == "setEmbedFile") {
        j.marks.attachFile = a[0];
    } else if (op == "setStrFileIn") {
        j.marks.textAreaFile = a[0];
    } else if (op == "setMediaPlay") {
        // Letters in any order and case; none leaves playing to a click.
        j.media.onPageOpen = j.media.onPageVisible = j.media.onMouseEnter = false;
        for (char c : text::lower(text::trim(a[0]))) {
            if (c == 'o')
                j.media.onPageOpen = true;
            else if (c == 'v')
                j.media.onPageVisible = true;
            else if (c == 'm')
                j.media.onMouseEnter = true;
            else if (c != ' ' && c != ',')
                j.notes.push_back(std::string("setMediaPlay: unknown flag \"") + c + "\"; ignored");
        }
    } else if (op == "setMediaRepeat") {
        j.media.repeat = true;
    } else if (op == "setMail") {
        j.marks.mail = true;
    } else if (op == "setPrint") {
        j.marks.print = true;
    } else if (op == "setImgDir") {
        j.imageExport = true;
    } else if (op == "setTags") {
        // Handled by the tag reader of the base class.
    } else {
        j.notes.push_back("Operation " + std::string(op) + " is not supported yet; ignored");
    }
}

} // namespace plait::pdf
