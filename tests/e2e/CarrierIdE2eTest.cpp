// OEM_GetCurrentCarrierID of the shipped DLL against the simulated modem, reached through COM
// as on a real machine: the bytes on the wire, the session, every reference given back, the
// module log, and the export lock free again whatever the modem answered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/LogFiles.h"
#include "support/ModemE2e.h"
#include "support/OemDll.h"
#include "support/SimModem.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

using GetCurrentCarrierId = std::int32_t (*)();

const std::string kCommand = "AT+GTCURCAR?\r\n";
const char kEntry[] = "[Normal] Enter Get Current CarrierId ";
const char kOpened[] = "[Success] OpenMbimChannel Success.";
const char kCommandFailed[] = "[Error]Execute AT+GTCURCAR? Error.";

// Module-log entries as TestLogFolder splits them: every "\r\n" inside a message reaches the
// file as CR CR LF, so each piece but the last keeps a CR.
std::vector<std::string> Pieces(const std::string& message) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t end; (end = message.find("\r\n", start)) != std::string::npos; start = end + 2) {
        pieces.push_back(message.substr(start, end - start) + "\r");
    }
    pieces.push_back(message.substr(start));
    return pieces;
}

std::vector<std::string> Lines(const std::vector<std::string>& messages) {
    std::vector<std::string> lines;
    for (const std::string& message : messages) {
        for (const std::string& piece : Pieces(message)) lines.push_back(piece);
    }
    return lines;
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("E2e_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return name;
}

class CarrierIdE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        ASSERT_TRUE(dll.loaded());
        getCarrierId = dll.Get<GetCurrentCarrierId>("OEM_GetCurrentCarrierID");
        ASSERT_NE(getCarrierId, nullptr);
    }

    // After the call nothing of the modem is held and no lock is left taken.
    void ExpectAllGivenBack() { ExpectModemLetGo(sim, 1); }

    // The one command the modem received; empty when it received none.
    std::string OnlyCommand(std::uint32_t* commandId) {
        EXPECT_LE(sim->CommandCount(), 1u);
        return sim.Command(0, commandId);
    }

    TestLogFolder log{"2", CurrentTestName()};
    SimModem sim;
    OemDll dll;
    GetCurrentCarrierId getCarrierId = nullptr;
};

TEST_F(CarrierIdE2eTest, ReadsTheCarrierOfTheDefaultProfile) {
    EXPECT_EQ(getCarrierId(), 5);

    std::uint32_t commandId = 0;
    const std::string received = OnlyCommand(&commandId);
    EXPECT_EQ(received.size(), 14u);
    EXPECT_EQ(received, kCommand);
    EXPECT_EQ(commandId, 1u);
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);
    ExpectAllGivenBack();
    EXPECT_THAT(log.ModuleMessages(),
                ElementsAreArray(
                    Lines({kEntry, kOpened, "[Success]ExecuteCmd Success.Response Data \r\n+GTCURCAR: 5\r\n\r\nOK\r\n",
                           "[Normal] Out Get Current CarrierId\r\n\r\n\r\n\r\n"})));
}

TEST_F(CarrierIdE2eTest, ProfileChangeIsSeenByTheNextCall) {
    sim->SetReply(kCommand.data(), kCommand.size(), "\r\n+GTCURCAR: 11\r\n\r\nOK\r\n", 23);
    EXPECT_EQ(getCarrierId(), 11);
    sim->Reset();
    EXPECT_EQ(getCarrierId(), 5) << "a fresh channel per call, nothing cached";
    EXPECT_EQ(sim->SessionOpens(), 1);
    EXPECT_EQ(sim->SessionCloses(), 1);
}

// Whatever the modem answers, the export gives its documented result and lets go of everything.
struct ReplyRow {
    const char* name;
    std::string reply;
    std::int32_t expected;
};

class CarrierIdReplyE2eTest : public CarrierIdE2eTest, public ::testing::WithParamInterface<ReplyRow> {};

TEST_P(CarrierIdReplyE2eTest, DocumentedResultAndNothingHeld) {
    const ReplyRow& row = GetParam();
    sim->SetReply(kCommand.data(), kCommand.size(), row.reply.data(), row.reply.size());
    EXPECT_EQ(getCarrierId(), row.expected);
    std::uint32_t commandId = 0;
    EXPECT_EQ(OnlyCommand(&commandId), kCommand);
    ExpectAllGivenBack();
    const std::vector<std::string> lines = log.ModuleMessages();
    EXPECT_THAT(lines, Contains(kOpened));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("[Error]")))) << "a reply of any content is not a failure";
}

