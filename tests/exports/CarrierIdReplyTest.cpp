// The carrier-id reply parse, on replies already upper-cased as the export hands them over.
#include <gtest/gtest.h>

#include <string>

#include "text/AsciiText.h"
#include "exports/rules/CarrierIdReply.h"
#include "support/RowName.h"

namespace {

struct CarrierIdRow {
    const char* name;
    std::string reply;
    int expected;
};

class CarrierIdReplyTest : public ::testing::TestWithParam<CarrierIdRow> {};

TEST_P(CarrierIdReplyTest, ParsesUpperCasedReply) {
    const CarrierIdRow& row = GetParam();
    EXPECT_EQ(ParseCurrentCarrierId(AsciiText::UpperCased(row.reply)), row.expected);
}

const CarrierIdRow kRows[] = {
    {"PlainReply", "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", 5},
    {"FieldCutAtFirstComma", "\r\n+GTCURCAR: 12,3\r\n\r\nOK\r\n", 12},
    {"MinusSignDropped", "\r\n+GTCURCAR: -3\r\n\r\nOK\r\n", 3},
    {"NoLineEndAfterOk", "\r\n+GTCURCAR: 5\r\nOK", 0},
    {"ErrorReply", "\r\nERROR\r\n", 0},
    {"FieldWithoutDigits", "\r\n+GTCURCAR: ABC\r\n\r\nOK\r\n", 0},
    {"OkBeforePrefix", "\r\nOK\r\n+GTCURCAR: 5\r\n", 0},
    {"DigitsAroundLetters", "+GTCURCAR: 1A2B3\r\nOK\r\n", 123},
    {"SecondPrefixIgnored", "+GTCURCAR: 4\r\n+GTCURCAR: 9\r\nOK\r\n", 49},
    {"HugeNumberSaturates", "+GTCURCAR: 99999999999999999999\r\nOK\r\n", 2147483647},
    {"NulBytesInField", std::string("+GTCURCAR: 1\0002\r\nOK\r\n", 20), 12},
};

INSTANTIATE_TEST_SUITE_P(Replies, CarrierIdReplyTest, ::testing::ValuesIn(kRows), RowName<CarrierIdRow>);

TEST(CarrierIdReplyBadInput, MegabyteOfAnyBytesNeverCrashes) {
    std::string reply(1 << 20, '\0');
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    ParseCurrentCarrierId(AsciiText::UpperCased(reply));
    std::string framed = "+GTCURCAR:" + std::string(1 << 20, '7') + "\r\nOK\r\n";
    EXPECT_EQ(ParseCurrentCarrierId(framed), 2147483647);
}

}  // namespace
