#include "Steps.h"

#include "core/build/Markup.h"
#include "core/ui/Text.h"

namespace plait::core::build::steps {

void note(StepContext& ctx) {
    const ui::Form& s = ctx.settings;
    if (ui::trimBlanks(s.text("txtNote")).empty() || ui::trimBlanks(s.text("txtNotePages")).empty()) {
        return;
    }
    ctx.engine.call("setFileDataS", {"annotes", noteMarkup(s)});
    ctx.engine.call("setAnnotesFile", {"annotes"});
}

void attachments(StepContext& ctx) {
    const std::string markup = attachmentMarkup(ctx.settings);
    if (markup.empty()) {
        return; // no row names a file
    }
    ctx.engine.call("setFileDataS", {"attach", markup});
    ctx.engine.call("setEmbedFile", {"attach"});
}

void textArea(StepContext& ctx) {
    if (ui::trimBlanks(ctx.settings.text("txtTextArea")).empty()) {
        return;
    }
    ctx.engine.call("setFileDataS", {"_text_", textAreaMarkup(ctx.settings)});
    ctx.engine.call("setStrFileIn", {"_text_"});
}

} // namespace plait::core::build::steps
