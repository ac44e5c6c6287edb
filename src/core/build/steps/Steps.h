#pragma once

#include "core/build/OptionSteps.h"

#include <string>
#include <string_view>

// The option steps of a build, one routine each, in the order of the step table. Each reads
// the settings form by control name and calls the engine; none changes the form.
namespace plait::core::build::steps {

void security(StepContext& ctx);           // a
void pageNumbersOutside(StepContext& ctx); // b
void note(StepContext& ctx);               // c
void attachments(StepContext& ctx);        // d
void textArea(StepContext& ctx);           // e
void imposition(StepContext& ctx);         // f
void pageNumbers(StepContext& ctx);        // g
void overlayMode(StepContext& ctx);        // h
void transparency(StepContext& ctx);       // i
void pageBoxes(StepContext& ctx);          // j
void pageScale(StepContext& ctx);          // k
void outputActions(StepContext& ctx);      // l
void bookmarkOutline(StepContext& ctx);    // m
void sortOrder(StepContext& ctx);          // n
void textMarking(StepContext& ctx);        // o
void description(StepContext& ctx);        // p
void inputPasswords(StepContext& ctx);     // q
void parameters(StepContext& ctx);         // r
void customAttributes(StepContext& ctx);   // s
void moveDownRight(StepContext& ctx);      // t
void rotation(StepContext& ctx);           // u
void stamp(StepContext& ctx);              // v
void media(StepContext& ctx);              // w
void centerOnPage(StepContext& ctx);       // x
void pullPages(StepContext& ctx);          // y
void pageSize(StepContext& ctx);           // z

// The name the engine knows the chosen stamp by; empty for "None" or no choice.
std::string stampName(const ui::Form& settings);

} // namespace plait::core::build::steps
