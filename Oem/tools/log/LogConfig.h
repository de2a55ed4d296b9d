#pragma once
// Where the log tools find their configuration and their folder. Everything is read from
// "ksconfig.ini" beside the host executable, section "BASE_CONFIG".

#include <string>

namespace LogConfig {

// Full path of the host process's executable, empty when it cannot be obtained.
std::string HostExecutablePath();

// "ksconfig.ini" in the host executable's folder; empty when the executable path is unknown.
std::string ConfigFilePath();

// "LOG_LV" as a signed value; -1 when the file, the key or the path is missing.
int ReadLogLevel(const std::string& configPath);

// The all-users application-data folder with a trailing backslash; false when unavailable.
bool CommonAppDataFolder(std::string* folder);

// Creates <app data>\<name>\ then <app data>\<name>\logs\ and returns the latter. False when the
// application-data folder is unknown, the first folder cannot be created, or the result would
// not fit the 259 characters a folder path may have here.
bool EnsureLogsFolder(const std::string& folderName, std::string* logsFolder);

// "LOG_PATH", the log folder's name below the application-data folder; its default when the
// path is empty.
std::string ReadLogFolderName(const std::string& configPath);

}  // namespace LogConfig
