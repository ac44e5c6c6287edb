#include "OptionSteps.h"

#include "steps/Steps.h"

#include <array>

namespace plait::core::build {
namespace {

using namespace steps;

constexpr std::array kSteps{
    OptionStep{'a', "Security and permissions", security},
    OptionStep{'b', "Page numbers outside", pageNumbersOutside},
    OptionStep{'c', "Annotation note", note},
    OptionStep{'d', "Attachments", attachments},
    OptionStep{'e', "Text area", textArea},
    OptionStep{'f', "Imposition", imposition},
    OptionStep{'g', "Page-number alignment and page numbers", pageNumbers},
    OptionStep{'h', "Overlay mode", overlayMode},
    OptionStep{'i', "Transparency", transparency},
    OptionStep{'j', "Page boxes", pageBoxes},
    OptionStep{'k', "Page scale", pageScale},
    OptionStep{'l', "Open, mail, print, keep bookmarks", outputActions},
    OptionStep{'m', "Bookmark outline", bookmarkOutline},
    OptionStep{'n', "Sort order of the inputs", sortOrder},
    OptionStep{'o', "Text highlighting or replacement", textMarking},
    OptionStep{'p', "Title, subject, author, producer, keywords", description},
    OptionStep{'q', "Input passwords", inputPasswords},
    OptionStep{'r', "Parameters", parameters},
    OptionStep{'s', "Custom attributes", customAttributes},
    OptionStep{'t', "Move down, move right", moveDownRight},
    OptionStep{'u', "Auto-rotate, rotation angle", rotation},
    OptionStep{'v', "Stamp", stamp},
    OptionStep{'w', "Media playback", media},
    OptionStep{'x', "Centre on page", centerOnPage},
    OptionStep{'y', "Pull pages", pullPages},
    OptionStep{'z', "Page size, units, auto-scale", pageSize},
};

} // namespace

std::span<const OptionStep> optionSteps() {
    return kSteps;
}

void runOptionSteps(StepContext& context) {
    for (const auto& step : kSteps) {
        step.run(context);
    }
}

} // namespace plait::core::build
