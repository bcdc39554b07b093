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

// The folder the agent works in, as "DataDir" gives it. File names are appended to path directly.
struct DataFolder {
    std::string path;     // ends with "/"; empty when there is no folder to work in
    std::string problem;  // why there is none, for the report
};

// The one rule for "DataDir", for the agent, --status and everything that builds a path in the folder:
// a text naming an existing directory (namesDirectory) is that directory, whether or not it ends with
// "/"; an empty text, or one naming no directory, gives no folder, so nothing is read, written, sent or
// fetched beside it or in the working directory.
DataFolder dataFolderOf(const std::string& setting, bool namesDirectory);

}  // namespace ostrell::settings
