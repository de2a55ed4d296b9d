#include "LogConfig.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace LogConfig {
namespace {

constexpr char kSection[] = "BASE_CONFIG";
constexpr size_t kMaxPath = 260;

}  // namespace

std::string HostExecutablePath() {
    char path[kMaxPath] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    if (length == 0) return std::string();
    return std::string(path, length < kMaxPath ? length : kMaxPath - 1);
}

std::string ConfigFilePath() {
    std::string path = HostExecutablePath();
    if (path.empty()) return path;
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos) path.erase(slash + 1);
    return path + "ksconfig.ini";
}

int ReadLogLevel(const std::string& configPath) {
    if (configPath.empty()) return -1;
    return static_cast<int>(::GetPrivateProfileIntA(kSection, "LOG_LV", -1, configPath.c_str()));
}

std::string ReadLogFolderName(const std::string& configPath) {
    constexpr char kDefault[] = "Kestovan R470 Driver Package";
    // Without a file name the profile calls would read win.ini instead.
    if (configPath.empty()) return kDefault;
    char name[kMaxPath] = {};
    ::GetPrivateProfileStringA(kSection, "LOG_PATH", kDefault, name, static_cast<DWORD>(sizeof(name)),
                               configPath.c_str());
    return name;
}

bool CommonAppDataFolder(std::string* folder) {
    char path[kMaxPath] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE)) return false;
    ::PathAddBackslashA(path);
    *folder = path;
    return true;
}

bool EnsureLogsFolder(const std::string& folderName, std::string* logsFolder) {
    std::string folder;
    if (!CommonAppDataFolder(&folder)) return false;
    folder += folderName;
    folder += '\\';
    const std::string logs = folder + "logs\\";
    // Folder paths here live in 260-byte buffers; one that does not fit is not ours to shorten.
    if (logs.size() >= kMaxPath) return false;
    if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    ::CreateDirectoryA(logs.c_str(), nullptr);
    *logsFolder = logs;
    return true;
}

}  // namespace LogConfig
