// rand_s (random bytes from the system, for a name nobody can guess) is declared only when this
// comes before the first C library header.
#define _CRT_RAND_S
#include "SavedCarrierState.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <fstream>
#include <sstream>

#include "SimEnvironment.h"
#include "tools/win/CheckedFile.h"

namespace {

std::string FullPath(const std::string& path) {
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

// The profile's name in a file name: its full path, ASCII case ignored, hashed (FNV-1a).
std::string ProfileKey(const std::string& fullPath) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : fullPath) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        hash = (hash ^ static_cast<unsigned char>(lower)) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string FolderOf(const std::string& path) {
    const std::size_t end = path.rfind('\\');
    return end == std::string::npos ? std::string() : path.substr(0, end);
}

}  // namespace

SavedCarrierState::SavedCarrierState(const std::string& profilePath, bool startProfile) {
    const std::string profile = FullPath(profilePath);
    header_ = "# The simulated modem's carrier state for the profile " + profile + "; removed by a reset.";
    const std::string named = EnvironmentText("OEMSIM_STATE");
    if (startProfile && !named.empty()) {
        path_ = named;
        return;
    }
    std::string folder = FolderOf(named);
    if (named.empty()) {
        folder = EnvironmentText("ProgramData");
        if (folder.empty()) folder = "C:\\ProgramData";
        folder += "\\OemSim";
    }
    path_ = folder + "\\modem-state-" + ProfileKey(profile) + ".txt";
}

void SavedCarrierState::Read(SimProfile::CarrierState* state) const {
    std::ifstream file(path_, std::ios::binary);
    if (!file) return;
    std::ostringstream text;
    text << file.rdbuf();
    const std::string saved = text.str();
    if (saved.compare(0, header_.size(), header_) != 0) return;
    std::string error;
    if (!SimProfile::ReadCarrierStateText(saved, state, &error)) {
        Complain("oemsim: " + path_ + ": " + error + " (the factory carrier state is used)\n");
    }
}

void SavedCarrierState::Save(const SimProfile::CarrierState& state) const {
    const std::string folder = FolderOf(path_);
    if (!folder.empty()) ::CreateDirectoryA(folder.c_str(), nullptr);
    // The folder is below the all-users data folder, where anyone may plant a link: the new
    // state goes into a file made new under a name nobody can guess, checked after it was
    // opened, and that very handle is then renamed over the old file (a link there is replaced,
    // not followed).
    unsigned int nonce[2] = {};
    rand_s(&nonce[0]), rand_s(&nonce[1]);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", nonce[0], nonce[1]);
    const ScopedFileHandle file = OpenCheckedFile(FullPathOf(path_ + suffix), GENERIC_WRITE, CREATE_NEW);
    const std::wstring target = FullPathOf(path_);
    std::vector<char> rename(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.c_str(), info->FileNameLength);
    const bool saved = file && WriteAll(file.get(), header_ + "\n" + SimProfile::CarrierStateText(state)) &&
                       ::SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(rename.size()));
    if (!saved) {
        if (file) {
            FILE_DISPOSITION_INFO remove = {TRUE};
            ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
        }
        Complain("oemsim: cannot save the carrier state to " + path_ + "\n");
    }
}

void SavedCarrierState::Remove() const {
    if (!path_.empty()) ::DeleteFileA(path_.c_str());
}
