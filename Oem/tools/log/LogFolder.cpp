#include "LogFolder.h"

#include <windows.h>
#include <sddl.h>

#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedLocal.h"

namespace LogFolder {
namespace {

// The user whose token the calling thread runs with: the impersonated one, if any.
ScopedLocal<wchar_t*> CreatingUserSid() {
    ScopedHandle token;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
        !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    ScopedLocal<wchar_t*> sid;
    if (::GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) {
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid.put());
    }
    return sid;
}

// "P": protected, so the parent's "users may create" entry does not flow in. 0x1200a9 is
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE: list, read and traverse.
ScopedLocal<PSECURITY_DESCRIPTOR> ProtectedDescriptor() {
    const ScopedLocal<wchar_t*> user = CreatingUserSid();
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!user) return descriptor;
    const std::wstring sddl =
        std::wstring(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;") + user.get() + L")(A;OICI;0x1200a9;;;BU)";
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, descriptor.put(), nullptr);
    return descriptor;
}

}  // namespace

State Ensure(const std::string& folder) {
    // Asked with a trailing backslash, the attributes would be those of a link's target.
    const std::string name = folder.substr(0, folder.find_last_not_of('\\') + 1);
    DWORD attributes = ::GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Without its access list the folder is not made at all.
        const ScopedLocal<PSECURITY_DESCRIPTOR> descriptor = ProtectedDescriptor();
        if (!descriptor) return State::Unavailable;
        SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.get(), FALSE};
        if (::CreateDirectoryA(folder.c_str(), &security)) return State::Ready;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return State::Unavailable;
        attributes = ::GetFileAttributesA(name.c_str());  // another creator came first
    }
    const bool plain = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    return plain ? State::Ready : State::Refused;
}

}  // namespace LogFolder
