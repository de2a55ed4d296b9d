#pragma once
// The rules for version texts, shared by the version-comparison exports and the flash
// decision. A version is 8-bit text of fields separated by "."; fields stay text (010 and 10
// differ, blanks and zeros are never trimmed), and every comparison is made after upper-casing
// each byte with toupper in the "C" locale (AsciiText::UpperCaseInPlace): blind to ASCII case,
// to nothing else. Plain C++: no platform header.

#include <string>
#include <vector>

namespace VersionRules {

// Which rule CompareVersionTexts applies; the values are the ones the exports pass.
enum class VersionKind : int {
    Carrier = 3,  // the whole strings are compared
    Package = 4,  // the first three fields of each side do not count
};

// Passes of DropLeadingFields that the package kind applies to each side.
constexpr int kPackageFieldsDropped = 3;

// True when a and b have the same length and the same bytes after upper-casing. No ordering,
// no tolerance: "1.0" and "1.00" differ.
bool SameVersion(const std::string& a, const std::string& b);

// Repeats passes times: removes everything up to and including the first "." of what is
// left. A pass that finds no "." changes nothing (and so do the passes after it), so a text
// with fewer full stops than passes keeps what follows its last one. passes <= 0: no change.
void DropLeadingFields(std::string& text, int passes);

// Splits a modem reply into fields, appending to segments without clearing it first. Works
// on its own copy of text: upper-cases it, cuts it at the first "\r\n\r\nOK\r\n", removes its
// first "\r\n" (later line breaks stay inside a segment), then appends the text before each
// "." (empty segments included) and the non-empty rest after the last one.
void SplitVersionReply(const std::string& text, std::vector<std::string>& segments);

// What CompareVersionTexts found: the two parts as they were compared (after dropping fields
// for the package kind, and upper-casing) and whether they differ.
struct VersionComparison {
    bool differ = false;
    std::string currentPart;
    std::string newPart;
};

// Whether the installed version and the new one differ under the rule of kind. Which one is
// newer does not matter: any difference asks for an update, equal versions never do.
VersionComparison CompareVersionTexts(VersionKind kind, const std::string& current, const std::string& next);

}  // namespace VersionRules
