// A second process of the same logon that holds the export lock until told to let go.
// usage: export_lock_holder <held-event-name> <release-event-name>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HANDLE lock = ::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef");
    HANDLE held = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
    if (!lock || !held || !release) return 3;
    if (::WaitForSingleObject(lock, 10000) != WAIT_OBJECT_0) return 4;
    ::SetEvent(held);
    ::WaitForSingleObject(release, 30000);
    ::ReleaseMutex(lock);
    ::CloseHandle(release);
    ::CloseHandle(held);
    ::CloseHandle(lock);
    return 0;
}
