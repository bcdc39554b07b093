#include "upload/FileUploader.h"

#include "errors/Trap.h"
#include "settings/KeyTable.h"
#include "upload/OutFileCutDown.h"
#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"
#include "upload/ReplyVerdict.h"

namespace ostrell::upload {

bool FileUploader::hasFilesToSend() {
    errors::Trap trap(reporter_, "TransFiles");
    for (int kind = FirstOutKind; kind <= LastOutKind; ++kind) {
        const std::string path = outFilePath(params_.dataDirPath, kind);
        if (trap.value(
                10, [&] { return fs_.isFile(path); }, false))
            return true;
    }
    return false;
}

void FileUploader::clearOutFile() {
    outLines.clear();
    outLines.shrink_to_fit();
    outLineSent.clear();
    outLineSent.shrink_to_fit();
    outBytesRead_.clear();
    outBytesRead_.shrink_to_fit();
    outAnySent = false;
}

void FileUploader::sendFiles() {
    errors::Trap trap(reporter_, "SendFiles");
    clearOutFile();
    for (int kind = FirstOutKind; kind <= LastOutKind; ++kind) {
        sendOutFile(kind, trap);
        clearOutFile();
    }
}

void FileUploader::sendOutFile(int kind, errors::Trap& trap) {
    const std::string path = outFilePath(params_.dataDirPath, kind);
    const std::string baseName = OutFileNames[kind];
    // A copy left by a cut-down that a crash interrupted; the original it was made from is intact.
    const std::string temp = outTempPath(path);
    trap(10, [&] {
        if (fs_.isFile(temp) || fs_.isSymlink(temp)) fs_.remove(temp);
    });
    const bool isLink = trap.value(
        12, [&] { return fs_.isSymlink(path); }, false);
    if (!isLink && !trap.value(
                       15, [&] { return fs_.isFile(path); }, false))
        return;
    if (isLink) {
        // Following it would send whatever it points at and cut that down; the host never makes one.
        log_.write("Outgoing file is a symbolic link - not sent, left as it is: " + path);
        trap.report(17, platform::PlatformError(platform::err::PathFileAccessError,
                                                path + " is a symbolic link: not sent, left as it is"));
        return;
    }

    // Unreadable (locked, vanished, not a file): reported, left as it is, nothing of it sent.
    const bool loaded = trap(20, [&] {
        outBytesRead_ = fs_.readAll(path);
        outLines = readOutLines(outBytesRead_);
        outLineSent.assign(outLines.size(), false);
    });
    if (!loaded) return;
    outFileKind = kind;
    outAnySent = false;

    // Lines the server accepted in an earlier cycle from a file that could not be cut down.
    const size_t acceptedBefore = trap.value(
        25, [&] { return sentLines_.acceptedBefore(baseName, path, outLines); }, size_t{0});
    for (size_t n = 0; n < acceptedBefore; ++n) outLineSent[n] = true;
    if (acceptedBefore > 0)
        log_.write("First " + std::to_string(acceptedBefore) + " lines already accepted - not sent again: " + path);

    // An empty file has nothing to send and goes like a file sent in full.
    const bool sentInFull = acceptedBefore == outLines.size() || sendOutFileRecords();
    if (!sentInFull && !outAnySent && acceptedBefore == 0) return;
    if (settleSentFile(fs_, log_, trap, path, outBytesRead_, outLines, outLineSent)) {
        if (acceptedBefore > 0) trap(30, [&] { sentLines_.forget(baseName); });
        return;
    }
    // Still in the folder with lines the server has: noted, so the next cycle starts after them.
    // Lines are accepted in order, so the accepted ones are the leading ones.
    size_t accepted = 0;
    while (accepted < outLineSent.size() && outLineSent[accepted]) ++accepted;
    if (accepted != acceptedBefore) trap(35, [&] { sentLines_.remember(baseName, path, outLines, accepted); });
}

bool FileUploader::sendOutFileRecords() {
    errors::Trap trap(reporter_, "SendFileOK");
    const int kind = outFileKind;
    const bool marked = kindHasBatchMarker(kind);
    int32_t retries = 0;
    // Read once for the whole file, so all its records carry the same marker; unreadable, it stays 0.
    int16_t batchMarker = 0;
    if (marked) trap(10, [&] { batchMarker = settings_.smallWholeNumber(settings::keys::batch(kind)); });
    if (outLineSent.size() != outLines.size()) outLineSent.resize(outLines.size(), false);

    for (size_t n = 0; n < outLines.size(); ++n) {
        if (outLineSent[n]) continue;  // accepted in an earlier cycle
        const WireRecord wire = convertRecord(kind, outLines[n], batchMarker);
        if (wire.markerSkipped)
            trap.report(15, platform::PlatformError(platform::err::InvalidProcedureCall,
                                                    "Record too short for the batch marker; sent without it"));
        for (;;) {
            const std::string reply = trap.value(
                20, [&] { return exchange_.requestReply(wire.text); }, std::string());
            switch (judgeReply(kind, reply)) {
                case ReplyVerdict::GiveUp: log_.write("*B " + wire.text); return false;
                case ReplyVerdict::Accepted:
                    log_.write(" G " + wire.text);
                    outLineSent[n] = true;
                    outAnySent = true;
                    break;
                case ReplyVerdict::Refused:
                    log_.write(reply);
                    log_.write("*F " + wire.text);
                    break;
                case ReplyVerdict::NoVerdict: log_.write(reply); break;
            }
            if (outLineSent[n]) break;
            if (++retries >= RetryBudget) {
                log_.write("*T " + wire.text);
                return false;
            }
            log_.write("*R " + wire.text);
        }
    }
    if (marked) trap(25, [&] { settings_.save(settings::keys::batch(kind), batchMarker == 0 ? "1" : "0"); });
    return true;
}

}  // namespace ostrell::upload
