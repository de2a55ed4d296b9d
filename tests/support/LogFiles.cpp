#include "support/LogFiles.h"

#include <regex>

#include "support/TestFiles.h"

TestLogFolder::TestLogFolder(const std::string& logLevel, const std::string& folderName) : name_(folderName) {
    TestFiles::RemoveTree(Folder());
    SetLevel(logLevel);
}

TestLogFolder::~TestLogFolder() {
    TestFiles::RemoveConfig();
    TestFiles::RemoveTree(Folder());
}

void TestLogFolder::SetLevel(const std::string& logLevel) {
    TestFiles::WriteConfig(logLevel, name_);
}

std::string TestLogFolder::Folder() const {
    return TestFiles::CommonAppData() + name_ + "\\";
}

std::string TestLogFolder::ModuleLogPath() const {
    return Folder() + "logs\\" + TestFiles::ExecutableName() + "Ex.log";
}

std::string TestLogFolder::SharedLogPath() const {
    return Folder() + "logs\\" + TestFiles::ExecutableName() + ".log";
}

std::vector<LogLineText> TestLogFolder::ParseLines(const std::string& content) {
    static const std::regex prefix(R"(^\[\d+\] \[\d+\] \d\d-\d\d \d\d:\d\d:\d\d:\d\d\d : )");
    std::vector<LogLineText> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        if (std::regex_search(line, match, prefix)) {
            lines.push_back({match.str(), line.substr(match.length())});
        } else {
            lines.push_back({std::string(), line});
        }
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> TestLogFolder::Messages(const std::string& path) {
    std::vector<std::string> messages;
    for (const LogLineText& line : ParseLines(TestFiles::ReadAll(path))) messages.push_back(line.message);
    return messages;
}

std::vector<std::string> TestLogFolder::ModuleMessages() const {
    return Messages(ModuleLogPath());
}

std::vector<std::string> TestLogFolder::SharedMessages() const {
    return Messages(SharedLogPath());
}

std::vector<std::string> TestLogFolder::AsWritten(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) {
        for (char c : message + "\n") content += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    std::vector<std::string> entries;
    for (const LogLineText& line : ParseLines(content)) entries.push_back(line.message);
    return entries;
}
