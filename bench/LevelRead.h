#pragma once
// The level test every log line pays, as the carrier-id benchmark's client pays it: "LOG_LV" of
// ksconfig.ini beside the executable, default -1, the file's path found once as the log tools
// find it.

#include <string>

#include "tools/log/LogConfig.h"

class LevelRead {
public:
    void operator()() const { LogConfig::ReadLogLevel(config_); }

private:
    const std::string config_ = LogConfig::ConfigFilePath();
};
