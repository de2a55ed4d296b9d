// The serial AT port against a real serial device: a Linux pseudo-terminal that the test
// fixture maps to COM ports of this Wine prefix, with an AT responder on its far end (see
// at_responder.py). The responder answers each command by its text; the port numbers come from
// the build (SerialBench.cmake), which also starts and stops the responder.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>

#include "support/TestFiles.h"
#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "tools/serial/CSerial.h"

namespace {

using IGlobalTools::IDeviceMsg;

constexpr unsigned int kBenchPort = SERIAL_BENCH_PORT;             // the first responder
constexpr unsigned int kOtherPort = SERIAL_OTHER_PORT;             // a second responder
constexpr unsigned int kSevenDigitPort = SERIAL_SEVEN_DIGIT_PORT;  // the second responder again
constexpr unsigned int kEightDigitPort = SERIAL_EIGHT_DIGIT_PORT;  // the second responder again
constexpr unsigned int kNullPort = SERIAL_NULL_PORT;               // /dev/null: takes no serial settings
constexpr unsigned int kMissingPort = SERIAL_MISSING_PORT;         // no device at all

const char kUntouched[] = "untouched";

// The responder's answer to "AT+WHO": the first port number mapped to its terminal.
std::string Who(unsigned int port) {
    return "\r\nCOM" + std::to_string(port) + "\r\n";
}

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

// Recvmsg does not wait: poll it until the reply is there, for at most two seconds.
std::string ReceiveWithin(IDeviceMsg& device) {
    std::string reply;
    for (int tries = 0; tries < 100; ++tries) {
        ::Sleep(20);
        if (device.Recvmsg(&reply) == S_OK) return reply;
    }
    return std::string();
}

// Whatever an earlier case left queued.
void Drain(IDeviceMsg& device) {
    std::string ignored;
    for (int reads = 0; reads < 20 && device.Recvmsg(&ignored) == S_OK; ++reads) {
    }
}

// The responder's two long answers, built the same way as in at_responder.py.
std::string Numbered(int count, const char* format) {
    std::string text;
    char piece[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof(piece), format, i);
        text += piece;
    }
    return text;
}
const std::string kLongReply = Numbered(300, "%04d,");  // 1500 bytes
const std::string kHugeReply = Numbered(500, "%05d,");  // 3000 bytes

// Catches what the process writes on its standard output while alive. Text mode, as a
// standard output starts: the runtime turns wide output into narrow bytes there.
class StdoutCapture {
public:
    StdoutCapture() : path_(TestFiles::ExecutableFolder() + "stdout-capture.txt") {
        std::fflush(stdout);
        saved_ = _dup(_fileno(stdout));
        const int file = _open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, 0600);
        _dup2(file, _fileno(stdout));
        _close(file);
    }
    ~StdoutCapture() { Finish(); }
    std::string Finish() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            _dup2(saved_, _fileno(stdout));
            _close(saved_);
            saved_ = -1;
            text_ = TestFiles::ReadAll(path_);
            std::remove(path_.c_str());
        }
        return text_;
    }

private:
    std::string path_;
    std::string text_;
    int saved_ = -1;
};

class SerialBench : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(device_->Open(kBenchPort), S_OK) << "is the AT responder running on COM" << kBenchPort << "?";
        Drain(*device_);
    }
    Device device_ = NewDevice();
};

// --- replies to one command -------------------------------------------------------------

struct ReplyRow {
    const char* name;
    std::string command;
    HRESULT result;
    std::string reply;  // kUntouched when the caller's string must stay as it was
};

class SerialReplies : public SerialBench, public ::testing::WithParamInterface<ReplyRow> {};

TEST_P(SerialReplies, ExecuteCmdReturnsWhatWasQueued) {
    const ReplyRow& row = GetParam();
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, row.command, &reply), row.result);
    EXPECT_EQ(reply, row.reply);
}

