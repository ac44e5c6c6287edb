#pragma once

#include <string>

namespace plait::pdf {

// What text in other scripts and passwords beyond Latin need (fontconfig, HarfBuzz's
// subsetter and ICU) lives in the module `libplait_scripts.so` (Modules.h), loaded the first
// time a build draws such text or opens a file with such a password: marks::fontsCovering and
// marks::subsetFont (marks/FontFinder.h), and saslPrep below.
inline constexpr const char* kScriptsModule = "libplait_scripts.so";

// SASLprep (the profile 256-bit AES passwords are normalised with): spaces mapped, invisible
// characters removed, compatibility forms composed (NFKC). Empty when the text is not UTF-8,
// holds what the profile forbids, or the module cannot be loaded.
std::string saslPrep(const std::string& utf8);

} // namespace plait::pdf
