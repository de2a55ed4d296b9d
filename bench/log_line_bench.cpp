// What one module-log line costs with its file and folders checked, measured next to a writer in
// the same process that does only the work a line must do and nothing else: read "LOG_LV", take
// the executable's name, read "LOG_PATH", find the application-data folder, make both folders,
// take the local time, open the file by name with "a+", write prefix, message and line end,
// flush and close. Interleaved line by line, each first every other time; each run's figure is
// the median of the pairs' own ratios, so a burst of load from elsewhere weighs on both sides of
// the pair it falls on. Goal: 1.2 or less.
// Not a test: run it by hand under the build's Wine prefix.
//   log_line_bench.exe [lines per run] [runs]
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/PrintfFormat.h"
#include "tools/ToolIds.h"
#include "tools/ToolPtr.h"
#include "tools/log/LogConfig.h"

namespace {

constexpr char kFolderName[] = "OemLogLineBench";
constexpr int kWarmUpPairs = 20;

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The floor: one line as it is described, trusting every name it is given.
class FloorWriter {
public:
    OEM_PRINTF_FORMAT(3, 4) void Write(int level, const char* format, ...) {
        if (static_cast<int>(::GetPrivateProfileIntA("BASE_CONFIG", "LOG_LV", -1, config_.c_str())) < level) return;
        char exe[MAX_PATH] = {}, name[MAX_PATH] = {}, folder[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
        const std::string file = std::string(std::strrchr(exe, '\\') + 1) + "Floor.log";
        ::GetPrivateProfileStringA("BASE_CONFIG", "LOG_PATH", "Kestovan R470 Driver Package", name, MAX_PATH,
                                   config_.c_str());
        if (!::SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) return;
        ::PathAddBackslashA(folder);
        const std::string own = std::string(folder) + name + "\\", logs = own + "logs\\";
        if (!::CreateDirectoryA(own.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return;
        ::CreateDirectoryA(logs.c_str(), nullptr);
        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        std::vector<char> message(16384, '\0');
        FILE* out = nullptr;
        if (fopen_s(&out, (logs + file).c_str(), "a+") != 0 || out == nullptr) return;
        std::fprintf(out, "[%d] [%d] %02d-%02d %02d:%02d:%02d:%03d : ", static_cast<int>(::GetCurrentProcessId()),
                     static_cast<int>(::GetCurrentThreadId()), now.wMonth, now.wDay, now.wHour, now.wMinute,
                     now.wSecond, now.wMilliseconds);
        va_list args;
        va_start(args, format);
        std::vsnprintf(message.data(), message.size(), format, args);
        va_end(args);
        std::fputs(message.data(), out);
        std::fputs("\n", out);
        std::fflush(out);
        std::fclose(out);
    }

private:
    const std::string config_ = LogConfig::ConfigFilePath();
};

void RemoveBenchFolder(const std::string& folder) {
    for (const char* file : {"log_line_bench.exeEx.log", "log_line_bench.exeFloor.log"}) {
        ::DeleteFileA((folder + "logs\\" + file).c_str());
    }
    ::RemoveDirectoryA((folder + "logs\\").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string appData;
    LogConfig::CommonAppDataFolder(&appData);
    const std::string folder = appData + kFolderName + "\\";
    const std::string config = LogConfig::ConfigFilePath();
    RemoveBenchFolder(folder);
    std::ofstream(config) << "[BASE_CONFIG]\nLOG_LV=2\nLOG_PATH=" << kFolderName << "\n";

    void* object = nullptr;
    GetToolObject(ToolIds::ILogEx, &object);
    const ToolPtr<IGlobalTools::ILogEx> checked(static_cast<IGlobalTools::ILogEx*>(object));
    FloorWriter floor;
    const char kReply[] = "\r\n+GTCURCAR: 5\r\n\r\nOK\r\n";
    std::printf("one module-log line, checked, against the floor: %d pairs a run (goal 1.2 or less)\n", lines);
    std::vector<double> ratios;
    for (int run = 1; run <= runs; ++run) {
        std::vector<double> pairRatios, checkedTicks, floorTicks;
        for (int i = -kWarmUpPairs; i < lines; ++i) {
            double ticks[2] = {};
            for (int turn = 0; turn < 2; ++turn) {
                const int side = (i + turn) & 1;
                const LONGLONG start = Now();
                if (side == 0) {
                    checked->WriteLog(2, "[Normal] reply %s", kReply);
                } else {
                    floor.Write(2, "[Normal] reply %s", kReply);
                }
                ticks[side] = static_cast<double>(Now() - start);
            }
            if (i < 0) continue;
            pairRatios.push_back(ticks[0] / ticks[1]);
            checkedTicks.push_back(ticks[0]);
            floorTicks.push_back(ticks[1]);
        }
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        const double micros = 1e6 / static_cast<double>(frequency.QuadPart);
        ratios.push_back(Median(pairRatios));
        std::printf("  run %d: checked %.1f us, floor %.1f us, ratio %.2f\n", run, Median(checkedTicks) * micros,
                    Median(floorTicks) * micros, ratios.back());
        std::fflush(stdout);
    }
    const auto [least, most] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("  median of %d runs %.2f, spread %.2f to %.2f\n", runs, Median(ratios), *least, *most);
    ::DeleteFileA(config.c_str());
    RemoveBenchFolder(folder);
    return 0;
}
