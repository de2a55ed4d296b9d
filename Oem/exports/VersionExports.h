#pragma once
// The two version-comparison exports: pure text comparison plus two module-log lines, no
// export lock and no channel, so they may run on any host thread at once.

#include "exports/ExportEnvironment.h"
#include "exports/rules/VersionRules.h"

// True when the two versions differ under the rule of kind. Writes at level 2 the versions as
// received, then the parts as compared. An allocation failure answers true: asking for an
// update that was not needed is safer than skipping one that was.
bool CompareVersions(const ExportEnvironment& environment, VersionRules::VersionKind kind, const char* current,
                     const char* next) noexcept;

extern "C" bool OEM_Check_If_UpdateCurrentPackage(const char* current, const char* next);
// reserved is never read; it only keeps the two versions in the second and third places.
extern "C" bool OEM_Check_If_UpdateCurrentCarrierInPackage(void* reserved, const char* current, const char* next);
