#pragma once
// The carrier state a profile's modem reached, kept between runs in a file of that profile's
// own, so that a run with another profile starts from that profile's values and going back to
// a profile finds its own state. The file is named after the profile's full path, in
// %ProgramData%\OemSim\; OEMSIM_STATE, when set, names the file of the profile the simulator
// starts with (other profiles keep theirs beside it). The file names its profile on its first
// line; one written for another profile is not read.

#include <string>

#include "CarrierState.h"

class SavedCarrierState {
public:
    SavedCarrierState() = default;
    // startProfile: the profile the simulator starts with, whose file OEMSIM_STATE may name.
    SavedCarrierState(const std::string& profilePath, bool startProfile);

    // The saved state over state, when this profile has one; state is untouched otherwise.
    void Read(SimProfile::CarrierState* state) const;
    // Written whole beside the file, into a file made new under a name nobody can guess, and
    // then moved over it, so that a modem starting in another process reads the old state or
    // the new one, never a part, and no link planted in the folder is written through.
    void Save(const SimProfile::CarrierState& state) const;
    // The factory values need no file: a run that finds none starts from them.
    void Remove() const;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string header_;  // the first line, naming the profile
};
