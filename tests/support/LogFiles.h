#pragma once
// The log files a test program produces, in a log folder named for the test so that tests
// never read each other's lines.

#include <string>
#include <vector>

struct LogLineText {
    std::string prefix;   // "[pid] [tid] MM-DD hh:mm:ss:mmm : "
    std::string message;  // the text after the prefix, without the line end
};

class TestLogFolder {
public:
    // Writes ksconfig.ini with the level and a LOG_PATH unique to the test, and starts empty.
    TestLogFolder(const std::string& logLevel, const std::string& folderName);
    ~TestLogFolder();
    TestLogFolder(const TestLogFolder&) = delete;
    TestLogFolder& operator=(const TestLogFolder&) = delete;

    void SetLevel(const std::string& logLevel);
    std::string Folder() const;         // the test log folder, with a trailing backslash
    std::string ModuleLogPath() const;  // ...\logs\<exe>Ex.log
    std::string SharedLogPath() const;  // ...\logs\<exe>.log

    // The messages of a log file in order, split at CR LF. Messages that contain line ends
    // span several entries; those entries have no prefix.
    std::vector<std::string> ModuleMessages() const;
    std::vector<std::string> SharedMessages() const;
    static std::vector<LogLineText> ParseLines(const std::string& content);
    static std::vector<std::string> Messages(const std::string& path);
    // The entries that messages leave once written: each ends in a line feed, and every line
    // feed lands on disk as CR LF.
    static std::vector<std::string> AsWritten(const std::vector<std::string>& messages);

private:
    std::string name_;
};
