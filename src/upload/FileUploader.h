#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cycle/CycleSteps.h"
#include "errors/ErrorReporter.h"
#include "errors/Trap.h"
#include "net/LineExchange.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/StateWriter.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"
#include "translog/TransferLog.h"
#include "upload/OutFileNames.h"
#include "upload/SentLinesMemory.h"

namespace ostrell::upload {

// Failed attempts allowed per file (not per record).
inline constexpr int32_t RetryBudget = 5;
// A last line without its line end in a file changed this recently may still be being written.
inline constexpr int64_t UnfinishedLineQuietMs = 2000;
// Looks at a file that keeps growing while it is cut down, before what it gains goes over after the swap.
inline constexpr int CutDownAttempts = 3;

// The upload step: finds the outgoing files Brannick left in the data directory, sends their records
// one request line each, and afterwards deletes a file sent in full, cuts a file sent in part down to
// the lines not accepted, and leaves a file of which nothing was accepted as it was. Every accepted line
// is noted in stateDir as it is accepted, so a stop, a crash or a file that cannot be deleted or cut
// down never has it sent again. Lines the host adds at any moment stay in the file: a file is replaced
// only when it did not change since the last look, and lines that reach the old file after that are
// carried over to the new one, at once and again at the next send.
class FileUploader : public cycle::Uploader {
public:
    FileUploader(platform::FileSystem& fs, net::LineExchange& exchange, translog::TransferLog& log,
                 settings::Settings& settings, errors::ErrorReporter& reporter, const settings::Parameters& params,
                 platform::EventLoop& loop, cycle::StepEvents& events,
                 const std::string& stateDir = platform::stateDirectory())
        : fs_(fs), exchange_(exchange), log_(log), settings_(settings), reporter_(reporter), params_(params),
          loop_(loop), events_(events), sentLines_(fs, stateDir) {}

    // Whether any of the seven outgoing files exists (or one replaced in the last send is still held for
    // a late line). The tray timer asks it while a send is waiting for a reply, so it touches nothing of
    // the send.
    bool hasFilesToSend() override;
    // Sends and disposes of every waiting file, kind by kind in the host's order.
    void sendFiles() override;

private:
    // One outgoing file while it is sent; it lives only for the one file.
    struct OutFile {
        OutKind kind = OutKind::Child;
        platform::FileIdentity identity;  // of the file as read
        std::string bytesRead;            // as read for sending, to tell what the host added since
        std::vector<std::string> lines;   // record n of the file is element n-1; an unfinished last line is not one
        std::vector<bool> accepted;       // by the server
        bool anyAccepted = false;         // in this send
        bool noteFailed = false;          // the accepted lines could not be noted: not tried again for it
    };
    // A file replaced or deleted after sending, held open until the next send: a line another program
    // had it open for and wrote after the last look is carried over to the file that took its name.
    struct RetiredFile {
        std::string path;
        std::unique_ptr<platform::OpenFile> file;
        int64_t carriedUpTo = 0;  // its bytes up to here are sent or in the new file
    };

    void sendOutFile(OutKind kind, errors::Trap& trap);
    // Reads the file and its records; false when it cannot be read (reported).
    bool readOutFile(const std::string& path, OutFile& file, errors::Trap& trap);
    // Sends the file's records not yet accepted, in order, noting each accepted one; true when every one
    // was accepted. Gives the file up at an exact "BAD" or when the file's five failed attempts are used up.
    bool sendRecords(OutFile& file);
    // Deletes or cuts down the file at path after sending. The cut-down is atomic: the remaining lines go
    // to a temporary file in the same directory (durable), which is renamed over the original, then the
    // directory is synced. Right before the rename or delete the file is looked at again; grown, it is
    // planned again, and the lines it gains after the last look are appended to the new file. True when the file no
    // longer holds lines the server accepted from it (or they cannot be told apart any more); false when they are still
    // in it (then the note keeps them from the server).
    bool settleSentFile(const std::string& path, const OutFile& file, errors::Trap& trap);
    // Appends what reached the old file since `from` to the file now at path; false when that failed.
    bool carryOver(RetiredFile& retired, errors::Trap& trap);

    platform::FileSystem& fs_;
    net::LineExchange& exchange_;
    translog::TransferLog& log_;
    settings::Settings& settings_;
    errors::ErrorReporter& reporter_;
    const settings::Parameters& params_;
    platform::EventLoop& loop_;
    cycle::StepEvents& events_;
    SentLinesMemory sentLines_;
    std::vector<RetiredFile> retired_;  // from the last send
};

}  // namespace ostrell::upload
