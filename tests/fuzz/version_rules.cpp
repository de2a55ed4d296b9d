// The version rules: both comparison kinds over two texts of any bytes, and dropping fields.
#include <algorithm>

#include "FuzzKit.h"
#include "exports/rules/VersionRules.h"
#include "text/AsciiText.h"

using namespace VersionRules;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int passes = input.ConsumeIntegralInRange(-1, 8);
    const std::string a = input.ConsumeRandomLengthString();
    const std::string b = input.ConsumeRemainingBytesAsString();
    for (const VersionKind kind : {VersionKind::Carrier, VersionKind::Package}) {
        const VersionComparison ab = CompareVersionTexts(kind, a, b), ba = CompareVersionTexts(kind, b, a);
        // Which side is installed does not matter; a text, in any case, never differs from itself.
        FUZZ_CHECK(ab.differ == ba.differ && ab.currentPart == ba.newPart && ab.newPart == ba.currentPart);
        FUZZ_CHECK(ab.differ == (ab.currentPart != ab.newPart));
        FUZZ_CHECK(!CompareVersionTexts(kind, a, AsciiText::UpperCased(a)).differ);
    }
    FUZZ_CHECK(SameVersion(a, b) == SameVersion(b, a) && SameVersion(a, a));
    // Dropping takes whole leading fields, at most passes of them: what is left ends the text
    // and follows a separator.
    std::string left = a;
    DropLeadingFields(left, passes);
    const std::size_t cut = a.size() - left.size();
    FUZZ_CHECK(a.compare(cut, std::string::npos, left) == 0 && (cut == 0 || a[cut - 1] == '.'));
    FUZZ_CHECK(std::count(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(cut), '.') <= std::max(passes, 0));
    return 0;
}
