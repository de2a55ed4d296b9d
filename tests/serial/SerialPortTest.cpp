// The serial AT port against Linux pseudo-terminals mapped to COM ports of this Wine prefix, with
// at_responder.py answering each command by its text (ports from SerialBench.cmake).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "tools/serial/CSerial.h"

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
    void* object = nullptr;
    EXPECT_EQ(GetToolObject(ToolIds::IDeviceMsg, &object), 1);
    return Device(static_cast<IDeviceMsg*>(object));
}

template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

HRESULT Execute(IDeviceMsg& device, const std::string& command, std::string* reply) {
    return device.ExecuteCmd(reinterpret_cast<const unsigned char*>(command.data()),
                             static_cast<unsigned int>(command.size()), reply);
}

HRESULT Send(IDeviceMsg& device, const std::string& data) {
    return device.SendData(reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned int>(data.size()));
}

// Recvmsg does not wait: poll it for at most two seconds.
std::string ReceiveWithin(IDeviceMsg& device) {
    std::string reply;
    for (int tries = 0; tries < 100; ++tries) {
        ::Sleep(20);
        if (device.Recvmsg(&reply) == S_OK) return reply;
    }
    return std::string();
}

// Opens the port and drops whatever an earlier case left queued.
HRESULT OpenDrained(IDeviceMsg& device, unsigned int port) {
    const HRESULT result = device.Open(port);
    std::string ignored;
    for (int reads = 0; result == S_OK && reads < 20 && device.Recvmsg(&ignored) == S_OK; ++reads) {
    }
    return result;
}

// The closed object sends nothing and gives nothing back.
void ExpectClosed(IDeviceMsg& device) {
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(device, "AT\r\n", &reply), E_FAIL);
    EXPECT_EQ(Send(device, "AT\r\n"), E_FAIL);
    EXPECT_EQ(device.Recvmsg(&reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
}

// The responder's long answers, built as in at_responder.py.
std::string Numbered(int count, size_t width) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(width - std::to_string(i).size(), '0') + std::to_string(i) + ',';
    return text;
}
const std::string kLongReply = Numbered(300, 4);  // 1500 bytes
const std::string kHugeReply = Numbered(500, 5);  // 3000 bytes

std::string Who(unsigned int port) {
    return "\r\nCOM" + std::to_string(port) + "\r\n";
}

class SerialBench : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(OpenDrained(*device_, kBenchPort), S_OK) << "is the AT responder running on COM" << kBenchPort << "?";
    }
    Device device_ = NewDevice();
};

struct ReplyRow {
    const char* name;
    std::string command;
    HRESULT result;
    std::string reply, rest;  // reply kUntouched: left as it was; rest: what a later Recvmsg gets
};

class SerialReplies : public SerialBench, public ::testing::WithParamInterface<ReplyRow> {};

TEST_P(SerialReplies, ExecuteCmdReturnsWhatWasQueued) {
    const ReplyRow& row = GetParam();
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, row.command, &reply), row.result);
    EXPECT_EQ(reply, row.reply);
    if (row.rest.empty()) {
        EXPECT_EQ(device_->Recvmsg(&reply), E_FAIL) << "left queued: " << reply;
    } else {
        EXPECT_EQ(ReceiveWithin(*device_), row.rest);
    }
}

