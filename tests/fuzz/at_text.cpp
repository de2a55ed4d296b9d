// The AT parser's text operations and the number reading below the reply rules: a charset,
// separator or head, and a tail from the input, then the text.
#include "FuzzKit.h"
#include "text/AsciiText.h"
#include "tools/parser/AtText.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    // A count that the buffer holds yields that payload, any other buffer itself; the fuzzer's
    // buffer is exactly size bytes, so a read past length is caught.
    std::string payload;
    AtText::ExtractPayload(data, static_cast<std::uint32_t>(size), payload);
    const std::uint64_t count = size < 4 ? size : data[0] | data[1] << 8 | data[2] << 16 | std::uint64_t{data[3]} << 24;
    FUZZ_CHECK(payload == (size >= 4 && count + 4 <= size ? Bytes(data + 4, count) : Bytes(data, size)));

    FuzzedDataProvider input(data, size);
    const std::string set = input.ConsumeRandomLengthString(16), tail = input.ConsumeRandomLengthString(16);
    const std::string text = input.ConsumeRemainingBytesAsString();
    std::string in, out;
    for (const char c : text) (set.find(c) != std::string::npos ? in : out) += c;
    FUZZ_CHECK(AtText::KeepChars(text, set) == in && AtText::RemoveChars(text, set) == out);
    // Pieces appended, none holding the separator, that joined give the text less a last separator
    // (an empty last piece is not appended).
    std::vector<std::string> parts = {"x"};
    AtText::Split(text, set, parts);
    std::string joined;
    for (std::size_t i = 1; i < parts.size(); ++i) joined += (i == 1 ? "" : set) + parts[i];
    for (std::size_t i = 1; i < parts.size(); ++i) FUZZ_CHECK(set.empty() || parts[i].find(set) == std::string::npos);
    FUZZ_CHECK(parts[0] == "x" &&
               (joined + set == text || (joined == text && (parts.size() == 1 || !parts.back().empty()))));
    // A field stands between the first head and the first tail from where that head begins.
    const std::string between = AtText::GetBetween(text, set, tail), framed = set + between + tail;
    FUZZ_CHECK(between.empty() || (text.compare(text.find(set), framed.size(), framed) == 0 &&
                                   framed.find(tail) == set.size() + between.size()));
    // Up to 16 hexadecimal digits after "0x" read as a wrapping 32-bit number; no "0x" reads 0.
    const bool prefixed = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!prefixed) FUZZ_CHECK(AtText::HexToDec(text) == "0");
    if (prefixed && text.size() > 2 && text.size() <= 18 &&
        text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos)
        FUZZ_CHECK(AtText::HexToDec(text) == std::to_string(static_cast<std::int32_t>(std::stoull(text, nullptr, 16))));
    // atoi's reading, saturated at the 32-bit limits.
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    FUZZ_CHECK(AsciiText::AtoiLike(text) == std::min<long long>(std::max<long long>(number, INT_MIN), INT_MAX));
}
