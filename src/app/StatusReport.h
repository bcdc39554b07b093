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
    bool agentRunning = false;          // an agent holds the user's lock
    int64_t runningPid = 0;             // its pid, as its lock file says
    std::string dataDir;                // "DataDir" as stored
    bool dataDirMissing = false;        // it names no folder: the agent sends and fetches nothing
    std::vector<FileLines> outgoing;    // the outgoing files waiting
    std::vector<FileLines> incoming;    // the incoming files present
    std::optional<int64_t> transferLogBytes;
};

// Reads the outgoing and incoming files and the transfer log's size in the folder "DataDir" names, by
// the agent's own rule (settings/DataFolder.h). Reads only.
void findDataFolder(platform::FileSystem& fs, const std::string& dataDirSetting, StatusFindings& f);

// The three cases a monitoring script tells apart by the exit status.
enum class StatusCase { InContact, NoContact, NotRunning };
StatusCase statusCase(const StatusFindings& f, int64_t nowEpochSeconds);

// The report, one fact per line; the first says which case it is.
std::string statusReportText(const StatusFindings& f, int64_t nowEpochSeconds);

// 0 running and in contact, 3 running without a recent success or without a folder, 4 not running.
int statusExitCode(const StatusFindings& f, int64_t nowEpochSeconds);

// The program's exit statuses, as the README and the manual page list them.
inline constexpr int ExitNormal = 0;      // ended normally: Exit, EndFlag, end of the session
inline constexpr int ExitRefused = 1;     // refused to run: host version too old, already running
inline constexpr int ExitUsage = 2;       // unknown option or stray argument
inline constexpr int ExitStale = 3;       // --status: running, but no success within three cycles plus a minute
inline constexpr int ExitNotRunning = 4;  // --status: no agent holds the lock

}  // namespace ostrell::app
