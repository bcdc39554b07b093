#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace ostrell::settings {

// The refreshed copy of the host's parameters (re-read at start-up and every 60 s).
// Initially empty, zero and false, until the first refresh fills them.
struct Parameters {
    std::string dataDirSetting;  // "DataDir" as stored: what the panel shows and Save keeps
    std::string dataDirPath;     // the folder it names, ending with "/"; empty while it names none
    std::string appDirPath;
    std::string exitMode;
    int32_t loopCount = 0;
    std::array<std::string, 5> bkNumbers;  // "LoNumber1" to "LoNumber5"
    bool hasBkNumber = false;
    int32_t timeoutSecs = 0;
    std::string uploadCommand;
};

// Values read once at start-up; a change needs a restart. With no address configured, the fixed default
// server on port 6667 with local port 0.
struct ConnectionSettings {
    std::string serverIp;
    int32_t serverPort = 0;
    int32_t localPort = 0;
    std::string localIp;
};

}  // namespace ostrell::settings
