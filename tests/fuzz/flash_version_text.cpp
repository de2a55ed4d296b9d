// The version replies of the flash decision, reduced as the export reduces them: the firmware
// query's (two leading fields skipped), ati8's (three) and the NVM query's (query 2).
#include "FuzzKit.h"
#include "exports/rules/FlashVersionText.h"
#include "exports/rules/VersionRules.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    const auto dots = [](const std::string& text) { return std::count(text.begin(), text.end(), '.'); };
    FuzzedDataProvider input(data, size);
    const std::size_t query = input.ConsumeIntegralInRange(0, 2), skip = query + 2;
    std::string reply = input.ConsumeRemainingBytesAsString();
    FlashVersionText::ExtractQuoted(reply);
    std::vector<std::string> segments;
    VersionRules::SplitVersionReply(reply, segments);
    // Never more segments than the text holds fields, none holding a full stop.
    FUZZ_CHECK(segments.size() <= static_cast<std::size_t>(dots(reply)) + 1);
    for (const std::string& segment : segments) FUZZ_CHECK(dots(segment) == 0);
    const std::string current = query == 2 ? FlashVersionText::NvmVersionFromSegments(reply, segments)
                                           : FlashVersionText::JoinSegmentsFrom(segments, skip);
    if (query == 2) FUZZ_CHECK(segments.size() >= 6 ? dots(current) == 1 : current == reply);
    if (query != 2) FUZZ_CHECK(dots(current) + skip + 1 == std::max(segments.size(), skip + 1));
    // A version read is never flashed over itself; nothing is flashed without one.
    const FlashDecision same = FlashVersionText::Decide(current, current, current, reply);
    FUZZ_CHECK(same.Result == !current.empty() && !same.FlashModemImage && (same.Result || !same.FlashNVMImage));
}
