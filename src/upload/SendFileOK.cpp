#include "errors/Trap.h"
#include "settings/KeyTable.h"
#include "upload/FileUploader.h"
#include "upload/RecordConversion.h"
#include "upload/ReplyVerdict.h"

namespace ostrell::upload {

bool FileUploader::SendFileOK() {
    errors::Trap trap(reporter_, "SendFileOK");
    const int kind = OutFileIndex;
    const bool marked = kindHasBatchMarker(kind);
    int32_t retries = 0;
    // Read once for the whole file, so all its records carry the same marker; unreadable, it stays 0.
    int16_t batchMarker = 0;
    if (marked) trap(10, [&] { batchMarker = settings_.smallWholeNumber(settings::keys::Batch(kind)); });
    if (OutLineSent.size() != OutLines.size()) OutLineSent.resize(OutLines.size(), false);

    for (size_t n = 0; n < OutLines.size(); ++n) {
        if (OutLineSent[n]) continue;  // accepted in an earlier cycle
        const WireRecord wire = convertRecord(kind, OutLines[n], batchMarker);
        if (wire.markerSkipped)
            trap(15, [] {
                throw platform::PlatformError(platform::err::InvalidProcedureCall,
                                              "Record too short for the batch marker; sent without it");
            });
        for (;;) {
            const std::string reply =
                trap.value(20, [&] { return exchange_.WaitForResponse(wire.text); }, std::string());
            switch (judgeReply(kind, reply)) {
                case ReplyVerdict::GiveUp:
                    log_.LogRec("*B " + wire.text);
                    return false;
                case ReplyVerdict::Accepted:
                    log_.LogRec(" G " + wire.text);
                    OutLineSent[n] = true;
                    OutAnySent = true;
                    break;
                case ReplyVerdict::Refused:
                    log_.LogRec(reply);
                    log_.LogRec("*F " + wire.text);
                    break;
                case ReplyVerdict::NoVerdict:
                    log_.LogRec(reply);
                    break;
            }
            if (OutLineSent[n]) break;
            if (++retries >= RetryBudget) {
                log_.LogRec("*T " + wire.text);
                return false;
            }
            log_.LogRec("*R " + wire.text);
        }
    }
    if (marked) trap(25, [&] { settings_.save(settings::keys::Batch(kind), batchMarker == 0 ? "1" : "0"); });
    return true;
}

}  // namespace ostrell::upload