std::string Megabyte(char fill) {
    return std::string(1 << 20, fill);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CarrierIdReplyE2eTest,
    ::testing::Values(ReplyRow{"Empty", "", 0}, ReplyRow{"Error", "\r\nERROR\r\n", 0},
                      ReplyRow{"LowerCase", "\r\n+gtcurcar: 7\r\n\r\nok\r\n", 7},
                      ReplyRow{"CutAtComma", "\r\n+GTCURCAR: 12,3\r\n\r\nOK\r\n", 12},
                      ReplyRow{"NoLineEndAfterOk", "\r\n+GTCURCAR: 5\r\nOK", 0},
                      ReplyRow{"NulBytesAround", std::string("\0\r\n+GTCURCAR: 7\0\r\n\r\nOK\r\n\0", 25), 7},
                      ReplyRow{"MegabyteBeforeTheField", Megabyte('x') + "\r\n+GTCURCAR: 9\r\n\r\nOK\r\n", 9},
                      ReplyRow{"MegabyteOfNuls", Megabyte('\0'), 0}),
    [](const ::testing::TestParamInfo<ReplyRow>& info) { return info.param.name; });

// Each way the modem can fail: the result, whether the command failure is logged, and what
// the channel did with the session. The rows that end by a time-out wait the shipped 5 s.
struct FaultRow {
    const char* name;
    SimFault fault;
    std::uint32_t delayMs;
    std::int32_t expected;
    bool commandFailedLine;
    int sessionOpens;
    int sessionCloses;
};

class CarrierIdFaultE2eTest : public CarrierIdE2eTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(CarrierIdFaultE2eTest, DocumentedResultAndNothingHeld) {
    const FaultRow& row = GetParam();
    sim->SetFault(row.fault);
    sim->SetCompletionDelay(row.delayMs);
    EXPECT_EQ(getCarrierId(), row.expected);
    EXPECT_EQ(sim->SessionOpens(), row.sessionOpens);
    EXPECT_EQ(sim->SessionCloses(), row.sessionCloses);
    ExpectAllGivenBack();
    const std::vector<std::string> lines = log.ModuleMessages();
    EXPECT_THAT(lines, Contains(kOpened));
    if (row.commandFailedLine) {
        EXPECT_THAT(lines, Contains(kCommandFailed));
    } else {
        EXPECT_THAT(lines, Not(Contains(HasSubstr("[Error]"))));
    }
}

const FaultRow kFaultRows[] = {
    {"SeveralInterfacesUsesTheFirst", SimFault::SeveralInterfaces, 0, 5, false, 1, 1},
    {"SessionAlreadyOpenIsLeftOpen", SimFault::SessionAlreadyOpen, 0, 5, false, 0, 0},
    {"SessionOpenFailStatusStillSends", SimFault::SessionOpenFailStatus, 0, 5, false, 1, 1},
    {"CompletionBeforeSetCommandReturns", SimFault::CompletionBeforeReturn, 0, 5, false, 1, 1},
    {"LateCompletionWithinTheWait", SimFault::LateCompletion, 300, 5, false, 1, 1},
    {"CompletionFailStatusIsAnEmptyReply", SimFault::CompletionFailStatus, 0, 0, false, 1, 1},
    {"UnreadableDataArrayIsAnEmptyReply", SimFault::UnreadableDataArray, 0, 0, false, 1, 1},
    {"NoInterface", SimFault::NoInterface, 0, -1, true, 0, 0},
    {"ServiceMissing", SimFault::ServiceMissing, 0, -1, true, 0, 0},
    {"SetCommandFails", SimFault::SetCommandFails, 0, -1, true, 1, 1},
    {"SessionOpenNoCompletion", SimFault::SessionOpenNoCompletion, 0, -1, true, 1, 0},
    {"NoCompletion", SimFault::NoCompletion, 0, -1, true, 1, 1},
    {"CompletionWrongRequestId", SimFault::CompletionWrongRequestId, 0, -1, true, 1, 1},
    {"LateCompletionAfterTheWait", SimFault::LateCompletion, 6000, -1, true, 1, 1},
};

INSTANTIATE_TEST_SUITE_P(Faults, CarrierIdFaultE2eTest, ::testing::ValuesIn(kFaultRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

}  // namespace
