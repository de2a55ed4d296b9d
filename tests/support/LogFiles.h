#pragma once
// The test program is the host executable, so its ksconfig.ini and its log files are the ones the
// library uses; each test logs to a folder named for it so that tests never read each other's lines.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

struct TestFiles {
    static std::string ExecutableFolder() { return ExecutablePath(true); }  // with a trailing backslash
    static std::string ExecutableName() { return ExecutablePath(false); }   // "x.exe"
    static std::string ExecutablePath(bool folderOnly);
    static std::string CommonAppData();  // with a trailing backslash
    // Replaces the ksconfig.ini beside the test program. Empty values leave their key out.
    static void WriteConfig(const std::string& logLevel, const std::string& logPath = std::string());
    static void RemoveConfig() { ::DeleteFileA((ExecutableFolder() + "ksconfig.ini").c_str()); }
    static bool Exists(const std::string& path) {
        return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    static std::string ReadAll(const std::string& path);  // empty when missing
    static void RemoveTree(const std::string& folder) {
        std::error_code e;
        std::filesystem::remove_all(folder, e);
    }
    struct ScopedConfig {
        explicit ScopedConfig(const std::string& logLevel) { WriteConfig(logLevel); }
        ~ScopedConfig() { RemoveConfig(); }
    };
};

struct LogLineText {
    std::string prefix;   // "[pid] [tid] MM-DD hh:mm:ss:mmm : "
    std::string message;  // the text after the prefix, without the line end
};

class TestLogFolder {
public:
    TestLogFolder(const std::string& level, const std::string& name) : name_(name) { RemoveTree(), SetLevel(level); }
    ~TestLogFolder() { TestFiles::RemoveConfig(), RemoveTree(); }
    void RemoveTree() const { TestFiles::RemoveTree(Folder()); }
    void SetLevel(const std::string& logLevel) { TestFiles::WriteConfig(logLevel, name_); }
    std::string Folder() const { return TestFiles::CommonAppData() + name_ + "\\"; }
    std::string ModuleLogPath() const { return Folder() + "logs\\" + TestFiles::ExecutableName() + "Ex.log"; }
    // A message's later lines have no prefix.
    std::vector<std::string> ModuleMessages() const { return Messages(ModuleLogPath()); }
    std::string SharedLogPath() const { return Folder() + "logs\\" + TestFiles::ExecutableName() + ".log"; }
    std::vector<std::string> SharedMessages() const { return Messages(SharedLogPath()); }
    static std::vector<LogLineText> ParseLines(const std::string& content);
    static std::vector<std::string> Messages(const std::string& path) { return MessagesIn(TestFiles::ReadAll(path)); }
    static std::vector<std::string> MessagesIn(const std::string& content);
    // The entries messages leave once written: each ends in a line feed, and each one lands as CR LF.
    static std::vector<std::string> AsWritten(const std::vector<std::string>& messages);

private:
    std::string name_;
};
