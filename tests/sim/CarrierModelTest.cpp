// The simulated modem's carrier model: the bytes it answers and how each command moves its state,
// the text that keeps the state between runs, and the "=" lines of a profile.
#include <gtest/gtest.h>

#include <string>

#include "../../sim/CarrierModel.h"
#include "../../sim/ModemProfile.h"

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

TEST(CarrierStateText, ReadBackAsWritten) {
    for (const CarrierState& state : {kFactory, kLocked, kManual, State{0, true, 65535, 65535, false, 0}}) {
        CarrierState read;
        std::string error;
        ASSERT_TRUE(SimProfile::ReadCarrierStateText(SimProfile::CarrierStateText(state), &read, &error)) << error;
        EXPECT_EQ(read, state);
    }
    EXPECT_EQ(SimProfile::CarrierStateText(kLocked),
              "= current 20\n= lock 1,20\n= manual 0\n= auto 1\n= factory-default 3\n");
}

// Read over kManual: refused texts leave it as it was, settings left out keep their values.
struct TextRow {
    const char* name;
    const char* text;
    const char* error;  // empty: read
    CarrierState after;
};

class CarrierStateTextTest : public ::testing::TestWithParam<TextRow> {};

TEST_P(CarrierStateTextTest, ReadOrRefused) {
    CarrierState state = kManual;
    std::string error;
    EXPECT_EQ(SimProfile::ReadCarrierStateText(GetParam().text, &state, &error), *GetParam().error == '\0');
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(state, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CarrierStateTextTest,
    ::testing::Values(
        TextRow{"KeysLeftOutKeptBlanksIgnored", "  =current   12 \t\n\n", "", State{12, false, 5, 9, false, 8}},
        TextRow{"UnknownKey", "= current 1\n= colour 2\n", "line 2: unknown carrier setting \"colour\"", kManual},
        TextRow{"KeyTwice", "= auto 1\r\n# c\n= auto 0\n", "line 3: the carrier setting auto is given twice", kManual},
        TextRow{"LockWithoutComma", "= lock 1\n",
                "line 1: the carrier setting lock needs 0 or 1, a comma and a number, not \"1\"", kManual},
        TextRow{"NumberTooLarge", "= manual 65536\n",
                "line 1: the carrier setting manual needs a number 0 to 65535, not \"65536\"", kManual},
        TextRow{"NotASetting", "> AT\n", "line 1: a line must begin with \"=\" or \"#\"", kManual}),
    [](const ::testing::TestParamInfo<TextRow>& info) { return info.param.name; });

TEST(CarrierModelInProfile, EqualsLinesGiveTheFactoryValuesAndExactLinesStayListed) {
    SimProfile::ModemProfile profile;
    std::string error;
    ASSERT_TRUE(SimProfile::ModemProfile::Parse("= current 5\n= auto 1\n> AT+GTFDCAR?\\r\\n\n< x\n> AT+GT*\n< y\n",
                                                &profile, &error))
        << error;
    ASSERT_NE(profile.carrierFactory(), nullptr);
    EXPECT_EQ(*profile.carrierFactory(), (State{5, false, 0, 0, true, 0})) << "settings left out are 0";
    EXPECT_TRUE(profile.ListsExactly("AT+GTFDCAR?\r\n"));
    EXPECT_FALSE(profile.ListsExactly("AT+GTLOCKCAR?\r\n")) << "a prefix match is not an exact listing";

    ASSERT_TRUE(SimProfile::ModemProfile::Parse("> AT\n", &profile, &error));
    EXPECT_EQ(profile.carrierFactory(), nullptr) << "no \"=\" line, no carrier model";
}

}  // namespace
