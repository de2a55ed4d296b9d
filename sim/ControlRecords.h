#pragma once
// What the modem received and how its sessions were used, as ISimControl reports them; the
// modem's lock guards them. The sinks keep their own counts (SinkRegistry).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct ControlRecords {
    std::vector<std::pair<std::uint32_t, std::string>> commands;  // command id and bytes, in order
    int opens = 0;                                                // OpenCommandSession calls
    int closes = 0;                                               // CloseCommandSession calls

    // Copies up to capacity bytes of command index; returns its full length (0 past the end).
    std::size_t CopyCommand(std::size_t index, std::uint32_t* commandId, char* buffer, std::size_t capacity) const {
        if (index >= commands.size()) {
            if (commandId != nullptr) *commandId = 0;
            return 0;
        }
        const auto& command = commands[index];
        if (commandId != nullptr) *commandId = command.first;
        if (buffer != nullptr && capacity > 0) {
            std::memcpy(buffer, command.second.data(),
                        capacity < command.second.size() ? capacity : command.second.size());
        }
        return command.second.size();
    }
};
