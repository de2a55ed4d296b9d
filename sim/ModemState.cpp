#include "ModemState.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/win/ScopedSafeArray.h"

const wchar_t kAtServiceId[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const wchar_t* const kInterfaceIds[kInterfaceSlots] = {
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A01}",
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A02}",
    L"{5C3A2E10-7B1D-4E6F-9A8B-0C1D2E3F4A03}",
};

namespace {

std::atomic<long> g_liveObjects{0};

// A delivered request id that is not the one SetCommand returned.
constexpr ULONG kWrongRequestIdOffset = 1000;
// How long SetCommand waits for its completion to get under way before returning anyway.
constexpr DWORD kUnderwayWaitMs = 5000;
// Time for the sink to get past its first steps once its callback has been entered.
constexpr DWORD kUnderwaySettleMs = 50;

HRESULT ReadBytes(SAFEARRAY* array, std::string* bytes) {
    SafeArrayBytes data(array);
    if (!data.valid()) return E_INVALIDARG;
    bytes->assign(data.data(), data.size());
    return S_OK;
}

SAFEARRAY* ByteArray(const std::string& bytes) {
    return MakeByteArray(bytes.data(), bytes.size()).release();
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

// Calls into a sink, returning the ticks spent there (not the simulator's cost).
template <typename Call>
LONGLONG TimedCall(Call&& call) {
    const LONGLONG before = ModemState::Now();
    call();
    return ModemState::Now() - before;
}

void Complain(const std::string& text) {
    ::OutputDebugStringA(text.c_str());
    std::fputs(text.c_str(), stderr);
}

std::string EnvironmentText(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

// Where the carrier state outlives the process: the file OEMSIM_STATE names, else one in the
// all-users application-data folder.
std::string CarrierStatePath() {
    std::string path = EnvironmentText("OEMSIM_STATE");
    if (!path.empty()) return path;
    path = EnvironmentText("ProgramData");
    if (path.empty()) path = "C:\\ProgramData";
    return path + "\\OemSim\\modem-state.txt";
}

}  // namespace

LiveObject::LiveObject() {
    ++g_liveObjects;
}

LiveObject::~LiveObject() {
    --g_liveObjects;
}

ModemState::ModemState(HMODULE module) : module_(module), queue_(module) {
    LARGE_INTEGER frequency;
    if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) ticksPerSecond_ = frequency.QuadPart;

    statePath_ = CarrierStatePath();
    startProfilePath_ = EnvironmentText("OEMSIM_PROFILE");
    if (startProfilePath_.empty()) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(module_, path, MAX_PATH);
        startProfilePath_ = path;
        startProfilePath_.erase(startProfilePath_.rfind('\\') + 1);
        startProfilePath_ += "default-profile.txt";
    }
}

ModemState::~ModemState() = default;

LONGLONG ModemState::Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void ModemState::AddCost(LONGLONG ticks) {
    if (ticks > 0) costTicks_ += ticks;
}

void ModemState::GetCost(SimCost* cost) {
    cost->commands = commandsAccepted_.load();
    cost->microseconds = static_cast<double>(costTicks_.load()) * 1e6 / static_cast<double>(ticksPerSecond_);
}

bool ModemState::ReadProfile(const std::string& path, SimProfile::ModemProfile* profile) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Complain("oemsim: cannot read the modem profile " + path + "\n");
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    if (!SimProfile::ModemProfile::Parse(text.str(), profile, &error)) {
        Complain("oemsim: " + path + ": " + error + "\n");
        return false;
    }
    return true;
}

const SimProfile::ModemProfile& ModemState::ProfileLocked() {
    if (!profileLoaded_) {
        // Without a readable start profile the modem answers every command with ERROR.
        SimProfile::ModemProfile loaded;
        if (ReadProfile(startProfilePath_, &loaded)) profile_ = loaded;
        profileLoaded_ = true;
        StartCarrierLocked(true);
    }
    return profile_;
}

