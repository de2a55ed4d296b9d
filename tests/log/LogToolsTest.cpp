// The log tools, configured by ksconfig.ini beside this test program, writing below the prefix's ProgramData.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/RowName.h"
#include "support/TestFiles.h"
#include "support/ToolObjects.h"
#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "tools/log/CInstallLog.h"

namespace {

using LogExPtr = ToolPtr<IGlobalTools::ILogEx>;
using ::testing::ElementsAre;

LogExPtr NewLogEx() {
    return MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
}
ToolPtr<IGlobalTools::ILog> SharedLog() {
    return MakeTool<IGlobalTools::ILog>(ToolIds::ILog);
}

// Neither a missing configuration nor a log path whose parent is missing creates a folder.
TEST(LogTools, NoConfigurationOrMissingParentWritesNothing) {
    TestFiles::RemoveConfig();
    const std::string defaultFolder = TestFiles::CommonAppData() + "Kestovan R470 Driver Package\\";
    TestFiles::RemoveTree(defaultFolder);
    NewLogEx()->WriteLog(0, "nothing");
    EXPECT_FALSE(TestFiles::Exists(defaultFolder));
    TestLogFolder folder("2", "MissingParent\\Child");
    NewLogEx()->WriteLog(0, "lost");
    EXPECT_FALSE(TestFiles::Exists(TestFiles::CommonAppData() + "MissingParent"));
}

// A rewrite of ksconfig.ini that keeps its last-write time.
void RewriteKeepingTime(TestLogFolder& folder, const std::string& level) {
    const std::string path = TestFiles::ExecutableFolder() + "ksconfig.ini";
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before));
    folder.SetLevel(level);
    HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &before.ftLastWriteTime));
    ::CloseHandle(file);
}

// The lines that reach both log files as "LOG_LV" is set and changed between two lines. Steps:
// "LOG_LV=x" rewrites ksconfig.ini ("LOG_LV=" leaves the key out; "LOG_LV=x same time" keeps
// its last-write time), "no ini" removes it, "rm folder" removes the log folder, "<level> <text>"
// writes a line to the module and shared logs.
struct LevelRow {
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> written;
};

class LogLevelTest : public ::testing::TestWithParam<LevelRow> {};

TEST_P(LogLevelTest, WritesLinesTheLevelAdmitsAtThatMoment) {
    const LevelRow& row = GetParam();
    TestLogFolder folder("", std::string("LevelTest_") + row.name);
    TestFiles::RemoveConfig();
    LogExPtr module = NewLogEx();
    auto shared = SharedLog();
    for (const std::string& step : row.steps) {
        const size_t blank = step.find(' ');
        if (step.rfind("LOG_LV=", 0) == 0 && blank != std::string::npos) {
            RewriteKeepingTime(folder, step.substr(7, blank - 7));
        } else if (step.rfind("LOG_LV=", 0) == 0) {
            folder.SetLevel(step.substr(7));
        } else if (step == "no ini") {
            TestFiles::RemoveConfig();
        } else if (step == "rm folder") {
            TestFiles::RemoveTree(folder.Folder());
        } else {
            module->WriteLog(std::stoi(step.substr(0, blank)), "%s", step.c_str() + blank + 1);
            shared->WriteLog(std::stoi(step.substr(0, blank)), "%s", step.c_str() + blank + 1);
        }
    }
    EXPECT_EQ(TestFiles::Exists(folder.Folder()), !row.written.empty()) << "folder created only for a written line";
    EXPECT_EQ(folder.ModuleMessages(), row.written);
    EXPECT_EQ(folder.SharedMessages(), row.written);
}

const LevelRow kLevelRows[] = {
    {"KeyMissing", {"LOG_LV=", "0 dropped", "2 dropped"}, {}},
    {"LevelZero", {"LOG_LV=0", "0 kept", "2 dropped"}, {"kept"}},
    {"LevelOne", {"LOG_LV=1", "0 kept", "2 dropped"}, {"kept"}},
    {"LevelTwo", {"LOG_LV=9", "0 kept", "2 kept too"}, {"kept", "kept too"}},
    {"LineOfLevelMinusOneWithoutKey", {"LOG_LV=", "-1 kept", "0 dropped"}, {"kept"}},
    // Rewritten at once with the same size and time, as a coarse file-system clock would leave it.
    {"SameSizeAndTimeRewrite",
     {"LOG_LV=0", "2 dropped", "LOG_LV=2 same time", "2 kept", "LOG_LV=0 same time", "2 dropped"},
     {"kept"}},
    {"KeyRemoved", {"LOG_LV=2", "2 kept", "LOG_LV=", "0 dropped"}, {"kept"}},
    {"ConfigAppears", {"0 dropped", "LOG_LV=0", "0 kept"}, {"kept"}},
    {"ConfigDisappears", {"LOG_LV=2", "2 kept", "no ini", "0 dropped"}, {"kept"}},
    {"FolderDeleted", {"LOG_LV=2", "2 lost with the folder", "rm folder", "2 kept"}, {"kept"}},
};
INSTANTIATE_TEST_SUITE_P(Levels, LogLevelTest, ::testing::ValuesIn(kLevelRows), RowName<LevelRow>);

