#pragma once
// The one simulated modem of the process: its profile and carrier state, its sessions and the
// device service's operations, each shaped by the fault a test asked for (FaultEffects.h). The
// COM objects are thin views on it; tests reach it through ISimControl.

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ControlRecords.h"
#include "Delivery.h"
#include "FaultEffects.h"
#include "ModemProfile.h"
#include "SavedCarrierState.h"
#include "SimControl.h"
#include "SimCost.h"
#include "SinkRegistry.h"
#include "platform/MbnApi.h"
#include "tools/win/CriticalSection.h"

// The AT-over-MBIM device service, the only one the modem offers.
extern const wchar_t kAtServiceId[];
// Mobile-broadband interfaces the simulator can show; the first is the modem.
constexpr int kInterfaceSlots = 3;
extern const wchar_t* const kInterfaceIds[kInterfaceSlots];
// Payloads must be smaller than this, as the platform asks.
constexpr ULONG kMaxCommandSize = 4096;
// The result of a session operation or command while no session is open.
constexpr HRESULT kSessionNotOpen = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

class ModemState final : public ISimControl {
public:
    enum class Session { Command, Data };
    enum class CommandKind { Set, Query };

    explicit ModemState(HMODULE module);

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
    int Advises() override { return sinks_.Advises(); }
    int Unadvises() override { return sinks_.Unadvises(); }
    int AdvisedSinks() override { return sinks_.Advised(); }
    long LiveObjects() override { return LiveObject::Count(); }
    int CompletionsInFlight() override { return delivery_.InSinks(); }
    bool StartProfile(const char* path) override;
    void LetGoOfSinksInCall() override { delivery_.LetGoOfSinksInCall(); }
    void HoldReplies(bool hold) override { delivery_.HoldReplies(hold); }

    // No object alive and no completion waiting: the DLL may be unloaded.
    bool Unused() { return LiveObject::Count() == 0 && delivery_.Pending() == 0; }

    // For the interface manager and the contexts.
    int InterfaceCount();
    bool InterfaceReady();  // the modem's interface, the first
    bool ServiceAvailable(int interfaceIndex);
    // What the fault set with SetFault does.
    const FaultEffect& Effect();

    SinkRegistry& sinks() { return sinks_; }
    Delivery& delivery() { return delivery_; }

    // The device service's operations; service is the object the completion names.
    HRESULT OpenSession(Session session, IMbnDeviceService* service, ULONG* requestId);
    HRESULT CloseSession(Session session, IMbnDeviceService* service, ULONG* requestId);
    bool IsSessionOpen(Session session);
    HRESULT Command(CommandKind kind, ULONG commandId, SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId);
    HRESULT WriteData(SAFEARRAY* data, IMbnDeviceService* service, ULONG* requestId);
    HRESULT QuerySupportedCommands(IMbnDeviceService* service, ULONG* requestId);

private:
    // One of the four session callbacks of the sinks.
    using SessionCallback = HRESULT (STDMETHODCALLTYPE IMbnDeviceServicesEvents::*)(IMbnDeviceService*, HRESULT, ULONG);
    void PostSessionCompletion(IMbnDeviceService* service, SessionCallback callback, HRESULT status, ULONG id);
    ULONG NextRequestIdLocked();
    const SimProfile::ModemProfile& ProfileLocked();
    // Takes profile, read from path, with its carrier state: the one saved for it when
    // fromSaved, else its factory values (its saved state is then removed).
    void TakeProfileLocked(const std::string& path, const SimProfile::ModemProfile& profile, bool fromSaved);
    bool TakeProfile(const char* path, bool fromSaved);
    // The reply of the carrier model or of the profile; a change of the carrier state is saved.
    std::string AnswerLocked(const std::string& command);

    CriticalSection lock_;
    SimFault fault_ = SimFault::None;
    std::uint32_t delayMs_ = 0;
    std::map<std::string, std::string> scripted_;
    std::map<std::string, SimFault> commandFaults_;
    std::string startProfilePath_;  // OEMSIM_PROFILE, else default-profile.txt beside the DLL
    bool profileLoaded_ = false;
    SimProfile::ModemProfile profile_;
    // Present while the profile has a carrier model.
    std::optional<SimProfile::CarrierState> carrier_;
    SavedCarrierState saved_;
    ControlRecords records_;
    bool commandSessionOpen_ = false;
    bool dataSessionOpen_ = false;
    ULONG lastRequestId_ = 0;
    SinkRegistry sinks_;
    Delivery delivery_{sinks_};
};

// The modem of this DLL; exists from process attach to process detach.
ModemState& Modem();

// Adds the time from construction to destruction to the simulator's own cost.
class CostScope {
public:
    CostScope() : start_(Delivery::Now()) {}
    ~CostScope() { Modem().delivery().AddCost(Delivery::Now() - start_); }
    CostScope(const CostScope&) = delete;
    CostScope& operator=(const CostScope&) = delete;

private:
    LONGLONG start_;
};