void ModemState::StartCarrierLocked(bool fromFile) {
    // The factory values need no file: a run that finds none starts from them.
    if (!fromFile) ::DeleteFileA(statePath_.c_str());
    carrier_.reset();
    const SimProfile::CarrierState* factory = profile_.carrierFactory();
    if (factory == nullptr) return;
    carrier_ = *factory;
    if (!fromFile) return;
    std::ifstream file(statePath_, std::ios::binary);
    if (!file) return;
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    if (!SimProfile::ReadCarrierStateText(text.str(), &*carrier_, &error)) {
        Complain("oemsim: " + statePath_ + ": " + error + " (the factory carrier state is used)\n");
        carrier_ = *factory;
    }
}

void ModemState::SaveCarrierLocked() {
    // Written whole beside the file and then moved over it, so that a modem starting in
    // another process reads the old state or the new one, never a part.
    const std::size_t folderEnd = statePath_.rfind('\\');
    if (folderEnd != std::string::npos) ::CreateDirectoryA(statePath_.substr(0, folderEnd).c_str(), nullptr);
    const std::string temporary = statePath_ + "." + std::to_string(::GetCurrentProcessId()) + ".tmp";
    bool written = false;
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << "# The simulated modem's carrier state, kept between runs; removed by a reset.\n"
             << SimProfile::CarrierStateText(*carrier_);
        written = static_cast<bool>(file.flush());
    }
    if (!written || !::MoveFileExA(temporary.c_str(), statePath_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(temporary.c_str());
        Complain("oemsim: cannot save the carrier state to " + statePath_ + "\n");
    }
}

std::string ModemState::AnswerLocked(const std::string& command) {
    const SimProfile::ModemProfile& profile = ProfileLocked();
    if (carrier_ && !profile.ListsExactly(command)) {
        std::string reply;
        const SimProfile::CarrierAnswer answer =
            SimProfile::AnswerCarrierCommand(command, *profile.carrierFactory(), &*carrier_, &reply);
        if (answer == SimProfile::CarrierAnswer::Changed) SaveCarrierLocked();
        if (answer != SimProfile::CarrierAnswer::NotCarrierCommand) return reply;
    }
    return profile.ReplyTo(command);
}

void ModemState::Reset() {
    SimProfile::ModemProfile start;
    const bool readable = ReadProfile(startProfilePath_, &start);
    ScopedLock lock(lock_);
    fault_ = SimFault::None;
    delayMs_ = 0;
    scripted_.clear();
    commandFaults_.clear();
    profile_ = readable ? start : SimProfile::ModemProfile();
    profileLoaded_ = true;
    StartCarrierLocked(false);
    commands_.clear();
    opens_ = closes_ = advises_ = unadvises_ = 0;
    commandSessionOpen_ = false;
    dataSessionOpen_ = false;
}

void ModemState::SetFault(SimFault fault) {
    ScopedLock lock(lock_);
    fault_ = fault;
    if (fault == SimFault::SessionAlreadyOpen) commandSessionOpen_ = true;
}

void ModemState::SetCommandFault(const char* command, std::size_t commandLength, SimFault fault) {
    ScopedLock lock(lock_);
    const std::string bytes(command, commandLength);
    if (fault == SimFault::None) {
        commandFaults_.erase(bytes);
    } else {
        commandFaults_[bytes] = fault;
    }
}

void ModemState::SetCompletionDelay(std::uint32_t milliseconds) {
    ScopedLock lock(lock_);
    delayMs_ = milliseconds;
}

void ModemState::SetReply(const char* command, std::size_t commandLength, const char* reply, std::size_t replyLength) {
    ScopedLock lock(lock_);
    scripted_[std::string(command, commandLength)] = std::string(reply, replyLength);
}

bool ModemState::LoadProfile(const char* path) {
    SimProfile::ModemProfile loaded;
    if (path == nullptr || !ReadProfile(path, &loaded)) return false;
    ScopedLock lock(lock_);
    profile_ = loaded;
    profileLoaded_ = true;
    StartCarrierLocked(false);
    return true;
}

