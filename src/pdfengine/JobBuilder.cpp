#include "JobBuilder.h"

#include "InputFiles.h"
#include "Text.h"
#include "engine/MergeEngine.h"
#include "engine/Operations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>
#include <unordered_map>

namespace plait::pdf {
namespace {

using State = JobBuilder::State;
using Args = std::span<const std::string>;
using Handler = void (*)(State&, Args);

void note(State& s, std::string text) {
    s.job.notes.push_back(std::move(text));
}

// Empty texts mean "not given": the program passes every text field in every build.
bool given(std::string_view text) {
    return !isBlank(text);
}

std::optional<double> number(State& s, std::string_view op, const std::string& text) {
    auto n = parseNumber(text);
    if (!n) {
        note(s, std::string(op) + ": \"" + text + "\" is not a number; ignored");
    }
    return n;
}

std::optional<double> length(State& s, std::string_view op, const std::string& text) {
    auto n = number(s, op, text);
    return n ? std::optional(toPoints(*n, s.unit)) : std::nullopt;
}

// A number with a default (Values.h numberOr); where `positive`, a number not above 0 is the
// default too, with a note.
double numberOr(State& s, std::string_view op, const std::string& text, double fallback,
                const char* fallbackText, bool positive = false) {
    const double n = pdf::numberOr(text, fallback, fallbackText, op, s.job.notes);
    if (positive && n <= 0) {
        note(s, std::string(op) + ": a size must be above 0; " + fallbackText + " is used");
        return fallback;
    }
    return n;
}

void box(State& s, std::optional<BoxValues>& target, std::string_view op, Args a) {
    BoxValues values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto n = number(s, op, a[i]);
        if (!n) {
            return;
        }
        values[i] = *n;
    }
    if (values[2] == values[0] || values[3] == values[1]) {
        note(s, std::string(op) + ": the box has no area; ignored");
        return;
    }
    target = values;
}

void setSort(State& s, Args a) {
    const std::string key = text::lower(text::trim(a[0]));
    if (key == "f" || key == "n" || key == "b" || key == "d") {
        s.job.sort = key[0];
    } else if (!key.empty()) {
        note(s, "setSort: unknown sort key \"" + a[0] + "\"; inputs kept in list order");
    }
}

void setUnits(State& s, Args a) {
    if (auto u = parseUnit(a[0], UnitNames::Codes)) {
        s.unit = *u;
    } else {
        note(s, "setUnits: unknown unit \"" + a[0] + "\"; points are used");
        s.unit = Unit::Points;
    }
}

void setPageScale(State& s, Args a) {
    if (!given(a[0])) {
        return;
    }
    auto n = number(s, "setPageScale", a[0]);
    if (n && *n <= 0) {
        note(s, "setPageScale: a scale must be above 0 percent; ignored");
        n.reset();
    }
    if (n) {
        (s.stampMode ? s.job.stamp->scalePercent : s.job.geometry.scalePercent) = n;
    }
}

// setPageDown and setPageRight: an offset of the pages, or after setStamp of the stamp.
template <bool Down> void offset(State& s, Args a) {
    if (!given(a[0])) {
        return;
    }
    if (auto n = length(s, Down ? "setPageDown" : "setPageRight", a[0])) {
        if (s.stampMode) {
            (Down ? s.job.stamp->down : s.job.stamp->right) = *n;
            s.job.stamp->placed = true;
        } else {
            (Down ? s.job.geometry.down : s.job.geometry.right) = *n;
        }
    }
}

void setAngle(State& s, Args a) {
    if (!given(a[0])) {
        return;
    }
    if (auto n = number(s, "setAngle", a[0])) {
        (s.stampMode ? s.job.stamp->angle : s.job.geometry.angle) = n;
    }
}

void setPageSize(State& s, Args a) {
    auto w = length(s, "setPageSize", a[0]);
    auto h = length(s, "setPageSize", a[1]);
    if (!w || !h) {
        return;
    }
    if (*w <= 0 || *h <= 0) {
        note(s, "setPageSize: a page needs a width and a height above 0; ignored");
    } else {
        s.job.geometry.pageSize = std::make_pair(*w, *h);
    }
}

void setAutoScale(State& s, Args a) {
    const std::string v = text::lower(text::trim(a[0]));
    if (v == "u" || v == "d" || v == "du" || v == "ud") {
        s.job.geometry.scaleUp = v.find('u') != std::string::npos;
        s.job.geometry.scaleDown = v.find('d') != std::string::npos;
    } else if (!v.empty()) {
        note(s, "setAutoScale: unknown mode \"" + a[0] + "\"; ignored");
    }
}

// A page list, with the list's notes under the name of what it chooses pages for.
PageList pageList(State& s, std::string_view text, const char* what) {
    std::vector<std::string> notes;
    PageList list = PageList::parse(text, notes);
    for (auto& n : notes) {
        note(s, what ? what + (": " + n) : std::move(n));
    }
    return list;
}

void setOverlayPages(State& s, Args a) {
    if (s.stampMode) {
        s.job.stamp->pages = pageList(s, a[0], "Stamp");
    } else {
        s.job.compose.overlayPages = pageList(s, a[0], "Overlay pages");
    }
}

// setImpose and setOnePage: each names the layouts it knows.
void layout(State& s, std::string_view op, std::string_view text,
            std::initializer_list<std::pair<std::string_view, ComposeOptions::Imposition>> known) {
    const std::string v = text::lower(text::trim(text));
    for (const auto& [name, imposition] : known) {
        if (v == name) {
            s.job.compose.imposition = imposition;
            return;
        }
    }
    if (!v.empty()) {
        note(s, std::string(op) + ": unknown layout \"" + std::string(text) + "\"; ignored");
    }
}

// setInPages: the pages of one input, named by its 1-based place in the setInFile list.
void setInPages(State& s, Args a) {
    std::size_t place = 0;
    const std::string_view t = text::trim(a[0]);
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), place);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || place < 1) {
        note(s, "setInPages: \"" + a[0] + "\" is not the place of an input (1, 2, ...); ignored");
        return;
    }
    std::vector<std::string> notes;
    PageChoice choice = PageChoice::parse(a[1], notes);
    for (auto& n : notes) {
        note(s, "setInPages: input " + std::to_string(place) + ": " + n);
    }
    if (choice.selectsAll()) {
        s.job.inputPages.erase(place - 1);
    } else {
        s.job.inputPages[place - 1] = std::move(choice);
    }
}

