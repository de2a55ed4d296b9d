#pragma once
// The parts of the Windows Mobile Broadband API (mbnapi.h) the channel uses. Neither Wine nor
// mingw-w64 ships this header, so it is declared here from the Windows SDK: the identifiers and
// the vtable slot order are those of the real interfaces, since a method declared in the wrong
// place calls the wrong method on a real machine. Every interface derives directly from
// IUnknown; no virtual destructor or other virtual member may be added.

#include <objbase.h>
#include <oaidl.h>
#include <ocidl.h>

// {BDFEE05B-4418-11DD-90ED-001C257CCFF1}
constexpr CLSID CLSID_MbnInterfaceManagerClass = {
    0xBDFEE05B, 0x4418, 0x11DD, {0x90, 0xED, 0x00, 0x1C, 0x25, 0x7C, 0xCF, 0xF1}};
// {2269DAA3-2A9F-4165-A501-CE00A6F7A75B}
constexpr CLSID CLSID_MbnDeviceServicesManagerClass = {
    0x2269DAA3, 0x2A9F, 0x4165, {0xA5, 0x01, 0xCE, 0x00, 0xA6, 0xF7, 0xA7, 0x5B}};
// {DCBBBAB6-201B-4BBB-AAEE-338E368AF6FA}
constexpr IID IID_MbnInterfaceManager = {0xDCBBBAB6, 0x201B, 0x4BBB, {0xAA, 0xEE, 0x33, 0x8E, 0x36, 0x8A, 0xF6, 0xFA}};
// {DCBBBAB6-2001-4BBB-AAEE-338E368AF6FA}
constexpr IID IID_MbnInterface = {0xDCBBBAB6, 0x2001, 0x4BBB, {0xAA, 0xEE, 0x33, 0x8E, 0x36, 0x8A, 0xF6, 0xFA}};
// {20A26258-6811-4478-AC1D-13324E45E41C}
constexpr IID IID_MbnDeviceServicesManager = {
    0x20A26258, 0x6811, 0x4478, {0xAC, 0x1D, 0x13, 0x32, 0x4E, 0x45, 0xE4, 0x1C}};
// {FC5AC347-1592-4068-80BB-6A57580150D8}
constexpr IID IID_MbnDeviceServicesContext = {
    0xFC5AC347, 0x1592, 0x4068, {0x80, 0xBB, 0x6A, 0x57, 0x58, 0x01, 0x50, 0xD8}};
// {B3BB9A71-DC70-4BE9-A4DA-7886AE8B191B}
constexpr IID IID_MbnDeviceService = {0xB3BB9A71, 0xDC70, 0x4BE9, {0xA4, 0xDA, 0x78, 0x86, 0xAE, 0x8B, 0x19, 0x1B}};
// {0A900C19-6824-4E97-B76E-CF239D0CA642}
constexpr IID IID_MbnDeviceServicesEvents = {
    0x0A900C19, 0x6824, 0x4E97, {0xB7, 0x6E, 0xCF, 0x23, 0x9D, 0x0C, 0xA6, 0x42}};

enum MBN_READY_STATE {
    MBN_READY_STATE_OFF = 0,
    MBN_READY_STATE_INITIALIZED = 1,
    MBN_READY_STATE_SIM_NOT_INSERTED = 2,
    MBN_READY_STATE_BAD_SIM = 3,
    MBN_READY_STATE_FAILURE = 4,
    MBN_READY_STATE_NOT_ACTIVATED = 5,
    MBN_READY_STATE_DEVICE_LOCKED = 6,
    MBN_READY_STATE_DEVICE_BLOCKED = 7,
    MBN_READY_STATE_NO_ESIM_PROFILE = 8,
};

enum MBN_DEVICE_SERVICES_INTERFACE_STATE {
    MBN_DEVICE_SERVICES_CAPABLE_INTERFACE_ARRIVAL = 0,
    MBN_DEVICE_SERVICES_CAPABLE_INTERFACE_REMOVAL = 1,
};

// Used here only as opaque pointer types and caller-provided records.
struct IMbnSubscriberInformation;
struct IMbnConnection;

struct MBN_INTERFACE_CAPS {
    int cellularClass;
    int voiceClass;
    ULONG dataClass;
    BSTR customDataClass;
    ULONG gsmBandClass;
    ULONG cdmaBandClass;
    BSTR customBandClass;
    ULONG smsCaps;
    ULONG controlCaps;
    BSTR deviceID;
    BSTR manufacturer;
    BSTR model;
    BSTR firmwareInfo;
};

struct MBN_PROVIDER {
    BSTR providerID;
    ULONG providerState;
    BSTR providerName;
    ULONG dataClass;
};

struct MBN_DEVICE_SERVICE {
    BSTR deviceServiceID;
    VARIANT_BOOL dataWriteSupported;
    VARIANT_BOOL dataReadSupported;
};