const ReplyRow kReplyRows[] = {
    {"Ok", "AT\r\n", S_OK, "\r\nOK\r\n", ""},
    {"NoReplyFails", "AT+SILENT\r\n", E_FAIL, kUntouched, ""},
    {"OneByteReplyFails", "AT+ONE\r\n", E_FAIL, kUntouched, ""},
    {"TwoByteReplySucceeds", "AT+TWO\r\n", S_OK, "OK", ""},
    {"NulBytesKept", "AT+NUL\r\n", S_OK, Bytes("\r\n\0A\0\0B\r\n\0OK\r\n"), ""},
    {"EveryCommandByteSentInOrder", Bytes("AT+ECHO=\1\177\200\377\0z\r\n"), S_OK,
     Bytes("AT+ECHO=\1\177\200\377\0z\r\n"), ""},
    {"ErrorReply", "AT+NOSUCH\r\n", S_OK, "\r\nERROR\r\n", ""},
    {"LongReplyCutAt1024RestQueued", "AT+LONG\r\n", S_OK, kLongReply.substr(0, 1024), kLongReply.substr(1024)},
    // The shipped 200 ms pause misses an answer that comes after 400 ms; it waits for the next read.
    {"AnswerLaterThanThePauseMissed", "AT+SLOW\r\n", E_FAIL, kUntouched, "\r\nSLOW\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Commands, SerialReplies, ::testing::ValuesIn(kReplyRows),
                         [](const ::testing::TestParamInfo<ReplyRow>& info) { return std::string(info.param.name); });

TEST_F(SerialBench, SendDataThenRecvmsgTakesAtMost2048) {
    EXPECT_EQ(Send(*device_, ""), S_OK) << "nothing to send is all sent";
    ASSERT_EQ(Send(*device_, "AT+HUGE\r\n"), S_OK);
    ::Sleep(500);
    std::string reply;
    ASSERT_EQ(device_->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kHugeReply.substr(0, 2048));
    ASSERT_EQ(device_->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kHugeReply.substr(2048));
}

TEST_F(SerialBench, OneByteCommandAndNullReplyFailWithoutIO) {
    ASSERT_EQ(Send(*device_, "AT+TWO\r\n"), S_OK);
    ::Sleep(300);  // the answer is queued now
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, "\n", &reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    EXPECT_EQ(ReceiveWithin(*device_), "OK") << "the one-byte command read the queued answer";
    EXPECT_EQ(Execute(*device_, "AT\r\n", nullptr), E_FAIL);
    EXPECT_EQ(device_->Recvmsg(nullptr), E_FAIL);
    ::Sleep(300);
    EXPECT_EQ(device_->Recvmsg(&reply), E_FAIL) << "a command with nowhere to reply went out: " << reply;
}

TEST(SerialWaits, LongerPauseCatchesTheLateAnswer) {
    SerialWaits waits;
    waits.replyPause = 1500;
    Device device(new CSerial(waits));
    ASSERT_EQ(OpenDrained(*device, kBenchPort), S_OK);
    std::string reply;
    EXPECT_EQ(Execute(*device, "AT+SLOW\r\n", &reply), S_OK);
    EXPECT_EQ(reply, "\r\nSLOW\r\n");
}

// A second Open keeps the first port; Close twice returns 1 both times and a closed port takes
// the next number it is given.
TEST_F(SerialBench, SecondOpenKeepsTheFirstPortAndCloseIsFinal) {
    std::string reply;
    EXPECT_EQ(device_->Open(kOtherPort), S_OK);
    ASSERT_EQ(Execute(*device_, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kBenchPort));
    EXPECT_EQ(device_->Close(), 1);
    EXPECT_EQ(device_->Close(), 1);
    ExpectClosed(*device_);
    ASSERT_EQ(OpenDrained(*device_, kOtherPort), S_OK);
    ASSERT_EQ(Execute(*device_, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kOtherPort));
}

struct PortRow {
    const char* name;
    unsigned int port;
    HRESULT result;
    unsigned int who;     // the responder that answers; 0 with S_OK: nothing can be queued
    const char* printed;  // the configuration step that failed
};

class SerialPortNumbers : public ::testing::TestWithParam<PortRow> {};

TEST_P(SerialPortNumbers, OpenByNumber) {
    const PortRow& row = GetParam();
    Device device = NewDevice();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(OpenDrained(*device, row.port), row.result);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.printed);
    if (row.result != S_OK) return ExpectClosed(*device);
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device, "AT+WHO\r\n", &reply), row.who ? S_OK : E_FAIL);
    EXPECT_EQ(reply, row.who ? Who(row.who) : kUntouched);
    if (!row.who) {
        EXPECT_EQ(Send(*device, "AT\r\n"), S_OK) << "the port is open";
    }
}

const PortRow kPortRows[] = {
    {"BenchPortTakesEveryConfigurationStep", kBenchPort, S_OK, kBenchPort, ""},
    {"SevenDigitsFitTheDeviceName", SERIAL_SEVEN_DIGIT_PORT, S_OK, kOtherPort, ""},
    {"EightDigitsRefusedThoughTheDeviceExists", SERIAL_EIGHT_DIGIT_PORT, E_FAIL, 0, ""},
    {"LargestNumberRefused", 4294967295u, E_FAIL, 0, ""},
    {"MissingDevice", SERIAL_MISSING_PORT, E_FAIL, 0, ""},
    {"PortZero", 0, E_FAIL, 0, ""},
    // The first step fails and the rest are skipped: one name, no line end; the port still opens.
    {"NullDeviceFailsConfigurationButOpens", SERIAL_NULL_PORT, S_OK, 0, "SetCommTimeouts()"},
};

INSTANTIATE_TEST_SUITE_P(Ports, SerialPortNumbers, ::testing::ValuesIn(kPortRows),
                         [](const ::testing::TestParamInfo<PortRow>& info) { return std::string(info.param.name); });

}  // namespace
