// The version replies of the flash decision, reduced as the export reduces them: the firmware
// query's (two leading fields skipped), ati8's (three) and the NVM query's.
#include <algorithm>
#include <vector>

#include "FuzzKit.h"
#include "exports/rules/FlashVersionText.h"
#include "exports/rules/VersionRules.h"

static std::size_t Dots(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int query = input.ConsumeIntegralInRange(0, 2);
    std::string newVersion = input.ConsumeRandomLengthString();
    std::string reply = input.ConsumeRemainingBytesAsString();
    FlashVersionText::ExtractQuoted(reply);
    std::vector<std::string> segments;
    VersionRules::SplitVersionReply(reply, segments);
    // Never more segments than the text holds fields, and no segment holds a separator.
    FUZZ_CHECK(segments.size() <= Dots(reply) + 1);
    for (const std::string& segment : segments) FUZZ_CHECK(segment.find('.') == std::string::npos);

    std::string current;
    if (query == 2) {
        current = FlashVersionText::NvmVersionFromSegments(reply, segments);
        FUZZ_CHECK(segments.size() >= 6 ? Dots(current) == 1 : current == reply);
    } else {
        const std::size_t skip = static_cast<std::size_t>(query) + 2;
        current = FlashVersionText::JoinSegmentsFrom(segments, skip);
        FUZZ_CHECK(Dots(current) + skip + 1 == std::max(segments.size(), skip + 1));
        VersionRules::DropLeadingFields(newVersion, static_cast<int>(skip));
    }
    // A version read is never to be flashed over itself; nothing is flashed without one.
    const FlashDecision same = FlashVersionText::Decide(current, current, current, newVersion);
    FUZZ_CHECK(same.Result == !current.empty() && !same.FlashModemImage);
    FUZZ_CHECK(same.Result || !same.FlashNVMImage);
    return 0;
}
