#include "LogConfig.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "LogFolder.h"
#include "text/LogFolderName.h"

namespace LogConfig {
namespace {

constexpr char kSection[] = "BASE_CONFIG";
constexpr size_t kMaxPath = 260;

}  // namespace

std::string HostExecutablePath() {
    char path[kMaxPath] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    // A cut path names one of the executable's ancestors, whose ksconfig.ini is not ours.
    if (length == 0 || length >= kMaxPath) return std::string();
    return std::string(path, length);
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
    // A name that would leave the application-data folder counts as no name.
    return LogFolderName::StaysInside(name) ? name : kDefault;
}

bool CommonAppDataFolder(std::string* folder) {
    char path[kMaxPath] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE)) return false;
    ::PathAddBackslashA(path);
    *folder = path;
    return true;
}

LogFolder::State EnsureLogsFolder(const std::string& folderName, std::string* logsFolder) {
    std::string folder;
    if (!CommonAppDataFolder(&folder)) return LogFolder::State::Unavailable;
    folder += folderName;
    folder += '\\';
    const std::string logs = folder + "logs\\";
    // Folder paths here live in 260-byte buffers; one that does not fit is not ours to shorten.
    if (logs.size() >= kMaxPath) return LogFolder::State::Refused;
    const LogFolder::State state = LogFolder::Ensure(folder);
    if (state != LogFolder::State::Ready) return state;
    // Whether logs\ could be made shows when the file is opened; one that is a link is refused.
    if (LogFolder::Ensure(logs) == LogFolder::State::Refused) return LogFolder::State::Refused;
    *logsFolder = logs;
    return LogFolder::State::Ready;
}

}  // namespace LogConfig
