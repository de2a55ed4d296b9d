// The version-comparison exports as the host meets them: through Oem.dll, with the lines
// they leave in the module log.
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

    std::vector<char> current(row.current.begin(), row.current.end());
    current.push_back('\0');
    std::vector<char> next(row.next.begin(), row.next.end());
    next.push_back('\0');
    EXPECT_EQ(exports.Call(row.which, current.data(), next.data()), row.update);
    EXPECT_EQ(std::string(current.data()), row.current) << "the host's text is not changed";
    EXPECT_EQ(std::string(next.data()), row.next) << "the host's text is not changed";
    EXPECT_THAT(folder.ModuleMessages(), ::testing::ElementsAre(FirstLine(row.which, row.current, row.next),
                                                                SecondLine(row.which, row.currentPart, row.newPart)));
}

const ExportRow kExportRows[] = {
    {"PackageLastFieldDiffers", Export::Package, "A1.B2.C3.10.4", "A1.B2.C3.10.5", "10.4", "10.5", true},
    {"PackageFirstThreeFieldsDoNotCount", Export::Package, "A1.B2.C3.10.5", "X9.Y8.Z7.10.5", "10.5", "10.5", false},
    {"PackageCaseDoesNotCount", Export::Package, "a1.b2.c3.10.5r", "A1.B2.C3.10.5R", "10.5R", "10.5R", false},
    {"PackageOlderNewVersionStillDiffers", Export::Package, "A1.B2.C3.10.6", "A1.B2.C3.10.5", "10.6", "10.5", true},
    {"PackageLeadingZerosCount", Export::Package, "A1.B2.C3.010", "A1.B2.C3.10", "010", "10", true},
    {"PackageFewerThanThreeStops", Export::Package, "A1.B2", "C3.B2", "B2", "B2", false},
    {"PackageEqualVersions", Export::Package, "A1.B2.C3.10.5", "A1.B2.C3.10.5", "10.5", "10.5", false},
    {"PackageEmptyCurrent", Export::Package, "", "A1.B2.C3.10", "", "10", true},
    {"CarrierCaseDoesNotCount", Export::Carrier, "CarrierX.02", "CARRIERX.02", "CARRIERX.02", "CARRIERX.02", false},
    {"CarrierDropsNoField", Export::Carrier, "A1.B2.C3.10", "X9.B2.C3.10", "A1.B2.C3.10", "X9.B2.C3.10", true},
    {"CarrierEmptyNew", Export::Carrier, "X.1", "", "X.1", "", true},
    {"CarrierTrailingBlank", Export::Carrier, "X.1 ", "X.1", "X.1 ", "X.1", true},
};

INSTANTIATE_TEST_SUITE_P(WorkedExamples, VersionExportsDllTest, ::testing::ValuesIn(kExportRows),
                         [](const ::testing::TestParamInfo<ExportRow>& info) { return std::string(info.param.name); });

// A committed page that faults on any read: the new version the export must not look at.
class NoAccessPage {
public:
    NoAccessPage() : page_(::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS)) {}
    ~NoAccessPage() { ::VirtualFree(page_, 0, MEM_RELEASE); }
    NoAccessPage(const NoAccessPage&) = delete;
    NoAccessPage& operator=(const NoAccessPage&) = delete;
    const char* text() const { return static_cast<const char*>(page_); }

private:
    void* page_;
};

TEST(VersionExportsDll, EmptyCurrentCarrierAnswersTrueWithoutReadingOrLogging) {
    TestLogFolder folder("2", "DllVersionEmptyCarrier");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    EXPECT_TRUE(exports.Call(Export::Carrier, "", "")) << "two empty versions would compare equal";
    NoAccessPage unreadable;
    ASSERT_NE(unreadable.text(), nullptr);
    EXPECT_TRUE(exports.Call(Export::Carrier, "", unreadable.text()));
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

TEST(VersionExportsDll, EightThreadsAtOnceWriteEveryLineWhole) {
    TestLogFolder folder("2", "DllVersionThreads");
    VersionExports exports;
    ASSERT_TRUE(exports.found());
    constexpr int kThreads = 8;
    constexpr int kCallsEach = 25;

    std::vector<std::thread> threads;
    std::vector<int> wrong(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                const std::string version = "T" + std::to_string(t) + ".N" + std::to_string(i);
                const Export which = i % 2 == 0 ? Export::Package : Export::Carrier;
                const bool differ = i % 3 == 0;
                const std::string next = differ ? version + "X" : version;
                if (exports.Call(which, version.c_str(), next.c_str()) != differ) ++wrong[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;

    // Each thread's lines are whole, in its own call order, first line before second.
    std::map<std::string, std::vector<std::string>> byThread;
    const std::vector<LogLineText> lines = TestLogFolder::ParseLines(TestFiles::ReadAll(folder.ModuleLogPath()));
    for (const LogLineText& line : lines) {
        ASSERT_FALSE(line.prefix.empty()) << "torn line: " << line.message;
        const std::string threadId = line.prefix.substr(line.prefix.find("] [") + 3);
        byThread[threadId.substr(0, threadId.find(']'))].push_back(line.message);
    }
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kCallsEach * 2));
    ASSERT_EQ(byThread.size(), static_cast<size_t>(kThreads));

    std::set<std::vector<std::string>> expected;
    for (int t = 0; t < kThreads; ++t) {
        std::vector<std::string> own;
        for (int i = 0; i < kCallsEach; ++i) {
            const std::string version = "T" + std::to_string(t) + ".N" + std::to_string(i);
            const Export which = i % 2 == 0 ? Export::Package : Export::Carrier;
            const std::string next = i % 3 == 0 ? version + "X" : version;
            const std::string part = which == Export::Package ? "N" + std::to_string(i) : version;
            own.push_back(FirstLine(which, version, next));
            own.push_back(SecondLine(which, part, i % 3 == 0 ? part + "X" : part));
        }
        expected.insert(own);
    }
    std::set<std::vector<std::string>> seen;
    for (const auto& entry : byThread) seen.insert(entry.second);
    EXPECT_EQ(seen, expected);
}

}  // namespace
