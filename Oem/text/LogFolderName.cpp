#include "text/LogFolderName.h"

namespace LogFolderName {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool ComponentStaysInside(const std::string& name, size_t begin, size_t end) {
    if (begin == end) return false;
    const char last = name[end - 1];
    // A component that ends in a dot or a blank is shortened by Windows, down to "." or ".."
    // for one made of dots and blanks only.
    return last != '.' && last != ' ';
}

}  // namespace

bool StaysInside(const std::string& name) {
    if (name.find(':') != std::string::npos) return false;
    size_t begin = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsSeparator(name[i])) continue;
        if (!ComponentStaysInside(name, begin, i)) return false;
        begin = i + 1;
    }
    return true;
}

}  // namespace LogFolderName
