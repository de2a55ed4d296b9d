#pragma once
// Where the log tools find their configuration and their folder. Everything is read from
// "ksconfig.ini" beside the host executable, section "BASE_CONFIG".

#include <string>

#include "LogFolder.h"

namespace LogConfig {

// Full path of the host process's executable, empty when it cannot be obtained whole (260
// characters or more).
std::string HostExecutablePath();

// "ksconfig.ini" in the host executable's folder; empty when the executable path is unknown.
std::string ConfigFilePath();

// "LOG_LV" as a signed value; -1 when the file, the key or the path is missing.
int ReadLogLevel(const std::string& configPath);

// The all-users application-data folder with a trailing backslash; false when unavailable.
bool CommonAppDataFolder(std::string* folder);

// Makes <app data>\<name>\ then <app data>\<name>\logs\ (LogFolder::Ensure) and returns the
// latter. Unavailable when the application-data folder is unknown or the first folder cannot
// be made; Refused when either folder is a link or the result would not fit the 259
// characters a folder path may have here.
LogFolder::State EnsureLogsFolder(const std::string& folderName, std::string* logsFolder);

// "LOG_PATH", the log folder's name below the application-data folder; its default when the
// configuration path is empty or the name would leave that folder (LogFolderName).
std::string ReadLogFolderName(const std::string& configPath);

}  // namespace LogConfig