std::size_t ModemState::CommandCount() {
    ScopedLock lock(lock_);
    return commands_.size();
}

std::size_t ModemState::GetCommand(std::size_t index, std::uint32_t* commandId, char* buffer, std::size_t capacity) {
    ScopedLock lock(lock_);
    if (index >= commands_.size()) {
        if (commandId != nullptr) *commandId = 0;
        return 0;
    }
    const auto& command = commands_[index];
    if (commandId != nullptr) *commandId = command.first;
    if (buffer != nullptr) memcpy(buffer, command.second.data(), std::min(capacity, command.second.size()));
    return command.second.size();
}

int ModemState::SessionOpens() {
    ScopedLock lock(lock_);
    return opens_;
}

int ModemState::SessionCloses() {
    ScopedLock lock(lock_);
    return closes_;
}

int ModemState::Advises() {
    ScopedLock lock(lock_);
    return advises_;
}

int ModemState::Unadvises() {
    ScopedLock lock(lock_);
    return unadvises_;
}

int ModemState::AdvisedSinks() {
    ScopedLock lock(lock_);
    return static_cast<int>(sinks_.size());
}

long ModemState::LiveObjects() {
    return g_liveObjects.load();
}

int ModemState::CompletionsInFlight() {
    return inSinks_.load();
}

bool ModemState::Unused() {
    return g_liveObjects.load() == 0 && queue_.Pending() == 0;
}

int ModemState::InterfaceCount() {
    ScopedLock lock(lock_);
    if (fault_ == SimFault::NoInterface) return 0;
    return fault_ == SimFault::SeveralInterfaces ? kInterfaceSlots : 1;
}

bool ModemState::ServiceAvailable(int interfaceIndex) {
    ScopedLock lock(lock_);
    return interfaceIndex == 0 && fault_ != SimFault::ServiceMissing;
}

HRESULT ModemState::Advise(const void* owner, IUnknown* sink, DWORD* cookie) {
    {
        ScopedLock lock(lock_);
        ++advises_;
    }
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    // The sink's own answer decides: the reference it gives here is the one the modem keeps.
    ComPtr<IMbnDeviceServicesEvents> events;
    if (FAILED(sink->QueryInterface(IID_MbnDeviceServicesEvents, events.put_void())) || !events) {
        return CONNECT_E_CANNOTCONNECT;
    }
    ScopedLock lock(lock_);
    if (++lastCookie_ == 0) ++lastCookie_;
    *cookie = lastCookie_;
    sinks_.push_back({owner, lastCookie_, std::move(events)});
    return S_OK;
}

HRESULT ModemState::Unadvise(const void* owner, DWORD cookie) {
    ComPtr<IMbnDeviceServicesEvents> released;
    {
        ScopedLock lock(lock_);
        for (auto entry = sinks_.begin(); entry != sinks_.end(); ++entry) {
            if (entry->owner == owner && entry->cookie == cookie) {
                released = std::move(entry->sink);
                sinks_.erase(entry);
                ++unadvises_;
                break;
            }
        }
    }
    // The sink's reference goes outside the lock: its destruction may call anything.
    return released ? S_OK : CONNECT_E_NOCONNECTION;
}

void ModemState::DropSinks(const void* owner) {
    std::vector<ComPtr<IMbnDeviceServicesEvents>> released;
    {
        ScopedLock lock(lock_);
        for (auto entry = sinks_.begin(); entry != sinks_.end();) {
            if (entry->owner == owner) {
                released.push_back(std::move(entry->sink));
                entry = sinks_.erase(entry);
            } else {
                ++entry;
            }
        }
    }
}

ULONG ModemState::NextRequestIdLocked() {
    // 0 means "no request" to the sinks, so it is never handed out.
    if (++lastRequestId_ == 0) ++lastRequestId_;
    return lastRequestId_;
}

