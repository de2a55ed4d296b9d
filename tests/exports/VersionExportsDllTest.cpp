// The version-comparison exports through Oem.dll, with the lines they leave in the module log;
// the comparison rules themselves are tabled in VersionRulesTest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/TestFiles.h"

namespace {

using UpdatePackage = bool (*)(const char* current, const char* next);
using UpdateCarrier = bool (*)(void* reserved, const char* current, const char* next);

enum class Export { Package, Carrier };

std::string FirstLine(Export which, const std::string& current, const std::string& next) {
    return (which == Export::Package ? "Package Ver current is:" : "Carrier Ver current is:") + current +
           "  ,new coming is:" + next;
}

std::string SecondLine(Export which, const std::string& currentPart, const std::string& newPart) {
    return (which == Export::Package ? "PackageVer comparing current-part is:"
                                     : "Carrier Ver comparing current-part is:") +
           currentPart + "  ,new coming-part is:" + newPart;
}

class VersionExports {
public:
    VersionExports()
        : package_(dll_.Get<UpdatePackage>("OEM_Check_If_UpdateCurrentPackage")),
          carrier_(dll_.Get<UpdateCarrier>("OEM_Check_If_UpdateCurrentCarrierInPackage")) {}

    bool found() const { return dll_.loaded() && package_ && carrier_; }

    bool Call(Export which, const char* current, const char* next) const {
        // The unused first argument carries a value that would fault if it were ever read.
        return which == Export::Package ? package_(current, next)
                                        : carrier_(reinterpret_cast<void*>(0x10), current, next);
    }

private:
    OemDll dll_;
    UpdatePackage package_;
    UpdateCarrier carrier_;
};

struct ExportRow {
    const char* name;
    Export which;
    std::string current;
    std::string next;
    std::string currentPart;
    std::string newPart;
    bool update;
};

class VersionExportsDllTest : public ::testing::TestWithParam<ExportRow> {};

TEST_P(VersionExportsDllTest, AnswersAndWritesBothLines) {
    const ExportRow& row = GetParam();
    TestLogFolder folder("2", std::string("DllVersion") + row.name);
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    const std::string current = row.current, next = row.next;
    EXPECT_EQ(exports.Call(row.which, current.c_str(), next.c_str()), row.update);
    EXPECT_EQ(current + next, row.current + row.next) << "the host's text is not changed";
    EXPECT_THAT(folder.ModuleMessages(), ::testing::ElementsAre(FirstLine(row.which, row.current, row.next),
                                                                SecondLine(row.which, row.currentPart, row.newPart)));
}

const ExportRow kExportRows[] = {
    {"PackageLastFieldDiffers", Export::Package, "A1.B2.C3.10.4", "A1.B2.C3.10.5", "10.4", "10.5", true},
    {"PackageCaseDoesNotCount", Export::Package, "a1.b2.c3.10.5r", "A1.B2.C3.10.5R", "10.5R", "10.5R", false},
    {"PackageFewerThanThreeStops", Export::Package, "A1.B2", "C3.B2", "B2", "B2", false},
    {"CarrierCaseDoesNotCount", Export::Carrier, "CarrierX.02", "CARRIERX.02", "CARRIERX.02", "CARRIERX.02", false},
    {"CarrierDropsNoField", Export::Carrier, "A1.B2.C3.10", "X9.B2.C3.10", "A1.B2.C3.10", "X9.B2.C3.10", true},
};

INSTANTIATE_TEST_SUITE_P(WorkedExamples, VersionExportsDllTest, ::testing::ValuesIn(kExportRows),
                         [](const ::testing::TestParamInfo<ExportRow>& info) { return std::string(info.param.name); });

TEST(VersionExportsDll, EmptyCurrentCarrierAnswersTrueWithoutReadingOrLogging) {
    TestLogFolder folder("2", "DllVersionEmptyCarrier");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    EXPECT_TRUE(exports.Call(Export::Carrier, "", "")) << "two empty versions would compare equal";
    // A committed page that faults on any read: the new version the export must not look at.
    void* unreadable = ::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(unreadable, nullptr);
    EXPECT_TRUE(exports.Call(Export::Carrier, "", static_cast<const char*>(unreadable)));
    ::VirtualFree(unreadable, 0, MEM_RELEASE);
    EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath())) << "nothing is logged";
}

TEST(VersionExportsDll, SuppressedLinesLeaveTheAnswerAlone) {
    TestLogFolder folder("0", "DllVersionLevelZero");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    EXPECT_TRUE(exports.Call(Export::Package, "A.B.C.1", "A.B.C.2"));
    EXPECT_FALSE(exports.Call(Export::Carrier, "x.1", "X.1"));
    EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath())) << "level 2 lines are not written at LOG_LV 0";
}

TEST(VersionExportsDll, VersionLongerThanALogLineIsComparedWhole) {
    TestLogFolder folder("2", "DllVersionLong");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    const std::string tail(100000, '5');
    const std::string current = "A.B.C." + tail + "1";
    EXPECT_TRUE(exports.Call(Export::Package, current.c_str(), ("X.Y.Z." + tail + "2").c_str()));
    EXPECT_FALSE(exports.Call(Export::Package, current.c_str(), ("x.y.z." + tail + "1").c_str()));
    const std::vector<std::string> lines = folder.ModuleMessages();
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 16383u) << "a long message is cut, not dropped";
    EXPECT_EQ(lines[1].rfind("PackageVer comparing current-part is:555", 0), 0u);
}

// Call i of thread t: which export, its versions, and the two lines it must leave.
struct ThreadCall {
    ThreadCall(int t, int i)
        : which(i % 2 == 0 ? Export::Package : Export::Carrier),
          current("T" + std::to_string(t) + ".N" + std::to_string(i)),
          differ(i % 3 == 0),
          next(differ ? current + "X" : current) {}
    std::vector<std::string> Lines() const {
        const std::string part = which == Export::Package ? current.substr(current.find('.') + 1) : current;
        return {FirstLine(which, current, next), SecondLine(which, part, differ ? part + "X" : part)};
    }
    Export which;
    std::string current;
    bool differ;
    std::string next;
};

TEST(VersionExportsDll, EightThreadsAtOnceWriteEveryLineWhole) {
    TestLogFolder folder("2", "DllVersionThreads");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    constexpr int kThreads = 8, kCallsEach = 25;
    std::vector<std::thread> threads;
    std::vector<int> wrong(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                const ThreadCall call(t, i);
                if (exports.Call(call.which, call.current.c_str(), call.next.c_str()) != call.differ) ++wrong[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));

    // Each thread's lines are whole, in its own call order, first line before second.
    std::map<std::string, std::vector<std::string>> byThread;
    const std::vector<LogLineText> lines = TestLogFolder::ParseLines(TestFiles::ReadAll(folder.ModuleLogPath()));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kCallsEach * 2));
    for (const LogLineText& line : lines) {
        ASSERT_FALSE(line.prefix.empty()) << "torn line: " << line.message;
        const std::string threadId = line.prefix.substr(line.prefix.find("] [") + 3);
        byThread[threadId.substr(0, threadId.find(']'))].push_back(line.message);
    }
    std::set<std::vector<std::string>> expected, seen;
    for (int t = 0; t < kThreads; ++t) {
        std::vector<std::string> own;
        for (int i = 0; i < kCallsEach; ++i) {
            for (const std::string& line : ThreadCall(t, i).Lines()) own.push_back(line);
        }
        expected.insert(own);
    }
    for (const auto& entry : byThread) seen.insert(entry.second);
    EXPECT_EQ(seen, expected);
}

}  // namespace
