#include "Steps.h"

#include "core/settings/ControlTable.h"

namespace plait::core::build::steps {

void pageNumbersOutside(StepContext& ctx) {
    ctx.engine.call("setPageNumOutside");
}

void pageNumbers(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    // The alignment goes to the engine whether or not numbers are switched on.
    if (s.checked("optPgAlign", settings::kPageAlignCenter)) {
        ctx.engine.call("setPageNumAlign", {"C"});
    } else if (s.checked("optPgAlign", settings::kPageAlignRight)) {
        ctx.engine.call("setPageNumAlign", {"R"});
    }
    if (s.value("chkPage") != 1) {
        return;
    }
    ctx.engine.call("setPageNum");
    ctx.engine.call("setPageLMargin", {s.text("txtPgLeft")});
    ctx.engine.call("setPageBMargin", {s.text("txtPgBottom")});
    ctx.engine.call("setPageFmt", {s.text("txtPgFmt")});
    ctx.engine.call("setPageNumStyle", {s.listText("cmbNumber")});
    ctx.engine.call("setFontSize", {s.text("txtSize")});
}

} // namespace plait::core::build::steps
