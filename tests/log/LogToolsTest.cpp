// The log tools, configured by ksconfig.ini beside this test program, writing below the prefix's ProgramData.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/HostKit.h"
#include "support/TestKit.h"
#include "support/ToolObjects.h"
#include "tools/ToolIds.h"
#include "tools/log/CInstallLog.h"
#include "tools/win/ScopedHandle.h"

namespace {

using namespace IGlobalTools;

// Steps: "LOG_LV=x" rewrites ksconfig.ini ("LOG_LV=" without the key; "LOG_LV=x old" sets the key in
// place and dates the file back to one fixed time long past, so that rewrites keep size and time), "no
// ini" removes it, "rm folder" the log folder, "LOG_PATH=x" names another folder at level 2; "<level>
// <text>" writes to both logs. Lines are expected in the row's folder, or in the default one; a
// folder that gets no line, and one a LOG_PATH step names, is not even made.
struct LevelRow {
    const char* name;
    std::vector<std::string> steps, written, writtenToDefault = {};
};
class LogLevelTest : public ::testing::TestWithParam<LevelRow> {};

TEST_P(LogLevelTest, WritesLinesTheLevelAdmitsAtThatMoment) {
    TestLogFolder fallback("", "Kestovan R470 Driver Package");
    TestLogFolder folder("", std::string("LevelTest_") + GetParam().name);
    const std::string ini = TestFiles::ExecutableFolder() + "ksconfig.ini";
    auto module = MakeTool<ILogEx>(ToolIds::ILogEx);
    auto shared = MakeTool<ILog>(ToolIds::ILog);
    const FILETIME old = {0, 0x01D5C000};  // the last days of 2019
    std::vector<std::string> named;
    for (const std::string& step : GetParam().steps) {
        const size_t blank = step.find(' ');
        const bool level = step.rfind("LOG_LV=", 0) == 0;
        if (level && blank != std::string::npos) {
            // In place through the profile calls, which keep the platform's own cache of the file
            // current (Wine keys one on the last-write time), then dated back.
            const std::string value = step.substr(7, blank - 7);
            EXPECT_TRUE(::WritePrivateProfileStringA("BASE_CONFIG", "LOG_LV", value.c_str(), ini.c_str()));
            const ScopedFileHandle file(
                ::CreateFileA(ini.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            EXPECT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &old));
        } else if (level) {
            folder.SetLevel(step.substr(7));
        } else if (step.rfind("LOG_PATH=", 0) == 0) {
            TestFiles::WriteConfig("2", step.substr(9));
            named.push_back((step.find(':') == std::string::npos ? TestFiles::CommonAppData() : "") + step.substr(9));
        } else if (step == "no ini") {
            TestFiles::RemoveConfig();
        } else if (step == "rm folder") {
            TestFiles::RemoveTree(folder.Folder());
        } else {
            module->WriteLog(std::stoi(step.substr(0, blank)), "%s", step.c_str() + blank + 1);
            shared->WriteLog(std::stoi(step.substr(0, blank)), "%s", step.c_str() + blank + 1);
        }
    }
    EXPECT_EQ(folder.ModuleMessages(), GetParam().written);
    EXPECT_EQ(folder.SharedMessages(), GetParam().written);
    EXPECT_EQ(fallback.ModuleMessages(), GetParam().writtenToDefault);
    EXPECT_EQ(TestFiles::Exists(fallback.Folder()), !GetParam().writtenToDefault.empty());
    for (const std::string& path : named) {
        EXPECT_FALSE(TestFiles::Exists(path)) << path;
        TestFiles::RemoveTree(path);  // so that the next run starts clean
    }
}

const LevelRow kLevelRows[] = {
    {"KeyMissing", {"LOG_LV=", "0 dropped", "2 dropped", "-1 kept"}, {"kept"}},
    {"SameSizeAndOldTime", {"LOG_LV=0 old", "2 no", "0 a", "LOG_LV=2 old", "2 b", "LOG_LV=0 old", "2 no"}, {"a", "b"}},
    {"ConfigAppearsAndGoes", {"no ini", "0 dropped", "LOG_LV=0", "0 kept", "no ini", "0 dropped"}, {"kept"}},
    {"FolderDeleted", {"LOG_LV=9", "0 x", "rm folder", "0 kept", "2 %n%s%d%", "LOG_LV=", "0 x"}, {"kept", "%n%s%d%"}},
    {"MissingParent", {"LOG_PATH=MissingParent\\Child", "2 lost"}, {}},
    // A folder path of 260 characters or more drops the line instead of keeping the last path.
    {"PathTooLong", {"LOG_LV=2", "2 kept", "LOG_PATH=" + std::string(241, 'x'), "2 dropped"}, {"kept"}},
    {"PathLeavingTheDataFolder", {"LOG_PATH=..\\LevelEscape", "2 a", "LOG_PATH=C:\\LevelEscape", "2 b",
                                  "LOG_PATH=\\\\?\\C:\\LevelEscape", "2 c"}, {}, {"a", "b", "c"}},
};
INSTANTIATE_TEST_SUITE_P(Levels, LogLevelTest, ::testing::ValuesIn(kLevelRows), RowName<LevelRow>);

std::string Stamp(const SYSTEMTIME& t) {
    char text[32] = {};
    std::snprintf(text, sizeof(text), "%02d-%02d %02d:%02d:%02d:%03d", t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return text;
}

// One line: the pid/tid prefix, its month, day and time of day from the local clock while it was
// written (day and month swapped show on every day but 01-01, 02-02, ...), line feeds written as
// CR LF (carriage returns kept), and an overlong message cut at the buffer limit.
TEST(LogTools, LineFormatPercentTextAndTruncation) {
    TestLogFolder folder("2", "LineFormat");
    SYSTEMTIME before = {}, after = {};
    ::GetLocalTime(&before);
    MakeTool<ILogEx>(ToolIds::ILogEx)->WriteLog(2, "reply %s", "+GTCURCAR: 5\r\n\r\nOK\r\n");
    MakeTool<ILog>(ToolIds::ILog)->WriteLog(2, "reply %s", "+GTCURCAR: 5\r\n\r\nOK\r\n");
    ::GetLocalTime(&after);
    const std::regex line("\\[" + std::to_string(::GetCurrentProcessId()) + "\\] \\[" +
                          std::to_string(::GetCurrentThreadId()) +
                          R"(\] (\d\d-\d\d \d\d:\d\d:\d\d:\d\d\d) : reply \+GTCURCAR: 5\r\r\n\r\r\nOK\r\r\n\r\n)");
    for (const std::string& path : {folder.ModuleLogPath(), folder.SharedLogPath()}) {
        const std::string content = TestFiles::ReadAll(path);
        std::smatch match;
        EXPECT_TRUE(std::regex_match(content, match, line)) << content;
        // Text order is time order within a year; a year's end between the two readings wraps.
        const std::string from = Stamp(before), at = match.str(1), to = Stamp(after);
        EXPECT_TRUE(from <= to ? from <= at && at <= to : from <= at || at <= to) << from << " " << at << " " << to;
        ::DeleteFileA(path.c_str());
    }
    MakeTool<ILogEx>(ToolIds::ILogEx)->WriteLog(2, "%s", std::string(100000, 'x').c_str());
    EXPECT_THAT(folder.ModuleMessages(), ::testing::ElementsAre(std::string(16383, 'x')));
}

// The module log keeps a path given by SetLogFile for good; the shared log derives its path anyway.
TEST(LogTools, SetLogFileHoldsForTheModuleLogOnly) {
    TestLogFolder folder("2", "GivenPath");
    const std::string given = TestFiles::ExecutableFolder() + "given.log", sharedGiven = given + ".shared";
    for (const std::string& path : {given, sharedGiven}) ::DeleteFileA(path.c_str());
    auto log = MakeTool<ILogEx>(ToolIds::ILogEx);
    log->SetLogFile(given.c_str());
    log->WriteLog(2, "first");
    log->WriteLog(2, "second");
    EXPECT_THAT(TestLogFolder::Messages(given), ::testing::ElementsAre("first", "second"));
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "no folder derived after SetLogFile";
    auto shared = MakeTool<ILog>(ToolIds::ILog);
    shared->SetLogFile(sharedGiven.c_str());
    shared->WriteLog(2, "derived");
    EXPECT_FALSE(TestFiles::Exists(sharedGiven));
    EXPECT_THAT(folder.SharedMessages(), ::testing::ElementsAre("derived"));
}

// A line the level filters out is not even formatted: its "%n" leaves the count alone, while an
// admitted line's "%n" stores it, so the check holds in this build's runtime. (The module log's
// WriteLog passes its arguments on through WriteLogV.) The install log has a file and a prefix of
// its own, and keeps a carriage return.
TEST(LogTools, FilteredLineIsNotFormattedAndTheInstallLogsOwnLine) {
    TestLogFolder folder("1", "NotFormatted");
    const std::string install = TestFiles::CommonAppData() + "KestovanLog\\logs\\KestoMBIMcommand.log";
    ::DeleteFileA(install.c_str());
    for (int level : {2, 1}) {
        int counts[] = {-1, -1, -1};
        MakeTool<ILogEx>(ToolIds::ILogEx)->WriteLog(level, "abc%n", &counts[0]);
        MakeTool<ILog>(ToolIds::ILog)->WriteLog(level, "abc%n", &counts[1]);
        GetInstallLog()->WriteToLog(level, "abc%n\r", &counts[2]);
        EXPECT_THAT(counts, ::testing::Each(level == 2 ? -1 : 3)) << "level " << level;
    }
    const std::regex line(std::to_string(::GetCurrentProcessId()) +
                          R"( \d\d-\d\d \d\d:\d\d:\d\d:\d\d\d CInstallLog::WriteToLog: abc\r\r\n)");
    EXPECT_TRUE(std::regex_match(TestFiles::ReadAll(install), line)) << TestFiles::ReadAll(install);
}

TEST(LogTools, EightThreadsWritingAtOnceKeepEveryLineWhole) {
    TestLogFolder folder("2", "EightThreads");
    auto log = MakeTool<ILogEx>(ToolIds::ILogEx);
    const std::string body(300, 'b');
    const auto write = [&](int t) {
        for (int i = 0; i < 40; ++i) log->WriteLog(2, "T%d L%d %s", t, i, body.c_str());
    };
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) writers.emplace_back(write, t);
    for (auto& writer : writers) writer.join();
    std::vector<int> next(8, 0);  // lines of one thread keep their order
    for (const auto& line : TestLogFolder::ParseLines(TestFiles::ReadAll(folder.ModuleLogPath()))) {
        const unsigned t = line.message.size() > 1 ? line.message[1] - '0' : 8u;
        ASSERT_TRUE(t < 8 && !line.prefix.empty()) << line.message;
        EXPECT_EQ(line.message, "T" + std::to_string(t) + " L" + std::to_string(next[t]++) + " " + body);
    }
    EXPECT_EQ(next, std::vector<int>(8, 40));
}

}  // namespace
