#include "exports/rules/VersionRules.h"

#include "text/AsciiText.h"

namespace VersionRules {

bool SameVersion(const std::string& a, const std::string& b) {
    return a.size() == b.size() && AsciiText::UpperCased(a) == AsciiText::UpperCased(b);
}

void DropLeadingFields(std::string& text, int passes) {
    // One erase at the end keeps a long text linear however many passes are asked for.
    size_t keepFrom = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const size_t dot = text.find('.', keepFrom);
        if (dot == std::string::npos) break;
        keepFrom = dot + 1;
    }
    text.erase(0, keepFrom);
}

void SplitVersionReply(const std::string& text, std::vector<std::string>& segments) {
    std::string copy = AsciiText::UpperCased(text);
    const size_t trailer = copy.find("\r\n\r\nOK\r\n");
    if (trailer != std::string::npos) copy.erase(trailer);
    const size_t lineBreak = copy.find("\r\n");
    if (lineBreak != std::string::npos) copy.erase(lineBreak, 2);

    size_t start = 0;
    while (start < copy.size()) {
        const size_t dot = copy.find('.', start);
        if (dot == std::string::npos) break;
        segments.push_back(copy.substr(start, dot - start));
        start = dot + 1;
    }
    if (start < copy.size()) segments.push_back(copy.substr(start));
}

VersionComparison CompareVersionTexts(VersionKind kind, const std::string& current, const std::string& next) {
    VersionComparison comparison;
    comparison.currentPart = current;
    comparison.newPart = next;
    if (kind == VersionKind::Package) {
        DropLeadingFields(comparison.currentPart, kPackageFieldsDropped);
        DropLeadingFields(comparison.newPart, kPackageFieldsDropped);
    }
    AsciiText::UpperCaseInPlace(comparison.currentPart);
    AsciiText::UpperCaseInPlace(comparison.newPart);
    comparison.differ = !SameVersion(comparison.currentPart, comparison.newPart);
    return comparison;
}

}  // namespace VersionRules
