#include "Text.h"

namespace plait::ui {

std::string_view trimmed(std::string_view text, std::string_view set) {
    const auto first = text.find_first_not_of(set);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

std::string trimBlanks(std::string_view text) {
    return std::string(trimmed(text));
}

} // namespace plait::ui
