#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "errors/Trap.h"
#include "settings/Settings.h"

namespace ostrell::settings {

// The refreshed copy of the host's parameters (re-read at start-up and every 60 s).
// Initially empty, zero and false, until the first refresh fills them.
struct Parameters {
    std::string DataDirPath;
    std::string AppDirPath;
    std::string ExitMode;
    int32_t LoopCount = 0;
    std::array<std::string, 6> LoNumbers;  // indexes 1 to 5; element 0 unused
    bool HasLoNumber = false;
    int32_t TimeOutSecs = 0;
    std::string UpLoadCommand;
};

// The store reads of the parameter refresh, each its own statement under the refresh's trap: a value
// that cannot be converted is reported and leaves its variable as it was.
void readParameters(Settings& settings, Parameters& p, errors::Trap& trap);

// Values read once at start-up; a change needs a restart.
struct ConnectionSettings {
    std::string ServerIP;
    int32_t ServerPort = 0;
    int32_t LocalPort = 0;
    std::string LocalIP;
};

// Reads "IPadd", "IPport", "IPLocalport" and "LocalIP"; with no address configured, the fixed default
// server on port 6667 with local port 0, whatever the two port keys hold.
void readConnectionSettings(Settings& settings, ConnectionSettings& c, errors::Trap& trap);

}  // namespace ostrell::settings
