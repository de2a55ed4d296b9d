#pragma once
// The test program as the host: its ksconfig.ini and log files (each test logs to a folder of its
// own), Oem.dll loaded as the host tool loads it, and the checks that an export call let go of
// everything it took.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/SimModem.h"
#include "support/TestKit.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"

struct TestFiles {
    static std::string ExecutableFolder() { return ExecutablePath(true); }  // with a trailing backslash
    static std::string ExecutableName() { return ExecutablePath(false); }   // "x.exe"
    static std::string ExecutablePath(bool folderOnly);
    static std::string CommonAppData();  // with a trailing backslash
    // Replaces the ksconfig.ini beside the test program. Empty values leave their key out.
    static void WriteConfig(const std::string& logLevel, const std::string& logPath = std::string());
    static void RemoveConfig() { ::DeleteFileA((ExecutableFolder() + "ksconfig.ini").c_str()); }
    static bool Exists(const std::string& p) { return ::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
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

struct TestLogFolder {
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
    std::string name_;
};

struct OemDll {
    static std::string Path() { return TestFiles::ExecutableFolder() + "Oem.dll"; }
    bool loaded() const { return module_.valid(); }
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)));
    }
    ScopedModule module_{::LoadLibraryA(Path().c_str())};
};

// The process's handles counted by object type ("Event", "Thread", ...). Handle values are
// multiples of four; GetProcessHandleCount answers 0 under Wine.
std::map<std::string, int> HandlesByType();
// The types of which now holds more than before, with both counts.
std::string GrownHandleTypes(const std::map<std::string, int>& before, const std::map<std::string, int>& now);

// Whether Oem.dll is out of this process within timeoutMs: a sink the platform held keeps it a
// grace longer than the host's own FreeLibrary.
bool OemDllUnloaded(unsigned timeoutMs);

bool ExportLockIsFree();  // whether another thread can take Oem.dll's export lock at once

// Holds the export lock from a thread of its own while alive, as any other holder by its name would.
struct ExportLockHolder {
    ExportLockHolder();
    ~ExportLockHolder() { letGo_.set_value(), thread_.join(); }
    std::promise<void> letGo_;
    std::thread thread_;
};

// The commands the modem received in order; each must have carried command id 1.
std::vector<std::string> ReceivedCommands(const SimModem& sim);

// After calls that opened `channels` channels: the export lock free, no completion in flight or
// simulator object alive, each channel advised and unadvised once, every session opened closed.
void ExpectNothingHeld(const SimModem& sim, int channels);
