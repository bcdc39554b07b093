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
        const std::string path = outFilePath(params_.DataDirPath, kind);
        // A copy left by a cut-down that a crash interrupted; the original it was made from is intact.
        const std::string temp = outTempPath(path);
        trap(10, [&] { if (fs_.isFile(temp)) fs_.remove(temp); });
        if (!trap.value(15, [&] { return fs_.isFile(path); }, false)) continue;

        // Unreadable (locked, vanished, not a file): reported, left as it is, nothing of it sent.
        const bool loaded = trap(20, [&] {
            outBytesRead_ = fs_.readAll(path);
            OutLines = readOutLines(outBytesRead_);
            OutLineSent.assign(OutLines.size(), false);
        });
        if (!loaded) {
            clearOutFile();
            continue;
        }
        OutFileIndex = kind;
        OutAnySent = false;

        // An empty file has nothing to send and goes like a file sent in full.
        const bool sentInFull = OutLines.empty() || SendFileOK();
        if (sentInFull || OutAnySent)
            settleSentFile(fs_, log_, trap, path, outBytesRead_, OutLines, OutLineSent);
        clearOutFile();
    }
}

}  // namespace ostrell::upload
