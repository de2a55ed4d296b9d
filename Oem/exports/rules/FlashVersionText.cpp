#include "exports/rules/FlashVersionText.h"

#include "exports/rules/VersionRules.h"

namespace FlashVersionText {

void ExtractQuoted(std::string& text) {
    const size_t first = text.find('"');
    const size_t last = text.rfind('"');
    if (first == std::string::npos || first == last) return;
    text = text.substr(first + 1, last - first - 1);
}

std::string JoinSegmentsFrom(const std::vector<std::string>& segments, std::size_t first) {
    std::string joined;
    for (std::size_t i = first; i < segments.size(); ++i) {
        if (i > first) joined += '.';
        joined += segments[i];
    }
    return joined;
}

std::string NvmVersionFromSegments(const std::string& extracted, const std::vector<std::string>& segments) {
    if (segments.size() >= 6) return segments[3] + "." + segments[5];
    return extracted;
}

FlashDecision Decide(const std::string& modemVersion, const std::string& modemVersionNew, const std::string& nvmVersion,
                     const std::string& nvmVersionNew) {
    FlashDecision decision = {false, false, false};
    if (modemVersion.empty() || nvmVersion.empty()) return decision;
    decision.Result = true;
    decision.FlashModemImage = !VersionRules::SameVersion(modemVersion, modemVersionNew);
    decision.FlashNVMImage = !VersionRules::SameVersion(nvmVersion, nvmVersionNew);
    return decision;
}

}  // namespace FlashVersionText
