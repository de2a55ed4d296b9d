// The serial AT port against Linux pseudo-terminals mapped to COM ports of this Wine prefix, with
// at_responder.py answering each command by its text (ports from SerialBench.cmake). AT+WHO
// answers the responder's name and its terminal's line settings, as the port left them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ToolObjects.h"
#include "tools/ToolIds.h"

namespace {

using IGlobalTools::IDeviceMsg;

constexpr unsigned int kBenchPort = SERIAL_BENCH_PORT;  // the first responder
constexpr unsigned int kOtherPort = SERIAL_OTHER_PORT;  // the second; also at the seven- and eight-digit ports
const char kUntouched[] = "untouched";

struct CloseAndRelease {
    void operator()(IDeviceMsg* device) const {
        device->Close();
        device->Release();
    }
};
using Device = std::unique_ptr<IDeviceMsg, CloseAndRelease>;

Device NewDevice() {
    return Device(MakeTool<IDeviceMsg>(ToolIds::IDeviceMsg).release());
}

HRESULT Execute(IDeviceMsg& device, const std::string& command, std::string* reply) {
    return device.ExecuteCmd(reinterpret_cast<const unsigned char*>(command.data()),
                             static_cast<unsigned int>(command.size()), reply);
}

HRESULT Send(IDeviceMsg& device, const std::string& data) {
    return device.SendData(reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned int>(data.size()));
}

// Recvmsg does not wait: poll it until something comes, for at most two seconds.
std::string ReceiveWithin(IDeviceMsg& device) {
    std::string reply;
    for (const ULONGLONG end = ::GetTickCount64() + 2000; ::GetTickCount64() < end; ::Sleep(10))
        if (device.Recvmsg(&reply) == S_OK) return reply;
    return std::string();
}

// Opens the port and drops whatever an earlier case left queued.
HRESULT OpenDrained(IDeviceMsg& device, unsigned int port) {
    const HRESULT result = device.Open(port);
    std::string ignored;
    while (result == S_OK && device.Recvmsg(&ignored) == S_OK) {
    }
    return result;
}

std::string Who(unsigned int port) {
    return "\r\nCOM" + std::to_string(port) + " 115200 8N1\r\n";
}

std::string Numbered(int count, size_t width) {  // the responder's long answers
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(width - std::to_string(i).size(), '0') + std::to_string(i) + ',';
    return text;
}
const std::string kLongReply = Numbered(300, 4);  // 1500 bytes
const std::string kHugeReply = Numbered(500, 5);  // 3000 bytes

struct ReplyRow {
    const char* name;
    std::string command;
    HRESULT result;
    std::string reply, rest;  // reply kUntouched: left as it was; rest: what a later Recvmsg gets
};

class SerialReplies : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(SerialReplies, ExecuteCmdReturnsWhatWasQueued) {
    const ReplyRow& row = GetParam();
    Device device = NewDevice();
    ASSERT_EQ(OpenDrained(*device, kBenchPort), S_OK) << "is the AT responder running on COM" << kBenchPort << "?";
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device, row.command, &reply), row.result);
    EXPECT_EQ(reply, row.reply);
    if (!row.rest.empty()) {
        EXPECT_EQ(ReceiveWithin(*device), row.rest);
    }
}

const ReplyRow kReplyRows[] = {
    {"SettingsApplied", "AT+WHO\r\n", S_OK, Who(kBenchPort), ""},
    {"NoReplyFails", "AT+SILENT\r\n", E_FAIL, kUntouched, ""},
    {"OneByteReplyFails", "AT+ONE\r\n", E_FAIL, kUntouched, ""},
    {"TwoByteReplySucceeds", "AT+TWO\r\n", S_OK, "OK", ""},
    {"OneByteCommandFails", "\n", E_FAIL, kUntouched, ""},
    {"EveryByteSentAndReturned", std::string("AT+ECHO=\1\177\200\377\0z\r\n", 16), S_OK,
     std::string("AT+ECHO=\1\177\200\377\0z\r\n", 16), ""},
    {"LongReplyCutAt1024RestQueued", "AT+LONG\r\n", S_OK, kLongReply.substr(0, 1024), kLongReply.substr(1024)},
    // The 200 ms pause misses an answer that comes after 400 ms; it waits for the next read.
    {"AnswerLaterThanThePauseMissed", "AT+SLOW\r\n", E_FAIL, kUntouched, "\r\nSLOW\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Commands, SerialReplies, ::testing::ValuesIn(kReplyRows),
                         [](const ::testing::TestParamInfo<ReplyRow>& info) { return std::string(info.param.name); });

// Recvmsg takes at most 2048 bytes; nowhere to reply fails; a second Open keeps the first port;
// a closed port sends and reads nothing and takes the next number it is given.
TEST(Serial, ReceiveLimitSecondOpenAndClose) {
    Device device = NewDevice();
    ASSERT_EQ(OpenDrained(*device, kBenchPort), S_OK);
    ASSERT_EQ(Send(*device, "AT+HUGE\r\n"), S_OK);
    EXPECT_EQ(ReceiveWithin(*device), kHugeReply.substr(0, 2048));
    EXPECT_EQ(ReceiveWithin(*device), kHugeReply.substr(2048));
    EXPECT_EQ(Execute(*device, "AT\r\n", nullptr), E_FAIL);
    EXPECT_EQ(device->Recvmsg(nullptr), E_FAIL);

    std::string reply = kUntouched;
    EXPECT_EQ(device->Open(kOtherPort), S_OK);
    EXPECT_EQ(Execute(*device, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kBenchPort));
    EXPECT_EQ(device->Close(), 1);
    EXPECT_EQ(device->Close(), 1);
    reply = kUntouched;
    EXPECT_EQ(Execute(*device, "AT\r\n", &reply), E_FAIL);
    EXPECT_EQ(Send(*device, "AT\r\n"), E_FAIL);
    EXPECT_EQ(device->Recvmsg(&reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    ASSERT_EQ(OpenDrained(*device, kOtherPort), S_OK);
    EXPECT_EQ(Execute(*device, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kOtherPort));
}

struct PortRow {
    const char* name;
    unsigned int port;
    HRESULT result;
    const char* printed;  // the configuration step that failed
};

class SerialPortNumbers : public ::testing::TestWithParam<PortRow> {};

TEST_P(SerialPortNumbers, OpenByNumber) {
    const PortRow& row = GetParam();
    Device device = NewDevice();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(device->Open(row.port), row.result);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.printed);
    EXPECT_EQ(Send(*device, "AT\r\n"), row.result) << "open, or closed";
}

const PortRow kPortRows[] = {
    {"SevenDigitsFitTheDeviceName", SERIAL_SEVEN_DIGIT_PORT, S_OK, ""},
    {"EightDigitsRefusedThoughTheDeviceExists", SERIAL_EIGHT_DIGIT_PORT, E_FAIL, ""},
    {"MissingDevice", SERIAL_MISSING_PORT, E_FAIL, ""},
    // The first step fails and the rest are skipped: one name, no line end; the port still opens.
    {"NullDeviceFailsConfigurationButOpens", SERIAL_NULL_PORT, S_OK, "SetCommTimeouts()"},
};

INSTANTIATE_TEST_SUITE_P(Ports, SerialPortNumbers, ::testing::ValuesIn(kPortRows),
                         [](const ::testing::TestParamInfo<PortRow>& info) { return std::string(info.param.name); });

}  // namespace
