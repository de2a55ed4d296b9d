#pragma once
// The line format shared by modem profiles and the saved modem state: every line that is not
// blank or a "#" comment begins, after blanks, with a one-character marker.

#include <cstddef>
#include <string>
#include <vector>

struct MarkedLine {
    std::size_t number;  // 1-based, for error messages
    char marker;
    std::string text;  // what follows the marker, one blank after it dropped
};

inline std::vector<MarkedLine> MarkedLines(const std::string& text) {
    std::vector<MarkedLine> lines;
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line[at] == '#') continue;
        std::string rest = line.substr(at + 1);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        lines.push_back({number, line[at], rest});
    }
    return lines;
}
