// Loads the text-marking module on first use (marking/TextMarking.h).
#include "marking/TextMarking.h"

#include "Cancel.h"
#include "EngineError.h"
#include "Modules.h"

#include <functional>

namespace plait::pdf {

int applyTextMarking(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes) {
    if (marking.find.empty())
        return 0;
    using Entry = int (*)(QPDF*, const TextMarking*, std::vector<std::string>*, const std::function<bool()>*);
    std::string error;
    auto* entry = reinterpret_cast<Entry>(moduleEntry(kTextMarkingModule, kTextMarkingEntry, error));
    if (entry == nullptr) {
        notes.push_back("Text marking is not available (" + error + "); \"" + marking.find + "\" is " +
                        (marking.change ? "not replaced" : "not marked"));
        return 0;
    }
    const std::function<bool()> cancelled = currentCancelCheck();
    const int result = entry(&pdf, &marking, &notes, &cancelled);
    if (result == kTextMarkingCancelled)
        throw BuildCancelled{};
    return result;
}

} // namespace plait::pdf