void setTransparency(State& s, Args a) {
    if (given(a[0])) {
        if (auto n = number(s, "setTransparency", a[0])) {
            if (*n < 0 || *n > 100) {
                note(s, "setTransparency: a transparency is 0 to 100 percent; " +
                            std::string(*n < 0 ? "0" : "100") + " is used");
            }
            s.job.compose.transparency = std::clamp(*n, 0.0, 100.0);
        }
    }
    s.job.compose.blend = "Normal";
    if (!given(a[1])) {
        return;
    }
    if (auto mode = blendModeName(text::trim(a[1]))) {
        s.job.compose.blend = *mode;
    } else {
        note(s, "setTransparency: unknown blend mode \"" + a[1] + "\"; Normal is used");
    }
}

void setPageNumAlign(State& s, Args a) {
    using Align = MarkOptions::Align;
    const std::string v = text::lower(text::trim(a[0]));
    s.job.marks.pageNumAlign = v == "c" ? Align::Center : v == "r" ? Align::Right : Align::Left;
}

// "roman" is lower-case Roman numerals, "Roman" (any other case) upper-case; blank is Arabic.
void setPageNumStyle(State& s, Args a) {
    using Style = MarkOptions::NumberStyle;
    const std::string_view style = text::trim(a[0]);
    const std::string lower = text::lower(style);
    if (style == "roman") {
        s.job.marks.pageNumStyle = Style::LowerRoman;
    } else if (lower == "roman") {
        s.job.marks.pageNumStyle = Style::Roman;
    } else {
        s.job.marks.pageNumStyle = Style::Arabic;
        if (!lower.empty() && lower != "arabic") {
            note(s, "setPageNumStyle: unknown style \"" + a[0] + "\"; Arabic numbers are used");
        }
    }
}