const ReplyRow kReplyRows[] = {
    {"Ok", "AT\r\n", S_OK, "\r\nOK\r\n"},
    {"NoReplyFails", "AT+SILENT\r\n", E_FAIL, kUntouched},
    {"OneByteReplyFails", "AT+ONE\r\n", E_FAIL, kUntouched},
    {"TwoByteReplySucceeds", "AT+TWO\r\n", S_OK, "OK"},
    {"NulBytesKept", "AT+NUL\r\n", S_OK, Bytes("\r\n\0A\0\0B\r\n\0OK\r\n")},
    {"EveryCommandByteSentInOrder", Bytes("AT+ECHO=\x01\x7f\x80\xff\0z\r\n"), S_OK,
     Bytes("AT+ECHO=\x01\x7f\x80\xff\0z\r\n")},
    {"ErrorReply", "AT+NOSUCH\r\n", S_OK, "\r\nERROR\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Commands, SerialReplies, ::testing::ValuesIn(kReplyRows),
                         [](const ::testing::TestParamInfo<ReplyRow>& info) { return std::string(info.param.name); });

TEST_F(SerialBench, LongReplyIsCutAt1024AndTheRestStaysQueued) {
    std::string reply;
    ASSERT_EQ(Execute(*device_, "AT+LONG\r\n", &reply), S_OK);
    EXPECT_EQ(reply, kLongReply.substr(0, 1024));
    EXPECT_EQ(device_->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kLongReply.substr(1024));
    EXPECT_EQ(device_->Recvmsg(&reply), E_FAIL) << "nothing is left";
}

TEST_F(SerialBench, RecvmsgTakesAtMost2048) {
    ASSERT_EQ(Send(*device_, "AT+HUGE\r\n"), S_OK);
    ::Sleep(500);
    std::string reply;
    ASSERT_EQ(device_->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kHugeReply.substr(0, 2048));
    ASSERT_EQ(device_->Recvmsg(&reply), S_OK);
    EXPECT_EQ(reply, kHugeReply.substr(2048));
}

TEST_F(SerialBench, SendDataThenRecvmsg) {
    EXPECT_EQ(Send(*device_, "AT\r\n"), S_OK);
    EXPECT_EQ(ReceiveWithin(*device_), "\r\nOK\r\n");
    EXPECT_EQ(Send(*device_, ""), S_OK) << "nothing to send is all sent";
}

TEST_F(SerialBench, OneByteCommandFailsWithoutReading) {
    ASSERT_EQ(Send(*device_, "AT+TWO\r\n"), S_OK);
    ::Sleep(300);  // the answer is queued now
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, "\n", &reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    EXPECT_EQ(ReceiveWithin(*device_), "OK") << "the queued answer was read by the one-byte command";
}

TEST_F(SerialBench, NoReplyStringIsRefusedBeforeSending) {
    EXPECT_EQ(device_->ExecuteCmd(reinterpret_cast<const unsigned char*>("AT\r\n"), 4, nullptr), E_FAIL);
    EXPECT_EQ(device_->Recvmsg(nullptr), E_FAIL);
    std::string reply;
    ::Sleep(300);
    EXPECT_EQ(device_->Recvmsg(&reply), E_FAIL) << "the command went out: " << reply;
}

// The shipped 200 ms pause is too short for an answer that comes after 400 ms: the one read
// finds nothing, and the answer waits for the next read.
TEST_F(SerialBench, AnswerLaterThanThePauseIsMissed) {
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, "AT+SLOW\r\n", &reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    EXPECT_EQ(ReceiveWithin(*device_), "\r\nSLOW\r\n");
}

TEST(SerialWaits, LongerPauseCatchesTheLateAnswer) {
    SerialWaits waits;
    waits.replyPause = 1500;
    Device device(new CSerial(waits));
    ASSERT_EQ(device->Open(kBenchPort), S_OK);
    Drain(*device);
    std::string reply;
    EXPECT_EQ(Execute(*device, "AT+SLOW\r\n", &reply), S_OK);
    EXPECT_EQ(reply, "\r\nSLOW\r\n");
}

TEST_F(SerialBench, SecondOpenKeepsTheFirstPort) {
    EXPECT_EQ(device_->Open(kOtherPort), S_OK);
    std::string reply;
    ASSERT_EQ(Execute(*device_, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kBenchPort));
}

TEST_F(SerialBench, CloseTwiceReturnsOneAndLeavesThePortClosed) {
    EXPECT_EQ(device_->Close(), 1);
    EXPECT_EQ(device_->Close(), 1);
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device_, "AT\r\n", &reply), E_FAIL);
    EXPECT_EQ(Send(*device_, "AT\r\n"), E_FAIL);
    EXPECT_EQ(device_->Recvmsg(&reply), E_FAIL);
    EXPECT_EQ(reply, kUntouched);
    // Closed means closed: the next Open takes the number it is given.
    ASSERT_EQ(device_->Open(kOtherPort), S_OK);
    ASSERT_EQ(Execute(*device_, "AT+WHO\r\n", &reply), S_OK);
    EXPECT_EQ(reply, Who(kOtherPort));
}

