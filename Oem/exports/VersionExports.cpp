#include "exports/VersionExports.h"

#include <string>

#include "exports/ModemExportFrame.h"
#include "tools/win/CatchResult.h"

static_assert(sizeof(bool) == 1, "the exports answer with a one-byte boolean");

bool CompareVersions(const ExportEnvironment& environment, VersionRules::VersionKind kind, const char* current,
                     const char* next) noexcept {
    return CatchResult<bool>(true, [&] {
        const bool package = kind == VersionRules::VersionKind::Package;
        const std::string currentText(current);
        const std::string newText(next);
        environment.Log(
            2,
            package ? "Package Ver current is:%s  ,new coming is:%s" : "Carrier Ver current is:%s  ,new coming is:%s",
            currentText.c_str(), newText.c_str());
        const VersionRules::VersionComparison comparison =
            VersionRules::CompareVersionTexts(kind, currentText, newText);
        environment.Log(2,
                        package ? "PackageVer comparing current-part is:%s  ,new coming-part is:%s"
                                : "Carrier Ver comparing current-part is:%s  ,new coming-part is:%s",
                        comparison.currentPart.c_str(), comparison.newPart.c_str());
        return comparison.differ;
    });
}

extern "C" bool OEM_Check_If_UpdateCurrentPackage(const char* current, const char* next) {
    return CompareVersions(ProcessEnvironment(), VersionRules::VersionKind::Package, current, next);
}

extern "C" bool OEM_Check_If_UpdateCurrentCarrierInPackage(void* /*reserved*/, const char* current, const char* next) {
    // No carrier installed yet: always install, without a line and without reading next.
    if (current[0] == '\0') return true;
    return CompareVersions(ProcessEnvironment(), VersionRules::VersionKind::Carrier, current, next);
}
