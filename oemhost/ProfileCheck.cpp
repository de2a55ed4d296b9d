#include "ProfileCheck.h"

#include <cstdio>

#include "ModemProfile.h"
#include "SimEnvironment.h"

bool ProfileUsable(const std::string& profile) {
    const std::string path = profile.empty() ? EnvironmentText("OEMSIM_PROFILE") : profile;
    SimProfile::ModemProfile parsed;
    std::string error;
    if (path.empty() || SimProfile::ModemProfile::ReadFile(path, &parsed, &error)) return true;
    std::fprintf(stderr, "oemhost: %s\noemhost: the simulated modem cannot answer from it; nothing was sent\n",
                 error.c_str());
    return false;
}
