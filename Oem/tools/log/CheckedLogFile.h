#pragma once
// A log file opened for one line, checked after it is opened rather than trusted by its name:
// the folders it lives in can be filled by any user, and the host often runs elevated.

#include <cstdio>
#include <memory>
#include <string>

namespace CheckedLogFile {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ScopedFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens path as a text-mode stream that appends, creating the file when it is missing, as
// fopen's "a+" does, but through no link: the name is opened as it stands (never through a
// reparse point), and the file is refused when it is a reparse point, has a second link, or
// its final path is not path's full path. Null when the file cannot be opened or is refused.
ScopedFile OpenForAppend(const std::string& path);

}  // namespace CheckedLogFile
