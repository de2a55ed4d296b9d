// Carrier switch set commands byte for byte and query/set replies as the exports read them (upper-cased).
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "text/AsciiText.h"
#include "exports/rules/CarrierSwitchReply.h"
#include "support/RowName.h"

namespace {

CarrierSwitchMode Mode(int number) {
    return static_cast<CarrierSwitchMode>(number);
}

struct QueryRow {
    const char* name;
    int mode;
    std::string reply;
    bool accepted;
    std::optional<bool> flag;
    std::optional<int> value;
};

class CarrierSwitchQueryReplyTest : public ::testing::TestWithParam<QueryRow> {};

TEST_P(CarrierSwitchQueryReplyTest, ReadsTheModesOutputsOnly) {
    const QueryRow& row = GetParam();
    const CarrierSwitchReading reading = ParseCarrierSwitchReply(Mode(row.mode), AsciiText::UpperCased(row.reply));
    EXPECT_EQ(reading.accepted, row.accepted);
    EXPECT_EQ(reading.flag, row.flag);
    EXPECT_EQ(reading.value, row.value);
}

const std::optional<bool> kNoFlag;
const std::optional<int> kNoValue;

const QueryRow kQueryRows[] = {
    {"AutoOn", 3, "\r\n+GTASELCAR: 1\r\n\r\nOK\r\n", true, true, kNoValue},
    {"AutoTwoIsNotOn", 3, "\r\n+GTASELCAR: 2\r\n\r\nOK\r\n", true, false, kNoValue},
    {"ManualNoSelection65535", 2, "\r\n+GTMSELCAR: 65535\r\n\r\nOK\r\n", true, false, 65535},
    {"ManualBlankFieldReadsZero", 2, "\r\n+GTMSELCAR: \r\n\r\nOK\r\n", true, false, 0},
    {"ManualSignDropped", 2, "\r\n+GTMSELCAR: -7\r\n\r\nOK\r\n", true, true, 7},
    {"FactoryDefaultSaturates", 4, "+GTFDCAR: 99999999999999999999\r\nOK", true, kNoFlag, INT_MAX},
    {"LockAnyNonZeroIsOn", 1, "+GTLOCKCAR: 3,4\r\nOK", true, true, 4},
    {"LockOnlyCommaReadsZeros", 1, "+GTLOCKCAR: ,\r\nOK", true, false, 0},
    {"LockSecondStopsAtNextComma", 1, "+GTLOCKCAR: 1,2,3\r\nOK", true, true, 2},
    {"LockLettersDropped", 1, "+GTLOCKCAR: 1A,B2C0\r\nOK", true, true, 20},
    {"NulBytesDroppedFromField", 2, std::string("+GTMSELCAR: 1\0002\r\nOK", 19), true, true, 12},
    {"ErrorAfterPrefix", 3, "\r\n+GTASELCAR: 1\r\n\r\nERROR\r\n", false, kNoFlag, kNoValue},
    {"OtherModesPrefix", 2, "\r\n+GTASELCAR: 1\r\n\r\nOK\r\n", false, kNoFlag, kNoValue},
    {"OkBeforePrefix", 4, "\r\nOK\r\n+GTFDCAR: 3\r\n", false, kNoFlag, kNoValue},
    {"FirstPrefixAndFirstOkFrameField", 4, "+GTFDCAR: 1\r\nOK\r\n+GTFDCAR: 2\r\nOK\r\n", true, kNoFlag, 1},
    {"RestoreHasNoQuery", 5, "\r\n+GTFDCAR: 3\r\n\r\nOK\r\n", false, kNoFlag, kNoValue},
};
INSTANTIATE_TEST_SUITE_P(Replies, CarrierSwitchQueryReplyTest, ::testing::ValuesIn(kQueryRows), RowName<QueryRow>);

TEST(CarrierSwitchQueryReplyBadInput, MegabyteOfAnyBytesNeverCrashes) {
    std::string reply(1 << 20, '\0');
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    for (int mode = 0; mode <= 5; ++mode) ParseCarrierSwitchReply(Mode(mode), AsciiText::UpperCased(reply));
    const std::string commas = "+GTLOCKCAR:" + std::string(1 << 20, ',') + "\r\nOK";
    const CarrierSwitchReading reading = ParseCarrierSwitchReply(SWITCHINGLOCK, commas);
    EXPECT_TRUE(reading.accepted);
    EXPECT_EQ(reading.value, 0);
}

struct SetCommandRow {
    const char* name;
    int mode;
    int value;
    bool flag;
    std::string command;
};

class CarrierSwitchSetCommandTest : public ::testing::TestWithParam<SetCommandRow> {};

TEST_P(CarrierSwitchSetCommandTest, Bytes) {
    const SetCommandRow& row = GetParam();
    EXPECT_EQ(CarrierSwitchSetCommand(Mode(row.mode), row.value, row.flag), row.command);
    EXPECT_EQ(IsSettableCarrierSwitchMode(Mode(row.mode)), !row.command.empty());
}

const SetCommandRow kSetCommandRows[] = {
    {"LockOnSmallest", 1, INT_MIN, true, "AT+GTLOCKCAR=1,-2147483648\r\n"},
    {"ManualOnWithValue", 2, 9, true, "AT+GTMSELCAR=9\r\n"},
    {"AutoOffIgnoresValue", 3, 77, false, "AT+GTASELCAR=0\r\n"},
    {"FactoryDefaultIgnoresFlag", 4, 8, false, "AT+GTFDCAR=8\r\n"},
    {"RestoreIgnoresValueAndFlag", 5, 123, true, "AT+GTRSTRCAR\r\n"},
    {"SmallestModeRefused", INT_MIN, 0, false, ""},
    {"LargestModeRefused", INT_MAX, 0, true, ""},
};
INSTANTIATE_TEST_SUITE_P(Commands, CarrierSwitchSetCommandTest, ::testing::ValuesIn(kSetCommandRows),
                         RowName<SetCommandRow>);

struct SetReplyRow {
    const char* name;
    std::string reply;
    bool succeeded;
};

class CarrierSwitchSetReplyTest : public ::testing::TestWithParam<SetReplyRow> {};

TEST_P(CarrierSwitchSetReplyTest, OkLineAnywhere) {
    EXPECT_EQ(CarrierSwitchSetSucceeded(GetParam().reply), GetParam().succeeded);
}

const SetReplyRow kSetReplyRows[] = {
    {"Ok", "\r\nOK\r\n", true},
    {"OkAfterEcho", "AT+GTFDCAR=8\r\r\nOK\r\n", true},
    {"OkInsideText", "LOOKOK\r\nMORE", true},
    {"Error", "\r\nERROR\r\n", false},
    {"OkWithoutLineEnd", "\r\nOK", false},
    {"NulInsideOkLine", std::string("OK\0\r\n", 5), false},
};
INSTANTIATE_TEST_SUITE_P(Replies, CarrierSwitchSetReplyTest, ::testing::ValuesIn(kSetReplyRows), RowName<SetReplyRow>);

}  // namespace
