#include "upload/FileUploader.h"

#include "settings/KeyTable.h"
#include "upload/OutFileLines.h"
#include "upload/OutFileNames.h"
#include "upload/RecordConversion.h"

namespace ostrell::upload {

bool FileUploader::hasFilesToSend() {
    // A file replaced in the last send may have got a line after its last look: the next send brings it over.
    if (!retired_.empty()) return true;
    errors::Trap trap(reporter_, "TransFiles");
    for (const OutKind kind : OutKinds) {
        const std::string path = outFilePath(params_.dataDirPath, kind);
        if (trap.value(10, false, [&] { return fs_.isFile(path); })) return true;
    }
    return false;
}

void FileUploader::sendFiles() {
    errors::Trap trap(reporter_, "SendFiles");
    std::vector<RetiredFile> lastSend = std::move(retired_);
    retired_.clear();
    for (RetiredFile& retired : lastSend)
        if (!carryOver(retired, trap)) retired_.push_back(std::move(retired));  // tried again next time
    for (const OutKind kind : OutKinds) sendOutFile(kind, trap);
}

bool FileUploader::readOutFile(const std::string& path, OutFile& file, errors::Trap& trap) {
    int64_t modifiedMs = 0;
    // Looked at after reading, so a line the host adds meanwhile makes the file count as fresh.
    const bool read = trap(30, [&] {
        const std::unique_ptr<platform::OpenFile> open = fs_.openForReading(path);
        file.bytesRead = open->readFrom(0);
        const platform::FileStatus status = open->status();
        file.identity = status.identity;
        modifiedMs = status.modifiedMs;
    });
    if (!read) return false;
    file.lines = readOutLines(file.bytesRead);
    const int64_t ageMs = loop_.wallClockMs() - modifiedMs;
    if (lastLineUnfinished(file.bytesRead) && ageMs < UnfinishedLineQuietMs && ageMs > -UnfinishedLineQuietMs)
        file.lines.pop_back();  // not a record yet: the next cycle looks again
    file.accepted.assign(file.lines.size(), false);
    return true;
}

void FileUploader::sendOutFile(OutKind kind, errors::Trap& trap) {
    const std::string path = outFilePath(params_.dataDirPath, kind);
    const std::string baseName = outFileName(kind);
    // A copy left by a cut-down that a crash interrupted; the original it was made from is intact.
    const std::string temp = outTempPath(path);
    trap(10, [&] {
        if (fs_.isFile(temp) || fs_.isSymlink(temp)) fs_.remove(temp);
    });
    const bool isLink = trap.value(15, false, [&] { return fs_.isSymlink(path); });
    if (!isLink && !trap.value(20, false, [&] { return fs_.isFile(path); })) return;
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
    if (!readOutFile(path, file, trap)) return;

    // Lines the server accepted before a stop, a crash or a cut-down that could not be made.
    const size_t acceptedBefore =
        trap.value(35, size_t{0}, [&] { return sentLines_.acceptedBefore(baseName, file.identity, file.lines); });
    for (size_t n = 0; n < acceptedBefore; ++n) file.accepted[n] = true;
    if (acceptedBefore > 0)
        log_.write("First " + std::to_string(acceptedBefore) + " lines already accepted - not sent again: " + path);

    // An empty file has nothing to send and goes like a file sent in full.
    const bool sentInFull = acceptedBefore == file.lines.size() || sendRecords(file);
    sentLines_.close();
    if (!sentInFull && !file.anyAccepted && acceptedBefore == 0) return;
    // Once the accepted lines are out of the file, the note of them goes; otherwise it keeps them from
    // the server at the next send.
    if (settleSentFile(path, file, trap) && (file.anyAccepted || acceptedBefore > 0))
        trap(85, [&] { sentLines_.forget(baseName); });
}

bool FileUploader::sendRecords(OutFile& file) {
    errors::Trap trap(reporter_, "SendFileOK");
    const bool marked = kindHasBatchMarker(file.kind);
    int32_t retries = 0;
    // Read once for the whole file, so all its records carry the same marker; unreadable, it stays 0.
    int16_t batchMarker = 0;
    if (marked)
        trap(10, [&] { batchMarker = settings_.smallWholeNumber(settings::keys::batch(wireDigit(file.kind))); });

    for (size_t n = 0; n < file.lines.size(); ++n) {
        if (file.accepted[n]) continue;  // accepted in an earlier cycle
        const WireRecord wire = convertRecord(file.kind, file.lines[n], batchMarker);
        if (wire.markerSkipped)
            trap.report(15, platform::PlatformError(platform::err::InvalidProcedureCall,
                                                    "Record too short for the batch marker; sent without it"));
        for (;;) {
            const std::string reply = trap.value(20, std::string(), [&] { return exchange_.requestReply(wire.text); });
            switch (judgeReply(file.kind, reply)) {
                case ReplyVerdict::GiveUp: log_.write("*B " + wire.text); return false;
                case ReplyVerdict::Accepted:
                    file.accepted[n] = true;
                    file.anyAccepted = true;
                    // Records are accepted in order, so the first n+1 lines are the server's now.
                    if (!file.noteFailed)
                        file.noteFailed = !trap(22, [&] {
                            sentLines_.noteAccepted(outFileName(file.kind), file.identity, file.lines, n + 1);
                        });
                    log_.write(" G " + wire.text);
                    events_.lineAccepted(std::string(outFileName(file.kind)) + ".csv");
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
    if (marked)
        trap(25, [&] { settings_.save(settings::keys::batch(wireDigit(file.kind)), batchMarker == 0 ? "1" : "0"); });
    return true;
}

bool FileUploader::settleSentFile(const std::string& path, const OutFile& file, errors::Trap& trap) {
    const std::string dir = platform::parentDirectory(path);
    // Taken away by the host while we sent: nothing left to dispose of.
    if (!trap.value(40, true, [&] { return fs_.isFile(path) || fs_.isSymlink(path); })) return true;
    std::unique_ptr<platform::OpenFile> held;
    std::string bytesNow;
    platform::FileIdentity heldIdentity;
    if (!trap(45, [&] {
            held = fs_.openForReading(path);
            heldIdentity = held->status().identity;
            bytesNow = held->readFrom(0);
        }))
        return false;

    const std::string temp = outTempPath(path);
    const auto dropTemp = [&](int line) {
        trap(line, [&] {
            if (fs_.isFile(temp) || fs_.isSymlink(temp)) fs_.remove(temp);
        });
    };
    for (int attempt = 0; attempt < CutDownAttempts; ++attempt) {
        const CutDownPlan plan = planCutDown(file.bytesRead, file.lines, file.accepted, bytesNow);
        switch (plan.action) {
            case CutDownPlan::Action::LeaveAlone: return true;
            case CutDownPlan::Action::Replaced:
                log_.write("File changed while being sent - left as it is: " + path);
                return true;
            case CutDownPlan::Action::Delete: break;
            case CutDownPlan::Action::Rewrite:
                // The copy is made exclusively, with the original's mode and group: it becomes the host's file.
                dropTemp(60);
                if (!trap(65, [&] { fs_.createLike(temp, plan.content, path); })) {
                    dropTemp(75);  // a half-written copy must not stay beside the original
                    return false;
                }
                break;
        }
        // The last look before the file is replaced. Another file under the name is the host's now. Grown,
        // it is planned again while looks remain; after the last one, what was added since the read goes
        // over to the new file once the old one is replaced.
        bool sameFile = false;
        int64_t sizeNow = 0;
        if (!trap(47, [&] {
                sameFile = !fs_.isSymlink(path) && fs_.isFile(path) && fs_.identity(path) == heldIdentity;
                sizeNow = held->status().size;
            })) {
            dropTemp(75);
            return false;
        }
        const auto sizeRead = static_cast<int64_t>(bytesNow.size());
        const bool lastLook = attempt + 1 == CutDownAttempts;
        if (!sameFile || sizeNow < sizeRead || (sizeNow > sizeRead && !lastLook)) {
            dropTemp(75);
            if (!sameFile) return true;
            if (lastLook || !trap(49, [&] { bytesNow = held->readFrom(0); })) return false;
            continue;
        }
        const bool replaced = plan.action == CutDownPlan::Action::Delete ? trap(50, [&] { fs_.remove(path); })
                                                                         : trap(70, [&] { fs_.rename(temp, path); });
        if (!replaced) {
            dropTemp(75);  // the original is untouched; an unrenamed copy must not stay beside it
            return false;
        }
        RetiredFile retired{path, std::move(held), static_cast<int64_t>(bytesNow.size())};
        carryOver(retired, trap);
        trap(80, [&] { fs_.syncDirectory(dir); });
        retired_.push_back(std::move(retired));
        return true;
    }
    return false;  // not reached: the last look either swaps or gives up
}

bool FileUploader::carryOver(RetiredFile& retired, errors::Trap& trap) {
    std::string late;
    if (!trap(90, [&] { late = retired.file->readFrom(retired.carriedUpTo); })) return false;
    if (late.empty()) return true;
    if (!trap(95, [&] { fs_.append(retired.path, late, true); })) return false;
    retired.carriedUpTo += static_cast<int64_t>(late.size());
    log_.write("Lines added during the cut-down - kept: " + retired.path);
    return true;
}

}  // namespace ostrell::upload
