#include "ModemState.h"

#include <memory>
#include <mutex>

#include "FaultEffects.h"
#include "SimEnvironment.h"
#include "tools/win/ScopedSafeArray.h"

const wchar_t kAtServiceId[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const wchar_t* const kInterfaceIds[kInterfaceSlots] = {
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A01}",
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A02}",
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A03}",
};

namespace {

// How long SetCommand waits for its completion to get under way before returning anyway.
constexpr DWORD kUnderwayWaitMs = 5000;
// Time for the sink to get past its first steps once its callback has been entered.
constexpr DWORD kUnderwaySettleMs = 50;
// A reply in two fragments: the second after the caller has most likely taken the first.
constexpr DWORD kSecondFragmentMs = 300;

using Guard = std::lock_guard<CriticalSection>;

HRESULT ReadBytes(SAFEARRAY* array, std::string* bytes) {
    SafeArrayBytes data(array);
    if (!data.valid()) return E_INVALIDARG;
    bytes->assign(data.data(), data.size());
    return S_OK;
}

// While alive, the array holds every lock the runtime allows, so SafeArrayAccessData fails.
class LockSaturation {
public:
    explicit LockSaturation(SAFEARRAY* array) : array_(array) {
        // The runtime refuses locks past 65535; the bound only guards against one that does not.
        while (array_ != nullptr && locks_ < (1 << 20) && SUCCEEDED(::SafeArrayLock(array_))) ++locks_;
    }
    ~LockSaturation() {
        for (int i = 0; i < locks_; ++i) ::SafeArrayUnlock(array_);
    }
    LockSaturation(const LockSaturation&) = delete;
    LockSaturation& operator=(const LockSaturation&) = delete;

private:
    SAFEARRAY* array_;
    int locks_ = 0;
};

// One command's completion, delivered to each sink. A named type rather than a lambda: the PDB
// names a lambda's destructor by the full path of its source file, which would tie the
// simulator's symbols to the folder it was built in.
struct CommandCompletion {
    ModemState::CommandKind kind;
    ULONG commandId;
    std::shared_ptr<const std::string> reply;
    HRESULT status;
    bool withData;
    bool unreadable;
    ULONG deliveredId;

    LONGLONG operator()(IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) const {
        // A fresh array for each sink, destroyed once its callback has returned.
        ScopedSafeArray array(withData ? MakeByteArray(reply->data(), reply->size()).release() : nullptr);
        LockSaturation saturation(unreadable ? array.get() : nullptr);
        return Delivery::Timed([&] {
            if (kind == ModemState::CommandKind::Set) {
                sink->OnSetCommandComplete(from, commandId, array.get(), status, deliveredId);
            } else {
                sink->OnQueryCommandComplete(from, commandId, array.get(), status, deliveredId);
            }
        });
    }
};

bool ReadProfile(const std::string& path, SimProfile::ModemProfile* profile) {
    std::string error;
    if (SimProfile::ModemProfile::ReadFile(path, profile, &error)) return true;
    Complain("oemsim: " + error + "\n");
    return false;
}

}  // namespace

ModemState::ModemState(HMODULE module) {
    // A fault from the start, for a program that does not reach the control (oemhost's tests).
    const std::string faultName = EnvironmentText("OEMSIM_FAULT");
    if (!faultName.empty() && !FaultNamed(faultName, &fault_)) Complain("oemsim: no fault " + faultName + "\n");
    commandSessionOpen_ = EffectOf(fault_).openBeforehand;
    startProfilePath_ = EnvironmentText("OEMSIM_PROFILE");
    if (startProfilePath_.empty()) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(module, path, MAX_PATH);
        startProfilePath_ = path;
        startProfilePath_.erase(startProfilePath_.rfind('\\') + 1);
        startProfilePath_ += "default-profile.txt";
    }
}

