// The serial AT port against pseudo-terminals at COM ports of this Wine prefix (SerialBench.cmake) where
// at_responder.py answers by command text; AT+WHO with its name and line settings as the port left them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestKit.h"
#include "support/ToolObjects.h"
#include "tools/ToolIds.h"

namespace {

const std::string kUntouched = "untouched", kWho = "AT+WHO\r\n", kEcho = Bytes("AT+ECHO=\1\177\200\377\0z\r\n");
const std::string kLong = [](std::string text) {  // the responder's: 3500 printable bytes, cycling from ' '
    for (int i = 0; i < 3500; ++i) text += static_cast<char>(' ' + i % 95);
    return text;
}({});

// A port tool from the factory, closed and released at the end.
struct Port {
    ToolPtr<IGlobalTools::IDeviceMsg> device = MakeTool<IGlobalTools::IDeviceMsg>(ToolIds::IDeviceMsg);
    ~Port() { device->Close(); }
    static const unsigned char* Data(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
    static unsigned int Size(const std::string& s) { return static_cast<unsigned int>(s.size()); }
    HRESULT Execute(const std::string& s, std::string* reply) { return device->ExecuteCmd(Data(s), Size(s), reply); }
    HRESULT Send(const std::string& s) { return device->SendData(Data(s), Size(s)); }
    // Drops whatever an earlier case left queued.
    HRESULT OpenDrained(unsigned int number) {
        const HRESULT result = device->Open(number);
        for (std::string ignored; result == S_OK && device->Recvmsg(&ignored) == S_OK;) continue;
        return result;
    }
    static std::string Who(unsigned int port) { return "\r\nCOM" + std::to_string(port) + " 115200 8N1\r\n"; }
    std::string Receive() {  // Recvmsg does not wait: polled for up to two seconds
        std::string reply;
        WaitUntil([&] { return device->Recvmsg(&reply) == S_OK; }, 2000);
        return reply;
    }
};

struct Row {
    const char* name;
    unsigned int port;
    const char* printed;               // by Open: the configuration step that failed
    HRESULT opened, result;            // by Open (and then an empty SendData), by ExecuteCmd
    std::string command, reply, rest;  // reply kUntouched: left as it was; rest: what a later Recvmsg gets
};

class SerialPort : public ::testing::TestWithParam<Row> {};

TEST_P(SerialPort, OpenThenExecuteCmd) {
    const Row& row = GetParam();
    Port port;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(port.OpenDrained(row.port), row.opened);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.printed);
    EXPECT_EQ(port.Send(""), row.opened) << "open, or closed";
    std::string reply = kUntouched;
    EXPECT_EQ(port.Execute(row.command, &reply), row.result);
    EXPECT_EQ(reply, row.reply);
    EXPECT_EQ(row.rest.empty() ? row.rest : port.Receive(), row.rest);
}

constexpr unsigned int kBench = SERIAL_BENCH_PORT, kOther = SERIAL_OTHER_PORT;  // also at the 7 and 8 digit ports
// clang-format off
const Row kRows[] = {
    {"SettingsApplied", kBench, "", S_OK, S_OK, kWho, Port::Who(kBench), ""},
    {"NoReplyFails", kBench, "", S_OK, E_FAIL, "AT+SILENT\r\n", kUntouched, ""},
    {"OneByteReplyFails", kBench, "", S_OK, E_FAIL, "AT+ONE\r\n", kUntouched, ""},
    {"TwoByteReplySucceeds", kBench, "", S_OK, S_OK, "AT+TWO\r\n", "OK", ""},
    {"OneByteCommandSentButNoReplyRead", kBench, "", S_OK, E_FAIL, "\n", kUntouched, "\r\nERROR\r\n"},
    {"EveryByteSentAndReturned", kBench, "", S_OK, S_OK, kEcho, kEcho, ""},
    {"ReplyCutAt1024ThenRecvmsgAt2048", kBench, "", S_OK, S_OK, "AT+LONG\r\n", kLong.substr(0, 1024),
     kLong.substr(1024, 2048)},
    // The 200 ms pause misses an answer that comes after 400 ms; it waits for the next read.
    {"AnswerLaterThanThePauseMissed", kBench, "", S_OK, E_FAIL, "AT+SLOW\r\n", kUntouched, "\r\nSLOW\r\n"},
    {"SevenDigitPortFitsTheDeviceName", SERIAL_SEVEN_DIGIT_PORT, "", S_OK, S_OK, kWho, Port::Who(kOther), ""},
    {"EightDigitPortRefusedThoughTheDeviceExists", SERIAL_EIGHT_DIGIT_PORT, "", E_FAIL, E_FAIL, kWho, kUntouched, ""},
    {"MissingDevice", SERIAL_MISSING_PORT, "", E_FAIL, E_FAIL, kWho, kUntouched, ""},
    // The first step fails and the rest are skipped: one name, no line end; the port still opens.
    {"NullDeviceFailsConfigurationButOpens", SERIAL_NULL_PORT, "SetCommTimeouts()", S_OK, E_FAIL, kWho, kUntouched, ""},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, SerialPort, ::testing::ValuesIn(kRows), RowName<Row>);

// Nowhere to reply fails; a second Open keeps the first port; a closed port sends and reads
// nothing and takes the next number it is given.
TEST(Serial, SecondOpenKeepsThePortAndAClosedPortDoesNothing) {
    Port port;
    std::string reply = kUntouched;
    ASSERT_EQ(port.OpenDrained(kBench), S_OK);
    EXPECT_EQ((std::vector<HRESULT>{port.Execute(kWho, nullptr), port.device->Recvmsg(nullptr)}),
              std::vector<HRESULT>(2, E_FAIL));
    EXPECT_EQ(port.device->Open(kOther), S_OK);
    EXPECT_EQ(port.Execute(kWho, &reply), S_OK);
    EXPECT_EQ(reply, Port::Who(kBench));
    EXPECT_EQ(port.device->Close() + port.device->Close(), 2);
    reply = kUntouched;
    const std::vector<HRESULT> closed{port.Execute(kWho, &reply), port.Send(""), port.device->Recvmsg(&reply)};
    EXPECT_EQ(closed, std::vector<HRESULT>(3, E_FAIL));
    EXPECT_EQ(reply, kUntouched);
    ASSERT_EQ(port.OpenDrained(kOther), S_OK);
    EXPECT_EQ(port.Execute(kWho, &reply), S_OK);
    EXPECT_EQ(reply, Port::Who(kOther));
}

}  // namespace
