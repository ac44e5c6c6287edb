#include "Steps.h"

#include "core/build/Markup.h"

#include <array>
#include <string>
#include <utility>

namespace plait::core::build::steps {

void pageBoxes(StepContext& ctx) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kRows{{
        {"txtMediaBox", "setMediaBox"},
        {"txtCropBox", "setCropBox"},
        {"txtBleedBox", "setBleedBox"},
        {"txtArtBox", "setArtBox"},
        {"txtTrimBox", "setTrimBox"},
    }};
    for (const auto& [row, operation] : kRows) {
        std::vector<std::string> values;
        for (int i = 0; i < 4; ++i) {
            values.push_back(ctx.settings.text(row, i));
        }
        bool full = true;
        for (const auto& v : values) {
            full = full && !v.empty();
        }
        if (full) {
            ctx.engine.call(operation, std::move(values));
        }
    }
}

void pageScale(StepContext& ctx) {
    if (!ctx.settings.text("txtScale").empty()) {
        ctx.engine.call("setPageScale", {ctx.settings.text("txtScale")});
    }
}

void moveDownRight(StepContext& ctx) {
    ctx.engine.call("setPageDown", {ctx.settings.text("txtDown")});
    ctx.engine.call("setPageRight", {ctx.settings.text("txtRight")});
}

void rotation(StepContext& ctx) {
    if (ctx.settings.value("chkAutoRotate") == 1) {
        ctx.engine.call("setAutoRotate");
    }
    if (!ctx.settings.text("txtAngle").empty()) {
        ctx.engine.call("setAngle", {ctx.settings.text("txtAngle")});
    }
}

void centerOnPage(StepContext& ctx) {
    if (ctx.settings.value("chkCenter") == 1) {
        ctx.engine.call("setPageCenter");
    }
}

void pageSize(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    const std::string width = s.text("txtPageSizeX");
    const std::string height = s.text("txtPageSizeY");
    if (width.empty() || height.empty()) {
        return;
    }
    if (const std::string_view units = unitCode(s.listIndex("cmbPageSize")); !units.empty()) {
        ctx.engine.call("setUnits", {units});
    }
    ctx.engine.call("setPageSize", {width, height});
    const bool up = s.value("chkAutoScale1") == 1;
    const bool down = s.value("chkAutoScale2") == 1;
    if (up && down) {
        ctx.engine.call("setAutoScale", {"du"});
    } else if (up) {
        ctx.engine.call("setAutoScale", {"u"});
    } else if (down) {
        ctx.engine.call("setAutoScale", {"d"});
    }
}

} // namespace plait::core::build::steps
