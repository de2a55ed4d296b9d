#pragma once
// A benchmark's own log folder under the common application data: the log lines the library
// wrote there, and the folder removed with its files.

#include <string>

// Lines that begin with a log prefix, "[pid] ...", in the files of folder; a message's own
// line breaks begin none.
int CountLogLines(const std::string& folder);

// folder's "logs\" files, that folder, then folder itself.
void RemoveLogFolder(const std::string& folder);
