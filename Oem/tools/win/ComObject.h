#pragma once
// The IUnknown part of every COM object this code implements (an event sink, a simulated
// platform object, a class factory): an atomic reference count that starts at 1 (the creation
// reference, taken over with ComPtr::Adopt) and a QueryInterface driven by a table.
//
// Derived names its interfaces in a static table, ended by an empty row; IUnknown is the first
// row's interface unless a row names it:
//   static const InterfaceRow<Derived> kInterfaceTable[];
//   const InterfaceRow<Derived> Derived::kInterfaceTable[] = {{&IID_Foo, AsInterface<Derived, IFoo>}, {}};

#include <unknwn.h>

#include <atomic>

template <typename Derived>
struct InterfaceRow {
    const IID* iid;
    IUnknown* (*cast)(Derived* object);
};

// The object seen as Interface, for a table row.
template <typename Derived, typename Interface>
IUnknown* AsInterface(Derived* object) {
    return static_cast<Interface*>(object);
}

template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        const InterfaceRow<Derived>* row = Derived::kInterfaceTable;
        while (row->iid != nullptr && !::IsEqualIID(iid, *row->iid)) ++row;
        if (row->iid == nullptr) {
            if (!::IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
            row = Derived::kInterfaceTable;
        }
        IUnknown* found = row->cast(static_cast<Derived*>(this));
        found->AddRef();
        *out = found;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        // Counted from before the decrement until this object is touched no more, so that an
        // owner waiting for the count to fall can tell when a Release has really finished.
        ++releasesUnderway_;
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
            return 0;
        }
        static_cast<Derived*>(this)->ReferencesLeft(left);
        --releasesUnderway_;
        return left;
    }

protected:
    // Told after each Release that leaves the object alive; Derived may hide it (a sink wakes
    // whoever waits for the platform to let go of it).
    void ReferencesLeft(ULONG) {}
    ULONG References() const { return references_.load(); }
    // Releases that have decremented the count but may still touch this object.
    ULONG ReleasesUnderway() const { return releasesUnderway_.load(); }

    ComObject() = default;
    virtual ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> references_{1};
    std::atomic<ULONG> releasesUnderway_{0};
};
