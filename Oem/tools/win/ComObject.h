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
        const ULONG left = DropReference();
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    // One reference less, the object left alive at 0: for a Derived that ends itself its own way.
    ULONG DropReference() { return --references_; }
    virtual ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> references_{1};
};
