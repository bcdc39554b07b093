#include "download/Downloader.h"

#include <optional>

#include "download/IncomingFile.h"
#include "download/RecordValidation.h"
#include "download/ReplyClassification.h"
#include "errors/Trap.h"

namespace ostrell::download {

// Everything that differs between the bookings and the payments phase.
struct Downloader::Phase {
    const char* type;  // the type digits: request prefix and classification key
    cycle::RecordKind kind;
    const char* ack;
    const char* fileName;
    std::optional<int32_t> (*validate)(const std::string& line, errors::ErrorReporter& reporter);
    const char* failureText;     // + reply + ")"
    const char* unexpectedText;  // + reply + "'"
    const char* tooManyBadText;
    const char* leaving;  // what leaving the phase means, for the texts this program adds
};

namespace {
const Downloader::Phase Bookings{"10",
                                 cycle::RecordKind::Booking,
                                 "12|",
                                 BookingsFileName,
                                 &validateBooking,
                                 "10 BAD received - going to payments. Error(",
                                 "Did not receive a 10 type record.'",
                                 "Too many retries - on to payments.",
                                 "going to payments."};
const Downloader::Phase Payments{"11",
                                 cycle::RecordKind::Payment,
                                 "13|",
                                 PaymentsFileName,
                                 &validatePayment,
                                 "BAD received - Exiting procedure. Error(",
                                 "Did not receive a 11 type record.'",
                                 "Too many retries - exiting procedure.",
                                 "Exiting procedure."};

bool isBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }
}  // namespace

void Downloader::downloadFiles() {
    errors::Trap trap(reporter_, "GetFiles");
    if (commandStarted_ && launcher_.isRunning(*commandStarted_)) {
        if (!commandWaitNoted_) log_.write(CommandRunningText);
        commandWaitNoted_ = true;
        return;
    }
    commandStarted_.reset();
    receivedAnything_ = false;

    runPhase(Bookings, trap);
    runPhase(Payments, trap);

    // Closing: the quit line when still connected (the exchange knows), then the post-download command,
    // even when every record was rejected or the connection is gone. An unset command is not a fault.
    trap(30, [&] { exchange_.endExchange(); });
    if (receivedAnything_ && !isBlank(params_.uploadCommand))
        trap(35, [&] {
            commandStarted_ = launcher_.startCommandLine(params_.uploadCommand);
            commandWaitNoted_ = false;
        });
}

void Downloader::runPhase(const Phase& phase, errors::Trap& trap) {
    badRecords_ = 0;
    IncomingFile file(fs_);
    for (const std::string& number : params_.bkNumbers) {
        if (isBlank(number)) continue;
        // The BK number goes out exactly as stored, blanks and all.
        if (!fetchRecords(phase, number, file, trap)) return;
    }
}

bool Downloader::fetchRecords(const Phase& phase, const std::string& bkNumber, IncomingFile& file, errors::Trap& trap) {
    const std::string request = std::string(phase.type) + "|" + bkNumber;
    int unusableInRow = 0;
    std::string lastAcknowledged;  // the record line acknowledged last for this BK number
    int repeatsInRow = 0;
    for (;;) {
        // requestReply answers failures with "BAD - ..." itself; should it ever throw, that is a failure too.
        const std::string reply = trap.value(10, std::string("BAD"), [&] { return exchange_.requestReply(request); });
        const ReplyKind kind = classifyReply(reply, phase.type);
        switch (kind) {
            case ReplyKind::Failure: log_.write(phase.failureText + reply + ")"); return false;
            case ReplyKind::EndOfRecords: return true;
            case ReplyKind::Unexpected:
            case ReplyKind::Short:
                if (kind == ReplyKind::Unexpected) log_.write(phase.unexpectedText + reply + "'");
                // A server that keeps answering beside the point would hold the cycle for ever.
                if (++unusableInRow >= UnusableReplyLimit) {
                    log_.write("No record after " + std::to_string(UnusableReplyLimit) + " unusable replies to " +
                               request + " - " + phase.leaving);
                    return false;
                }
                continue;
            case ReplyKind::Record: break;
        }
        unusableInRow = 0;

        log_.write(reply);
        receivedAnything_ = true;
        const std::string line = recordLine(reply);
        // Asked first, whatever the quotes say: a line cut at a pause must be dropped with its rest before
        // the next request, or that rest would be taken for the next reply.
        const bool arrivedWhole = trap.value(12, false, [&] { return exchange_.replyArrivedWhole(); });
        const char* cut = !arrivedWhole           ? "more of its line came after a pause"
                          : !quotesBalanced(line) ? "odd number of quotes"
                                                  : nullptr;
        if (cut) {
            // Never stored or acknowledged, even when its fields happen to count right.
            exchange_.showNote(std::string("cut record - ") + cut);
            log_.write(std::string("Cut record (") + cut + ") - not stored, not acknowledged.");
        }
        const std::optional<int32_t> recordNo =
            cut ? std::nullopt
                : trap.value(15, std::optional<int32_t>(), [&] { return phase.validate(line, reporter_); });
        if (!recordNo) {
            if (++badRecords_ >= BadRecordLimit) {
                log_.write(phase.tooManyBadText);
                return false;
            }
            log_.write("Retry - bad data");
            continue;
        }

        if (line == lastAcknowledged) {
            if (++repeatsInRow >= RepeatLimit) {
                log_.write("Record " + std::to_string(*recordNo) + " sent again " + std::to_string(RepeatLimit) +
                           " times after its acknowledgement - leaving " + request + " for the next cycle.");
                return true;
            }
        } else {
            repeatsInRow = 0;
        }

        // Stored and fsynced first, acknowledged after: an acknowledged record must survive a crash or a
        // power cut. A record that cannot be stored is not acknowledged, so the server keeps it for the
        // next cycle; asking again now would only get the same record back.
        const bool stored = trap(20, [&] { file.store(params_.dataDirPath + phase.fileName, line); });
        if (!stored) {
            log_.write("Record " + std::to_string(*recordNo) + " not stored, not acknowledged - " + phase.leaving);
            return false;
        }
        events_.recordStored(bkNumber, phase.kind);
        trap(25, [&] { exchange_.requestReply(phase.ack + std::to_string(*recordNo)); });  // reply not examined
        lastAcknowledged = line;
    }
}

}  // namespace ostrell::download
