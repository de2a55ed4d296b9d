#pragma once
// The refusal of a modem profile the simulated modem could not answer from.

#include <string>

// The profile the simulated modem is to answer from (profile, from --profile, else the one the
// environment variable OEMSIM_PROFILE names; none: the simulator's default) read and parsed as
// the simulator reads it. False, after saying on standard error which file and why, when it
// cannot be used: oemhost then sends nothing.
bool ProfileUsable(const std::string& profile);
