// The simulated modem's carrier model: the bytes it answers and how each command moves its state.
// The "=" lines that give its values are rows of the profile's table.
#include <gtest/gtest.h>

#include <string>

#include "CarrierModel.h"

namespace {

using SimProfile::CarrierAnswer;
using SimProfile::CarrierState;

using State = CarrierState;  // current, locked, lockCarrier, manual, automatic, factoryDefault

const CarrierState kFactory = State{5, false, 5, 0, true, 3};
const CarrierState kLocked = State{20, true, 20, 0, true, 3};
const CarrierState kManual = State{9, false, 5, 9, false, 8};

std::string Field(const char* name, const char* value) {
    return std::string("\r\n+") + name + ": " + value + "\r\n\r\nOK\r\n";
}

struct CommandRow {
    const char* name;
    CarrierState before;
    std::string command;
    std::string reply;
    CarrierAnswer answer;
    CarrierState after;
};

class CarrierModelTest : public ::testing::TestWithParam<CommandRow> {};

TEST_P(CarrierModelTest, RepliesAndMovesTheState) {
    const CommandRow& row = GetParam();
    CarrierState state = row.before;
    std::string reply = "untouched";
    EXPECT_EQ(SimProfile::AnswerCarrierCommand(row.command, kFactory, &state, &reply), row.answer);
    EXPECT_EQ(reply, row.reply);
    EXPECT_EQ(state, row.after);
}

const CarrierAnswer kSame = CarrierAnswer::Unchanged;
const CarrierAnswer kChanged = CarrierAnswer::Changed;
const char kOk[] = "\r\nOK\r\n";
const char kError[] = "\r\nERROR\r\n";

const CommandRow kCommandRows[] = {
    {"CurrentCarrier", kFactory, "AT+GTCURCAR?\r\n", Field("GTCURCAR", "5"), kSame, kFactory},
    {"LockOff", kFactory, "AT+GTLOCKCAR?\r\n", Field("GTLOCKCAR", "0,5"), kSame, kFactory},
    {"LockOn", kLocked, "AT+GTLOCKCAR?\r\n", Field("GTLOCKCAR", "1,20"), kSame, kLocked},
    {"ManualNone", kFactory, "AT+GTMSELCAR?\r\n", Field("GTMSELCAR", "0"), kSame, kFactory},
    {"Manual", kManual, "AT+GTMSELCAR?\r\n", Field("GTMSELCAR", "9"), kSame, kManual},
    {"Automatic", kFactory, "AT+GTASELCAR?\r\n", Field("GTASELCAR", "1"), kSame, kFactory},
    {"FactoryDefault", kManual, "AT+GTFDCAR?\r\n", Field("GTFDCAR", "8"), kSame, kManual},
    {"LockPinsAndRuns", kFactory, "AT+GTLOCKCAR=1,20\r\n", kOk, kChanged, kLocked},
    {"UnlockKeepsCarriers", kLocked, "AT+GTLOCKCAR=0\r\n", kOk, kChanged, State{20, false, 20, 0, true, 3}},
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
    {"OtherCommandIsNotTheModels", kFactory, " AT+GTMCFWVER?\r\n", "untouched", CarrierAnswer::NotCarrierCommand,
     kFactory},
};

INSTANTIATE_TEST_SUITE_P(Commands, CarrierModelTest, ::testing::ValuesIn(kCommandRows),
                         [](const ::testing::TestParamInfo<CommandRow>& info) { return info.param.name; });

}  // namespace
