#pragma once
// Whether a "LOG_PATH" value names a folder below the application-data folder and nothing
// else. Plain C++: no platform header, so the rule builds natively for sanitizers and fuzzing.

#include <string>

namespace LogFolderName {

// True for one or more components separated by "\" or "/", none of them empty, none made of
// dots and blanks only (".", "..", and what Windows would shorten to them), none ending in a
// dot or a blank (Windows would store another name), and no colon anywhere (a drive, a
// stream). A leading separator, a "\\?\" prefix and a drive letter therefore fail too.
bool StaysInside(const std::string& name);

}  // namespace LogFolderName
