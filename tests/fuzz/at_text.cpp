// The AT parser's text operations and the number reading below the reply rules: a charset,
// head or separator, and a tail from the input, the text after them.
#include <algorithm>
#include <climits>
#include <vector>

#include "FuzzKit.h"
#include "text/AsciiText.h"
#include "tools/parser/AtText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The fuzzer's own buffer is exactly size bytes long: a read past length is caught.
    std::string payload;
    AtText::ExtractPayload(data, static_cast<std::uint32_t>(size), payload);
    FUZZ_CHECK(payload == FuzzBytes(data, size) || (size >= 4 && payload == FuzzBytes(data + 4, payload.size())));

    FuzzedDataProvider input(data, size);
    const std::string set = input.ConsumeRandomLengthString(16), tail = input.ConsumeRandomLengthString(16);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string kept = AtText::KeepChars(text, set), removed = AtText::RemoveChars(text, set);
    FUZZ_CHECK(kept.size() + removed.size() == text.size());
    for (const char c : kept) FUZZ_CHECK(set.find(c) != std::string::npos);
    for (const char c : removed) FUZZ_CHECK(set.find(c) == std::string::npos);
    // The pieces joined with the separator give the text back, less a last separator.
    std::vector<std::string> parts;
    AtText::Split(text, set, parts);
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) joined += (i == 0 ? "" : set) + parts[i];
    FUZZ_CHECK(joined == text || joined + set == text);
    const std::string between = AtText::GetBetween(text, set, tail);
    // A field stands in the text between the first head and the first tail from there on.
    const std::string framed = set + between + tail;
    if (!between.empty()) FUZZ_CHECK(text.compare(text.find(set), framed.size(), framed) == 0);
    if (!between.empty()) FUZZ_CHECK(framed.find(tail) == set.size() + between.size());
    // Hexadecimal digits after "0x" read as a wrapping 32-bit number; text without "0x" is 0.
    const std::string dec = AtText::HexToDec(text);
    const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                     text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (hex) FUZZ_CHECK(dec == std::to_string(static_cast<std::int32_t>(std::stoul(text, nullptr, 16))));
    if (text.size() < 2 || (text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))) FUZZ_CHECK(dec == "0");
    // atoi's reading, saturated at the 32-bit limits.
    const long long atoi = std::strtoll(text.c_str(), nullptr, 10);
    FUZZ_CHECK(AsciiText::AtoiLike(text) == std::min<long long>(std::max<long long>(atoi, INT_MIN), INT_MAX));
    return 0;
}
