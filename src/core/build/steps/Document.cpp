#include "Steps.h"

#include "core/build/Markup.h"
#include "core/outline/BookmarkMarkup.h"
#include "core/outline/Outline.h"

namespace plait::core::build::steps {

void outputActions(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    if (ctx.autoOpen) {
        ctx.engine.call("setOpen");
    }
    if (s.value("chkMail") == 1) {
        ctx.engine.call("setMail");
    }
    if (s.value("chkPrint") == 1) {
        ctx.engine.call("setPrint");
    }
    if (s.value("chkKeepBM") == 1) {
        ctx.engine.call("setBookmarkKeep");
    }
}

void bookmarkOutline(StepContext& ctx) {
    if (ctx.outline == nullptr || ctx.outline->empty()) {
        return; // no outline: the engine hears nothing of bookmarks from here
    }
    const std::string bmText = outline::buildBM(*ctx.outline);
    ctx.engine.call("setFileDataS", {"_bm_", bmText});
    ctx.engine.call("setBookmarkFile", {"_bm_"});
}

void sortOrder(StepContext& ctx) {
    static constexpr std::string_view kKeys[] = {"", "f", "n", "b", "d"};
    const int index = ctx.settings.listIndex("cmbSort");
    if (index >= 1 && index <= 4) {
        ctx.engine.call("setSort", {kKeys[index]});
    }
}

void textMarking(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    const std::string find = s.text("txthighlight");
    if (find.empty()) {
        return;
    }
    if (const std::string replace = s.text("txtReplace"); !replace.empty()) {
        ctx.engine.call("setString", {find});
        ctx.engine.call("setStringChange", {replace});
        return;
    }
    const std::string digits = colorDigits(s.color("picColor"));
    ctx.engine.call("setString", {find});
    static constexpr std::string_view kModes[] = {"", "HI-R", "OL", "UL", "CO"};
    const int mode = s.listIndex("cmbHiType");
    if (mode >= 1 && mode <= 4) {
        ctx.engine.call("setStringColorMode", {kModes[mode]});
    }
    ctx.engine.call("setStringColor", {digits});
}

void description(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    ctx.engine.call("setTitle", {s.text("txtTitle")});
    ctx.engine.call("setSubject", {s.text("txtSubject")});
    ctx.engine.call("setAuthor", {s.text("txtAuthor")});
    ctx.engine.call("setProducer", {s.text("txtProducer")});
    ctx.engine.call("setKeywords", {s.text("txtKeywords")});
}

void parameters(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    ctx.engine.call("setCmds", {s.text("txtParams")});
    if (s.value("chkReduceImages") == 1) {
        ctx.engine.call("setImageReduce", {s.text("txtImageDpi"), s.text("txtImageQuality")});
    }
    if (s.value("chkSmallest") == 1) {
        ctx.engine.call("setSmallest");
    }
}

void customAttributes(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    for (const char* n : {"1", "2"}) {
        const std::string name = s.text(std::string("txtNameAttr") + n);
        if (!name.empty()) {
            ctx.engine.call("setAttribute", {name, s.text(std::string("txtValueAttr") + n)});
        }
    }
}

void media(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    std::string flags;
    if (s.value("chkMediaOpen") == 1) {
        flags += "o";
    }
    if (s.value("chkMediaView") == 1) {
        flags += "v";
    }
    if (s.value("chkMediaMouse") == 1) {
        flags += "m";
    }
    ctx.engine.call("setMediaPlay", {flags});
    if (s.value("chkMediaRepeat") == 1) {
        ctx.engine.call("setMediaRepeat");
    }
}

} // namespace plait::core::build::steps
