// The AT reply text operations: one table per operation, then arbitrary bytes for each.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/parser/AtText.h"

namespace {

using Parts = std::vector<std::string>;

template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// A heap copy of exactly length bytes, so that a read past length is caught by the sanitizers.
std::unique_ptr<unsigned char[]> ExactCopy(const std::string& bytes, std::uint32_t length) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[length == 0 ? 1 : length]);
    std::memcpy(copy.get(), bytes.data(), length);
    return copy;
}

struct PayloadRow {
    const char* name;
    std::string buffer;
    std::uint32_t length;  // no more than buffer.size()
    std::string before;    // what out held already
    std::string expected;
};

class ExtractPayloadTest : public ::testing::TestWithParam<PayloadRow> {};

TEST_P(ExtractPayloadTest, AppendsPayloadOrPlainText) {
    const PayloadRow& row = GetParam();
    ASSERT_LE(row.length, row.buffer.size());
    std::string out = row.before;
    AtText::ExtractPayload(ExactCopy(row.buffer, row.length).get(), row.length, out);
    EXPECT_EQ(out, row.expected);
}

const PayloadRow kPayloadRows[] = {
    {"CountThenPayload", Bytes("\3\0\0\0abc"), 7, "", "abc"},
    {"PlainOkReply", "\r\nOK\r\n", 6, "", "\r\nOK\r\n"},
    {"AppendsNotReplaces", Bytes("\3\0\0\0abc"), 7, "x", "xabc"},
    {"CountIsLittleEndian", Bytes("\0\1\0\0") + std::string(256, 'p'), 260, "", std::string(256, 'p')},
    {"BytesAfterPayloadDropped", Bytes("\2\0\0\0abXY"), 8, "", "ab"},
    {"ZeroCountGivesNothing", Bytes("\0\0\0\0zz"), 6, "", ""},
    {"PayloadWithNulBytes", Bytes("\4\0\0\0a\0\0b"), 8, "", Bytes("a\0\0b")},
    {"LengthEqualToCountIsPlain", Bytes("\6\0\0\0ab"), 6, "", Bytes("\6\0\0\0ab")},
    {"LengthShortOfCountPlusFourIsPlain", Bytes("\5\0\0\0abc"), 7, "", Bytes("\5\0\0\0abc")},
    {"HugeCountIsPlain", "\377\377\377\377abc", 7, "", "\377\377\377\377abc"},
    {"ShorterThanACount", "ab", 2, "", "ab"},
    {"ThreeBytes", Bytes("\1\0\0"), 3, "", Bytes("\1\0\0")},
    {"Empty", "", 0, "keep", "keep"},
    {"LengthBelowBufferSize", "\r\nOK\r\n", 4, "", "\r\nOK"},
};

INSTANTIATE_TEST_SUITE_P(Buffers, ExtractPayloadTest, ::testing::ValuesIn(kPayloadRows), RowName<PayloadRow>);

struct FilterRow {
    const char* name;
    std::string text, charset;
    std::string kept, removed;  // by KeepChars and by RemoveChars
};

class FilterTest : public ::testing::TestWithParam<FilterRow> {};

TEST_P(FilterTest, KeepCharsAndRemoveChars) {
    EXPECT_EQ(AtText::KeepChars(GetParam().text, GetParam().charset), GetParam().kept);
    EXPECT_EQ(AtText::RemoveChars(GetParam().text, GetParam().charset), GetParam().removed);
}

const FilterRow kFilterRows[] = {
    {"DigitsOfATime", "12:34", "0123456789", "1234", ":"},
    {"QuotedText", "\"A\"", "\"", "\"\"", "A"},
    {"EmptyCharset", "abc", "", "", "abc"},
    {"EmptyText", "", "abc", "", ""},
    {"OrderAndRepeatsKept", "a1b2a3", "ab", "aba", "123"},
    {"LineEnds", "\r\n+X: 1\r\n", "\r\n", "\r\n\r\n", "+X: 1"},
    {"NulByteIsACharacter", Bytes("1\0002"), Bytes("\0"), Bytes("\0"), "12"},
    {"HighBytes", "\377\200a", "\377", "\377", "\200a"},
    {"CaseMatters", "aA", "a", "a", "A"},
};

INSTANTIATE_TEST_SUITE_P(Texts, FilterTest, ::testing::ValuesIn(kFilterRows), RowName<FilterRow>);

struct HexRow {
    const char* name;
    std::string text, expected;
};

class HexToDecTest : public ::testing::TestWithParam<HexRow> {};

TEST_P(HexToDecTest, GivesSignedDecimal) {
    EXPECT_EQ(AtText::HexToDec(GetParam().text), GetParam().expected);
}

const HexRow kHexRows[] = {
    {"LowerCasePrefix", "0x1a", "26"},
    {"NoPrefix", "1A", "0"},
    {"BlankBeforePrefix", " 0x1A", "0"},
    {"PrefixLater", "00x1", "0"},
    {"PrefixAlone", "0X", "0"},
    {"Empty", "", "0"},
    {"ZeroAlone", "0", "0"},
    {"LineEndCountsAsDigits", "0x1A\r\n", "6058"},  // (26 * 16 + 13 - 48) * 16 + 10 - 48
    {"BlankCountsAsDigit", "0x 1", "-255"},
    {"LetterBeyondF", "0xG", "16"},
    {"SecondPrefixIsDigits", "0x0x1", "529"},
    {"HighByteIsNegativeDigit", "0x\377", "-49"},
    {"AllOnesIsMinusOne", "0XFFFFFFFF", "-1"},
    {"LargestPositive", "0x7fffffff", "2147483647"},
    {"SmallestNegative", "0x80000000", "-2147483648"},
    {"WrapsAt32Bits", "0x100000001", "1"},
    {"NulByteIsADigit", Bytes("0x1\0"), "-32"},
};

