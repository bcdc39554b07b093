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
    std::string dataDirPath;
    std::string appDirPath;
    std::string exitMode;
    int32_t loopCount = 0;
    std::array<std::string, 6> loNumbers;  // indexes 1 to 5; element 0 unused
    bool hasLoNumber = false;
    int32_t timeoutSecs = 0;
    std::string uploadCommand;
};

// The store reads of the parameter refresh, each its own statement under the refresh's trap: a value
// that cannot be converted is reported and leaves its variable as it was.
void readParameters(Settings& settings, Parameters& p, errors::Trap& trap);

// Values read once at start-up; a change needs a restart.
struct ConnectionSettings {
    std::string serverIp;
    int32_t serverPort = 0;
    int32_t localPort = 0;
    std::string localIp;
};

// Reads "IPadd", "IPport", "IPLocalport" and "LocalIP"; with no address configured, the fixed default
// server on port 6667 with local port 0, whatever the two port keys hold.
void readConnectionSettings(Settings& settings, ConnectionSettings& c, errors::Trap& trap);

}  // namespace ostrell::settings
