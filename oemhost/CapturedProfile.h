#pragma once
// A captured modem written as a profile of the simulated modem: each read-only query the
// exports use with the exact reply bytes, and the carrier model's values where the carrier
// replies are the model's own form, so that a replay also follows settings. Plain text.

#include <string>
#include <vector>

struct CapturedReply {
    std::string command;
    bool answered = false;
    std::string reply;  // exactly as received
};

// The read-only queries in the order they are asked: the carrier id, the four carrier switch
// modes, the firmware version (and ati8 for older firmware), the NVM version.
std::vector<std::string> CaptureQueries();

// The profile text: header (the lines given, each made a comment), then the replies. A
// command without an answer is listed with no reply, so the replay answers nothing either.
std::string CapturedProfileText(const std::vector<std::string>& header, const std::vector<CapturedReply>& replies);