void setStringColorMode(State& s, Args a) {
    using Style = TextMarking::Style;
    const std::string mode(text::trim(a[0]));
    Style& style = s.job.textMarking.style;
    if (mode == "OL") {
        style = Style::Outline;
    } else if (mode == "UL") {
        style = Style::Underline;
    } else if (mode == "CO") {
        style = Style::StrikeOut;
    } else {
        style = Style::Highlight;
        if (!mode.empty() && mode != "HI-R") {
            note(s, "setStringColorMode: unknown mode \"" + mode + "\"; the text is highlighted");
        }
    }
}

void setStringColor(State& s, Args a) {
    const std::string color(text::trim(a[0]));
    s.job.textMarking.color = Rgb{1, 1, 0};
    if (color.empty()) {
        return;
    }
    if (auto c = parseColor(color)) {
        s.job.textMarking.color = *c;
    } else {
        note(s, "setStringColor: \"" + color + "\" is not an RRGGBB colour; yellow is used");
    }
}

// Letters in any order and case; none leaves playing to a click.
void setMediaPlay(State& s, Args a) {
    MediaOptions& m = s.job.media;
    m.onPageOpen = m.onPageVisible = m.onMouseEnter = false;
    for (char c : text::lower(text::trim(a[0]))) {
        if (c == 'o') {
            m.onPageOpen = true;
        } else if (c == 'v') {
            m.onPageVisible = true;
        } else if (c == 'm') {
            m.onMouseEnter = true;
        } else if (c != ' ' && c != ',') {
            note(s, std::string("setMediaPlay: unknown flag \"") + c + "\"; ignored");
        }
    }
}

void setAttribute(State& s, Args a) {
    if (!given(a[0])) {
        note(s, "setAttribute: an attribute without a name is ignored");
    } else {
        s.job.description.attributes.emplace_back(std::string(text::trim(a[0])), a[1]);
    }
}

// A description entry: blank leaves the input's own value.
template <std::optional<std::string> Description::*Entry> void describe(State& s, Args a) {
    if (given(a[0])) {
        s.job.description.*Entry = a[0];
    }
}

// A permission the output's encryption withholds.
template <bool Security::*Restriction> void restrict(State& s, Args) {
    s.job.security.*Restriction = true;
}

// Image reduction: a resolution (blank or 0: off) and a JPEG quality (blank: 75). A
// resolution below 10 would turn pages into a few coloured squares and is refused.
void setImageReduce(State& s, Args a) {
    s.job.imageReduce = ImageReduce{};
    if (!given(a[0])) {
        return;
    }
    const auto dpi = number(s, "setImageReduce", a[0]);
    if (!dpi || *dpi == 0) {
        return;
    }
    if (*dpi < 10 || *dpi > 10000) {
        note(s, "setImageReduce: a resolution must be 10 to 10000 dpi, not \"" + a[0] + "\"; ignored");
        return;
    }
    s.job.imageReduce.dpi = static_cast<int>(std::lround(*dpi));
    if (!given(a[1])) {
        return;
    }
    const auto quality = number(s, "setImageReduce", a[1]);
    if (!quality) {
        return; // the note says it is not a number; 75 stands
    }
    const double clamped = std::clamp(*quality, 1.0, 100.0);
    if (clamped != *quality) {
        note(s, "setImageReduce: a JPEG quality must be 1 to 100, not \"" + a[1] + "\"; " +
                    std::to_string(static_cast<int>(clamped)) + " is used");
    }
    s.job.imageReduce.quality = static_cast<int>(std::lround(clamped));
}

struct Entry {
    std::string_view name;
    Handler handle;
};

