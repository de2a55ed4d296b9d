#include "Delivery.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "tools/win/CatchResult.h"
#include "tools/win/ComPtr.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"

struct Delivery::Work {
    Delivery* owner;
    ComPtr<IMbnDeviceService> service;
    SinkCall call;
    std::shared_ptr<Event> underway;
    LONGLONG posted;
    LONGLONG delayTicks;
    ScopedModule pin;  // this DLL, kept loaded until the callback has returned
    bool sinksTaken;   // held: the sinks advised when it was posted
    std::vector<ComPtr<IMbnDeviceServicesEvents>> sinks;
};

Delivery::Delivery(SinkRegistry& sinks) : sinks_(sinks) {
    LARGE_INTEGER frequency;
    if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) ticksPerSecond_ = frequency.QuadPart;
}

LONGLONG Delivery::Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Delivery::AddCost(LONGLONG ticks) {
    if (ticks > 0) costTicks_ += ticks;
}

void Delivery::GetCost(SimCost* cost) const {
    cost->commands = commandsAccepted_.load();
    cost->microseconds = static_cast<double>(costTicks_.load()) * 1e6 / static_cast<double>(ticksPerSecond_);
}

bool Delivery::Post(IMbnDeviceService* service, DWORD delayMs, SinkCall call, std::shared_ptr<Event> underway,
                    Kind kind) {
    service->AddRef();
    ComPtr<IMbnDeviceService> held = ComPtr<IMbnDeviceService>::Adopt(service);
    auto work = std::make_unique<Work>(Work{this, std::move(held), std::move(call), std::move(underway), Now(),
                                            static_cast<LONGLONG>(delayMs) * ticksPerSecond_ / 1000, ScopedModule(),
                                            false, {}});
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Delivery::Run),
                              work->pin.put())) {
        return false;
    }
    ++pending_;
    if (kind == Kind::Reply) {
        std::lock_guard<CriticalSection> lock(heldLock_);
        if (holding_) {
            work->sinks = sinks_.Snapshot();
            work->sinksTaken = true;
            work->delayTicks = 0;
            held_.push_back(work.get());
            work.release();
            return true;
        }
    }
    if (delayMs == 0) {
        if (::TrySubmitThreadpoolCallback(&Delivery::RunNow, work.get(), nullptr)) {
            work.release();
            return true;
        }
    } else if (PTP_TIMER timer = ::CreateThreadpoolTimer(&Delivery::RunLater, work.get(), nullptr)) {
        // A negative due time counts from now, in 100 ns units.
        ULARGE_INTEGER due;
        due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(delayMs) * 10000);
        FILETIME dueTime{due.LowPart, due.HighPart};
        work.release();
        ::SetThreadpoolTimer(timer, &dueTime, 0, 0);
        return true;
    }
    --pending_;
    return false;
}

void CALLBACK Delivery::RunNow(PTP_CALLBACK_INSTANCE instance, void* work) {
    Run(instance, static_cast<Work*>(work));
}

void CALLBACK Delivery::RunLater(PTP_CALLBACK_INSTANCE instance, void* work, PTP_TIMER timer) {
    // Freed by the pool once this callback has returned.
    ::CloseThreadpoolTimer(timer);
    Run(instance, static_cast<Work*>(work));
}

void Delivery::Run(PTP_CALLBACK_INSTANCE instance, Work* raw) {
    std::unique_ptr<Work> work(raw);
    Delivery* self = work->owner;
    // A completion that failed to build is simply not delivered.
    CatchAll([&] { self->Deliver(*work); });
    ::FreeLibraryWhenCallbackReturns(instance, work->pin.release());
    // The service's reference goes before the delivery counts as finished.
    work.reset();
    --self->pending_;
}

void Delivery::HoldReplies(bool hold) {
    std::vector<Work*> waiting;
    {
        std::lock_guard<CriticalSection> lock(heldLock_);
        holding_ = hold;
        if (!hold) waiting.swap(held_);
    }
    for (Work* work : waiting) {
        // Without the pool the reply is delivered here, late as it is.
        if (!::TrySubmitThreadpoolCallback(&Delivery::RunNow, work, nullptr)) {
            CatchAll([&] { Deliver(*work); });
            delete work;
            --pending_;
        }
    }
}

void Delivery::LetGoOfSinksInCall() {
    std::vector<ComPtr<IMbnDeviceServicesEvents>> released;
    std::lock_guard<CriticalSection> lock(inCallLock_);
    for (ComPtr<IMbnDeviceServicesEvents>* hold : inCall_) released.push_back(std::move(*hold));
}

void Delivery::Deliver(Work& work) {
    const LONGLONG start = Now();
    std::vector<ComPtr<IMbnDeviceServicesEvents>> sinks = work.sinksTaken ? std::move(work.sinks) : sinks_.Snapshot();
    // In flight from the first sink's call until the last one returns. The references go right
    // after, so a test that checks the live objects allows a moment for them.
    const bool handed = !sinks.empty();
    if (handed) ++inSinks_;
    if (work.underway) work.underway->Set();
    LONGLONG sinkTicks = 0;
    for (auto& sink : sinks) {
        IMbnDeviceServicesEvents* called = sink.get();
        {
            std::lock_guard<CriticalSection> lock(inCallLock_);
            inCall_.push_back(&sink);
        }
        sinkTicks += work.call(called, work.service.get());
        std::lock_guard<CriticalSection> lock(inCallLock_);
        inCall_.erase(std::find(inCall_.begin(), inCall_.end(), &sink));
    }
    if (handed) --inSinks_;
    sinks.clear();
    work.service.reset();
    const LONGLONG queued = start - work.posted - work.delayTicks;
    AddCost((queued > 0 ? queued : 0) + (Now() - start - sinkTicks));
}
