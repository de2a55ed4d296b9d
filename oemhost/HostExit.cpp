#include "HostExit.h"

namespace {

struct ExitCodeRow {
    int code;
    const char* meaning;
};

const ExitCodeRow kExitCodes[] = {
    {kExitAnswered, "answered"},
    {kExitNoAnswer, "no answer"},
    {kExitUsage, "usage"},
    {kExitNoLibrary, "no library"},
    {kExitDiffers, "differs"},
    {kExitDoctorLock, "doctor: export lock held"},
    {kExitDoctorCom, "doctor: COM"},
    {kExitDoctorInterfaceManager, "doctor: interface manager"},
    {kExitDoctorInterfaces, "doctor: interfaces"},
    {kExitDoctorServices, "doctor: device services"},
    {kExitDoctorAtService, "doctor: AT device service"},
    {kExitDoctorSessionOpen, "doctor: session open"},
    {kExitDoctorCommand, "doctor: command"},
    {kExitDoctorSessionClose, "doctor: session close"},
};

}  // namespace

const char* ExitMeaning(int exitCode) {
    for (const ExitCodeRow& row : kExitCodes) {
        if (row.code == exitCode) return row.meaning;
    }
    return "unknown";
}
