// The AT reply text operations: one table per operation.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/TestKit.h"
#include "tools/parser/AtText.h"

namespace {

using Parts = std::vector<std::string>;

// clang-format off: tables keep several rows to a line
TEST(AtText, ExtractPayloadAppendsThePayloadOrThePlainText) {
    struct Row {
        std::string buffer;
        std::uint32_t length;
        std::string expected;  // appended to "x"
    } const rows[] = {
        {Bytes("\3\0\0\0abc"), 7, "xabc"},                    {"\r\nOK\r\n", 6, "x\r\nOK\r\n"},
        {Bytes("\0\1\0\0") + std::string(256, 'p'), 260, "x" + std::string(256, 'p')},
        {Bytes("\2\0\0\0abXY"), 8, "xab"},                    {Bytes("\0\0\0\0zz"), 6, "x"},
        {Bytes("\4\0\0\0a\0\0b"), 8, "x" + Bytes("a\0\0b")},  {"ab", 2, "xab"},
        {Bytes("\5\0\0\0abc"), 7, "x" + Bytes("\5\0\0\0abc")}, {"", 0, "x"},
        {"\377\377\377\377abc", 7, "x\377\377\377\377abc"},   {"\r\nOK\r\n", 4, "x\r\nOK"},
    };
    for (const Row& row : rows) {
        // A heap copy of exactly length bytes, so that a read past length is caught by the sanitizers.
        std::unique_ptr<unsigned char[]> copy(new unsigned char[row.length ? row.length : 1]);
        std::memcpy(copy.get(), row.buffer.data(), row.length);
        std::string out = "x";
        AtText::ExtractPayload(copy.get(), row.length, out);
        EXPECT_EQ(out, row.expected) << row.length;
    }
    std::string out = "x";
    AtText::ExtractPayload(nullptr, 16, out);
    EXPECT_EQ(out, "x") << "a null buffer appends nothing";
}

TEST(AtText, KeepCharsRemoveCharsAndHexToDec) {
    struct Filter {
        std::string text, charset, kept, removed;
    } const filters[] = {
        {"12:34", "0123456789", "1234", ":"},   {"abc", "", "", "abc"},
        {"a1b2a3", "ab", "aba", "123"},         {Bytes("1\0002"), Bytes("\0"), Bytes("\0"), "12"},
        {"\377\200a", "\377", "\377", "\200a"}, {"aA", "a", "a", "A"},
    };
    for (const Filter& row : filters) {
        EXPECT_EQ(AtText::KeepChars(row.text, row.charset), row.kept) << row.text;
        EXPECT_EQ(AtText::RemoveChars(row.text, row.charset), row.removed) << row.text;
    }
    struct Hex {
        std::string text, expected;
    } const hexes[] = {
        {"0x1a", "26"},       {"1A", "0"},   {" 0x1A", "0"},    {"0X", "0"},          {"", "0"},
        {"0x1A\r\n", "6058"}, {"0xG", "16"}, {"0x\377", "-49"}, {"0XFFFFFFFF", "-1"}, {"0x80000000", "-2147483648"},
        {"0x100000001", "1"},
    };
    for (const Hex& row : hexes) EXPECT_EQ(AtText::HexToDec(row.text), row.expected) << row.text;
}

TEST(AtText, SplitAndGetBetween) {
    struct Split {
        std::string text, separator;
        Parts expected;  // after "x"
    } const splits[] = {
        {"a,b,,c,", ",", {"x", "a", "b", "", "c"}},     {"", ",", {"x"}},
        {",a", ",", {"x", "", "a"}},                   {"\r\n1.2.3\r\n", "\r\n", {"x", "", "1.2.3"}},
        {Bytes("a\0b"), Bytes("\0"), {"x", "a", "b"}}, {"ab", "", {"x", "ab"}},
    };
    for (const Split& row : splits) {
        Parts parts = {"x"};
        AtText::Split(row.text, row.separator, parts);
        EXPECT_EQ(parts, row.expected) << row.text;
    }
    struct Between {
        std::string text, head, tail, expected;
    } const betweens[] = {
        {"\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", "+GTCURCAR:", "\r\n", " 5"}, {"\r\n+GTCURCAR: 5", "+GTCURCAR:", "\r\n", ""},
        {"+GTCURCAR: 5:\r\n", "+GTCURCAR:", ":", ""},                  {"; +X:1;", "+X:", ";", "1"},
        {"+X:1;+X:2;", "+X:", ";", "1"}, {"abc", "+X:", ";", ""}, {"abc", "", "c", "ab"}, {"+X: 1", "+X:", "", ""},
        {Bytes("H\0a\0T"), "H", "T", Bytes("\0a\0")},
    };
    for (const Between& row : betweens) {
        EXPECT_EQ(AtText::GetBetween(row.text, row.head, row.tail), row.expected) << row.text;
    }
}
// clang-format on

}  // namespace
