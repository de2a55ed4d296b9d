// The simulator as an in-process COM server: registration under the real class ids of the two
// Mobile Broadband managers, the class objects, the unload test, and the control exports.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <cwchar>

#include "MbnObjects.h"
#include "ModemState.h"
#include "tools/win/CatchResult.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/ScopedHandle.h"

namespace {

struct RegKeyTraits {
    using Value = HKEY;
    static HKEY Empty() { return nullptr; }
    static bool IsValid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { ::RegCloseKey(key); }
};
using ScopedRegKey = UniqueAny<RegKeyTraits>;

HMODULE g_module = nullptr;
ModemState* g_modem = nullptr;
// LockServer locks; live class objects count among the live objects.
std::atomic<long> g_serverLocks{0};

using Creator = HRESULT (*)(REFIID, void**);

// A class object, made for each DllGetClassObject; alive, it keeps the DLL loaded.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory>, private LiveObject {
public:
    static const InterfaceRow<ClassFactory> kInterfaceTable[];
    explicit ClassFactory(Creator create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        const HRESULT refused = Modem().Effect().factoryResult;
        return FAILED(refused) ? refused : create_(iid, object);
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

const InterfaceRow<ClassFactory> ClassFactory::kInterfaceTable[] = {
    {&IID_IClassFactory, AsInterface<ClassFactory, IClassFactory>}, {}};

struct ServedClass {
    const CLSID* clsid;
    Creator create;
    const wchar_t* key;  // below HKEY_CLASSES_ROOT
    const wchar_t* name;
};

const ServedClass kServedClasses[] = {
    {&CLSID_MbnInterfaceManagerClass, &CreateInterfaceManager, L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}",
     L"Simulated modem: MbnInterfaceManager"},
    {&CLSID_MbnDeviceServicesManagerClass, &CreateDeviceServicesManager,
     L"CLSID\\{2269DAA3-2A9F-4165-A501-CE00A6F7A75B}", L"Simulated modem: MbnDeviceServicesManager"},
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
    ScopedRegKey classKey;
    LONG status =
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, served.key, 0, nullptr, 0, KEY_WRITE, nullptr, classKey.put(), nullptr);
    if (status == ERROR_SUCCESS) status = SetText(classKey.get(), nullptr, served.name);
    ScopedRegKey serverKey;
    if (status == ERROR_SUCCESS) {
        status = ::RegCreateKeyExW(classKey.get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                                   serverKey.put(), nullptr);
    }
    if (status == ERROR_SUCCESS) status = SetText(serverKey.get(), nullptr, modulePath);
    if (status == ERROR_SUCCESS) status = SetText(serverKey.get(), L"ThreadingModel", L"Both");
    return status;
}

// Whether the class is registered to this very DLL: never replace or remove a registration of
// the real platform's managers.
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

// Whether the class has a key of someone else's: any key of the class that does not name this
// DLL as its server (another server, a local server, or one this DLL cannot read).
bool RegisteredElsewhere(const ServedClass& served, const wchar_t* modulePath) {
    ScopedRegKey classKey;
    const bool exists =
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, served.key, 0, KEY_QUERY_VALUE, classKey.put()) == ERROR_SUCCESS;
    return exists && !RegisteredHere(served, modulePath);
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
        g_modem = CatchResult<ModemState*>(nullptr, [&] { return new ModemState(module); });
        return g_modem != nullptr;
    }
    // At process exit (reserved set) other threads are already gone, possibly holding locks
    // of the modem, so it is left to the system. On FreeLibrary no completion is left (each keeps
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
            return CatchResult(E_OUTOFMEMORY, [&] {
                const ComPtr<ClassFactory> factory = ComPtr<ClassFactory>::Adopt(new ClassFactory(served.create));
                return factory->QueryInterface(iid, object);
            });
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
    // All or nothing: one class of the machine's own leaves both as they are.
    for (const ServedClass& served : kServedClasses) {
        if (RegisteredElsewhere(served, path)) return SELFREG_E_CLASS;
    }
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
    if (cost != nullptr) g_modem->delivery().GetCost(cost);
}