// One handler per operation of the engine's table (engine/Operations.cpp).
const Entry kHandlers[] = {
    // files and the run
    {"setOutFile", [](State& s, Args a) { s.job.outFile = a[0]; }},
    {"setInFile", [](State& s, Args a) { s.job.inFileText = a[0]; }},
    {"setPwdList", [](State& s, Args a) { s.job.passwords = parsePasswordList(a[0]); }},
    {"setSort", setSort},
    {"setPages", [](State& s, Args a) { s.job.pageList = pageList(s, a[0], nullptr); }},
    {"setFileDataS", [](State& s, Args a) { s.job.fileData[a[0]] = a[1]; }},
    {"setCmds",
     [](State& s, Args a) {
         for (auto& n : parseWriterOptions(a[0], s.job.writer)) {
             note(s, std::move(n));
         }
     }},
    {"setOpen", [](State& s, Args) { s.job.openAfterBuild = true; }},
    {"setImgDir", [](State& s, Args) { s.job.imageExport = true; }},
    // The tag reader of engine::MergeEngine keeps the text.
    {"setTags", [](State&, Args) {}},
    // security
    {"setOwner", [](State& s, Args a) { s.job.security.owner = a[0]; }},
    {"setUser", [](State& s, Args a) { s.job.security.user = a[0]; }},
    {"setEncrypt128", [](State& s, Args) { s.job.security.encrypt128 = true; }},
    {"setNoPrint", restrict<&Security::noPrint>},
    {"setNoChange", restrict<&Security::noChange>},
    {"setNoCopy", restrict<&Security::noCopy>},
    {"setNoAnnote", restrict<&Security::noAnnote>},
    {"setNoFillIn", restrict<&Security::noFillIn>},
    {"setNoAssemble", restrict<&Security::noAssemble>},
    {"setNoDigital", restrict<&Security::noDigital>},
    // description and bookmarks
    {"setTitle", describe<&Description::title>},
    {"setSubject", describe<&Description::subject>},
    {"setAuthor", describe<&Description::author>},
    {"setProducer", describe<&Description::producer>},
    {"setKeywords", describe<&Description::keywords>},
    {"setAttribute", setAttribute},
    {"setBookmarkKeep", [](State& s, Args) { s.job.bookmarkKeep = true; }},
    {"setBookmarkOut", [](State& s, Args) { s.job.bookmarkOut = true; }},
    {"setBookmarkFile", [](State& s, Args a) { s.job.bookmarkFile = a[0]; }},
    {"setBookmarkTrim", [](State& s, Args) { s.job.bookmarkTrim = true; }},
    // page geometry, and the stamp's placement after setStamp
    {"setUnits", setUnits},
    {"setMediaBox", [](State& s, Args a) { box(s, s.job.geometry.mediaBox, "setMediaBox", a); }},
    {"setCropBox", [](State& s, Args a) { box(s, s.job.geometry.cropBox, "setCropBox", a); }},
    {"setBleedBox", [](State& s, Args a) { box(s, s.job.geometry.bleedBox, "setBleedBox", a); }},
    {"setArtBox", [](State& s, Args a) { box(s, s.job.geometry.artBox, "setArtBox", a); }},
    {"setTrimBox", [](State& s, Args a) { box(s, s.job.geometry.trimBox, "setTrimBox", a); }},
    {"setPageScale", setPageScale},
    {"setPageDown", offset<true>},
    {"setPageRight", offset<false>},
    {"setAngle", setAngle},
    {"setAutoRotate", [](State& s, Args) { s.job.geometry.autoRotate = true; }},
    {"setPageCenter", [](State& s, Args) { s.job.geometry.center = true; }},
    {"setPageSize", setPageSize},
    {"setAutoScale", setAutoScale},
    {"setStamp",
     [](State& s, Args a) {
         s.stampMode = true;
         s.job.stamp.emplace();
         s.job.stamp->name = a[0];
     }},
    {"setStampText",
     [](State& s, Args a) {
         if (s.job.stamp) {
             s.job.stamp->text = a[0];
         }
     }},
    {"setOverlayPages", setOverlayPages},
    // overlay and layout
    {"setOverlay", [](State& s, Args) { s.job.compose.overlay = true; }},
    // Repeating is a kind of overlay, whether or not setOverlay came first.
    {"setRepeat", [](State& s, Args) { s.job.compose.overlay = s.job.compose.repeat = true; }},
    {"setRevOverlay", [](State& s, Args) { s.job.compose.reverse = true; }},
    {"setImpose",
     [](State& s, Args a) {
         layout(s, "setImpose", a[0],
                {{"2-up", ComposeOptions::Imposition::TwoUp},
                 {"booklet", ComposeOptions::Imposition::Booklet},
                 {"booklet-long", ComposeOptions::Imposition::BookletLongEdge}});
     }},
    {"setOnePage",
     [](State& s, Args a) {
         layout(s, "setOnePage", a[0],
                {{"scale", ComposeOptions::Imposition::OnePageScaled},
                 {"noscale", ComposeOptions::Imposition::OnePageFullSize}});
     }},
    {"setTransparency", setTransparency},
    // page numbers; they are always drawn over the finished page, outside its content
    {"setPageNum", [](State& s, Args) { s.job.marks.pageNumbers = true; }},
    {"setPageNumOutside", [](State&, Args) {}},
    {"setPageNumAlign", setPageNumAlign},
    {"setPageLMargin",
     [](State& s, Args a) { s.job.marks.pageLMargin = numberOr(s, "setPageLMargin", a[0], 36, "36"); }},
    {"setPageBMargin",
     [](State& s, Args a) { s.job.marks.pageBMargin = numberOr(s, "setPageBMargin", a[0], 36, "36"); }},
    {"setPageFmt", [](State& s, Args a) { s.job.marks.pageFmt = a[0].empty() ? "%1 of %2" : a[0]; }},
    {"setPageNumStyle", setPageNumStyle},
    {"setFontSize",
     [](State& s, Args a) { s.job.marks.fontSize = numberOr(s, "setFontSize", a[0], 10, "10", true); }},
    // text marking
    {"setString", [](State& s, Args a) { s.job.textMarking.find = a[0]; }},
    {"setStringChange",
     [](State& s, Args a) {
         if (given(a[0])) {
             s.job.textMarking.change = a[0];
         }
     }},
    {"setStringColorMode", setStringColorMode},
    {"setStringColor", setStringColor},
    // marks, media and actions on the finished document
    {"setAnnotesFile", [](State& s, Args a) { s.job.marks.notesFile = a[0]; }},
    {"setEmbedFile", [](State& s, Args a) { s.job.marks.attachFile = a[0]; }},
    {"setStrFileIn", [](State& s, Args a) { s.job.marks.textAreaFile = a[0]; }},
    {"setMediaPlay", setMediaPlay},
    {"setMediaRepeat", [](State& s, Args) { s.job.media.repeat = true; }},
    {"setMail", [](State& s, Args) { s.job.marks.mail = true; }},
    {"setPrint", [](State& s, Args) { s.job.marks.print = true; }},
    // output strength and size
    {"setEncryptAES128", [](State& s, Args) { s.job.security.aes = WriterOptions::Cipher::Aes128; }},
    {"setEncryptAES256", [](State& s, Args) { s.job.security.aes = WriterOptions::Cipher::Aes256; }},
    {"setImageReduce", setImageReduce},
    {"setSmallest", [](State& s, Args) { s.job.writer.smallest = true; }},
    // pages per input
    {"setInPages", setInPages},
};

