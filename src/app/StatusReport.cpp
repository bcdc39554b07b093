#include "app/StatusReport.h"

#include <algorithm>

#include "download/IncomingFile.h"
#include "settings/Parameters.h"
#include "translog/TransferLog.h"
#include "upload/OutFileNames.h"

namespace ostrell::app {

namespace {
std::optional<int64_t> linesOf(platform::FileSystem& fs, const std::string& path) {
    try {
        if (!fs.isFile(path)) return std::nullopt;
        const std::string text = fs.readAll(path);
        int64_t n = std::count(text.begin(), text.end(), '\n');
        if (!text.empty() && text.back() != '\n') ++n;  // a last line without its end still counts
        return n;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string listed(const std::vector<FileLines>& files) {
    if (files.empty()) return "none";
    std::string out;
    for (const FileLines& f : files)
        out += (out.empty() ? "" : ", ") + f.name + " " + std::to_string(f.lines) + (f.lines == 1 ? " line" : " lines");
    return out;
}

void findDataFiles(platform::FileSystem& fs, const std::string& dataDir, StatusFindings& f) {
    for (const upload::OutKind kind : upload::OutKinds)
        if (auto n = linesOf(fs, upload::outFilePath(dataDir, kind)))
            f.outgoing.push_back({std::string(upload::outFileName(kind)) + ".csv", *n});
    for (const char* name : {download::BookingsFileName, download::PaymentsFileName})
        if (auto n = linesOf(fs, dataDir + name)) f.incoming.push_back({name, *n});
    try {
        const std::string log = dataDir + translog::TransferLogName;
        if (fs.isFile(log)) f.transferLogBytes = fs.length(log);
    } catch (const std::exception&) {
    }
}
}  // namespace

void findDataFolder(platform::FileSystem& fs, const std::string& dataDirSetting, StatusFindings& f) {
    bool isDirectory = false;
    try {
        isDirectory = !dataDirSetting.empty() && fs.isDirectory(dataDirSetting);
    } catch (const std::exception&) {
    }
    const settings::DataFolder folder = settings::dataFolderOf(dataDirSetting, isDirectory);
    if (!folder.path.empty()) findDataFiles(fs, folder.path, f);
    f.dataDir = dataDirSetting;
    f.dataDirMissing = folder.path.empty();
}

StatusCase statusCase(const StatusFindings& f, int64_t nowEpochSeconds) {
    if (!f.agentRunning) return StatusCase::NotRunning;
    if (f.dataDirMissing) return StatusCase::NoContact;  // it sends and fetches nothing until the folder is set
    // The status file of an earlier run says nothing about this one.
    const bool ours = f.status && (f.runningPid == 0 || f.status->pid == f.runningPid);
    return ours && lastSuccessRecent(nowEpochSeconds, f.status->lastSuccess, f.status->cycleSeconds)
               ? StatusCase::InContact
               : StatusCase::NoContact;
}

std::string statusReportText(const StatusFindings& f, int64_t nowEpochSeconds) {
    std::string out;
    const std::string running = "agent: running (pid " + std::to_string(f.runningPid) + ")";
    const std::string success = f.status ? f.status->lastSuccess : std::string();
    switch (statusCase(f, nowEpochSeconds)) {
        case StatusCase::InContact: out += running + ", in contact\n"; break;
        case StatusCase::NoContact:
            out += running +
                   (success.empty() ? ", no contact yet\n" : ", no contact since " + clockTimeOf(success) + "\n");
            break;
        case StatusCase::NotRunning: out += "agent: not running\n"; break;
    }
    const auto orNever = [](const std::string& t) { return t.empty() ? std::string("never") : t; };
    out += "server: " + (f.status ? f.status->server : std::string("unknown")) + "\n";
    out += "last attempt: " + orNever(f.status ? f.status->lastAttempt : "") + "\n";
    out += "last success: " + orNever(f.status ? f.status->lastSuccess : "") + "\n";
    out += "data directory: " +
           (f.dataDir.empty() ? std::string("not set") : f.dataDir + (f.dataDirMissing ? " (not a directory)" : "")) +
           "\n";
    out += "outgoing files waiting: " + listed(f.outgoing) + "\n";
    out += "incoming files: " + listed(f.incoming) + "\n";
    out +=
        "transfer log: " + (f.transferLogBytes ? std::to_string(*f.transferLogBytes) + " bytes" : std::string("none")) +
        "\n";
    return out;
}

int statusExitCode(const StatusFindings& f, int64_t nowEpochSeconds) {
    switch (statusCase(f, nowEpochSeconds)) {
        case StatusCase::InContact: return ExitNormal;
        case StatusCase::NoContact: return ExitStale;
        case StatusCase::NotRunning: break;
    }
    return ExitNotRunning;
}

}  // namespace ostrell::app
