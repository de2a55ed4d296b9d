#include "ClientSink.h"

#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedSafeArray.h"

const InterfaceRow<ClientSink> ClientSink::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesEvents, AsInterface<ClientSink, IMbnDeviceServicesEvents>}, {nullptr, nullptr}};

void ClientSink::ResetForCommand() {
    bytes.clear();
    requestId = 0;
    reply.Reset();
    commandSession.Reset();
    requestIdSet.Reset();
}

void ClientSink::SetRequestId(ULONG id) {
    requestId = id;
    requestIdSet.Set();
}

bool ClientSink::WaitReply(std::string* response) {
    const bool came = reply.Wait(5000) == WAIT_OBJECT_0;
    if (came) response->swap(bytes);
    requestId = 0;
    requestIdSet.Reset();
    return came;
}

HRESULT STDMETHODCALLTYPE ClientSink::OnSetCommandComplete(IMbnDeviceService* service, ULONG, SAFEARRAY* data,
                                                           HRESULT status, ULONG id) {
    ScopedBstr serviceId;
    service->get_DeviceServiceID(serviceId.put());
    logLine_();  // completion called
    if (requestIdSet.Wait(12288) != WAIT_OBJECT_0 || requestId != id) return S_OK;
    if (status == S_OK) {
        SafeArrayBytes received(data);
        if (received.valid()) bytes.append(received.data(), received.size());
        logLine_();  // reply appended
    }
    reply.Set();
    return S_OK;
}
