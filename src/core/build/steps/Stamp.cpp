#include "Steps.h"

#include "core/build/Markup.h"
#include "core/settings/ControlTable.h"

#include <string>

namespace plait::core::build::steps {

std::string stampName(const ui::Form& settings) {
    // The list's caption is the engine's name, but for "Approved (w/ Text)": the engine's
    // "Approved" with a text.
    const int index = settings.listIndex("cmbStamp");
    if (index < 1) {
        return {};
    }
    std::string name = settings.listText("cmbStamp");
    if (name == "Approved (w/ Text)") {
        name = "Approved";
    }
    return name;
}

void stamp(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    const int index = s.listIndex("cmbStamp");
    const std::string name = stampName(s);
    if (name.empty() || s.listIndex("cmbImpose") > settings::kImposeNone) {
        return;
    }
    std::string stampArg = name;
    if (s.value("chkStampBack") == 1) {
        stampArg += ",rev";
    }
    ctx.engine.call("setStamp", {stampArg});

    const std::string text = s.text("txtStampText");
    // The stamps that carry the user's text (13 to 16) take no angle of their own.
    const bool textStamp = index >= 13 && index <= 16;
    if (text.empty() && !s.text("txtStampAngle").empty() && !textStamp) {
        ctx.engine.call("setAngle", {s.text("txtStampAngle")});
    }
    if (!s.text("txtStampScale").empty()) {
        ctx.engine.call("setPageScale", {s.text("txtStampScale")});
    }
    if (!text.empty()) {
        ctx.engine.call("setStampText", {text});
    }
    const std::string x = s.text("txtStampX");
    const std::string y = s.text("txtStampY");
    if (!x.empty() || !y.empty()) {
        if (const std::string_view units = unitCode(s.listIndex("cmbStampUnits")); !units.empty()) {
            ctx.engine.call("setUnits", {units});
        }
        if (!x.empty()) {
            ctx.engine.call("setPageRight", {x});
        }
        if (!y.empty()) {
            ctx.engine.call("setPageDown", {y});
        }
    }
    if (!s.text("txtStampPages").empty()) {
        ctx.engine.call("setOverlayPages", {s.text("txtStampPages")});
    }
}

} // namespace plait::core::build::steps