// One line: the pid/tid prefix, "%s" text stored literally, line feeds written as CR LF, and an
// overlong message cut at the buffer limit.
TEST(LogTools, LineFormatPercentTextAndTruncation) {
    TestLogFolder folder("2", "LineFormat");
    NewLogEx()->WriteLog(2, "reply %s", "+GTCURCAR: 5\r\n\r\nOK\r\n");
    const std::string content = TestFiles::ReadAll(folder.ModuleLogPath());
    const auto lines = TestLogFolder::ParseLines(content);
    ASSERT_FALSE(lines.empty());
    const std::string expectedPid =
        "[" + std::to_string(::GetCurrentProcessId()) + "] [" + std::to_string(::GetCurrentThreadId()) + "] ";
    EXPECT_EQ(lines[0].prefix.rfind(expectedPid, 0), 0u) << lines[0].prefix;
    // Every line feed becomes CR LF on disk; carriage returns stay.
    EXPECT_EQ(content.substr(lines[0].prefix.size()), "reply +GTCURCAR: 5\r\r\n\r\r\nOK\r\r\n\r\n");
    ::DeleteFileA(folder.ModuleLogPath().c_str());
    NewLogEx()->WriteLog(2, "Response %s", "%s %d %n 100%");
    NewLogEx()->WriteLog(2, "%s", std::string(100000, 'x').c_str());
    EXPECT_THAT(folder.ModuleMessages(), ElementsAre("Response %s %d %n 100%", std::string(16383, 'x')));
}

// The module log keeps a path given by SetLogFile for good; the shared log derives its path anyway.
TEST(LogTools, SetLogFileHoldsForTheModuleLogOnly) {
    TestLogFolder folder("2", "GivenPath");
    const std::string given = TestFiles::ExecutableFolder() + "given.log";
    const std::string sharedGiven = TestFiles::ExecutableFolder() + "shared-given.log";
    for (const std::string& path : {given, sharedGiven}) ::DeleteFileA(path.c_str());
    LogExPtr log = NewLogEx();
    log->SetLogFile(given.c_str());
    log->WriteLog(2, "first");
    log->WriteLog(2, "second");
    EXPECT_THAT(TestLogFolder::Messages(given), ElementsAre("first", "second"));
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "no folder derived after SetLogFile";
    auto shared = SharedLog();
    shared->SetLogFile(sharedGiven.c_str());
    shared->WriteLog(2, "derived");
    EXPECT_FALSE(TestFiles::Exists(sharedGiven));
    EXPECT_THAT(folder.SharedMessages(), ElementsAre("derived"));
    ::DeleteFileA(given.c_str());
}

TEST(LogTools, EightThreadsWritingAtOnceKeepEveryLineWhole) {
    TestLogFolder folder("2", "EightThreads");
    LogExPtr log = NewLogEx();
    constexpr int kThreads = 8, kLinesEach = 40;
    const std::string body(300, 'b');
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i) log->WriteLog(2, "T%d L%d %s", t, i, body.c_str());
        });
    }
    for (auto& writer : writers) writer.join();
    const auto lines = TestLogFolder::ParseLines(TestFiles::ReadAll(folder.ModuleLogPath()));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesEach));
    std::vector<int> next(kThreads, 0);  // lines of one thread keep their order
    for (const auto& line : lines) {
        const int t = line.message.size() > 1 ? line.message[1] - '0' : -1;
        ASSERT_TRUE(t >= 0 && t < kThreads && !line.prefix.empty()) << line.message;
        EXPECT_EQ(line.message, "T" + std::to_string(t) + " L" + std::to_string(next[t]++) + " " + body);
    }
}

TEST(LogTools, InstallLogWritesItsOwnPrefixToItsOwnFile) {
    TestFiles::ScopedConfig config("2");
    const std::string path = TestFiles::CommonAppData() + "KestovanLog\\logs\\KestoMBIMcommand.log";
    ::DeleteFileA(path.c_str());
    GetInstallLog()->WriteToLog(2, "command %s", "AT\r");
    GetInstallLog()->WriteToLog(3, "filtered");
    const std::string content = TestFiles::ReadAll(path);
    EXPECT_NE(content.find(" CInstallLog::WriteToLog: command AT\r\r\n"), std::string::npos) << content;
    EXPECT_EQ(content.find("filtered"), std::string::npos);
    EXPECT_EQ(content.rfind(std::to_string(::GetCurrentProcessId()) + " ", 0), 0u) << content;
}

}  // namespace
