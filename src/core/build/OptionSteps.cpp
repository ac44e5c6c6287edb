#include "OptionSteps.h"

#include <array>

namespace plait::core::build {
namespace {

// The steps read the settings model; each is filled in as its options arrive.
void noop(StepContext&) {}

constexpr std::array kSteps{
    OptionStep{'a', "Security and permissions", noop},
    OptionStep{'b', "Page numbers outside", noop},
    OptionStep{'c', "Annotation note", noop},
    OptionStep{'d', "Attachments", noop},
    OptionStep{'e', "Text area", noop},
    OptionStep{'f', "Imposition", noop},
    OptionStep{'g', "Page-number alignment and page numbers", noop},
    OptionStep{'h', "Overlay mode", noop},
    OptionStep{'i', "Transparency", noop},
    OptionStep{'j', "Page boxes", noop},
    OptionStep{'k', "Page scale", noop},
    OptionStep{'l', "Open, mail, print, keep bookmarks", noop},
    OptionStep{'m', "Bookmark outline", noop},
    OptionStep{'n', "Sort order of the inputs", noop},
    OptionStep{'o', "Text highlighting or replacement", noop},
    OptionStep{'p', "Title, subject, author, producer, keywords", noop},
    OptionStep{'q', "Input passwords", noop},
    OptionStep{'r', "Parameters", noop},
    OptionStep{'s', "Custom attributes", noop},
    OptionStep{'t', "Move down, move right", noop},
    OptionStep{'u', "Auto-rotate, rotation angle", noop},
    OptionStep{'v', "Stamp", noop},
    OptionStep{'w', "Media playback", noop},
    OptionStep{'x', "Centre on page", noop},
    OptionStep{'y', "Pull pages", noop},
    OptionStep{'z', "Page size, units, auto-scale", noop},
};

} // namespace

std::span<const OptionStep> optionSteps() { return kSteps; }

void runOptionSteps(StepContext& context) {
    for (const auto& step : kSteps) {
        step.run(context);
    }
}

} // namespace plait::core::build
