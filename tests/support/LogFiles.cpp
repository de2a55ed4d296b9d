#include "support/LogFiles.h"

#include <algorithm>
#include <regex>

TestLogFolder::TestLogFolder(const std::string& logLevel, const std::string& folderName) : name_(folderName) {
    TestFiles::RemoveTree(Folder());
    SetLevel(logLevel);
}

TestLogFolder::~TestLogFolder() {
    TestFiles::RemoveConfig();
    TestFiles::RemoveTree(Folder());
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

std::vector<std::string> TestLogFolder::Messages(const std::string& path) {
    std::vector<std::string> messages;
    for (const LogLineText& line : ParseLines(TestFiles::ReadAll(path))) messages.push_back(line.message);
    return messages;
}

std::vector<std::string> TestLogFolder::AsWritten(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) content += std::regex_replace(message + "\n", std::regex("\n"), "\r\n");
    std::vector<std::string> entries;
    for (const LogLineText& line : ParseLines(content)) entries.push_back(line.message);
    return entries;
}
