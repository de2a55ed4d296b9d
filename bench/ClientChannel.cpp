#include "ClientChannel.h"

#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedSafeArray.h"

bool ClientChannel::Open() {
    com.Initialize(COINIT_MULTITHREADED);
    ComPtr<IConnectionPointContainer> container;
    return SUCCEEDED(::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL,
                                        IID_MbnInterfaceManager, interfaces.put_void())) &&
           SUCCEEDED(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                        IID_MbnDeviceServicesManager, services.put_void())) &&
           SUCCEEDED(services->QueryInterface(IID_IConnectionPointContainer, container.put_void())) &&
           SUCCEEDED(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put())) &&
           SUCCEEDED(point->Advise(sink.get(), &cookie));
}

bool ClientChannel::Execute(const std::string& command, std::string* response) {
    sink->ResetForCommand();
    ScopedSafeArray list;
    LONG lower = 0;
    LONG upper = -1;
    ComPtr<IUnknown> element;
    ComPtr<IMbnInterface> first;
    MBN_READY_STATE ready = MBN_READY_STATE_OFF;
    if (FAILED(interfaces->GetInterfaces(list.put())) || FAILED(::SafeArrayGetLBound(list.get(), 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(list.get(), 1, &upper)) ||
        FAILED(::SafeArrayGetElement(list.get(), &lower, element.put_void())) ||
        FAILED(element->QueryInterface(IID_MbnInterface, first.put_void())) ||
        FAILED(first->GetReadyState(&ready))) {
        return false;
    }
    logLine();  // ready state
    ScopedBstr interfaceId;
    ScopedBstr serviceId(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
    ComPtr<IMbnDeviceServicesContext> context;
    ComPtr<IMbnDeviceService> service;
    BOOL open = FALSE;
    ULONG request = 0;
    if (FAILED(first->get_InterfaceID(interfaceId.put())) ||
        FAILED(services->GetDeviceServicesContext(interfaceId.get(), context.put())) ||
        FAILED(context->GetDeviceService(serviceId.get(), service.put())) ||
        FAILED(service->get_IsCommandSessionOpen(&open))) {
        return false;
    }
    logLine();  // session not open
    if (FAILED(service->OpenCommandSession(&request)) || sink->commandSession.Wait(5000) != WAIT_OBJECT_0) {
        return false;
    }
    logLine();  // session opened
    logLine();  // OpenSession success
    bool answered = false;
    const ScopedSafeArray bytes = MakeByteArray(command.data(), command.size());
    if (SUCCEEDED(service->SetCommand(1, bytes.get(), &request))) {
        sink->SetRequestId(request);
        logLine();  // SetCommand success
        answered = sink->WaitReply(response);
        if (answered) logLine();  // command response success
    }
    if (SUCCEEDED(service->CloseCommandSession(&request))) sink->commandSession.Wait(5000);
    return answered;
}
