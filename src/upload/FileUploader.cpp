#include "upload/FileUploader.h"

#include "errors/Trap.h"
#include "upload/OutFileCutDown.h"
#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"

namespace ostrell::upload {

bool FileUploader::TransFiles() {
    errors::Trap trap(reporter_, "TransFiles");
    for (int kind = FirstOutKind; kind <= LastOutKind; ++kind) {
        const std::string path = outFilePath(params_.DataDirPath, kind);
        if (trap.value(10, [&] { return fs_.isFile(path); }, false)) return true;
    }
    return false;
}

void FileUploader::clearOutFile() {
    OutLines.clear();
    OutLines.shrink_to_fit();
    OutLineSent.clear();
    OutLineSent.shrink_to_fit();
    outBytesRead_.clear();
    outBytesRead_.shrink_to_fit();
    OutAnySent = false;
}

void FileUploader::SendFiles() {
    errors::Trap trap(reporter_, "SendFiles");
    clearOutFile();
    for (int kind = FirstOutKind; kind <= LastOutKind; ++kind) {
        sendOutFile(kind, trap);
        clearOutFile();
    }
}

void FileUploader::sendOutFile(int kind, errors::Trap& trap) {
    const std::string path = outFilePath(params_.DataDirPath, kind);
    const std::string baseName = OutFileNames[kind];
    // A copy left by a cut-down that a crash interrupted; the original it was made from is intact.
    const std::string temp = outTempPath(path);
    trap(10, [&] { if (fs_.isFile(temp) || fs_.isSymlink(temp)) fs_.remove(temp); });
    const bool isLink = trap.value(12, [&] { return fs_.isSymlink(path); }, false);
    if (!isLink && !trap.value(15, [&] { return fs_.isFile(path); }, false)) return;
    if (isLink) {
        // Following it would send whatever it points at and cut that down; the host never makes one.
        log_.LogRec("Outgoing file is a symbolic link - not sent, left as it is: " + path);
        trap(17, [&] {
            throw platform::PlatformError(platform::err::PathFileAccessError,
                                          path + " is a symbolic link: not sent, left as it is");
        });
        return;
    }

    // Unreadable (locked, vanished, not a file): reported, left as it is, nothing of it sent.
    const bool loaded = trap(20, [&] {
        outBytesRead_ = fs_.readAll(path);
        OutLines = readOutLines(outBytesRead_);
        OutLineSent.assign(OutLines.size(), false);
    });
    if (!loaded) return;
    OutFileIndex = kind;
    OutAnySent = false;

    // Lines the server accepted in an earlier cycle from a file that could not be cut down.
    const size_t acceptedBefore =
        trap.value(25, [&] { return sentLines_.acceptedBefore(baseName, path, OutLines); }, size_t{0});
    for (size_t n = 0; n < acceptedBefore; ++n) OutLineSent[n] = true;
    if (acceptedBefore > 0)
        log_.LogRec("First " + std::to_string(acceptedBefore) + " lines already accepted - not sent again: " + path);

    // An empty file has nothing to send and goes like a file sent in full.
    const bool sentInFull = acceptedBefore == OutLines.size() || SendFileOK();
    if (!sentInFull && !OutAnySent && acceptedBefore == 0) return;
    if (settleSentFile(fs_, log_, trap, path, outBytesRead_, OutLines, OutLineSent)) {
        if (acceptedBefore > 0) trap(30, [&] { sentLines_.forget(baseName); });
        return;
    }
    // Still in the folder with lines the server has: noted, so the next cycle starts after them.
    // Lines are accepted in order, so the accepted ones are the leading ones.
    size_t accepted = 0;
    while (accepted < OutLineSent.size() && OutLineSent[accepted]) ++accepted;
    if (accepted != acceptedBefore) trap(35, [&] { sentLines_.remember(baseName, path, OutLines, accepted); });
}

}  // namespace ostrell::upload
