// The LOG_PATH rule: a name is accepted exactly when Windows, joining it to a root, reads it
// as written and below that root.
#include <string>
#include <vector>

#include "FuzzKit.h"
#include "text/LogFolderName.h"

namespace {

// Windows' reading of root + "\" + name: either separator splits, trailing dots and blanks
// are cut, "." and empty parts vanish, ".." climbs; a leading separator or a colon leaves the root.
bool ReadBelowRoot(const std::string& name, std::string* read) {
    if (name.find(':') != std::string::npos || (!name.empty() && (name[0] == '\\' || name[0] == '/'))) return false;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '\\' && name[i] != '/') {
            part += name[i];
            continue;
        }
        if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (!part.empty()) parts.push_back(part);
        part.clear();
    }
    for (const std::string& p : parts) *read += (read->empty() ? "" : "\\") + p;
    return !parts.empty();
}

}  // namespace

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    const std::string name = Bytes(data, size);
    std::string asWritten = name, read;
    for (char& c : asWritten) c = c == '/' ? '\\' : c;
    const bool inside = ReadBelowRoot(name, &read);
    FUZZ_CHECK(LogFolderName::StaysInside(name) == (inside && read == asWritten));
}