void ModemState::TakeProfileLocked(const std::string& path, const SimProfile::ModemProfile& profile, bool fromSaved) {
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

const SimProfile::ModemProfile& ModemState::ProfileLocked() {
    // Read on first use, not at process attach. Without a readable start profile the modem
    // answers every command with ERROR.
    if (!profileLoaded_) {
        SimProfile::ModemProfile loaded;
        ReadProfile(startProfilePath_, &loaded);
        TakeProfileLocked(startProfilePath_, loaded, true);
    }
    return profile_;
}

std::string ModemState::AnswerLocked(const std::string& command) {
    const SimProfile::ModemProfile& profile = ProfileLocked();
    if (carrier_ && !profile.ListsExactly(command)) {
        std::string reply;
        const SimProfile::CarrierAnswer answer =
            SimProfile::AnswerCarrierCommand(command, *profile.carrierFactory(), &*carrier_, &reply);
        if (answer == SimProfile::CarrierAnswer::Changed) saved_.Save(*carrier_);
        if (answer != SimProfile::CarrierAnswer::NotCarrierCommand) return reply;
    }
    return profile.ReplyTo(command);
}

void ModemState::Reset() {
    SimProfile::ModemProfile start;
    ReadProfile(startProfilePath_, &start);
    Guard lock(lock_);
    fault_ = SimFault::None;
    delayMs_ = 0;
    scripted_.clear();
    commandFaults_.clear();
    TakeProfileLocked(startProfilePath_, start, false);
    records_ = ControlRecords();
    sinks_.ClearCounts();
    commandSessionOpen_ = false;
    dataSessionOpen_ = false;
    delivery_.HoldReplies(false);
}

bool ModemState::TakeProfile(const char* path, bool fromSaved) {
    SimProfile::ModemProfile loaded;
    if (path == nullptr || !ReadProfile(path, &loaded)) return false;
    Guard lock(lock_);
    TakeProfileLocked(path, loaded, fromSaved);
    return true;
}

bool ModemState::LoadProfile(const char* path) {
    return TakeProfile(path, false);
}

bool ModemState::StartProfile(const char* path) {
    return TakeProfile(path, true);
}

void ModemState::SetFault(SimFault fault) {
    Guard lock(lock_);
    fault_ = fault;
    if (EffectOf(fault).openBeforehand) commandSessionOpen_ = true;
}

void ModemState::SetCommandFault(const char* command, std::size_t commandLength, SimFault fault) {
    Guard lock(lock_);
    const std::string bytes(command, commandLength);
    if (fault == SimFault::None) {
        commandFaults_.erase(bytes);
    } else {
        commandFaults_[bytes] = fault;
    }
}

void ModemState::SetCompletionDelay(std::uint32_t milliseconds) {
    Guard lock(lock_);
    delayMs_ = milliseconds;
}

void ModemState::SetReply(const char* command, std::size_t commandLength, const char* reply, std::size_t replyLength) {
    Guard lock(lock_);
    scripted_[std::string(command, commandLength)] = std::string(reply, replyLength);
}

std::size_t ModemState::CommandCount() {
    Guard lock(lock_);
    return records_.commands.size();
}

std::size_t ModemState::GetCommand(std::size_t index, std::uint32_t* commandId, char* buffer, std::size_t capacity) {
    Guard lock(lock_);
    return records_.CopyCommand(index, commandId, buffer, capacity);
}

int ModemState::SessionOpens() {
    Guard lock(lock_);
    return records_.opens;
}

int ModemState::SessionCloses() {
    Guard lock(lock_);
    return records_.closes;
}

int ModemState::InterfaceCount() {
    Guard lock(lock_);
    return EffectOf(fault_).interfaces;
}

bool ModemState::InterfaceReady() {
    Guard lock(lock_);
    return EffectOf(fault_).ready;
}

const FaultEffect& ModemState::Effect() {
    Guard lock(lock_);
    return EffectOf(fault_);
}

bool ModemState::ServiceAvailable(int interfaceIndex) {
    Guard lock(lock_);
    return interfaceIndex == 0 && EffectOf(fault_).serviceFound;
}

ULONG ModemState::NextRequestIdLocked() {
    // 0 means "no request" to the sinks, so it is never handed out.
    if (++lastRequestId_ == 0) ++lastRequestId_;
    return lastRequestId_;
}

HRESULT ModemState::OpenSession(Session session, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    HRESULT status = S_OK;
    bool completes = true;
    ULONG id = 0;
    {
        Guard lock(lock_);
        id = NextRequestIdLocked();
        if (session == Session::Data) {
            dataSessionOpen_ = true;
        } else {
            // A failure status is only what the completion reports: the session does open, so
            // what a caller that goes on anyway sends still reaches the modem.
            const FaultEffect& effect = EffectOf(fault_);
            ++records_.opens;
            if (effect.openOpens) commandSessionOpen_ = true;
            completes = effect.openCompletes;
            status = effect.openStatus;
        }
    }
    *requestId = id;
    if (!completes) return S_OK;
    PostSessionCompletion(service,
                          session == Session::Command ? &IMbnDeviceServicesEvents::OnOpenCommandSessionComplete
                                                      : &IMbnDeviceServicesEvents::OnOpenDataSessionComplete,
                          status, id);
    return S_OK;
}

HRESULT ModemState::CloseSession(Session session, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    HRESULT status = S_OK;
    ULONG id = 0;
    bool completes = true;
    {
        Guard lock(lock_);
        const bool command = session == Session::Command;
        const FaultEffect& effect = EffectOf(fault_);
        if (command) ++records_.closes;
        // A refused close leaves the session open.
        if (command && FAILED(effect.closeResult)) return effect.closeResult;
        completes = !command || effect.closeCompletes;
        id = NextRequestIdLocked();
        bool& open = command ? commandSessionOpen_ : dataSessionOpen_;
        if (!open) status = kSessionNotOpen;
        open = false;
    }
    *requestId = id;
    if (!completes) return S_OK;
    PostSessionCompletion(service,
                          session == Session::Command ? &IMbnDeviceServicesEvents::OnCloseCommandSessionComplete
                                                      : &IMbnDeviceServicesEvents::OnCloseDataSessionComplete,
                          status, id);
    return S_OK;
}

void ModemState::PostSessionCompletion(IMbnDeviceService* service, SessionCallback callback, HRESULT status, ULONG id) {
    delivery_.Post(service, 0, [callback, status, id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        return Delivery::Timed([&] { (sink->*callback)(from, status, id); });
    });
}

bool ModemState::IsSessionOpen(Session session) {
    Guard lock(lock_);
    return session == Session::Command ? commandSessionOpen_ : dataSessionOpen_;
}

HRESULT ModemState::Command(CommandKind kind, ULONG commandId, SAFEARRAY* data, IMbnDeviceService* service,
                            ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    *requestId = 0;
    std::string bytes;
    const HRESULT read = ReadBytes(data, &bytes);
    if (FAILED(read)) return read;
    if (bytes.size() >= kMaxCommandSize) return E_INVALIDARG;

    const FaultEffect* effect = nullptr;
    DWORD delay = 0;
    ULONG id = 0;
    std::shared_ptr<const std::string> reply;
    {
        Guard lock(lock_);
        const auto commandFault = commandFaults_.find(bytes);
        effect = &EffectOf(commandFault != commandFaults_.end() ? commandFault->second : fault_);
        if (FAILED(effect->commandResult)) return effect->commandResult;
        if (!commandSessionOpen_) return kSessionNotOpen;
        records_.commands.emplace_back(commandId, bytes);
        // A scripted reply stands in for the modem altogether.
        const auto scripted = scripted_.find(bytes);
        reply =
            std::make_shared<const std::string>(scripted != scripted_.end() ? scripted->second : AnswerLocked(bytes));
        id = NextRequestIdLocked();
        if (effect->late) delay = delayMs_;
    }
    delivery_.CountCommand();
    *requestId = id;
    if (!effect->replies) return S_OK;

    std::shared_ptr<Event> underway;
    if (effect->beforeReturn) underway = std::make_shared<Event>(Event::ResetMode::Manual);
    const auto post = [&](std::shared_ptr<const std::string> bytes, DWORD after, std::shared_ptr<Event> started) {
        delivery_.Post(service, after,
                       CommandCompletion{kind, commandId, std::move(bytes), effect->replyStatus, effect->withData,
                                         effect->unreadable, id + effect->idOffset},
                       std::move(started), Delivery::Kind::Reply);
    };
    if (effect->twoFragments) {
        const std::size_t half = (reply->size() + 1) / 2;
        post(std::make_shared<const std::string>(reply->substr(0, half)), delay, underway);
        post(std::make_shared<const std::string>(reply->substr(half)), delay + kSecondFragmentMs, nullptr);
    } else {
        post(reply, delay, underway);
    }
    if (underway && underway->Wait(kUnderwayWaitMs) == WAIT_OBJECT_0) ::Sleep(kUnderwaySettleMs);
    return S_OK;
}

HRESULT ModemState::WriteData(SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    *requestId = 0;
    std::string bytes;
    const HRESULT read = ReadBytes(data, &bytes);
    if (FAILED(read)) return read;
    ULONG id = 0;
    {
        Guard lock(lock_);
        if (!dataSessionOpen_) return kSessionNotOpen;
        id = NextRequestIdLocked();
    }
    *requestId = id;
    delivery_.Post(service, 0, [id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        return Delivery::Timed([&] { sink->OnWriteDataComplete(from, S_OK, id); });
    });
    return S_OK;
}

HRESULT ModemState::QuerySupportedCommands(IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    ULONG id = 0;
    {
        Guard lock(lock_);
        id = NextRequestIdLocked();
    }
    *requestId = id;
    delivery_.Post(service, 0, [id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        // The AT service knows one command: 1, the AT command itself.
        ScopedSafeArray commands(::SafeArrayCreateVector(VT_UI4, 0, 1));
        LONG index = 0;
        ULONG atCommand = 1;
        if (commands.get()) ::SafeArrayPutElement(commands.get(), &index, &atCommand);
        return Delivery::Timed([&] { sink->OnQuerySupportedCommandsComplete(from, commands.get(), S_OK, id); });
    });
    return S_OK;
}
