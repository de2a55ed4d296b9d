// The AT reply text operations: one table per operation, then arbitrary bytes for each.
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

// A heap copy of exactly length bytes, so that a read past length is caught by the sanitizers.
std::unique_ptr<unsigned char[]> ExactCopy(const std::string& bytes, std::uint32_t length) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[length == 0 ? 1 : length]);
    std::memcpy(copy.get(), bytes.data(), length);
    return copy;
}

TEST(AtText, ExtractPayloadAppendsThePayloadOrThePlainText) {
    struct Row {
        std::string buffer;
        std::uint32_t length;
        std::string expected;  // appended to "x"
    } const rows[] = {
        {Bytes("\3\0\0\0abc"), 7, "xabc"},
        {"\r\nOK\r\n", 6, "x\r\nOK\r\n"},
        {Bytes("\0\1\0\0") + std::string(256, 'p'), 260, "x" + std::string(256, 'p')},
        {Bytes("\2\0\0\0abXY"), 8, "xab"},
        {Bytes("\0\0\0\0zz"), 6, "x"},
        {Bytes("\4\0\0\0a\0\0b"), 8, "x" + Bytes("a\0\0b")},
        {Bytes("\5\0\0\0abc"), 7, "x" + Bytes("\5\0\0\0abc")},
        {"\377\377\377\377abc", 7, "x\377\377\377\377abc"},
        {"ab", 2, "xab"},
        {"", 0, "x"},
        {"\r\nOK\r\n", 4, "x\r\nOK"},
    };
    for (const Row& row : rows) {
        std::string out = "x";
        AtText::ExtractPayload(ExactCopy(row.buffer, row.length).get(), row.length, out);
        EXPECT_EQ(out, row.expected) << row.length;
    }
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
        {"0x1a", "26"},
        {"1A", "0"},
        {" 0x1A", "0"},
        {"0X", "0"},
        {"0x1A\r\n", "6058"},
        {"0xG", "16"},
        {"0x\377", "-49"},
        {"0XFFFFFFFF", "-1"},
        {"0x7fffffff", "2147483647"},
        {"0x80000000", "-2147483648"},
        {"0x100000001", "1"},
    };
    for (const Hex& row : hexes) EXPECT_EQ(AtText::HexToDec(row.text), row.expected) << row.text;
}

TEST(AtText, SplitAndGetBetween) {
    struct Split {
        std::string text, separator;
        Parts expected;  // after "x"
    } const splits[] = {
        {"a,b,,c,", ",", {"x", "a", "b", "", "c"}},
        {"", ",", {"x"}},
        {",a", ",", {"x", "", "a"}},
        {"\r\n1.2.3\r\n", "\r\n", {"x", "", "1.2.3"}},
        {"a::b", "::", {"x", "a", "b"}},
        {Bytes("a\0b"), Bytes("\0"), {"x", "a", "b"}},
        {"ab", "", {"x", "ab"}},
    };
    for (const Split& row : splits) {
        Parts parts = {"x"};
        AtText::Split(row.text, row.separator, parts);
        EXPECT_EQ(parts, row.expected) << row.text;
    }
    struct Between {
        std::string text, head, tail, expected;
    } const betweens[] = {
        {"\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", "+GTCURCAR:", "\r\n", " 5"},
        {"\r\n+GTCURCAR: 5", "+GTCURCAR:", "\r\n", ""},
        {"; +X:1;", "+X:", ";", "1"},
        {"+GTCURCAR: 5\r\n", "+GTCURCAR:", ":", ""},
        {"+X:1;+X:2;", "+X:", ";", "1"},
        {"abc", "+X:", ";", ""},
        {"abc", "", "c", "ab"},
        {"+X: 1", "+X:", "", ""},
        {Bytes("H\0a\0T"), "H", "T", Bytes("\0a\0")},
    };
    for (const Between& row : betweens) {
        EXPECT_EQ(AtText::GetBetween(row.text, row.head, row.tail), row.expected) << row.text;
    }
}

// Deterministic pseudo-random bytes: every value, NULs and high bytes included.
std::string AnyBytes(size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
}

TEST(AtText, AnyBytesNeverReadPastTheirLengthAndKeepTheirShape) {
    std::string out = "keep";
    AtText::ExtractPayload(nullptr, 16, out);
    EXPECT_EQ(out, "keep") << "a null buffer appends nothing";
    for (std::uint32_t seed = 0; seed < 400; ++seed) {
        const std::uint32_t length = seed % 80;
        std::string bytes = AnyBytes(length, seed);
        if (length >= 4 && seed % 2 == 0)
            bytes.replace(0, 4, std::string{static_cast<char>(seed % (length + 3)), 0, 0, 0});
        out.clear();
        AtText::ExtractPayload(ExactCopy(bytes, length).get(), length, out);
        EXPECT_TRUE(out == bytes || (length >= 4 && bytes.compare(4, out.size(), out) == 0)) << "seed " << seed;

        const std::string text = AnyBytes(seed * 7 % 300, seed), charset = AnyBytes(seed % 5, seed + 1);
        EXPECT_EQ(AtText::KeepChars(text, charset).size() + AtText::RemoveChars(text, charset).size(), text.size());
        const std::string separator = AnyBytes(1, seed + 2);
        Parts parts;
        AtText::Split(text, separator, parts);
        std::string joined;
        for (size_t i = 0; i < parts.size(); ++i) joined += (i ? separator : "") + parts[i];
        EXPECT_TRUE(joined == text || joined + separator == text) << "seed " << seed;
        const std::string head = text.substr(seed % (text.size() + 1), 2);
        const std::string field = AtText::GetBetween(text, head, AnyBytes(1, seed + 3));
        EXPECT_TRUE(field.empty() || text.find(head + field) != std::string::npos) << "seed " << seed;
        AtText::HexToDec("0x" + text);
    }
}

}  // namespace