TEST(SerialOpen, PseudoTerminalTakesEveryConfigurationStep) {
    Device device = NewDevice();
    StdoutCapture output;
    ASSERT_EQ(device->Open(kBenchPort), S_OK);
    EXPECT_EQ(output.Finish(), "");
}

TEST(SerialOpen, ConfigurationFailurePrintsTheStepAndStillOpens) {
    Device device = NewDevice();
    StdoutCapture output;
    EXPECT_EQ(device->Open(kNullPort), S_OK);
    // The first step fails and the rest are skipped, so one name and no line end.
    EXPECT_EQ(output.Finish(), "SetCommTimeouts()");
    std::string reply = kUntouched;
    EXPECT_EQ(Execute(*device, "AT\r\n", &reply), E_FAIL) << "nothing can be queued on the null device";
    EXPECT_EQ(Send(*device, "AT\r\n"), S_OK) << "the port is open";
    EXPECT_EQ(device->Close(), 1);
}

// --- opening by number --------------------------------------------------------------------

struct PortRow {
    const char* name;
    unsigned int port;
    HRESULT result;
    unsigned int who;  // the responder that answers when the port opens
};

class SerialPortNumbers : public ::testing::TestWithParam<PortRow> {};

TEST_P(SerialPortNumbers, OpenByNumber) {
    const PortRow& row = GetParam();
    Device device = NewDevice();
    EXPECT_EQ(device->Open(row.port), row.result);
    std::string reply = kUntouched;
    if (row.result == S_OK) {
        Drain(*device);
        ASSERT_EQ(Execute(*device, "AT+WHO\r\n", &reply), S_OK);
        EXPECT_EQ(reply, Who(row.who));
    } else {
        // The object stays closed: nothing goes out, nothing comes back.
        EXPECT_EQ(Execute(*device, "AT\r\n", &reply), E_FAIL);
        EXPECT_EQ(Send(*device, "AT\r\n"), E_FAIL);
        EXPECT_EQ(device->Recvmsg(&reply), E_FAIL);
        EXPECT_EQ(reply, kUntouched);
        EXPECT_EQ(device->Close(), 1);
    }
}

const PortRow kPortRows[] = {
    {"BenchPort", kBenchPort, S_OK, kBenchPort},
    {"SevenDigitsFitTheDeviceName", kSevenDigitPort, S_OK, kOtherPort},
    {"EightDigitsRefusedThoughTheDeviceExists", kEightDigitPort, E_FAIL, 0},
    {"LargestNumberRefused", 4294967295u, E_FAIL, 0},
    {"MissingDevice", kMissingPort, E_FAIL, 0},
    {"PortZero", 0, E_FAIL, 0},
};

INSTANTIATE_TEST_SUITE_P(Ports, SerialPortNumbers, ::testing::ValuesIn(kPortRows),
                         [](const ::testing::TestParamInfo<PortRow>& info) { return std::string(info.param.name); });

}  // namespace
