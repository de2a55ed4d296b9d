#pragma once
// What the simulated modem answers from and keeps between runs: its modem profile, the replies
// a test scripted ahead of it, and the carrier state, saved after each change in the profile's
// own file (SavedCarrierState.h). The modem (ModemState.h) calls it under its own lock.

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "CarrierState.h"
#include "ModemProfile.h"
#include "SavedCarrierState.h"

// The modem profile at path; false, said on standard error, when it cannot be used.
bool ReadModemProfile(const std::string& path, SimProfile::ModemProfile* profile);

class ModemAnswers {
public:
    // The start profile: OEMSIM_PROFILE, else default-profile.txt beside module. Nothing is read
    // yet: the profile is read on first use.
    explicit ModemAnswers(HMODULE module);

    const std::string& startProfilePath() const { return startProfilePath_; }

    // Takes profile, read from path, with its carrier state: the one saved for it when
    // fromSaved, else its factory values (its saved state is then removed).
    void TakeProfile(const std::string& path, const SimProfile::ModemProfile& profile, bool fromSaved);
    // start, read from the start profile, from its factory values, and no scripted reply.
    void Reset(const SimProfile::ModemProfile& start);
    void Script(const std::string& command, const std::string& reply) { scripted_[command] = reply; }

    // A scripted reply, else that of the carrier model, else that of the profile; a change of
    // the carrier state is saved.
    std::string Answer(const std::string& command);

private:
    // Without a readable start profile the modem answers every command with ERROR.
    const SimProfile::ModemProfile& Profile();

    std::string startProfilePath_;
    std::map<std::string, std::string> scripted_;
    bool profileLoaded_ = false;
    SimProfile::ModemProfile profile_;
    // Present while the profile has a carrier model.
    std::optional<SimProfile::CarrierState> carrier_;
    SavedCarrierState saved_;
};
