#pragma once
// The one simulated modem of the process: its sessions, what it received, the sinks advised on
// any device services manager, the faults a test asked for, and the threads that deliver its
// completions. The COM objects are thin views on it; tests reach it through ISimControl.

#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CompletionQueue.h"
#include "ModemProfile.h"
#include "SimControl.h"
#include "SimCost.h"
#include "platform/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/Event.h"

// The AT-over-MBIM device service, the only one the modem offers.
extern const wchar_t kAtServiceId[];
// Mobile-broadband interfaces the simulator can show; the first is the modem.
constexpr int kInterfaceSlots = 3;
extern const wchar_t* const kInterfaceIds[kInterfaceSlots];
// Payloads must be smaller than this, as the platform asks.
constexpr ULONG kMaxCommandSize = 4096;
// The result of a session operation or command while no session is open.
constexpr HRESULT kSessionNotOpen = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

// Counts every simulator COM object from construction to destruction.
class LiveObject {
protected:
    LiveObject();
    ~LiveObject();
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;
};

class ModemState final : public ISimControl {
public:
    enum class Session { Command, Data };
    enum class CommandKind { Set, Query };

    explicit ModemState(HMODULE module);
    ~ModemState();

    // ISimControl
    void Reset() override;
    void SetFault(SimFault fault) override;
    void SetCompletionDelay(std::uint32_t milliseconds) override;
    void SetReply(const char* command, std::size_t commandLength, const char* reply, std::size_t replyLength) override;
    void SetCommandFault(const char* command, std::size_t commandLength, SimFault fault) override;
    bool LoadProfile(const char* path) override;
    std::size_t CommandCount() override;
    std::size_t GetCommand(std::size_t index, std::uint32_t* commandId, char* buffer, std::size_t capacity) override;
    int SessionOpens() override;
    int SessionCloses() override;
    int Advises() override;
    int Unadvises() override;
    int AdvisedSinks() override;
    long LiveObjects() override;
    int CompletionsInFlight() override;

    // No object alive and no completion waiting: the DLL may be unloaded.
    bool Unused();

    // For the interface manager and the contexts.
    int InterfaceCount();
    bool ServiceAvailable(int interfaceIndex);

    // The connection points of every device services manager share one list of sinks; owner
    // tells which connection point advised each.
    HRESULT Advise(const void* owner, IUnknown* sink, DWORD* cookie);
    HRESULT Unadvise(const void* owner, DWORD cookie);
    void DropSinks(const void* owner);

    // The device service's operations; service is the object the completion names.
    HRESULT OpenSession(Session session, IMbnDeviceService* service, ULONG* requestId);
    HRESULT CloseSession(Session session, IMbnDeviceService* service, ULONG* requestId);
    bool IsSessionOpen(Session session);
    HRESULT Command(CommandKind kind, ULONG commandId, SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId);
    HRESULT WriteData(SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId);
    HRESULT QuerySupportedCommands(IMbnDeviceService* service, ULONG* requestId);

    void GetCost(SimCost* cost);
    void AddCost(LONGLONG ticks);
    static LONGLONG Now();

private:
    // Calls one sink; returns the ticks spent inside it.
    using SinkCall = std::function<LONGLONG(IMbnDeviceServicesEvents* sink, IMbnDeviceService* service)>;
    struct SinkEntry {
        const void* owner;
        DWORD cookie;
        ComPtr<IMbnDeviceServicesEvents> sink;
    };

    // Hands call to every sink advised when the delivery starts, on a simulator thread, after
    // delayMs. underway, when given, is set just before the first sink is called.
    bool Complete(IMbnDeviceService* service, DWORD delayMs, SinkCall call, std::shared_ptr<Event> underway = nullptr);
    ULONG NextRequestIdLocked();
    const SimProfile::ModemProfile& ProfileLocked();
    bool ReadProfile(const std::string& path, SimProfile::ModemProfile* profile);
    // The reply of the carrier model or of the profile; a change of the carrier state is saved.
    std::string AnswerLocked(const std::string& command);
    // The carrier state of a newly taken profile: its factory values, or none without a model.
    // fromFile: the values saved by an earlier run, when there are some, replace them.
    void StartCarrierLocked(bool fromFile);
    void SaveCarrierLocked();

    HMODULE module_;
    CriticalSection lock_;
    SimFault fault_ = SimFault::None;
    std::uint32_t delayMs_ = 0;
    std::map<std::string, std::string> scripted_;
    std::map<std::string, SimFault> commandFaults_;
    std::string startProfilePath_;
    bool profileLoaded_ = false;
    SimProfile::ModemProfile profile_;
    // The carrier state, present while the profile has a carrier model, and the file that keeps
    // it between runs (OEMSIM_STATE, else %ProgramData%\OemSim\modem-state.txt).
    std::optional<SimProfile::CarrierState> carrier_;
    std::string statePath_;
    std::vector<std::pair<std::uint32_t, std::string>> commands_;
    int opens_ = 0;
    int closes_ = 0;
    int advises_ = 0;
    int unadvises_ = 0;
    bool commandSessionOpen_ = false;
    bool dataSessionOpen_ = false;
    ULONG lastRequestId_ = 0;
    DWORD lastCookie_ = 0;
    std::vector<SinkEntry> sinks_;
    std::atomic<int> inSinks_{0};  // deliveries between their first sink call and their end
    std::atomic<std::uint64_t> commandsAccepted_{0};
    std::atomic<std::int64_t> costTicks_{0};
    LONGLONG ticksPerSecond_ = 1;
    // Last, so that it goes first: tasks still queued release their objects into a whole state.
    CompletionQueue queue_;
};

// The modem of this DLL; exists from process attach to process detach.
ModemState& Modem();

// Adds the time from construction to destruction to the simulator's own cost.
class CostScope {
public:
    CostScope() : start_(ModemState::Now()) {}
    ~CostScope() { Modem().AddCost(ModemState::Now() - start_); }
    CostScope(const CostScope&) = delete;
    CostScope& operator=(const CostScope&) = delete;

private:
    LONGLONG start_;
};
