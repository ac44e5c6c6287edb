#include "Passwords.h"

#include <array>

namespace plait::core::settings {
namespace {

constexpr std::array kPairs{
    PasswordPair{"open1_txt", "open2_txt", "Open Password does not match confirmation - please re-enter."},
    PasswordPair{"perm1_txt", "perm2_txt",
                 "Permissions Password does not match confirmation - please re-enter."},
};

} // namespace

std::span<const PasswordPair> passwordPairs() {
    return kPairs;
}

std::optional<std::string> passwordMismatch(const ui::Form& settings, const PasswordPair& pair) {
    const std::string first = settings.text(pair.password);
    if (!first.empty() && settings.text(pair.confirmation) != first) {
        return std::string(pair.mismatchMessage);
    }
    return std::nullopt;
}

bool passwordsAgree(const ui::Form& settings) {
    for (const auto& pair : kPairs) {
        if (passwordMismatch(settings, pair)) {
            return false;
        }
    }
    return true;
}

} // namespace plait::core::settings
