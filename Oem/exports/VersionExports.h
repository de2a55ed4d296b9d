#pragma once
// The two version-comparison exports: pure text comparison plus two module-log lines, no
// export lock and no channel, so they may run on any host thread at once.

#include "Oem.h"
#include "exports/ExportEnvironment.h"
#include "exports/rules/VersionRules.h"

// True when the two versions differ under the rule of kind. Writes at level 2 the versions as
// received, then the parts as compared. An allocation failure answers true: asking for an
// update that was not needed is safer than skipping one that was.
bool CompareVersions(const ExportEnvironment& environment, VersionRules::VersionKind kind, const char* current,
                     const char* next) noexcept;
