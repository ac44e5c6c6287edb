#include "Steps.h"

#include "core/build/Markup.h"

#include <array>
#include <string>

namespace plait::core::build::steps {

std::string_view stampName(int listIndex) {
    // By list index; "Approved (w/ Text)" is the engine's "Approved" with a text.
    static constexpr std::array<std::string_view, 22> kNames{
        "",
        "Approved",
        "Not Approved",
        "Draft",
        "Final",
        "Completed",
        "Confidential",
        "For Public Release",
        "Not For Public Release",
        "For Comment",
        "Void",
        "Preliminary Results",
        "Information Only",
        "Approved",
        "Revised",
        "Reviewed",
        "Received",
        "Witness",
        "Initial",
        "Sign Here",
        "Check",
        "Cross",
    };
    if (listIndex < 1 || listIndex >= static_cast<int>(kNames.size())) {
        return {};
    }
    return kNames[static_cast<std::size_t>(listIndex)];
}

void stamp(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    const int index = s.listIndex("cmbStamp");
    const std::string_view name = stampName(index);
    if (name.empty() || s.listIndex("cmbImpose") >= 1) {
        return;
    }
    std::string stampArg(name);
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
