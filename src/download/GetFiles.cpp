#include "download/GetFiles.h"

#include "download/IncomingFile.h"
#include "download/RecordValidation.h"
#include "download/ReplyClassification.h"
#include "errors/Trap.h"

namespace ostrell::download {

// Everything that differs between the bookings and the payments phase.
struct Downloader::Phase {
    const char* type;  // the type digits: request prefix and classification key
    const char* ack;
    const char* fileName;
    bool (*validate)(const std::string& line, int32_t& RecordNo, errors::ErrorReporter& reporter);
    const char* failureText;     // + reply + ")"
    const char* unexpectedText;  // + reply + "'"
    const char* tooManyBadText;
    const char* leaving;         // what leaving the phase means, for the texts this program adds
};

namespace {
const Downloader::Phase Bookings{"10", "12|", BookingsFileName, &Valid8,
                                 "10 BAD received - going to payments. Error(", "Did not receive a 10 type record.'",
                                 "Too many retries - on to payments.", "going to payments."};
const Downloader::Phase Payments{"11", "13|", PaymentsFileName, &Valid9,
                                 "BAD received - Exiting procedure. Error(", "Did not receive a 11 type record.'",
                                 "Too many retries - exiting procedure.", "Exiting procedure."};

bool isBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }
}  // namespace

void Downloader::GetFiles() {
    errors::Trap trap(reporter_, "GetFiles");
    receivedAnything_ = false;
    RecordNo = 0;

    runPhase(Bookings, trap);
    runPhase(Payments, trap);

    // Closing: the quit line when still connected (the exchange knows), then the post-download command,
    // even when every record was rejected or the connection is gone. An unset command is not a fault.
    trap(50, [&] { exchange_.QuitExchange(); });
    if (receivedAnything_ && !isBlank(params_.UpLoadCommand))
        trap(55, [&] { launcher_.startCommandLine(params_.UpLoadCommand); });
}

void Downloader::runPhase(const Phase& phase, errors::Trap& trap) {
    badRecords_ = 0;
    IncomingFile file(fs_);
    for (size_t i = 1; i <= 5; ++i) {
        const std::string& number = params_.LoNumbers[i];
        if (isBlank(number)) continue;
        // The BK number goes out exactly as stored, blanks and all.
        if (!fetchRecords(phase, std::string(phase.type) + "|" + number, file, trap)) return;
    }
}

bool Downloader::fetchRecords(const Phase& phase, const std::string& request, IncomingFile& file, errors::Trap& trap) {
    int unusableInRow = 0;
    std::string lastAcknowledged;  // the record line acknowledged last for this BK number
    int repeatsInRow = 0;
    for (;;) {
        // WaitForResponse answers failures with "BAD - ..." itself; should it ever throw, that is a failure too.
        const std::string reply = trap.value(10, [&] { return exchange_.WaitForResponse(request); }, std::string("BAD"));
        const ReplyKind kind = classifyReply(reply, phase.type);
        switch (kind) {
            case ReplyKind::Failure:
                log_.LogRec(phase.failureText + reply + ")");
                return false;
            case ReplyKind::EndOfRecords:
                return true;
            case ReplyKind::Unexpected:
            case ReplyKind::Short:
                if (kind == ReplyKind::Unexpected) log_.LogRec(phase.unexpectedText + reply + "'");
                // A server that keeps answering beside the point would hold the cycle for ever.
                if (++unusableInRow >= UnusableReplyLimit) {
                    log_.LogRec("No record after " + std::to_string(UnusableReplyLimit) + " unusable replies to " +
                                request + " - " + phase.leaving);
                    return false;
                }
                continue;
            case ReplyKind::Record:
                break;
        }
        unusableInRow = 0;

        log_.LogRec(reply);
        receivedAnything_ = true;
        const std::string line = recordLine(reply);
        if (!trap.value(15, [&] { return phase.validate(line, RecordNo, reporter_); }, false)) {
            if (++badRecords_ >= BadRecordLimit) {
                log_.LogRec(phase.tooManyBadText);
                return false;
            }
            log_.LogRec("Retry - bad data");
            continue;
        }

        if (line == lastAcknowledged) {
            if (++repeatsInRow >= RepeatLimit) {
                log_.LogRec("Record " + std::to_string(RecordNo) + " sent again " + std::to_string(RepeatLimit) +
                            " times after its acknowledgement - leaving " + request + " for the next cycle.");
                return true;
            }
        } else {
            repeatsInRow = 0;
        }

        // Stored and fsynced first, acknowledged after: an acknowledged record must survive a crash or a
        // power cut. A record that cannot be stored is not acknowledged, so the server keeps it for the
        // next cycle; asking again now would only get the same record back.
        const bool stored = trap(20, [&] { file.store(params_.DataDirPath + phase.fileName, line); });
        if (!stored) {
            log_.LogRec("Record " + std::to_string(RecordNo) + " not stored, not acknowledged - " + phase.leaving);
            return false;
        }
        trap(25, [&] { exchange_.WaitForResponse(phase.ack + std::to_string(RecordNo)); });  // reply not examined
        lastAcknowledged = line;
    }
}

}  // namespace ostrell::download
