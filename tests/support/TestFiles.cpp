#include "support/TestFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace TestFiles {

namespace {
std::string ExecutablePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}
}  // namespace

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    return path.substr(0, path.rfind('\\') + 1);
}

std::string ExecutableName() {
    const std::string path = ExecutablePath();
    return path.substr(path.rfind('\\') + 1);
}

std::string CommonAppData() {
    char path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE);
    const std::string folder = path;
    return folder.empty() || folder.back() != '\\' ? folder + '\\' : folder;
}

void WriteConfig(const std::string& logLevel, const std::string& logPath) {
    std::ofstream ini(ExecutableFolder() + "ksconfig.ini", std::ios::trunc);
    ini << "[BASE_CONFIG]\n";
    if (!logLevel.empty()) ini << "LOG_LV=" << logLevel << "\n";
    if (!logPath.empty()) ini << "LOG_PATH=" << logPath << "\n";
}

void RemoveConfig() {
    ::DeleteFileA((ExecutableFolder() + "ksconfig.ini").c_str());
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void RemoveTree(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace TestFiles