INSTANTIATE_TEST_SUITE_P(Texts, HexToDecTest, ::testing::ValuesIn(kHexRows), RowName<HexRow>);

struct SplitRow {
    const char* name;
    std::string text, separator;
    Parts before, expected;
};

class SplitTest : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitTest, AppendsPieces) {
    Parts parts = GetParam().before;
    AtText::Split(GetParam().text, GetParam().separator, parts);
    EXPECT_EQ(parts, GetParam().expected);
}

const SplitRow kSplitRows[] = {
    {"EmptyPieceKeptLastDropped", "a,b,,c,", ",", {}, {"a", "b", "", "c"}},
    {"EmptyText", "", ",", {}, {}},
    {"NoSeparator", "abc", ",", {}, {"abc"}},
    {"LeadingSeparator", ",a", ",", {}, {"", "a"}},
    {"OnlySeparators", ",,", ",", {}, {"", ""}},
    {"AppendsNotReplaces", "a,b", ",", {"x"}, {"x", "a", "b"}},
    {"VersionFields", "\r\n1.2.3\r\n", "\r\n", {}, {"", "1.2.3"}},
    {"LongerSeparatorSkippedWhole", "a::b", "::", {}, {"a", "b"}},
    {"NulSeparator", Bytes("a\0b"), Bytes("\0"), {}, {"a", "b"}},
    {"EmptySeparatorKeepsTextWhole", "ab", "", {}, {"ab"}},
};

INSTANTIATE_TEST_SUITE_P(Texts, SplitTest, ::testing::ValuesIn(kSplitRows), RowName<SplitRow>);

struct BetweenRow {
    const char* name;
    std::string text, head, tail, expected;
};

class GetBetweenTest : public ::testing::TestWithParam<BetweenRow> {};

TEST_P(GetBetweenTest, CutsField) {
    EXPECT_EQ(AtText::GetBetween(GetParam().text, GetParam().head, GetParam().tail), GetParam().expected);
}

const BetweenRow kBetweenRows[] = {
    {"CarrierReply", "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n", "+GTCURCAR:", "\r\n", " 5"},
    {"TailRightAfterHead", "+GTCURCAR:\r\nOK", "+GTCURCAR:", "\r\n", ""},
    {"TailOnlyBeforeHead", "\r\n+GTCURCAR: 5", "+GTCURCAR:", "\r\n", ""},
    {"TailBeforeAndAfterHead", "; +X:1;", "+X:", ";", "1"},
    {"TailInsideHeadEndsThere", "+GTCURCAR: 5\r\n", "+GTCURCAR:", ":", ""},
    {"FirstHeadDecides", "+X:1;+X:2;", "+X:", ";", "1"},
    {"HeadMissing", "abc", "+X:", ";", ""},
    {"TailMissing", "+X: 1", "+X:", ";", ""},
    {"EmptyHeadFromStart", "abc", "", "c", "ab"},
    {"EmptyTail", "+X: 1", "+X:", "", ""},
    {"NulBytesInside", Bytes("H\0a\0T"), "H", "T", Bytes("\0a\0")},
    {"EmptyText", "", "+X:", ";", ""},
};

INSTANTIATE_TEST_SUITE_P(Texts, GetBetweenTest, ::testing::ValuesIn(kBetweenRows), RowName<BetweenRow>);

// Deterministic pseudo-random bytes: every value, NULs and high bytes included.
std::string AnyBytes(size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
}

TEST(AtTextBadInput, ExtractPayloadNeverReadsPastLength) {
    std::string out = "keep";
    AtText::ExtractPayload(nullptr, 16, out);
    EXPECT_EQ(out, "keep") << "a null buffer appends nothing";
    for (std::uint32_t length = 0; length < 80; ++length) {
        for (std::uint32_t seed = 0; seed < 40; ++seed) {
            std::string bytes = AnyBytes(length, seed * 977 + length);
            if (length >= 4 && seed % 2 == 0)
                bytes.replace(0, 4, std::string{static_cast<char>(seed % (length + 3)), 0, 0, 0});
            out.clear();
            AtText::ExtractPayload(ExactCopy(bytes, length).get(), length, out);
            // Either the whole buffer or a piece right after the count.
            EXPECT_TRUE(out == bytes || (length >= 4 && bytes.compare(4, out.size(), out) == 0)) << "length " << length;
        }
    }
}

TEST(AtTextBadInput, FiltersSplitAndCutHoldOnAnyBytes) {
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        const std::string text = AnyBytes(seed * 7 % 300, seed), charset = AnyBytes(seed % 5, seed + 1);
        // Every byte is either kept or removed.
        EXPECT_EQ(AtText::KeepChars(text, charset).size() + AtText::RemoveChars(text, charset).size(), text.size());

        const std::string separator = AnyBytes(1, seed + 2);
        Parts parts;
        AtText::Split(text, separator, parts);
        std::string joined;
        for (size_t i = 0; i < parts.size(); ++i) joined += (i ? separator : "") + parts[i];
        EXPECT_TRUE(joined == text || joined + separator == text) << "seed " << seed;  // only a last separator goes

        const std::string head = text.substr(seed % (text.size() + 1), 2);
        const std::string field = AtText::GetBetween(text, head, AnyBytes(1, seed + 3));
        EXPECT_TRUE(field.empty() || text.find(head + field) != std::string::npos) << "seed " << seed;
        AtText::HexToDec("0x" + text);
    }
}

}  // namespace
