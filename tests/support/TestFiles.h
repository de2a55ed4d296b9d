#pragma once
// File-system helpers for tests that run as the host would: the test program is the host
// executable, so its ksconfig.ini and its log files are the ones the library uses.

#include <string>

namespace TestFiles {

std::string ExecutableFolder();  // with a trailing backslash
std::string ExecutableName();    // file name only, "x.exe"
std::string CommonAppData();     // with a trailing backslash

// Replaces the ksconfig.ini beside the test program. Empty values leave their key out.
void WriteConfig(const std::string& logLevel, const std::string& logPath = std::string());
void RemoveConfig();

// "[BASE_CONFIG]" with the given level while alive.
struct ScopedConfig {
    explicit ScopedConfig(const std::string& logLevel) { WriteConfig(logLevel); }
    ~ScopedConfig() { RemoveConfig(); }
};

bool Exists(const std::string& path);
std::string ReadAll(const std::string& path);  // empty when missing
void RemoveTree(const std::string& folder);

}  // namespace TestFiles
