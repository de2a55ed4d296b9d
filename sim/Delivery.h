#pragma once
// Hands completions to every advised sink as the platform does: on the Windows thread pool,
// never on the caller's thread, possibly several at once (a sink may hold its thread for
// seconds), each no earlier than its delay. Every completion posted and not finished holds a
// reference on the simulator DLL, taken when it is posted and given back by the pool once its
// callback has returned (FreeLibraryWhenCallbackReturns): a host that frees Oem.dll and COM
// that unloads the simulator never leave a completion to run in an unloaded module.
// Also counts what the simulator itself spends, for the benchmark.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "SimCost.h"
#include "SinkRegistry.h"
#include "platform/MbnApi.h"
#include "tools/win/ComPtr.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/Event.h"

class Delivery {
public:
    // Calls one sink; returns the ticks spent inside it, which are not the simulator's cost.
    using SinkCall = std::function<LONGLONG(IMbnDeviceServicesEvents* sink, IMbnDeviceService* service)>;

    // A command's reply may be held back (HoldReplies); session completions never are.
    enum class Kind { Session, Reply };

    explicit Delivery(SinkRegistry& sinks);
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    // Hands call to every sink advised when the delivery starts, after delayMs; service is the
    // object the completion names and is held until then. underway, when given, is set just
    // before the first sink is called. False when the pool took nothing; nothing is delivered.
    bool Post(IMbnDeviceService* service, DWORD delayMs, SinkCall call, std::shared_ptr<Event> underway = nullptr,
              Kind kind = Kind::Session);

    // While held, a reply posted takes the sinks advised now and waits, whatever its delay;
    // letting go hands the waiting ones to the pool at once.
    void HoldReplies(bool hold);

    // Gives up the simulator's references on the sinks being called now, as a platform may that
    // tears a connection down during a call; those sinks then live by their own references.
    void LetGoOfSinksInCall();

    int Pending() const { return pending_.load(); }  // posted and not finished
    int InSinks() const { return inSinks_.load(); }  // between their first sink call and their end

    static LONGLONG Now();
    template <typename Call>
    static LONGLONG Timed(Call&& call) {
        const LONGLONG before = Now();
        call();
        return Now() - before;
    }
    void AddCost(LONGLONG ticks);
    void CountCommand() { ++commandsAccepted_; }
    void GetCost(SimCost* cost) const;

private:
    struct Work;
    static void CALLBACK RunNow(PTP_CALLBACK_INSTANCE instance, void* work);
    static void CALLBACK RunLater(PTP_CALLBACK_INSTANCE instance, void* work, PTP_TIMER timer);
    static void Run(PTP_CALLBACK_INSTANCE instance, Work* work);
    void Deliver(Work& work);

    SinkRegistry& sinks_;
    CriticalSection heldLock_;
    bool holding_ = false;
    std::vector<Work*> held_;
    CriticalSection inCallLock_;
    std::vector<ComPtr<IMbnDeviceServicesEvents>*> inCall_;  // the holds of the sinks being called
    std::atomic<int> pending_{0};
    std::atomic<int> inSinks_{0};
    std::atomic<std::uint64_t> commandsAccepted_{0};
    std::atomic<std::int64_t> costTicks_{0};
    LONGLONG ticksPerSecond_ = 1;
};
