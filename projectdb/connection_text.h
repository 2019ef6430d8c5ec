#pragma once
// How the window's path texts become what the project settings component is handed: the path
// without surrounding blanks, followed for a database with the standard password by "|" and that
// password.
#include <string>

#include "projectdb/password.h"

namespace projectdb {

// Removes leading and trailing blanks (U+0020) only, as the product always has; tabs and other
// white space are part of the path.
std::string TrimBlanks(const std::string& text);

// The connection text for OpenProject: TrimBlanks(path), then "|" and the standard password when
// `state` is kStateStandardPassword.
std::string ConnectionText(const std::string& path, DatabaseState state);

}  // namespace projectdb
