#include "ModemAnswers.h"

#include "CarrierModel.h"
#include "SimEnvironment.h"

bool ReadModemProfile(const std::string& path, SimProfile::ModemProfile* profile) {
    std::string error;
    if (SimProfile::ModemProfile::ReadFile(path, profile, &error)) return true;
    Complain("oemsim: " + error + "\n");
    return false;
}

ModemAnswers::ModemAnswers(HMODULE module) : startProfilePath_(EnvironmentText("OEMSIM_PROFILE")) {
    if (startProfilePath_.empty()) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(module, path, MAX_PATH);
        startProfilePath_ = path;
        startProfilePath_.erase(startProfilePath_.rfind('\\') + 1);
        startProfilePath_ += "default-profile.txt";
    }
}

void ModemAnswers::TakeProfile(const std::string& path, const SimProfile::ModemProfile& profile, bool fromSaved) {
    profile_ = profile;
    profileLoaded_ = true;
    saved_ = SavedCarrierState(path, _stricmp(path.c_str(), startProfilePath_.c_str()) == 0);
    if (!fromSaved) saved_.Remove();
    carrier_.reset();
    if (const SimProfile::CarrierState* factory = profile_.carrierFactory()) {
        carrier_ = *factory;
        if (fromSaved) saved_.Read(&*carrier_);
    }
}

void ModemAnswers::Reset(const SimProfile::ModemProfile& start) {
    scripted_.clear();
    TakeProfile(startProfilePath_, start, false);
}

const SimProfile::ModemProfile& ModemAnswers::Profile() {
    // Read on first use, not at process attach.
    if (!profileLoaded_) {
        SimProfile::ModemProfile loaded;
        ReadModemProfile(startProfilePath_, &loaded);
        TakeProfile(startProfilePath_, loaded, true);
    }
    return profile_;
}

std::string ModemAnswers::Answer(const std::string& command) {
    // A scripted reply stands in for the modem altogether.
    const auto scripted = scripted_.find(command);
    if (scripted != scripted_.end()) return scripted->second;
    const SimProfile::ModemProfile& profile = Profile();
    if (carrier_ && !profile.ListsExactly(command)) {
        std::string reply;
        const SimProfile::CarrierAnswer answer =
            SimProfile::AnswerCarrierCommand(command, *profile.carrierFactory(), &*carrier_, &reply);
        if (answer == SimProfile::CarrierAnswer::Changed) saved_.Save(*carrier_);
        if (answer != SimProfile::CarrierAnswer::NotCarrierCommand) return reply;
    }
    return profile.ReplyTo(command);
}
