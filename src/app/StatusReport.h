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
    std::string dataDir;
    std::vector<FileLines> outgoing;  // the outgoing files waiting
    std::vector<FileLines> incoming;  // the incoming files present
    std::optional<int64_t> transferLogBytes;
};

// Reads the data directory's outgoing and incoming files and the transfer log's size. Reads only.
void findDataFiles(platform::FileSystem& fs, const std::string& dataDir, StatusFindings& f);

// The report, one fact per line.
std::string statusReportText(const StatusFindings& f);

// 0 while the last success is recent, 3 when it is stale or there never was one.
int statusExitCode(const StatusFindings& f, int64_t nowEpochSeconds);

}  // namespace ostrell::app
