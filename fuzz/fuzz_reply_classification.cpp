// The server's replies as the agent judges them: download classification and record line, upload
// verdict, and the receive side's clean-up of a line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "download/ReplyClassification.h"
#include "net/ReplyCleanup.h"
#include "upload/ReplyVerdict.h"

using namespace ostrell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);

    for (const bool greeting : {false, true}) {
        const net::CleanedLine line = net::cleanLine(raw, greeting);
        FUZZ_CHECK(line.text.find('\r') == std::string::npos && line.text.find('\n') == std::string::npos);
        if (line.counts) {
            FUZZ_CHECK(line.text.empty() || (line.text.front() != ' ' && line.text.back() != ' '));
        } else {
            FUZZ_CHECK(line.text.size() < 3);
        }
        if (!greeting) FUZZ_CHECK(line.text.size() <= raw.size());
    }

    const std::string reply = net::trimBlanks(net::cleanLine(raw, false).text);
    for (const char* type : {"10", "11"}) {
        const download::ReplyKind kind = download::classifyReply(reply, type);
        const bool hasType = reply.find(type) != std::string::npos;
        switch (kind) {
            case download::ReplyKind::Failure: FUZZ_CHECK(!hasType && reply.compare(0, 3, "BAD") == 0); break;
            case download::ReplyKind::Unexpected: FUZZ_CHECK(!hasType && reply.compare(0, 3, "BAD") != 0); break;
            case download::ReplyKind::EndOfRecords: FUZZ_CHECK(hasType); break;
            case download::ReplyKind::Short: FUZZ_CHECK(hasType && reply.size() <= 7); break;
            case download::ReplyKind::Record: FUZZ_CHECK(hasType && reply.size() >= 8); break;
        }
        const std::string record = download::recordLine(reply);
        FUZZ_CHECK(record.size() <= reply.size());
        FUZZ_CHECK(reply.compare(reply.size() - record.size(), record.size(), record) == 0);
        if (reply.find('"') != std::string::npos) FUZZ_CHECK(!record.empty() && record.front() == '"');
    }

    const int kind = size > 0 ? 1 + data[0] % 7 : 1;
    const upload::ReplyVerdict verdict = upload::judgeReply(kind, reply);
    FUZZ_CHECK((verdict == upload::ReplyVerdict::GiveUp) == (reply == "BAD"));
    return 0;
}
