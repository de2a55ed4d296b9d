#pragma once
// What the simulated modem answers, read from a profile file a person can edit:
//
//   # a comment
//   > AT+GTCURCAR?\r\n          the command bytes the modem receives
//   < \r\n+GTCURCAR: 5\r\n      a piece of its reply; several "<" lines are joined as they are
//   < \r\nOK\r\n
//   > AT+GTFDCAR=*              any command that begins with these bytes
//   > *                         any command not listed
//
// Escapes: \r \n \t \0 \\ \xNN. One blank after the marker is dropped, every other byte is kept
// (trailing blanks too; write \x20 to make one visible). A command ending in "*" is a prefix (a
// literal star at the end is \x2A); an exact command wins over a prefix, a longer prefix over a
// shorter one. A ">" with no "<" line answers nothing.
//
//   = current 5                 the factory values of the carrier model (CarrierState.h); with
//   = lock 0,5                  any "=" line the modem answers the carrier commands from its
//   = manual 0                  state, except a command listed exactly, which keeps its
//   = auto 1                    listed reply; settings left out are 0
//   = factory-default 3
//
// Plain C++ with no platform header, so it is tested natively too.

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "CarrierState.h"

namespace SimProfile {

// Turns the escapes above into bytes; false, with a message, for any other escape.
bool Unescape(const std::string& text, std::string* bytes, std::string* error);

// The readable form of bytes, in the escapes Unescape reads.
std::string Escape(const std::string& bytes);

class ModemProfile {
public:
    // A profile that lists nothing: every command gets kErrorReply.
    ModemProfile() = default;

    // False with "line N: why" when the text is not a profile; profile is then untouched.
    static bool Parse(const std::string& text, ModemProfile* profile, std::string* error);
    // The file at path read and parsed; false with "cannot read the modem profile PATH" or
    // "PATH: line N: why" when it cannot be used.
    static bool ReadFile(const std::string& path, ModemProfile* profile, std::string* error);

    // The reply listed for exactly these bytes, else that of the longest matching prefix,
    // else kErrorReply.
    const std::string& ReplyTo(const std::string& command) const;

    std::size_t size() const { return exact_.size() + prefixes_.size(); }

    // Whether these exact bytes are listed (not only matched by a prefix).
    bool ListsExactly(const std::string& command) const { return exact_.count(command) != 0; }

    // The factory values of the carrier model; null when the profile has no "=" line.
    const CarrierState* carrierFactory() const { return carrier_ ? &*carrier_ : nullptr; }

    static const char kErrorReply[];

private:
    std::map<std::string, std::string> exact_;
    std::map<std::string, std::string> prefixes_;
    std::optional<CarrierState> carrier_;
};

}  // namespace SimProfile
