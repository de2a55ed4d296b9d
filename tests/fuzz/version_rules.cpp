// The version rules: both comparison kinds over two texts of any bytes, and dropping fields.
#include "FuzzKit.h"
#include "exports/rules/VersionRules.h"
#include "text/AsciiText.h"

using namespace VersionRules;

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int passes = input.ConsumeIntegralInRange(-1, 1 << 20);
    const std::string a = input.ConsumeRandomLengthString(), b = input.ConsumeRemainingBytesAsString();
    // Exactly min(passes, full stops) leading fields go: what is left ends the text, after a full stop.
    std::string left = a;
    DropLeadingFields(left, passes);
    const std::size_t cut = a.size() - left.size();
    FUZZ_CHECK(a.compare(cut, std::string::npos, left) == 0 && (cut == 0 || a[cut - 1] == '.'));
    FUZZ_CHECK(std::count(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(cut), '.') ==
               std::min<std::ptrdiff_t>(std::max(passes, 0), std::count(a.begin(), a.end(), '.')));
    // The kind's parts, upper-cased, differ or not; which side is installed does not matter, and a
    // text, in any case, never differs from itself.
    DropLeadingFields(left = a, kPackageFieldsDropped);
    for (const VersionKind kind : {VersionKind::Carrier, VersionKind::Package}) {
        const VersionComparison ab = CompareVersionTexts(kind, a, b), ba = CompareVersionTexts(kind, b, a);
        FUZZ_CHECK(ab.currentPart == AsciiText::UpperCased(kind == VersionKind::Package ? left : a));
        FUZZ_CHECK(ab.differ == ba.differ && ab.currentPart == ba.newPart &&
                   ab.differ == (ab.currentPart != ab.newPart));
        FUZZ_CHECK(!CompareVersionTexts(kind, a, AsciiText::UpperCased(a)).differ);
    }
}