bool ModemState::Complete(IMbnDeviceService* service, DWORD delayMs, SinkCall call, std::shared_ptr<Event> underway) {
    service->AddRef();
    // Taken out by the delivery, so that the reference goes before the delivery counts as done;
    // a delivery that never runs lets it go with the task.
    auto held = std::make_shared<ComPtr<IMbnDeviceService>>(ComPtr<IMbnDeviceService>::Adopt(service));
    const LONGLONG posted = Now();
    const LONGLONG delayTicks = static_cast<LONGLONG>(delayMs) * ticksPerSecond_ / 1000;
    return queue_.Post(
        [this, held, call, underway, posted, delayTicks] {
            const LONGLONG start = Now();
            ComPtr<IMbnDeviceService> from = std::move(*held);
            std::vector<ComPtr<IMbnDeviceServicesEvents>> sinks;
            {
                ScopedLock lock(lock_);
                for (const SinkEntry& entry : sinks_) sinks.push_back(entry.sink);
            }
            // In flight from the first sink's call until the last one returns. The references
            // go right after, so a test that checks LiveObjects allows a moment for them.
            const bool handed = !sinks.empty();
            if (handed) ++inSinks_;
            if (underway) underway->Set();
            LONGLONG sinkTicks = 0;
            for (const auto& sink : sinks) sinkTicks += call(sink.get(), from.get());
            if (handed) --inSinks_;
            sinks.clear();
            from.reset();
            const LONGLONG queued = start - posted - delayTicks;
            AddCost((queued > 0 ? queued : 0) + (Now() - start - sinkTicks));
        },
        delayMs);
}

HRESULT ModemState::OpenSession(Session session, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    HRESULT status = S_OK;
    bool completes = true;
    ULONG id = 0;
    {
        ScopedLock lock(lock_);
        id = NextRequestIdLocked();
        if (session == Session::Data) {
            dataSessionOpen_ = true;
        } else {
            ++opens_;
            // A failure status is only what the completion reports: the session does open, so
            // what a caller that goes on anyway sends still reaches the modem.
            if (fault_ == SimFault::SessionOpenNoCompletion) {
                completes = false;
            } else {
                commandSessionOpen_ = true;
                if (fault_ == SimFault::SessionOpenFailStatus) status = E_FAIL;
            }
        }
    }
    *requestId = id;
    if (completes) {
        Complete(service, 0, [session, status, id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
            return TimedCall([&] {
                if (session == Session::Command) {
                    sink->OnOpenCommandSessionComplete(from, status, id);
                } else {
                    sink->OnOpenDataSessionComplete(from, status, id);
                }
            });
        });
    }
    return S_OK;
}

HRESULT ModemState::CloseSession(Session session, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    HRESULT status = S_OK;
    ULONG id = 0;
    {
        ScopedLock lock(lock_);
        id = NextRequestIdLocked();
        bool& open = session == Session::Command ? commandSessionOpen_ : dataSessionOpen_;
        if (session == Session::Command) ++closes_;
        if (!open) status = kSessionNotOpen;
        open = false;
    }
    *requestId = id;
    Complete(service, 0, [session, status, id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        return TimedCall([&] {
            if (session == Session::Command) {
                sink->OnCloseCommandSessionComplete(from, status, id);
            } else {
                sink->OnCloseDataSessionComplete(from, status, id);
            }
        });
    });
    return S_OK;
}

bool ModemState::IsSessionOpen(Session session) {
    ScopedLock lock(lock_);
    return session == Session::Command ? commandSessionOpen_ : dataSessionOpen_;
}

