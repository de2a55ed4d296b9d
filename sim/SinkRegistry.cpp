#include "SinkRegistry.h"

#include <olectl.h>

#include <mutex>
#include <utility>

HRESULT SinkRegistry::Advise(const void* owner, IUnknown* sink, DWORD* cookie) {
    {
        std::lock_guard<CriticalSection> lock(lock_);
        ++advises_;
    }
    if (cookie == nullptr) return E_POINTER;
    *cookie = 0;
    if (sink == nullptr) return E_POINTER;
    // The sink's own answer decides: the reference it gives here is the one kept.
    ComPtr<IMbnDeviceServicesEvents> events;
    if (FAILED(sink->QueryInterface(IID_MbnDeviceServicesEvents, events.put_void())) || !events) {
        return CONNECT_E_CANNOTCONNECT;
    }
    std::lock_guard<CriticalSection> lock(lock_);
    if (++lastCookie_ == 0) ++lastCookie_;
    *cookie = lastCookie_;
    entries_.push_back({owner, lastCookie_, std::move(events)});
    return S_OK;
}

HRESULT SinkRegistry::Unadvise(const void* owner, DWORD cookie) {
    ComPtr<IMbnDeviceServicesEvents> released;
    {
        std::lock_guard<CriticalSection> lock(lock_);
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->owner == owner && entry->cookie == cookie) {
                released = std::move(entry->sink);
                entries_.erase(entry);
                ++unadvises_;
                break;
            }
        }
    }
    // The sink's reference goes outside the lock: its destruction may call anything.
    return released ? S_OK : CONNECT_E_NOCONNECTION;
}

void SinkRegistry::DropOwner(const void* owner) {
    std::vector<ComPtr<IMbnDeviceServicesEvents>> released;
    std::lock_guard<CriticalSection> lock(lock_);
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        if (entry->owner == owner) {
            released.push_back(std::move(entry->sink));
            entry = entries_.erase(entry);
        } else {
            ++entry;
        }
    }
}

std::vector<ComPtr<IMbnDeviceServicesEvents>> SinkRegistry::Snapshot() {
    std::vector<ComPtr<IMbnDeviceServicesEvents>> sinks;
    std::lock_guard<CriticalSection> lock(lock_);
    for (const Entry& entry : entries_) sinks.push_back(entry.sink);
    return sinks;
}

int SinkRegistry::Advises() {
    std::lock_guard<CriticalSection> lock(lock_);
    return advises_;
}

int SinkRegistry::Unadvises() {
    std::lock_guard<CriticalSection> lock(lock_);
    return unadvises_;
}

int SinkRegistry::Advised() {
    std::lock_guard<CriticalSection> lock(lock_);
    return static_cast<int>(entries_.size());
}

void SinkRegistry::ClearCounts() {
    std::lock_guard<CriticalSection> lock(lock_);
    advises_ = unadvises_ = 0;
}
