#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/AgentStatus.h"
#include "platform/FileSystem.h"

namespace ostrell::app {

struct FileLines {
    std::string name;
    int64_t lines = 0;
};

// What `ostrell --status` found: the status file, whether its agent still runs, the data directory.
struct StatusFindings {
    std::optional<AgentStatus> status;  // none when no agent ever wrote one
    bool agentRunning = false;
    std::string dataDir;              // "DataDir" as stored
    bool dataDirMissing = false;      // it names no folder: the agent sends and fetches nothing
    std::vector<FileLines> outgoing;  // the outgoing files waiting
    std::vector<FileLines> incoming;  // the incoming files present
    std::optional<int64_t> transferLogBytes;
};

// Reads the outgoing and incoming files and the transfer log's size in the folder "DataDir" names, by
// the agent's own rule (settings/DataFolder.h). Reads only.
void findDataFolder(platform::FileSystem& fs, const std::string& dataDirSetting, StatusFindings& f);

// The report, one fact per line.
std::string statusReportText(const StatusFindings& f);

// 0 while the last success is recent, 3 when it is stale or there never was one, or there is no folder.
int statusExitCode(const StatusFindings& f, int64_t nowEpochSeconds);

}  // namespace ostrell::app