HRESULT ModemState::Command(CommandKind kind, ULONG commandId, SAFEARRAY* data, IMbnDeviceService* service,
                            ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    *requestId = 0;
    std::string bytes;
    HRESULT hr = ReadBytes(data, &bytes);
    if (FAILED(hr)) return hr;
    if (bytes.size() >= kMaxCommandSize) return E_INVALIDARG;

    SimFault fault = SimFault::None;
    DWORD delay = 0;
    ULONG id = 0;
    std::shared_ptr<const std::string> reply;
    {
        ScopedLock lock(lock_);
        const auto commandFault = commandFaults_.find(bytes);
        fault = commandFault != commandFaults_.end() ? commandFault->second : fault_;
        if (fault == SimFault::SetCommandFails) return E_ACCESSDENIED;
        if (!commandSessionOpen_) return kSessionNotOpen;
        commands_.emplace_back(commandId, bytes);
        // The modem carries out every command it receives; a fault only changes how the
        // answer travels back. A scripted reply stands in for the modem altogether.
        const auto scripted = scripted_.find(bytes);
        reply =
            std::make_shared<const std::string>(scripted != scripted_.end() ? scripted->second : AnswerLocked(bytes));
        id = NextRequestIdLocked();
        if (fault == SimFault::LateCompletion) delay = delayMs_;
    }
    ++commandsAccepted_;
    *requestId = id;
    if (fault == SimFault::NoCompletion) return S_OK;

    const HRESULT status = fault == SimFault::CompletionFailStatus ? E_FAIL : S_OK;
    const bool withData = fault != SimFault::CompletionFailStatus;
    const bool unreadable = fault == SimFault::UnreadableDataArray;
    const ULONG deliveredId = fault == SimFault::CompletionWrongRequestId ? id + kWrongRequestIdOffset : id;
    std::shared_ptr<Event> underway;
    if (fault == SimFault::CompletionBeforeReturn) underway = std::make_shared<Event>(Event::ResetMode::Manual);
    Complete(
        service, delay,
        [kind, commandId, reply, status, withData, unreadable, deliveredId](IMbnDeviceServicesEvents* sink,
                                                                            IMbnDeviceService* from) {
            // A fresh array for each sink, destroyed once its callback has returned.
            ScopedSafeArray array(withData ? ByteArray(*reply) : nullptr);
            LockSaturation saturation(unreadable ? array.get() : nullptr);
            return TimedCall([&] {
                if (kind == CommandKind::Set) {
                    sink->OnSetCommandComplete(from, commandId, array.get(), status, deliveredId);
                } else {
                    sink->OnQueryCommandComplete(from, commandId, array.get(), status, deliveredId);
                }
            });
        },
        underway);
    if (underway && underway->Wait(kUnderwayWaitMs) == WAIT_OBJECT_0) ::Sleep(kUnderwaySettleMs);
    return S_OK;
}

HRESULT ModemState::WriteData(SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    *requestId = 0;
    std::string bytes;
    HRESULT hr = ReadBytes(data, &bytes);
    if (FAILED(hr)) return hr;
    ULONG id = 0;
    {
        ScopedLock lock(lock_);
        if (!dataSessionOpen_) return kSessionNotOpen;
        id = NextRequestIdLocked();
    }
    *requestId = id;
    Complete(service, 0, [id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        return TimedCall([&] { sink->OnWriteDataComplete(from, S_OK, id); });
    });
    return S_OK;
}

HRESULT ModemState::QuerySupportedCommands(IMbnDeviceService* service, ULONG* requestId) {
    CostScope cost;
    if (requestId == nullptr) return E_POINTER;
    ULONG id = 0;
    {
        ScopedLock lock(lock_);
        id = NextRequestIdLocked();
    }
    *requestId = id;
    Complete(service, 0, [id](IMbnDeviceServicesEvents* sink, IMbnDeviceService* from) {
        // The AT service knows one command: 1, the AT command itself.
        ScopedSafeArray commands(::SafeArrayCreateVector(VT_UI4, 0, 1));
        LONG index = 0;
        ULONG atCommand = 1;
        if (commands.get()) ::SafeArrayPutElement(commands.get(), &index, &atCommand);
        return TimedCall([&] { sink->OnQuerySupportedCommandsComplete(from, commands.get(), S_OK, id); });
    });
    return S_OK;
}
