#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "cycle/CycleSteps.h"
#include "errors/ErrorReporter.h"
#include "errors/Trap.h"
#include "net/LineExchange.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "settings/Parameters.h"
#include "translog/TransferLog.h"

namespace ostrell::download {

class IncomingFile;

// After this many unexpected or short replies in a row to one request the server is taken to be stuck.
inline constexpr int UnusableReplyLimit = 100;
// The tenth record that fails validation in a phase ends the phase.
inline constexpr int32_t BadRecordLimit = 10;
// A record sent again right after its acknowledgement this many times in a row: the server is not
// taking the acknowledgement, and asking on would get the same record for ever.
inline constexpr int RepeatLimit = 3;
inline constexpr const char* CommandRunningText = "UpLoad command still running - download waits for the next cycle.";

// The download half of a sync cycle: bookings, then payments, for each configured BK number, one record
// per request; each record is logged, validated, stored durably and only then acknowledged. At the end
// the exchange is closed and, when any record came in, the post-download command is started. While the
// command started last still runs (it may be reading the incoming files), there is no download.
class Downloader : public cycle::Downloader {
public:
    Downloader(net::LineExchange& exchange, platform::FileSystem& fs, platform::ProcessLauncher& launcher,
               errors::ErrorReporter& reporter, const settings::Parameters& params, translog::TransferLog& log,
               cycle::StepEvents& events)
        : exchange_(exchange), fs_(fs), launcher_(launcher), reporter_(reporter), params_(params), log_(log),
          events_(events) {}

    void downloadFiles() override;

    struct Phase;

private:
    void runPhase(const Phase& phase, errors::Trap& trap);
    // Asks for records of one BK number until its end-of-records reply (true) or until the phase is
    // to be left (false).
    bool fetchRecords(const Phase& phase, const std::string& bkNumber, IncomingFile& file, errors::Trap& trap);

    net::LineExchange& exchange_;
    platform::FileSystem& fs_;
    platform::ProcessLauncher& launcher_;
    errors::ErrorReporter& reporter_;
    const settings::Parameters& params_;  // read at the moment of use: a refresh may change it mid-download
    translog::TransferLog& log_;
    cycle::StepEvents& events_;

    std::optional<platform::ProcessHandle> commandStarted_;  // the post-download command started last
    bool commandWaitNoted_ = false;

    // State of one call.
    int32_t badRecords_ = 0;
    bool receivedAnything_ = false;
};

}  // namespace ostrell::download
