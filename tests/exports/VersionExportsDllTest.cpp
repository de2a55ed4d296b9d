// The version-comparison exports through Oem.dll, with the lines they leave in the module log;
// the comparison rules themselves are tabled in VersionRulesTest.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/RowName.h"
#include "support/TestFiles.h"

namespace {

using UpdatePackage = bool (*)(const char* current, const char* next);
using UpdateCarrier = bool (*)(void* reserved, const char* current, const char* next);

// The two lines one call leaves: both versions, then the parts compared.
std::vector<std::string> Lines(bool package, const std::string& current, const std::string& next,
                               const std::string& currentPart, const std::string& newPart) {
    return {(package ? "Package Ver current is:" : "Carrier Ver current is:") + current + "  ,new coming is:" + next,
            (package ? "PackageVer comparing current-part is:" : "Carrier Ver comparing current-part is:") +
                currentPart + "  ,new coming-part is:" + newPart};
}

class VersionExports {
public:
    VersionExports()
        : package_(dll_.Get<UpdatePackage>("OEM_Check_If_UpdateCurrentPackage")),
          carrier_(dll_.Get<UpdateCarrier>("OEM_Check_If_UpdateCurrentCarrierInPackage")) {}
    bool found() const { return dll_.loaded() && package_ && carrier_; }
    // The unused first argument of the carrier export carries a value that would fault if it were ever read.
    bool Call(bool package, const char* current, const char* next) const {
        return package ? package_(current, next) : carrier_(reinterpret_cast<void*>(0x10), current, next);
    }

private:
    OemDll dll_;
    UpdatePackage package_;
    UpdateCarrier carrier_;
};

struct ExportRow {
    const char* name;
    bool package;
    std::string current, next, currentPart, newPart;
    bool update;
};

class VersionExportsDllTest : public ::testing::TestWithParam<ExportRow> {};

TEST_P(VersionExportsDllTest, AnswersAndWritesBothLines) {
    const ExportRow& row = GetParam();
    TestLogFolder folder("2", std::string("DllVersion") + row.name);
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    const std::string current = row.current, next = row.next;
    EXPECT_EQ(exports.Call(row.package, current.c_str(), next.c_str()), row.update);
    EXPECT_EQ(current + next, row.current + row.next) << "the host's text is not changed";
    EXPECT_EQ(folder.ModuleMessages(), Lines(row.package, row.current, row.next, row.currentPart, row.newPart));
}

const ExportRow kExportRows[] = {
    {"PackageLastFieldDiffers", true, "A1.B2.C3.10.4", "A1.B2.C3.10.5", "10.4", "10.5", true},
    {"PackageFewerThanThreeStops", true, "A1.B2", "C3.B2", "B2", "B2", false},
    {"CarrierCaseDoesNotCount", false, "CarrierX.02", "CARRIERX.02", "CARRIERX.02", "CARRIERX.02", false},
};
INSTANTIATE_TEST_SUITE_P(WorkedExamples, VersionExportsDllTest, ::testing::ValuesIn(kExportRows), RowName<ExportRow>);

TEST(VersionExportsDll, EmptyCurrentCarrierAnswersTrueWithoutReadingOrLogging) {
    TestLogFolder folder("2", "DllVersionEmptyCarrier");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    EXPECT_TRUE(exports.Call(false, "", "")) << "two empty versions would compare equal";
    // A committed page that faults on any read: the new version the export must not look at.
    void* unreadable = ::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(unreadable, nullptr);
    EXPECT_TRUE(exports.Call(false, "", static_cast<const char*>(unreadable)));
    ::VirtualFree(unreadable, 0, MEM_RELEASE);
    EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath())) << "nothing is logged";
}

TEST(VersionExportsDll, LevelZeroWritesNothingAndLongVersionsAreComparedWhole) {
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    {
        TestLogFolder folder("0", "DllVersionLevelZero");
        EXPECT_TRUE(exports.Call(true, "A.B.C.1", "A.B.C.2"));
        EXPECT_FALSE(exports.Call(false, "x.1", "X.1"));
        EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath())) << "level 2 lines are not written at LOG_LV 0";
    }
    TestLogFolder folder("2", "DllVersionLong");
    const std::string tail(100000, '5'), current = "A.B.C." + tail + "1";
    EXPECT_TRUE(exports.Call(true, current.c_str(), ("X.Y.Z." + tail + "2").c_str()));
    EXPECT_FALSE(exports.Call(true, current.c_str(), ("x.y.z." + tail + "1").c_str()));
    const std::vector<std::string> lines = folder.ModuleMessages();
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 16383u) << "a long message is cut, not dropped";
}

// Eight threads calling both exports at once: every answer right, every line whole and present.
TEST(VersionExportsDll, EightThreadsAtOnce) {
    TestLogFolder folder("2", "DllVersionThreads");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    constexpr int kThreads = 8, kCallsEach = 25;
    std::vector<std::vector<std::string>> expected(kThreads);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                const bool package = i % 2 == 0, differ = i % 3 == 0;
                const std::string current = "T" + std::to_string(t) + ".N" + std::to_string(i);
                const std::string next = current + (differ ? "X" : ""), part = package ? current.substr(3) : current;
                if (exports.Call(package, current.c_str(), next.c_str()) != differ) ++wrong;
                for (const std::string& line : Lines(package, current, next, part, part + (differ ? "X" : ""))) {
                    expected[t].push_back(line);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    std::vector<std::string> messages, all;
    for (const std::vector<std::string>& own : expected) all.insert(all.end(), own.begin(), own.end());
    for (const LogLineText& line : TestLogFolder::ParseLines(TestFiles::ReadAll(folder.ModuleLogPath()))) {
        EXPECT_FALSE(line.prefix.empty()) << "torn line: " << line.message;
        messages.push_back(line.message);
    }
    std::sort(messages.begin(), messages.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(messages, all);
}

}  // namespace