struct IMbnInterface : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR* interfaceID) = 0;                          // 3
    virtual HRESULT STDMETHODCALLTYPE GetInterfaceCapability(MBN_INTERFACE_CAPS* capabilities) = 0;    // 4
    virtual HRESULT STDMETHODCALLTYPE GetSubscriberInformation(IMbnSubscriberInformation** info) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE GetReadyState(MBN_READY_STATE* readyState) = 0;                  // 6
    virtual HRESULT STDMETHODCALLTYPE InEmergencyMode(VARIANT_BOOL* emergencyMode) = 0;                // 7
    virtual HRESULT STDMETHODCALLTYPE GetHomeProvider(MBN_PROVIDER* homeProvider) = 0;                 // 8
    virtual HRESULT STDMETHODCALLTYPE GetPreferredProviders(SAFEARRAY** preferredProviders) = 0;       // 9
    virtual HRESULT STDMETHODCALLTYPE SetPreferredProviders(SAFEARRAY* preferredProviders,
                                                            ULONG* requestID) = 0;                        // 10
    virtual HRESULT STDMETHODCALLTYPE GetVisibleProviders(ULONG* age, SAFEARRAY** visibleProviders) = 0;  // 11
    virtual HRESULT STDMETHODCALLTYPE ScanNetwork(ULONG* requestID) = 0;                                  // 12
    virtual HRESULT STDMETHODCALLTYPE GetConnection(IMbnConnection** mbnConnection) = 0;                  // 13
};

struct IMbnInterfaceManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInterface(LPCWSTR interfaceID, IMbnInterface** mbnInterface) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE GetInterfaces(SAFEARRAY** mbnInterfaces) = 0;                         // 4
};

struct IMbnDeviceService : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QuerySupportedCommands(ULONG* requestID) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE OpenCommandSession(ULONG* requestID) = 0;      // 4
    virtual HRESULT STDMETHODCALLTYPE CloseCommandSession(ULONG* requestID) = 0;     // 5
    virtual HRESULT STDMETHODCALLTYPE SetCommand(ULONG commandID, SAFEARRAY* deviceServiceData,
                                                 ULONG* requestID) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE QueryCommand(ULONG commandID, SAFEARRAY* deviceServiceData,
                                                   ULONG* requestID) = 0;                             // 7
    virtual HRESULT STDMETHODCALLTYPE OpenDataSession(ULONG* requestID) = 0;                          // 8
    virtual HRESULT STDMETHODCALLTYPE CloseDataSession(ULONG* requestID) = 0;                         // 9
    virtual HRESULT STDMETHODCALLTYPE WriteData(SAFEARRAY* deviceServiceData, ULONG* requestID) = 0;  // 10
    virtual HRESULT STDMETHODCALLTYPE get_InterfaceID(BSTR* interfaceID) = 0;                         // 11
    virtual HRESULT STDMETHODCALLTYPE get_DeviceServiceID(BSTR* deviceServiceID) = 0;                 // 12
    virtual HRESULT STDMETHODCALLTYPE get_IsCommandSessionOpen(BOOL* value) = 0;                      // 13
    virtual HRESULT STDMETHODCALLTYPE get_IsDataSessionOpen(BOOL* value) = 0;                         // 14
};

struct IMbnDeviceServicesContext : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumerateDeviceServices(SAFEARRAY** deviceServices) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE GetDeviceService(BSTR deviceServiceID,
                                                       IMbnDeviceService** mbnDeviceService) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE get_MaxCommandSize(ULONG* maxCommandSize) = 0;               // 5
    virtual HRESULT STDMETHODCALLTYPE get_MaxDataSize(ULONG* maxDataSize) = 0;                     // 6
};

struct IMbnDeviceServicesManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDeviceServicesContext(BSTR networkInterfaceID,
                                                               IMbnDeviceServicesContext** context) = 0;  // 3
};

// The callbacks of the device services manager's connection point. Status comes before the
// request id here, unlike in the older interface-event family.
struct IMbnDeviceServicesEvents : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService* deviceService,
                                                                       SAFEARRAY* commandIDList, HRESULT status,
                                                                       ULONG requestID) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                                   ULONG requestID) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                                    ULONG requestID) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* deviceService, ULONG responseID,
                                                           SAFEARRAY* deviceServiceData, HRESULT status,
                                                           ULONG requestID) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService* deviceService, ULONG responseID,
                                                             SAFEARRAY* deviceServiceData, HRESULT status,
                                                             ULONG requestID) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService* deviceService, ULONG eventID,
                                                          SAFEARRAY* deviceServiceData) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                                ULONG requestID) = 0;  // 9
    virtual HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                                 ULONG requestID) = 0;  // 10
    virtual HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService* deviceService, HRESULT status,
                                                          ULONG requestID) = 0;  // 11
    virtual HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService* deviceService,
                                                 SAFEARRAY* deviceServiceData) = 0;  // 12
    virtual HRESULT STDMETHODCALLTYPE
    OnInterfaceStateChange(BSTR interfaceID,
                           MBN_DEVICE_SERVICES_INTERFACE_STATE stateChange) = 0;  // 13
};
