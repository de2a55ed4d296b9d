#include "BenchLogFolder.h"

#include <windows.h>

#include <fstream>
#include <functional>

#include "tools/win/ScopedHandle.h"

namespace {

struct FindTraits : FileHandleTraits {
    static void Close(HANDLE search) { ::FindClose(search); }
};

// Calls fn with the path of each file in folder.
void ForEachFile(const std::string& folder, const std::function<void(const std::string&)>& fn) {
    WIN32_FIND_DATAA found;
    const UniqueAny<FindTraits> search(::FindFirstFileA((folder + "*").c_str(), &found));
    if (!search) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) fn(folder + found.cFileName);
    } while (::FindNextFileA(search.get(), &found));
}

}  // namespace

int CountLogLines(const std::string& folder) {
    int lines = 0;
    ForEachFile(folder, [&](const std::string& path) {
        std::ifstream file(path);
        for (std::string line; std::getline(file, line);) lines += !line.empty() && line[0] == '[';
    });
    return lines;
}

void RemoveLogFolder(const std::string& folder) {
    const std::string logs = folder + "logs\\";
    ForEachFile(logs, [](const std::string& path) { ::DeleteFileA(path.c_str()); });
    ::RemoveDirectoryA(logs.c_str());
    ::RemoveDirectoryA(folder.c_str());
}
