#include "ModemProfile.h"

#include "MarkedLines.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace SimProfile {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

const char ModemProfile::kErrorReply[] = "\r\nERROR\r\n";

bool Unescape(const std::string& text, std::string* bytes, std::string* error) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            *error = "a lone \\ at the end";
            return false;
        }
        switch (text[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    *error = "\\x needs two hex digits";
                    return false;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                *error = std::string("unknown escape \\") + text[i];
                return false;
        }
    }
    *bytes = out;
    return true;
}

std::string Escape(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        const bool last = i + 1 == bytes.size();
        switch (byte) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                // A blank at either end would be taken for the one after the marker or lost
                // to the eye, and a last "*" would make the command a prefix.
                if (byte < 0x20 || byte >= 0x7F || (byte == ' ' && (i == 0 || last)) || (byte == '*' && last)) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                    out += hex;
                } else {
                    out += static_cast<char>(byte);
                }
        }
    }
    return out;
}

bool ModemProfile::Parse(const std::string& text, ModemProfile* profile, std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    ModemProfile parsed;
    // The command whose reply the "<" lines build; null before the first ">".
    std::string* reply = nullptr;
    unsigned carrierKeys = 0;
    for (const MarkedLine& line : MarkedLines(text)) {
        const char marker = line.marker;
        std::string raw = line.text;
        const std::string where = "line " + std::to_string(line.number) + ": ";
        std::string bytes;
        std::string why;
        if (marker == '>') {
            const bool prefix = !raw.empty() && raw.back() == '*';
            if (prefix) raw.pop_back();
            if (!Unescape(raw, &bytes, &why)) {
                *error = where + why;
                return false;
            }
            std::map<std::string, std::string>& table = prefix ? parsed.prefixes_ : parsed.exact_;
            if (table.count(bytes) != 0) {
                *error = where + "the command " + Escape(bytes) + (prefix ? "*" : "") + " is listed twice";
                return false;
            }
            reply = &table[bytes];
        } else if (marker == '<') {
            if (reply == nullptr) {
                *error = where + "a reply before any \">\" command";
                return false;
            }
            if (!Unescape(raw, &bytes, &why)) {
                *error = where + why;
                return false;
            }
            *reply += bytes;
        } else if (marker == '=') {
            if (!parsed.carrier_) parsed.carrier_.emplace();
            if (!ReadCarrierSetting(raw, &*parsed.carrier_, &carrierKeys, &why)) {
                *error = where + why;
                return false;
            }
        } else {
            *error = where + "a line must begin with \">\", \"<\", \"=\" or \"#\"";
            return false;
        }
    }
    *profile = parsed;
    return true;
}

bool ModemProfile::ReadFile(const std::string& path, ModemProfile* profile, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read the modem profile " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (Parse(text.str(), profile, error)) return true;
    *error = path + ": " + *error;
    return false;
}

const std::string& ModemProfile::ReplyTo(const std::string& command) const {
    static const std::string error(kErrorReply);
    const auto exact = exact_.find(command);
    if (exact != exact_.end()) return exact->second;
    const std::string* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& entry : prefixes_) {
        const std::string& prefix = entry.first;
        if (command.compare(0, prefix.size(), prefix) == 0 && (best == nullptr || prefix.size() > bestLength)) {
            best = &entry.second;
            bestLength = prefix.size();
        }
    }
    return best != nullptr ? *best : error;
}

}  // namespace SimProfile
