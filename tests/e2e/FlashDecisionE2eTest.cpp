// OEM_Check_If_FlashCurrentCarrier of the shipped DLL against the simulated modem: the three bytes
// it returns, the version queries in order (ati8 for older firmware), and one failure per modem
// export with nothing held afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/ModemE2e.h"
#include "support/OemDll.h"
#include "support/SimModem.h"

namespace {

// As a host declares it: three one-byte booleans returned by value.
struct FlashDecision {
    bool Result;
    bool FlashModemImage;
    bool FlashNVMImage;
};
static_assert(sizeof(FlashDecision) == 3, "the record the host reads");
using FlashCurrentCarrier = FlashDecision (*)(const char* newModemFlsVersion, const char* newNvmVersion);
// The x64 convention spelled out: the caller's record comes first and its address comes back.
using FlashThroughRecord = unsigned char* (*)(unsigned char* record, const char*, const char*);
using Bytes = std::vector<unsigned char>;
using Replies = std::vector<std::pair<std::string, std::string>>;

const std::string kFirmwareQuery = " AT+GTMCFWVER?\r\n";
const std::string kAti8 = "ati8\r\n";
const std::string kNvmQuery = "AT+GTCUSTPACKVER?\r\n";
const std::string kError = "\r\nERROR\r\n";

class FlashDecisionE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.loaded()) << "the simulated modem is not registered in this prefix";
        sim->Reset();
        ASSERT_NE(flash = dll.Get<FlashCurrentCarrier>("OEM_Check_If_FlashCurrentCarrier"), nullptr);
    }
    Bytes Decide(const char* firmware, const char* nvm) {
        const FlashDecision decision = flash(firmware, nvm);
        Bytes bytes(sizeof decision);
        std::memcpy(bytes.data(), &decision, sizeof decision);
        return bytes;
    }

    SimModem sim;
    OemDll dll;
    FlashCurrentCarrier flash = nullptr;
};

struct FlashRow {
    const char* name;
    const char* profile;  // a shipped profile beside the simulator, or null for the default one
    Replies replies;      // scripted over the profile
    const char* firmware;
    const char* nvm;
    std::vector<std::string> sent;
    Bytes decision;  // Result, FlashModemImage, FlashNVMImage
};

class FlashDecisionRowTest : public FlashDecisionE2eTest, public ::testing::WithParamInterface<FlashRow> {};

TEST_P(FlashDecisionRowTest, RecordAndQueriesInOrder) {
    const FlashRow& row = GetParam();
    if (row.profile != nullptr) {
        std::wstring folder = SimModem::RegisteredPath();
        folder.erase(folder.rfind(L'\\') + 1);
        ASSERT_TRUE(sim->LoadProfile((std::string(folder.begin(), folder.end()) + row.profile).c_str()));
    }
    for (const auto& reply : row.replies) {
        sim->SetReply(reply.first.data(), reply.first.size(), reply.second.data(), reply.second.size());
    }
    EXPECT_EQ(Decide(row.firmware, row.nvm), row.decision);
    EXPECT_EQ(ReceivedCommands(sim), row.sent);
    ExpectModemLetGo(sim, 1);
}

const std::vector<std::string> kOk = {kFirmwareQuery, kNvmQuery};
const std::vector<std::string> kAti8Path = {kFirmwareQuery, kAti8, kNvmQuery};
const char kOld[] = "old-firmware-profile.txt";
const Replies kAti8Q = {{kFirmwareQuery, kError}, {kAti8, "\r\n\"Q.A1.B2.18.0.6\"\r\n\r\nOK\r\n"}};
const Replies kTwoSegments = {{kFirmwareQuery, "\r\n+GTMCFWVER: \"A1.B2\"\r\n\r\nOK\r\n"}};

