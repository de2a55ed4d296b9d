// The simulator as an in-process COM server: registration under the real class ids of the two
// Mobile Broadband managers, the class objects, the unload test, and the control exports.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cwchar>
#include <new>

#include "MbnObjects.h"
#include "ModemState.h"

namespace {

HMODULE g_module = nullptr;
ModemState* g_modem = nullptr;
// Class-object references and LockServer locks.
std::atomic<long> g_serverLocks{0};

using Creator = HRESULT (*)(REFIID, void**);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(Creator create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The class objects are static: a reference on one only keeps the DLL loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_serverLocks + 1); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_serverLocks + 1); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++g_serverLocks;
        } else {
            --g_serverLocks;
        }
        return S_OK;
    }

private:
    Creator create_;
};

ClassFactory g_interfaceManagerClass(&CreateInterfaceManager);
ClassFactory g_deviceServicesManagerClass(&CreateDeviceServicesManager);

struct ServedClass {
    const CLSID* clsid;
    const wchar_t* key;  // below HKEY_CLASSES_ROOT
    const wchar_t* name;
};

const ServedClass kServedClasses[] = {
    {&CLSID_MbnInterfaceManagerClass, L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}",
     L"Simulated modem: MbnInterfaceManager"},
    {&CLSID_MbnDeviceServicesManagerClass, L"CLSID\\{2269DAA3-2A9F-4165-A501-CE00A6F7A75B}",
     L"Simulated modem: MbnDeviceServicesManager"},
};

bool ModulePath(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = ::GetModuleFileNameW(g_module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

LONG SetText(HKEY key, const wchar_t* name, const wchar_t* value) {
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

LONG RegisterClass(const ServedClass& served, const wchar_t* modulePath) {
    HKEY classKey = nullptr;
    LONG status =
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, served.key, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = SetText(classKey, nullptr, served.name);
    HKEY serverKey = nullptr;
    if (status == ERROR_SUCCESS) {
        status = ::RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr);
    }
    if (status == ERROR_SUCCESS) {
        status = SetText(serverKey, nullptr, modulePath);
        if (status == ERROR_SUCCESS) status = SetText(serverKey, L"ThreadingModel", L"Both");
        ::RegCloseKey(serverKey);
    }
    ::RegCloseKey(classKey);
    return status;
}

// Whether the class is registered to this very DLL: never remove a registration of the real
// platform's managers.
bool RegisteredHere(const ServedClass& served, const wchar_t* modulePath) {
    wchar_t key[128];
    swprintf(key, sizeof key / sizeof key[0], L"%ls\\InprocServer32", served.key);
    wchar_t registered[MAX_PATH] = {};
    DWORD bytes = sizeof registered - sizeof registered[0];
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, registered, &bytes) != ERROR_SUCCESS) {
        return false;
    }
    return _wcsicmp(registered, modulePath) == 0;
}

}  // namespace

ModemState& Modem() {
    return *g_modem;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        ::DisableThreadLibraryCalls(module);
        // Reads no file and starts no thread: the profile is read on first use.
        g_modem = new (std::nothrow) ModemState(module);
        return g_modem != nullptr;
    }
    // At process exit (reserved set) other threads are already gone, possibly holding locks
    // of the modem, so it is left to the system. On FreeLibrary no worker is left (each keeps
    // the DLL loaded) and no object either, if the caller asked DllCanUnloadNow.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        delete g_modem;
        g_modem = nullptr;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    for (const ServedClass& served : kServedClasses) {
        if (IsEqualCLSID(clsid, *served.clsid)) {
            ClassFactory& factory = served.clsid == &CLSID_MbnInterfaceManagerClass ? g_interfaceManagerClass
                                                                                    : g_deviceServicesManagerClass;
            return factory.QueryInterface(iid, object);
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return g_serverLocks == 0 && g_modem->Unused() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    if (!ModulePath(path)) return SELFREG_E_CLASS;
    for (const ServedClass& served : kServedClasses) {
        if (RegisterClass(served, path) != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    wchar_t path[MAX_PATH];
    if (!ModulePath(path)) return SELFREG_E_CLASS;
    for (const ServedClass& served : kServedClasses) {
        if (RegisteredHere(served, path)) ::RegDeleteTreeW(HKEY_CLASSES_ROOT, served.key);
    }
    return S_OK;
}

extern "C" ISimControl* __cdecl OemSimGetControl() {
    return g_modem;
}

extern "C" void __cdecl OemSimGetCost(SimCost* cost) {
    if (cost != nullptr) g_modem->GetCost(cost);
}