struct Known {
    Handler handle;
    int arity; // from the engine's table; -1 for a name it does not have
};

// The handlers by name, each with its arity, built once.
const std::unordered_map<std::string_view, Known>& handlers() {
    static const auto map = [] {
        std::unordered_map<std::string_view, Known> m;
        for (const Entry& e : kHandlers) {
            const engine::Operation* op = engine::findOperation(e.name);
            m.emplace(e.name, Known{e.handle, op ? op->arity : -1});
        }
        return m;
    }();
    return map;
}

} // namespace

void JobBuilder::apply(std::string_view operation, const std::vector<std::string>& args) {
    const auto& map = handlers();
    const auto it = map.find(operation);
    if (it == map.end() || it->second.arity < 0) {
        throw engine::EngineCallError("the job builder has no operation '" + std::string(operation) + "'");
    }
    if (static_cast<int>(args.size()) != it->second.arity) {
        throw engine::EngineCallError("engine operation '" + std::string(operation) + "' takes " +
                                      std::to_string(it->second.arity) + " argument(s), got " +
                                      std::to_string(args.size()));
    }
    it->second.handle(state_, args);
}

std::vector<std::string_view> JobBuilder::operations() {
    std::vector<std::string_view> names;
    for (const Entry& e : kHandlers) {
        names.push_back(e.name);
    }
    return names;
}

} // namespace plait::pdf
