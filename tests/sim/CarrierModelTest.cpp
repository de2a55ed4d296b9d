// The simulated modem's carrier model: how each set command moves its state, and what it refuses.
// Its query replies are held byte for byte by the fuzz target capture_escape (a captured state
// answers as captured) and by the end-to-end rows; the "=" lines are rows of the profile's table.
#include <gtest/gtest.h>

#include <string>

#include "CarrierModel.h"
#include "support/TestKit.h"

namespace {

using namespace SimProfile;
using State = CarrierState;  // current, locked, lockCarrier, manual, automatic, factoryDefault

const State kFactory{5, false, 5, 0, true, 3}, kLocked{20, true, 20, 0, true, 3}, kManual{9, false, 5, 9, false, 8};

struct CommandRow {
    const char* name;
    State before;
    std::string command, reply;
    CarrierAnswer answer;
    State after;
};

class CarrierModelTest : public ::testing::TestWithParam<CommandRow> {};

TEST_P(CarrierModelTest, RepliesAndMovesTheState) {
    const CommandRow& row = GetParam();
    State state = row.before;
    std::string reply = "untouched";
    EXPECT_EQ(AnswerCarrierCommand(row.command, kFactory, &state, &reply), row.answer);
    EXPECT_EQ(reply, row.reply);
    EXPECT_EQ(state, row.after);
}

const CarrierAnswer kSame = CarrierAnswer::Unchanged, kChanged = CarrierAnswer::Changed;
const char kOk[] = "\r\nOK\r\n", kError[] = "\r\nERROR\r\n";

const CommandRow kCommandRows[] = {
    {"UnlockKeepsCarriers", kLocked, "AT+GTLOCKCAR=0\r\n", kOk, kChanged, State{20, false, 20, 0, true, 3}},
    {"LockPinsAndRuns", kFactory, "AT+GTLOCKCAR=1,20\r\n", kOk, kChanged, kLocked},
    {"ManualRunsAndStopsAuto", kFactory, "AT+GTMSELCAR=9\r\n", kOk, kChanged, State{9, false, 5, 9, false, 3}},
    {"ManualUnderLockKeepsCarrier", kLocked, "AT+GTMSELCAR=9\r\n", kOk, kChanged, State{20, true, 20, 9, false, 3}},
    {"ManualZeroDropsSelection", kManual, "AT+GTMSELCAR=0\r\n", kOk, kChanged, State{9, false, 5, 0, false, 8}},
    {"Manual65535IsNone", kManual, "AT+GTMSELCAR=65535\r\n", kOk, kChanged, State{9, false, 5, 65535, false, 8}},
    {"AutoOnDropsManual", kManual, "AT+GTASELCAR=1\r\n", kOk, kChanged, State{9, false, 5, 0, true, 8}},
    {"AutoOff", kFactory, "AT+GTASELCAR=0\r\n", kOk, kChanged, State{5, false, 5, 0, false, 3}},
    {"FactoryDefaultSet", kFactory, "AT+GTFDCAR=8\r\n", kOk, kChanged, State{5, false, 5, 0, true, 8}},
    {"RestoreGoesToFactory", kManual, "AT+GTRSTRCAR\r\n", kOk, kChanged, kFactory},
    {"SameValueIsNoChange", kFactory, "AT+GTASELCAR=1\r\n", kOk, kSame, kFactory},
    {"NegativeRefused", kFactory, "AT+GTFDCAR=-1\r\n", kError, kSame, kFactory},
    {"LockOnCarrierZeroRefused", kFactory, "AT+GTLOCKCAR=1,0\r\n", kError, kSame, kFactory},
    {"LockWithoutCarrierRefused", kFactory, "AT+GTLOCKCAR=1\r\n", kError, kSame, kFactory},
    {"CarrierTooLargeRefused", kFactory, "AT+GTMSELCAR=65536\r\n", kError, kSame, kFactory},
    {"AutoTwoRefused", kFactory, "AT+GTASELCAR=2\r\n", kError, kSame, kFactory},
    {"SetWithoutLineEndRefused", kFactory, "AT+GTFDCAR=8", kError, kSame, kFactory},
    {"CurrentCannotBeSet", kFactory, "AT+GTCURCAR=7\r\n", kError, kSame, kFactory},
    {"QueryWithoutLineEndRefused", kFactory, "AT+GTCURCAR?", kError, kSame, kFactory},
    {"OtherCommand", kFactory, " AT+GTMCFWVER?\r\n", "untouched", CarrierAnswer::NotCarrierCommand, kFactory},
};
INSTANTIATE_TEST_SUITE_P(Commands, CarrierModelTest, ::testing::ValuesIn(kCommandRows), RowName<CommandRow>);

}  // namespace
