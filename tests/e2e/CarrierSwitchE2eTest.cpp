// OEM_GetCarrierSwitch and OEM_SetCarrierSwitch of the shipped DLL against the simulated modem's
// carrier state: bytes on the wire, result, outputs written or untouched, set then get, nothing held.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ModemE2e.h"
#include "support/OemDll.h"
#include "support/SimModem.h"
#include "support/TestFiles.h"

namespace {

using GetCarrierSwitch = int (*)(std::int32_t mode, std::int32_t* pValue, bool* pFlag);
// The flag as a byte, so that a row can pass one that is neither 0 nor 1.
using SetCarrierSwitch = int (*)(std::int32_t mode, std::int32_t value, unsigned char flag);

// Named before the simulator loads, so other programs in the prefix never touch this one's state.
const std::string kStateFile = TestFiles::ExecutableFolder() + "modem-state.txt";
const bool kStateFileNamed = ::SetEnvironmentVariableA("OEMSIM_STATE", kStateFile.c_str()) != 0;

constexpr std::int32_t kValueSentinel = 0x5A5A5A5A;
constexpr unsigned char kFlagSentinel = 0x7F;

struct SetCall {
    std::int32_t mode;
    std::int32_t value;
    unsigned char flag;
    std::string sent;
    int result;
};

struct GetCall {
    std::int32_t mode;
    std::string sent;
    int result;
    std::optional<std::int32_t> value;  // nullopt: untouched
    std::optional<bool> flag;
};

struct SwitchRow {
    const char* name;
    std::vector<SetCall> sets;  // in order, on the modem's default state
    GetCall get;                // then this query
};

class CarrierSwitchE2eTest : public ::testing::TestWithParam<SwitchRow> {
protected:
    void SetUp() override {
        ASSERT_TRUE(kStateFileNamed);
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        ASSERT_NE(getSwitch = dll.Get<GetCarrierSwitch>("OEM_GetCarrierSwitch"), nullptr);
        ASSERT_NE(setSwitch = dll.Get<SetCarrierSwitch>("OEM_SetCarrierSwitch"), nullptr);
    }

    SimModem sim;
    OemDll dll;
    GetCarrierSwitch getSwitch = nullptr;
    SetCarrierSwitch setSwitch = nullptr;
};

TEST_P(CarrierSwitchE2eTest, BytesResultOutputsAndStateSeenNext) {
    const SwitchRow& row = GetParam();
    std::vector<std::string> expected;
    for (const SetCall& set : row.sets) {
        EXPECT_EQ(setSwitch(set.mode, set.value, set.flag), set.result) << set.sent;
        expected.push_back(set.sent);
    }
    std::int32_t value = kValueSentinel;
    unsigned char flag = kFlagSentinel;
    EXPECT_EQ(getSwitch(row.get.mode, &value, reinterpret_cast<bool*>(&flag)), row.get.result);
    expected.push_back(row.get.sent);
    EXPECT_EQ(value, row.get.value.value_or(kValueSentinel));
    EXPECT_EQ(flag, row.get.flag ? static_cast<unsigned char>(*row.get.flag) : kFlagSentinel);
    EXPECT_EQ(ReceivedCommands(sim), expected);
    const int calls = static_cast<int>(row.sets.size()) + 1;
    EXPECT_EQ(sim->SessionCloses(), calls);
    ExpectModemLetGo(sim, calls);
}

const std::string kLockQuery = "AT+GTLOCKCAR?\r\n";
const std::string kManualQuery = "AT+GTMSELCAR?\r\n";
const std::string kAutoQuery = "AT+GTASELCAR?\r\n";
const std::string kDefaultQuery = "AT+GTFDCAR?\r\n";
const SetCall kLockOn20{1, 20, 1, "AT+GTLOCKCAR=1,20\r\n", 1};
const SetCall kManual9{2, 9, 1, "AT+GTMSELCAR=9\r\n", 1};
const std::nullopt_t kUntouched = std::nullopt;

// Factory state: lock off naming carrier 5, no manual carrier, automatic on, factory default 3.
const SwitchRow kSwitchRows[] = {
    {"LockOffByDefault", {}, {1, kLockQuery, 1, 5, false}},
    {"NoManualByDefault", {}, {2, kManualQuery, 1, 0, false}},
    {"AutoWritesOnlyTheFlag", {}, {3, kAutoQuery, 1, kUntouched, true}},
    {"FactoryDefaultWritesOnlyTheValue", {}, {4, kDefaultQuery, 1, 3, kUntouched}},
    {"RestoreHasNoQuery", {}, {5, "", 0, kUntouched, kUntouched}},
    {"LockOn", {kLockOn20}, {1, kLockQuery, 1, 20, true}},
    {"LockOffSendsNoValue", {kLockOn20, {1, 99, 0, "AT+GTLOCKCAR=0\r\n", 1}}, {1, kLockQuery, 1, 20, false}},
    {"LockOnCarrierZeroRefused", {{1, 0, 1, "AT+GTLOCKCAR=1,0\r\n", 0}}, {1, kLockQuery, 1, 5, false}},
    {"ManualSelect", {kManual9}, {2, kManualQuery, 1, 9, true}},
    {"ManualFlagOffSendsZero", {kManual9, {2, 9, 0, "AT+GTMSELCAR=0\r\n", 1}}, {2, kManualQuery, 1, 0, false}},
    {"AutoOff", {{3, 7, 0, "AT+GTASELCAR=0\r\n", 1}}, {3, kAutoQuery, 1, kUntouched, false}},
    {"AutoOnFromAnyNonZeroFlagByte",
     {kManual9, {3, 0, 0x80, "AT+GTASELCAR=1\r\n", 1}},
     {3, kAutoQuery, 1, kUntouched, true}},
    {"FactoryDefaultIgnoresFlag", {{4, 8, 0, "AT+GTFDCAR=8\r\n", 1}}, {4, kDefaultQuery, 1, 8, kUntouched}},
    {"RestoreIgnoresValueAndFlag",
     {kLockOn20, kManual9, {5, 123, 1, "AT+GTRSTRCAR\r\n", 1}},
     {1, kLockQuery, 1, 5, false}},
};

INSTANTIATE_TEST_SUITE_P(Modes, CarrierSwitchE2eTest, ::testing::ValuesIn(kSwitchRows),
                         [](const ::testing::TestParamInfo<SwitchRow>& info) { return info.param.name; });

TEST_F(CarrierSwitchE2eTest, StateFileFollowsEachChangeAndResetRemovesIt) {
    EXPECT_FALSE(TestFiles::Exists(kStateFile));
    ASSERT_EQ(setSwitch(1, 20, 1), 1);
    EXPECT_THAT(TestFiles::ReadAll(kStateFile), ::testing::HasSubstr("= current 20\n= lock 1,20\n"));
    sim->Reset();
    EXPECT_FALSE(TestFiles::Exists(kStateFile));
}

}  // namespace
