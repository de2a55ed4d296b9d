#include "support/TestFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace TestFiles {

static std::string ExecutablePath(bool folder) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string text = path;
    const std::size_t cut = text.rfind('\\') + 1;
    return folder ? text.substr(0, cut) : text.substr(cut);
}

std::string ExecutableFolder() {
    return ExecutablePath(true);
}

std::string ExecutableName() {
    return ExecutablePath(false);
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
