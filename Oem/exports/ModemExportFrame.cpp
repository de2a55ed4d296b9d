#include "exports/ModemExportFrame.h"

const wchar_t kAtDeviceServiceId[] = L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}";
const std::uint32_t kAtCommandId = 1;

ModemExportFrame::ModemExportFrame(const ExportEnvironment& environment)
    : environment_(environment), exportLock_(WaitAndHold(environment.exportLock)) {}

// The channel goes first; the export lock is let go after it, as the hold is destroyed.
ModemExportFrame::~ModemExportFrame() {
    ReleaseChannel();
}

IGlobalTools::IMbimChannel* ModemExportFrame::OpenChannel(const ChannelLines& lines) {
    channel_ = environment_.newChannel ? environment_.newChannel() : nullptr;
    if (channel_ == nullptr) {
        if (lines.noChannel) Log(0, "%s", lines.noChannel);
        return nullptr;
    }
    if (channel_->Open() != 0) {
        if (lines.openFailed) Log(lines.openFailedLevel, "%s", lines.openFailed);
        ReleaseChannel();
        return nullptr;
    }
    if (lines.openSucceeded) Log(2, "%s", lines.openSucceeded);
    return channel_;
}

HRESULT ModemExportFrame::Execute(const std::string& command, std::string* reply) {
    if (channel_ == nullptr) return E_FAIL;
    return channel_->ExecuteCmd(command.data(), static_cast<std::uint32_t>(command.size()), reply, nullptr,
                                kAtDeviceServiceId, kAtCommandId);
}

void ModemExportFrame::ReleaseChannel() {
    if (channel_) {
        IGlobalTools::IMbimChannel* channel = channel_;
        channel_ = nullptr;
        channel->Release();
    }
}
