#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// "LOG_LV" and "LOG_PATH" of one configuration file, parsed again only when the file changed:
// it appeared or went, or its last-write time or size moved. Checking costs one metadata
// query: of the file, or, while the file is missing on a volume that moves a folder's
// last-write time when a file appears in it, of its folder (a missing name is the dearer
// query on some systems).
// Only Examine may run unlocked; the owner serialises the rest.
class LogSettings {
public:
    // What one metadata query told.
    struct Identity {
        bool known = false;  // false: could not be examined, so the file is parsed
        bool exists = false;
        bool folderOnly = false;  // the folder was examined, not the file
        ULONGLONG lastWrite = 0;  // 100 ns units; the folder's when folderOnly
        ULONGLONG size = 0;
    };

    explicit LogSettings(std::string configPath);

    // The one metadata query of a line. Callers run it before they take their lock, so that
    // the lock is never held across a file-system call just to drop a line.
    Identity Examine() const;
    // Brings the values up to date with what was examined; true when the log folder name
    // changed (also the first time), so that a folder derived from it must be derived again.
    bool Refresh(const Identity& examined);
    int Level() const { return level_; }
    const std::string& FolderName() const { return folderName_; }

private:
    Identity ExamineFile() const;
    void WatchFolderWhileMissing(const Identity& file);

    const std::string configPath_;
    const std::string configFolder_;
    std::atomic<bool> watchFolder_{false};  // the file was missing at the last check
    bool folderKindKnown_ = false;
    bool folderTimesMove_ = false;  // the folder's volume moves its time when a file appears
    bool parsed_ = false;
    Identity file_;                  // the file at the last parse
    ULONGLONG parsedAt_ = 0;         // system time of the last parse, 100 ns units
    ULONGLONG folderWrite_ = 0;      // the folder's last-write time when last looked at
    ULONGLONG folderCheckedAt_ = 0;  // system time when the file was then found missing
    int level_ = -1;
    std::string folderName_;
};
