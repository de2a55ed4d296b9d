#pragma once
// What ISimControl reports: the simulator COM objects alive, and what the modem received and
// how its sessions were used (guarded by the modem's lock). The sinks keep their own counts
// (SinkRegistry).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Counts every simulator COM object from construction to destruction.
class LiveObject {
public:
    static long Count() { return count_.load(); }

protected:
    LiveObject() { ++count_; }
    ~LiveObject() { --count_; }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

private:
    static inline std::atomic<long> count_{0};
};

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
