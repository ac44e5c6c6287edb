#include "Steps.h"

namespace plait::core::build::steps {

void imposition(StepContext& ctx) {
    switch (ctx.settings.listIndex("cmbImpose")) {
    case 1:
        ctx.engine.call("setImpose", {"2-up"});
        break;
    case 2:
        ctx.engine.call("setOnePage", {"scale"});
        break;
    case 3:
        ctx.engine.call("setOnePage", {"noscale"});
        break;
    case 4:
        ctx.engine.call("setImpose", {"booklet"});
        break;
    case 5:
        ctx.engine.call("setImpose", {"booklet-long"});
        break;
    default:
        break;
    }
}

// Pulled pages make the build a merge: with any text in "Pull Pages" no overlay is asked for.
void overlayMode(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    if (!s.text("txtPullPages").empty()) {
        return;
    }
    if (ctx.overlayType > 0) {
        ctx.engine.call("setOverlay");
    }
    if (ctx.overlayType == 2) {
        ctx.engine.call("setRepeat");
    }
    if (s.enabled("chkRevOverlay") && s.value("chkRevOverlay") == 1) {
        ctx.engine.call("setRevOverlay");
    }
}

void transparency(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    if (!s.text("txtTransparency").empty()) {
        ctx.engine.call("setTransparency", {s.text("txtTransparency"), s.listText("cmbTranstype")});
    }
}

void pullPages(StepContext& ctx) {
    if (ctx.settings.enabled("txtPullPages")) {
        ctx.engine.call("setPages", {ctx.settings.text("txtPullPages")});
    }
}

} // namespace plait::core::build::steps
