// The six exports of the shipped Oem.dll against the simulated modem with a random fault per call,
// a few of them waiting out a wait of the DLL: each answer is the failure value or the right one,
// nothing is held after a call, and the handle count stays that of the first fifty calls.
// usage: fault_soak.exe [CALLS [SEED]]   (250 calls and a seed from the clock by default)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "Oem.h"
#include "support/HostKit.h"

namespace {

int gCalls = 250;
std::uint32_t gSeed = 0;

using F = SimFault;
// Faults answered at once, and those that wait out the session or the reply wait.
// clang-format off
const SimFault kQuick[] = {F::None, F::NoInterface, F::SeveralInterfaces, F::ServiceMissing, F::SessionAlreadyOpen,
    F::SessionOpenFailStatus, F::SetCommandFails, F::CompletionFailStatus, F::CompletionBeforeReturn,
    F::UnreadableDataArray, F::LateCompletion};
const SimFault kWaiting[] = {F::SessionOpenNoCompletion, F::NoCompletion, F::CompletionWrongRequestId,
    F::LateCompletion};
// clang-format on

int HandleCount() {
    int count = 0;
    for (const auto& [type, handles] : HandlesByType()) count += handles;
    return count;
}

TEST(FaultSoak, EveryAnswerRightOrFailedAndNothingHeld) {
    ASSERT_TRUE(::SetEnvironmentVariableA("OEMSIM_STATE", (TestFiles::ExecutableFolder() + "modem-state.txt").c_str()));
    SimModem sim;
    OemDll dll;
    const auto carrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    const auto getSwitch = dll.Get<int (*)(std::int32_t, std::int32_t*, bool*)>("OEM_GetCarrierSwitch");
    const auto setSwitch = dll.Get<int (*)(std::int32_t, std::int32_t, unsigned char)>("OEM_SetCarrierSwitch");
    const auto package = dll.Get<bool (*)(const char*, const char*)>("OEM_Check_If_UpdateCurrentPackage");
    const auto carrier =
        dll.Get<bool (*)(void*, const char*, const char*)>("OEM_Check_If_UpdateCurrentCarrierInPackage");
    const auto flash = dll.Get<FlashDecision (*)(const char*, const char*)>("OEM_Check_If_FlashCurrentCarrier");
    ASSERT_TRUE(sim.loaded() && carrierId && getSwitch && setSwitch && package && carrier && flash);

    std::printf("fault soak: %d calls, seed %u (replay: fault_soak.exe %d %u)\n", gCalls, gSeed, gCalls, gSeed);
    std::mt19937 random(gSeed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint32_t>(n)); };
    int handles = -1;
    for (int call = 0; call < gCalls && !HasFailure(); ++call) {
        const bool waits = pick(75) == 0;  // a handful of calls per run wait out a wait of the DLL
        const int which = waits ? pick(3) : pick(6);
        const SimFault fault = waits ? kWaiting[pick(4)] : kQuick[pick(11)];
        SCOPED_TRACE("seed " + std::to_string(gSeed) + ", call " + std::to_string(call) + ", export " +
                     std::to_string(which) + ", fault " + std::to_string(static_cast<int>(fault)));
        sim->Reset();
        sim->SetFault(fault);
        sim->SetCompletionDelay(waits ? 5600 : static_cast<std::uint32_t>(pick(50)));
        const int mode = 1 + pick(5);
        std::int32_t value = 0x5A5A5A5A;
        unsigned char flag = 0x7F;
        if (which == 0) {
            // A completion whose data cannot be had is an empty reply: no carrier field.
            const bool noData = fault == F::CompletionFailStatus || fault == F::UnreadableDataArray;
            const std::int32_t id = carrierId();
            EXPECT_TRUE(id == -1 || id == 5 || (id == 0 && noData)) << id;
        } else if (which == 1) {
            // Factory state: lock off on 5, no manual carrier, automatic on, factory default 3.
            const std::int32_t values[] = {0, 5, 0, 0x5A5A5A5A, 3};
            const unsigned char flags[] = {0, 0, 0, 1, 0x7F};
            const int result = getSwitch(mode, &value, reinterpret_cast<bool*>(&flag));
            const bool failed = result == 0 && value == 0x5A5A5A5A && flag == 0x7F;
            EXPECT_TRUE(failed || (result == 1 && mode < 5 && value == values[mode] && flag == flags[mode]))
                << result << ", value " << value << ", flag " << int(flag);
        } else if (which == 2) {
            const int set = pick(8) == 0 ? 6 : mode;
            const int result = setSwitch(set, 1 + pick(65534), static_cast<unsigned char>(pick(3)));
            EXPECT_TRUE(result == 0 || (result == 1 && set != 6)) << result;
        } else if (which == 3) {
            EXPECT_EQ(package("A1.B2.C3.10.4", mode % 2 ? "A1.B2.C3.10.5" : "x.y.z.10.4"), mode % 2 == 1);
        } else if (which == 4) {
            EXPECT_EQ(carrier(nullptr, mode % 2 ? "CarrierX.02" : "", "CARRIERX.02"), mode % 2 == 0);
        } else {
            const FlashDecision decision = flash("x1.y2.18.0.5", "7.10");
            EXPECT_TRUE(!decision.FlashModemImage && decision.FlashNVMImage == decision.Result);
        }
        EXPECT_TRUE(ExportLockIsFree());
        EXPECT_TRUE(WaitUntil(
            [&] { return sim->CompletionsInFlight() == 0 && sim->LiveObjects() == 0 && sim->AdvisedSinks() == 0; },
            20000));
        EXPECT_EQ(sim->Unadvises(), sim->Advises());
        // A session that never answered its opening is not closed; any other opened here is.
        EXPECT_EQ(sim->SessionCloses(), fault == F::SessionOpenNoCompletion ? 0 : sim->SessionOpens());
        if ((call + 1) % 50 == 0) {
            // Threads of the simulator's and COM's pools come and go: a few handles of slack, and
            // a while for those of ended threads to close.
            int now = HandleCount();
            if (handles < 0) handles = now + 8;
            EXPECT_TRUE(WaitUntil([&] { return (now = HandleCount()) <= handles; }, 5000))
                << now << " handles after " << call + 1 << " calls, " << handles - 8 << " after 50";
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) gCalls = std::atoi(argv[1]);
    gSeed = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10))
                     : static_cast<std::uint32_t>(::GetTickCount64());
    return RUN_ALL_TESTS();
}
