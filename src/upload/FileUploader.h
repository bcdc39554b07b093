#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "errors/ErrorReporter.h"
#include "errors/Trap.h"
#include "net/LineExchange.h"
#include "platform/FileSystem.h"
#include "platform/StateDirectory.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"
#include "steps/CycleSteps.h"
#include "translog/TransferLog.h"
#include "upload/SentLinesMemory.h"

namespace ostrell::upload {

// Failed attempts allowed per file (not per record).
inline constexpr int32_t RetryBudget = 5;

// The upload step: finds the outgoing files Brannick left in the data directory, sends their records
// one request line each, and afterwards deletes a file sent in full, cuts a file sent in part down to
// the lines not accepted, and leaves a file of which nothing was accepted as it was. A file that cannot
// be deleted or cut down has its accepted leading lines noted in stateDir, and they are not sent again.
class FileUploader : public cycle::Uploader {
public:
    FileUploader(platform::FileSystem& fs, net::LineExchange& exchange, translog::TransferLog& log,
                 settings::Settings& settings, errors::ErrorReporter& reporter, const settings::Parameters& params,
                 const std::string& stateDir = platform::stateDirectory())
        : fs_(fs), exchange_(exchange), log_(log), settings_(settings), reporter_(reporter), params_(params),
          sentLines_(fs, stateDir) {}

    // Whether any of the seven outgoing files exists. The tray timer asks it while a send is waiting
    // for a reply, so it touches nothing of the send.
    bool hasFilesToSend() override;
    // Sends and disposes of every waiting file, kinds 1 to 7 in order.
    void sendFiles() override;

private:
    // One outgoing file while it is sent; it lives only for the one file.
    struct OutFile {
        int kind = 0;
        std::string bytesRead;           // as read for sending, to tell what the host added since
        std::vector<std::string> lines;  // record n of the file is element n-1
        std::vector<bool> accepted;      // by the server
        bool anyAccepted = false;        // in this send
    };

    void sendOutFile(int kind, errors::Trap& trap);
    // Sends the file's records not yet accepted, in order; true when every one was accepted. Gives the
    // file up at an exact "BAD" or when the file's five failed attempts are used up.
    bool sendRecords(OutFile& file);
    // Deletes or cuts down the file at path after sending. The cut-down is atomic: the remaining lines go
    // to a temporary file in the same directory (durable), which is renamed over the original, then the
    // directory is synced. On any failure the original stays as it was and no temporary file is left.
    // True when the file no longer holds lines the server accepted from it (or they cannot be told apart
    // any more); false when they are still in it because it could not be deleted or cut down.
    //
    // One window stays open: lines the host appends between the re-read here and the rename or delete
    // that follows (a few file operations later) are not seen and go with the old file. Closing it would
    // need a lock the host does not take.
    bool settleSentFile(const std::string& path, const OutFile& file, errors::Trap& trap);

    platform::FileSystem& fs_;
    net::LineExchange& exchange_;
    translog::TransferLog& log_;
    settings::Settings& settings_;
    errors::ErrorReporter& reporter_;
    const settings::Parameters& params_;
    SentLinesMemory sentLines_;
};

}  // namespace ostrell::upload
