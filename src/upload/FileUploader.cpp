#include "upload/FileUploader.h"

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

void FileUploader::sendFiles() {
    errors::Trap trap(reporter_, "SendFiles");
    for (int kind = FirstOutKind; kind <= LastOutKind; ++kind) sendOutFile(kind, trap);
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
        15, [&] { return fs_.isSymlink(path); }, false);
    if (!isLink && !trap.value(
                       20, [&] { return fs_.isFile(path); }, false))
        return;
    if (isLink) {
        // Following it would send whatever it points at and cut that down; the host never makes one.
        log_.write("Outgoing file is a symbolic link - not sent, left as it is: " + path);
        trap.report(25, platform::PlatformError(platform::err::PathFileAccessError,
                                                path + " is a symbolic link: not sent, left as it is"));
        return;
    }

    // Unreadable (locked, vanished, not a file): reported, left as it is, nothing of it sent.
    OutFile file;
    file.kind = kind;
    if (!trap(30, [&] { file.bytesRead = fs_.readAll(path); })) return;
    file.lines = readOutLines(file.bytesRead);
    file.accepted.assign(file.lines.size(), false);

    // Lines the server accepted in an earlier cycle from a file that could not be cut down.
    const size_t acceptedBefore = trap.value(
        35, [&] { return sentLines_.acceptedBefore(baseName, path, file.lines); }, size_t{0});
    for (size_t n = 0; n < acceptedBefore; ++n) file.accepted[n] = true;
    if (acceptedBefore > 0)
        log_.write("First " + std::to_string(acceptedBefore) + " lines already accepted - not sent again: " + path);

    // An empty file has nothing to send and goes like a file sent in full.
    const bool sentInFull = acceptedBefore == file.lines.size() || sendRecords(file);
    if (!sentInFull && !file.anyAccepted && acceptedBefore == 0) return;
    if (settleSentFile(path, file, trap)) {
        if (acceptedBefore > 0) trap(85, [&] { sentLines_.forget(baseName); });
        return;
    }
    // Still in the folder with lines the server has: noted, so the next cycle starts after them.
    // Lines are accepted in order, so the accepted ones are the leading ones.
    size_t accepted = 0;
    while (accepted < file.accepted.size() && file.accepted[accepted]) ++accepted;
    if (accepted != acceptedBefore) trap(90, [&] { sentLines_.remember(baseName, path, file.lines, accepted); });
}

bool FileUploader::sendRecords(OutFile& file) {
    errors::Trap trap(reporter_, "SendFileOK");
    const bool marked = kindHasBatchMarker(file.kind);
    int32_t retries = 0;
    // Read once for the whole file, so all its records carry the same marker; unreadable, it stays 0.
    int16_t batchMarker = 0;
    if (marked) trap(10, [&] { batchMarker = settings_.smallWholeNumber(settings::keys::batch(file.kind)); });

    for (size_t n = 0; n < file.lines.size(); ++n) {
        if (file.accepted[n]) continue;  // accepted in an earlier cycle
        const WireRecord wire = convertRecord(file.kind, file.lines[n], batchMarker);
        if (wire.markerSkipped)
            trap.report(15, platform::PlatformError(platform::err::InvalidProcedureCall,
                                                    "Record too short for the batch marker; sent without it"));
        for (;;) {
            const std::string reply = trap.value(
                20, [&] { return exchange_.requestReply(wire.text); }, std::string());
            switch (judgeReply(file.kind, reply)) {
                case ReplyVerdict::GiveUp: log_.write("*B " + wire.text); return false;
                case ReplyVerdict::Accepted:
                    log_.write(" G " + wire.text);
                    file.accepted[n] = true;
                    file.anyAccepted = true;
                    break;
                case ReplyVerdict::Refused:
                    log_.write(reply);
                    log_.write("*F " + wire.text);
                    break;
                case ReplyVerdict::NoVerdict: log_.write(reply); break;
            }
            if (file.accepted[n]) break;
            if (++retries >= RetryBudget) {
                log_.write("*T " + wire.text);
                return false;
            }
            log_.write("*R " + wire.text);
        }
    }
    if (marked) trap(25, [&] { settings_.save(settings::keys::batch(file.kind), batchMarker == 0 ? "1" : "0"); });
    return true;
}

bool FileUploader::settleSentFile(const std::string& path, const OutFile& file, errors::Trap& trap) {
    const std::string dir = platform::parentDirectory(path);
    // Taken away by the host while we sent: nothing left to dispose of.
    if (!trap.value(
            40, [&] { return fs_.isFile(path) || fs_.isSymlink(path); }, true))
        return true;
    std::string bytesNow;
    if (!trap(45, [&] { bytesNow = fs_.readAll(path); })) return false;

    const CutDownPlan plan = planCutDown(file.bytesRead, file.lines, file.accepted, bytesNow);
    switch (plan.action) {
        case CutDownPlan::Action::LeaveAlone: return true;
        case CutDownPlan::Action::Replaced:
            log_.write("File changed while being sent - left as it is: " + path);
            return true;
        case CutDownPlan::Action::Delete:
            if (!trap(50, [&] { fs_.remove(path); })) return false;
            trap(55, [&] { fs_.syncDirectory(dir); });
            return true;
        case CutDownPlan::Action::Rewrite: break;
    }

    // The copy is made exclusively, with the original's mode and group: it becomes the host's file.
    const std::string temp = outTempPath(path);
    trap(60, [&] {
        if (fs_.isFile(temp) || fs_.isSymlink(temp)) fs_.remove(temp);
    });
    const bool swapped =
        trap(65, [&] { fs_.createLike(temp, plan.content, path); }) && trap(70, [&] { fs_.rename(temp, path); });
    if (!swapped) {
        // The original is untouched; a half-written or unrenamed copy must not stay beside it.
        trap(75, [&] {
            if (fs_.isFile(temp)) fs_.remove(temp);
        });
        return false;
    }
    trap(80, [&] { fs_.syncDirectory(dir); });
    return true;
}

}  // namespace ostrell::upload
