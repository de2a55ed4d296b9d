#include "support/LogFiles.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

std::string TestFiles::ExecutablePath(bool folderOnly) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string text = path;
    return folderOnly ? text.substr(0, text.rfind('\\') + 1) : text.substr(text.rfind('\\') + 1);
}

std::string TestFiles::CommonAppData() {
    char path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE);
    return std::string(path) + '\\';
}

void TestFiles::WriteConfig(const std::string& logLevel, const std::string& logPath) {
    std::ofstream ini(ExecutableFolder() + "ksconfig.ini", std::ios::trunc);
    ini << "[BASE_CONFIG]\n" << (logLevel.empty() ? "" : "LOG_LV=" + logLevel + "\n");
    ini << (logPath.empty() ? "" : "LOG_PATH=" + logPath + "\n");
}

std::string TestFiles::ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<LogLineText> TestLogFolder::ParseLines(const std::string& content) {
    static const std::regex prefix(R"(^\[\d+\] \[\d+\] \d\d-\d\d \d\d:\d\d:\d\d:\d\d\d : )");
    std::vector<LogLineText> lines;
    for (size_t start = 0, end = 0; start < content.size(); start = end + 2) {
        end = std::min(content.find("\r\n", start), content.size());
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        const bool led = std::regex_search(line, match, prefix);
        lines.push_back({led ? match.str() : std::string(), line.substr(led ? match.length() : 0)});
    }
    return lines;
}

std::vector<std::string> TestLogFolder::MessagesIn(const std::string& content) {
    std::vector<std::string> messages;
    for (const LogLineText& line : ParseLines(content)) messages.push_back(line.message);
    return messages;
}

std::vector<std::string> TestLogFolder::AsWritten(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) content += std::regex_replace(message + "\n", std::regex("\n"), "\r\n");
    return MessagesIn(content);
}