// The default profile's modem runs firmware A1.B2.18.0.5 and NVM C1.C2.C3.7.C5.9 (7.9).
const FlashRow kFlashRows[] = {
    {"SameFirmwareTwoFieldsDropped", nullptr, {}, "x1.y2.18.0.5", "7.9", kOk, {1, 0, 0}},
    {"NvmDiffers", nullptr, {}, "x1.y2.18.0.5", "7.10", kOk, {1, 0, 1}},
    {"BothDiffer", nullptr, {}, "A1.B2.18.0.6", "7.10", kOk, {1, 1, 1}},
    {"Ati8FirmwareDiffers", nullptr, kAti8Q, "p.a1.b2.18.0.5", "7.9", kAti8Path, {1, 1, 0}},
    {"OldFirmwareProfileSame", kOld, {}, "p.a1.b2.18.0.4", "7.9", kAti8Path, {1, 0, 0}},
    {"OldFirmwareDropsThreeFields", kOld, {}, "A1.B2.18.0.4", "7.9", kAti8Path, {1, 1, 0}},
    {"FirmwareOfTwoSegmentsIsNoVersion", nullptr, kTwoSegments, "x1.y2.18.0.5", "7.9", kOk, {0, 0, 0}},
    {"Ati8ErrorIsNoVersion", nullptr, {{kFirmwareQuery, kError}, {kAti8, kError}}, "a", "7.9", kAti8Path, {0, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Decisions, FlashDecisionRowTest, ::testing::ValuesIn(kFlashRows),
                         [](const ::testing::TestParamInfo<FlashRow>& info) { return info.param.name; });

TEST_F(FlashDecisionE2eTest, RecordIsThreeBytesThroughTheCallersPointer) {
    const auto raw = dll.Get<FlashThroughRecord>("OEM_Check_If_FlashCurrentCarrier");
    unsigned char record[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(raw(record, "A1.B2.18.0.6", "7.9"), record);
    EXPECT_EQ(Bytes(record, record + 4), Bytes({1, 1, 0, 0xAA})) << "the fourth byte is the caller's";
}

// One failure per modem export: its failure result, outputs untouched, the modem's state as it
// was, nothing held and the lock free.
enum class Call { CarrierId, GetSwitch, SetSwitch, Flash };

struct FailureRow {
    const char* name;
    Call call;
    SimFault fault;
};

class ExportFailureE2eTest : public FlashDecisionE2eTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(ExportFailureE2eTest, FailureResultAndNothingHeld) {
    const FailureRow& row = GetParam();
    const auto getCarrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    const auto getSwitch = dll.Get<int (*)(std::int32_t, std::int32_t*, bool*)>("OEM_GetCarrierSwitch");
    const auto setSwitch = dll.Get<int (*)(std::int32_t, std::int32_t, bool)>("OEM_SetCarrierSwitch");
    ASSERT_TRUE(getCarrierId != nullptr && getSwitch != nullptr && setSwitch != nullptr);
    sim->SetFault(row.fault);
    std::int32_t value = 0x5A5A5A5A;
    unsigned char flag = 0x7F;
    switch (row.call) {
        case Call::CarrierId:
            EXPECT_EQ(getCarrierId(), -1);
            break;
        case Call::GetSwitch:
            EXPECT_EQ(getSwitch(1, &value, reinterpret_cast<bool*>(&flag)), 0);
            break;
        case Call::SetSwitch:
            EXPECT_EQ(setSwitch(1, 20, true), 0);
            break;
        case Call::Flash:
            EXPECT_EQ(Decide("A1.B2.18.0.6", "7.10"), Bytes({0, 0, 0}));
            break;
    }
    EXPECT_EQ(value, 0x5A5A5A5A);
    EXPECT_EQ(flag, 0x7F);
    EXPECT_EQ(sim->CommandCount(), 0u) << "no command reached the modem";
    ExpectModemLetGo(sim, 1);

    sim->SetFault(SimFault::None);
    EXPECT_EQ(getSwitch(1, &value, reinterpret_cast<bool*>(&flag)), 1);
    EXPECT_EQ(value, 5) << "the lock is as it was";
    EXPECT_EQ(flag, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportFailureE2eTest,
                         ::testing::Values(FailureRow{"CarrierIdNoInterface", Call::CarrierId, SimFault::NoInterface},
                                           FailureRow{"GetSwitchNoInterface", Call::GetSwitch, SimFault::NoInterface},
                                           FailureRow{"SetSwitchSetCommandFails", Call::SetSwitch,
                                                      SimFault::SetCommandFails},
                                           FailureRow{"FlashSetCommandFails", Call::Flash, SimFault::SetCommandFails}),
                         [](const ::testing::TestParamInfo<FailureRow>& info) { return info.param.name; });

}  // namespace
