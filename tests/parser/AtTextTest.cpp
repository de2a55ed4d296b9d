// The AT reply text operations: the rows their fuzz target (tests/fuzz/at_text.cpp) does not
// reach, and the fields GetBetween cuts (a carrier reply's is the parser tool's row).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestKit.h"
#include "tools/parser/AtText.h"

namespace {

using Parts = std::vector<std::string>;

// clang-format off: tables keep several rows to a line
TEST(AtText, NoBufferNoSeparatorAndCharactersThatAreNoHexDigits) {
    std::string out = "x";
    AtText::ExtractPayload(nullptr, 16, out);
    EXPECT_EQ(out, "x") << "a null buffer appends nothing";
    Parts parts = {"x"};
    AtText::Split("ab", "", parts);
    EXPECT_EQ(parts, (Parts{"x", "ab"})) << "no separator: the text is one piece";
    struct Hex {
        std::string text, expected;
    } const hexes[] = {{"0X", "0"}, {"0x1A\r\n", "6058"}, {"0xG", "16"}, {"0x\377", "-49"}};
    for (const Hex& row : hexes) EXPECT_EQ(AtText::HexToDec(row.text), row.expected) << row.text;
}

TEST(AtText, GetBetween) {
    struct Between {
        std::string text, head, tail, expected;
    } const betweens[] = {
        {"\r\n+GTCURCAR: 5", "+GTCURCAR:", "\r\n", ""}, {"+GTCURCAR: 5:\r\n", "+GTCURCAR:", ":", ""},
        {"; +X:1;", "+X:", ";", "1"}, {"+X:1;+X:2;", "+X:", ";", "1"}, {"abc", "+X:", ";", ""}, {"+X: 1", "+X:", "", ""},
        {"abc", "", "c", "ab"}, {Bytes("H\0a\0T"), "H", "T", Bytes("\0a\0")},
    };
    for (const Between& row : betweens) EXPECT_EQ(AtText::GetBetween(row.text, row.head, row.tail), row.expected);
}
// clang-format on

}  // namespace
