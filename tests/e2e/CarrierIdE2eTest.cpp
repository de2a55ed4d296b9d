// OEM_GetCurrentCarrierID of the shipped DLL against the simulated modem reached through COM:
// the bytes on the wire, the session, the module log, and everything let go whatever the modem did.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/LogFiles.h"
#include "support/ModemE2e.h"
#include "support/OemDll.h"
#include "support/SimModem.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kCommand = "AT+GTCURCAR?\r\n";
const char kOpened[] = "[Success] OpenMbimChannel Success.";

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("E2e_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    return name;
}

class CarrierIdE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        getCarrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
        ASSERT_NE(getCarrierId, nullptr);
    }
    void SetReply(const std::string& reply) {
        sim->SetReply(kCommand.data(), kCommand.size(), reply.data(), reply.size());
    }

    TestLogFolder log{"2", CurrentTestName()};
    SimModem sim;
    OemDll dll;
    std::int32_t (*getCarrierId)() = nullptr;
};

TEST_F(CarrierIdE2eTest, DefaultProfileExactBytesAndNothingCached) {
    EXPECT_EQ(getCarrierId(), 5);
    ASSERT_EQ(sim->CommandCount(), 1u);
    std::uint32_t commandId = 0;
    const std::string received = sim.Command(0, &commandId);
    EXPECT_EQ(received.size(), 14u);
    EXPECT_EQ(received, kCommand);
    EXPECT_EQ(commandId, 1u);
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);
    ExpectModemLetGo(sim, 1);
    EXPECT_THAT(log.ModuleMessages(), Contains(kOpened));
    EXPECT_THAT(log.ModuleMessages(), Contains(HasSubstr("[Success]ExecuteCmd Success.Response Data ")));

    SetReply("\r\n+GTCURCAR: 11\r\n\r\nOK\r\n");
    EXPECT_EQ(getCarrierId(), 11) << "a fresh channel per call";
}

// A few replies and faults (the channel's tests take every one): the documented result, the
// failure logged or not, the session, and nothing held. "AfterTheWait" waits the shipped 5 s.
struct FaultRow {
    const char* name;
    SimFault fault;
    std::uint32_t delayMs;
    std::string reply;  // scripted over the default profile when not empty
    std::int32_t expected;
    bool failedLine;
    int opens;
    int closes;
};

class CarrierIdFaultE2eTest : public CarrierIdE2eTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(CarrierIdFaultE2eTest, DocumentedResultAndNothingHeld) {
    const FaultRow& row = GetParam();
    sim->SetFault(row.fault);
    sim->SetCompletionDelay(row.delayMs);
    if (!row.reply.empty()) SetReply(row.reply);
    EXPECT_EQ(getCarrierId(), row.expected);
    EXPECT_EQ(sim->SessionOpens(), row.opens);
    EXPECT_EQ(sim->SessionCloses(), row.closes);
    EXPECT_LE(sim->CommandCount(), 1u);
    ExpectModemLetGo(sim, 1);
    const auto lines = log.ModuleMessages();
    EXPECT_THAT(lines, Contains(kOpened));
    if (row.failedLine) {
        EXPECT_THAT(lines, Contains("[Error]Execute AT+GTCURCAR? Error."));
    } else {
        EXPECT_THAT(lines, Not(Contains(HasSubstr("[Error]"))));
    }
}

const std::string kMegabyte(1 << 20, 'x');
const FaultRow kFaultRows[] = {
    {"ErrorReply", SimFault::None, 0, "\r\nERROR\r\n", 0, false, 1, 1},
    {"MegabyteBeforeTheField", SimFault::None, 0, kMegabyte + "\r\n+GTCURCAR: 9\r\n\r\nOK\r\n", 9, false, 1, 1},
    {"SessionAlreadyOpenIsLeftOpen", SimFault::SessionAlreadyOpen, 0, "", 5, false, 0, 0},
    {"SetCommandFails", SimFault::SetCommandFails, 0, "", -1, true, 1, 1},
    {"LateCompletionAfterTheWait", SimFault::LateCompletion, 6000, "", -1, true, 1, 1},
};

INSTANTIATE_TEST_SUITE_P(Faults, CarrierIdFaultE2eTest, ::testing::ValuesIn(kFaultRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

}  // namespace
