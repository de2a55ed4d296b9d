#pragma once
// The folders below the all-users application-data folder that the log tools write into. Any
// user may create files and folders there, so a folder we make gets an access list of its
// own, and a folder someone else made is used only if it is a plain folder.

#include <string>

namespace LogFolder {

enum class State {
    Ready,        // a plain folder is there now
    Unavailable,  // it could not be made
    Refused,      // something else stands there: a link, a junction, a file
};

// Makes folder, unless it exists, with a protected access list: SYSTEM, Administrators and the
// creating user have full control, Users may read and traverse; nothing is inherited from the
// parent. An existing folder is taken as it is, access list included, when it is no reparse
// point. folder may end in a backslash.
State Ensure(const std::string& folder);

}  // namespace LogFolder
