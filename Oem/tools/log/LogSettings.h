#pragma once

#include <windows.h>

#include <string>

// "LOG_LV" and "LOG_PATH" of one configuration file, parsed again only when the file changed:
// it appeared or went, or its last-write time or size moved. Checking costs one metadata
// query. Not locked: the owner serialises the calls.
class LogSettings {
public:
    explicit LogSettings(std::string configPath);

    // Brings the values up to date; true when the log folder name changed (also the first
    // time), so that a folder derived from it must be derived again.
    bool Refresh();
    int Level() const { return level_; }
    const std::string& FolderName() const { return folderName_; }

private:
    struct Identity {
        bool known = false;  // false: the file could not be examined, so every check parses
        bool exists = false;
        ULONGLONG lastWrite = 0;  // 100 ns units
        ULONGLONG size = 0;
    };
    Identity Examine() const;
    bool Current(const Identity& now) const;

    const std::string configPath_;
    bool parsed_ = false;
    Identity identity_;
    ULONGLONG parsedAt_ = 0;  // system time when the values were last read, 100 ns units
    int level_ = -1;
    std::string folderName_;
};
