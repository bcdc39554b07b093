#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "errors/ErrorReporter.h"
#include "net/LineExchange.h"
#include "platform/FileSystem.h"
#include "platform/StateDirectory.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"
#include "steps/CycleSteps.h"
#include "translog/TransferLog.h"
#include "upload/SentLinesMemory.h"

namespace ostrell::upload {

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

    // Whether any of the seven outgoing files exists. Reads no field below: the tray timer asks it
    // while a send is waiting for a reply.
    bool hasFilesToSend() override;
    // Sends and disposes of every waiting file, kinds 1 to 7 in order.
    void sendFiles() override;
    // Sends the loaded file's records in order; true when every one was accepted. Gives the file up at
    // an exact "BAD" or when the file's five failed attempts are used up.
    bool sendOutFileRecords();

    // The file being sent; they live only while sendFiles runs. Record n of the file is element n-1.
    std::vector<std::string> outLines;
    std::vector<bool> outLineSent;  // accepted by the server
    bool outAnySent = false;        // at least one record accepted
    int32_t outFileKind = 0;        // kind (1 to 7) of the file being sent

private:
    void clearOutFile();
    void sendOutFile(int kind, errors::Trap& trap);

    platform::FileSystem& fs_;
    net::LineExchange& exchange_;
    translog::TransferLog& log_;
    settings::Settings& settings_;
    errors::ErrorReporter& reporter_;
    const settings::Parameters& params_;
    SentLinesMemory sentLines_;
    std::string outBytesRead_;  // the file's bytes as read for sending, to tell what the host added since
};

// Failed attempts allowed per file (not per record).
inline constexpr int32_t RetryBudget = 5;

}  // namespace ostrell::upload
