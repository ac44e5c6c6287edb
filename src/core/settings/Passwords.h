#pragma once

#include "core/ui/Form.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace plait::core::settings {

// A password box of the security tab, the box that confirms it, and what the program says
// when the two differ.
struct PasswordPair {
    std::string_view password;
    std::string_view confirmation;
    std::string_view mismatchMessage;
};

// The open password, then the permissions password.
std::span<const PasswordPair> passwordPairs();

// The pair's message when its password is set and the confirmation differs from it.
std::optional<std::string> passwordMismatch(const ui::Form& settings, const PasswordPair& pair);

// True when no set password differs from its confirmation.
bool passwordsAgree(const ui::Form& settings);

} // namespace plait::core::settings
