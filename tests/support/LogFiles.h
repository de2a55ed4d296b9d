#pragma once
// The log files a test program produces, in a log folder named for the test so that tests
// never read each other's lines.

#include <string>
#include <vector>

#include "support/TestFiles.h"

struct LogLineText {
    std::string prefix;   // "[pid] [tid] MM-DD hh:mm:ss:mmm : "
    std::string message;  // the text after the prefix, without the line end
};

class TestLogFolder {
public:
    // Writes ksconfig.ini with the level and a LOG_PATH unique to the test, and starts empty.
    TestLogFolder(const std::string& logLevel, const std::string& folderName);
    ~TestLogFolder();

    void SetLevel(const std::string& logLevel) { TestFiles::WriteConfig(logLevel, name_); }
    std::string Folder() const { return TestFiles::CommonAppData() + name_ + "\\"; }
    std::string ModuleLogPath() const { return Folder() + "logs\\" + TestFiles::ExecutableName() + "Ex.log"; }
    std::string SharedLogPath() const { return Folder() + "logs\\" + TestFiles::ExecutableName() + ".log"; }

    // The messages of a log file in order, split at CR LF: a message's later lines have no prefix.
    std::vector<std::string> ModuleMessages() const { return Messages(ModuleLogPath()); }
    std::vector<std::string> SharedMessages() const { return Messages(SharedLogPath()); }
    static std::vector<LogLineText> ParseLines(const std::string& content);
    static std::vector<std::string> Messages(const std::string& path);
    // The entries messages leave once written: each ends in a line feed, and each one lands as CR LF.
    static std::vector<std::string> AsWritten(const std::vector<std::string>& messages);

private:
    std::string name_;
};
