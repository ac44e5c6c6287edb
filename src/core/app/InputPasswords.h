#pragma once

#include <string>
#include <vector>

// The input passwords of a build ("Input PDF Passwords" on the Files tab): a list of passwords
// separated by commas, where "\," is a comma and "\\" a backslash inside a password.
namespace plait::core::app {

std::vector<std::string> splitPasswordList(const std::string& list);

// The list with `password` added at its end; the list unchanged when it holds the password
// already or the password is empty.
std::string withPassword(const std::string& list, const std::string& password);

} // namespace plait::core::app
