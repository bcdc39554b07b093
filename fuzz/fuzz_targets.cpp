// The libFuzzer targets: each binary is this file built with OSTRELL_FUZZ_TARGET naming one of the
// properties below, which the input must never break.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "download/RecordValidation.h"
#include "download/ReplyClassification.h"
#include "download/SplitFields.h"
#include "errors/ErrorReporter.h"
#include "fakes/RecordingErrorSink.h"
#include "net/LineFramer.h"
#include "net/ReplyCleanup.h"
#include "upload/OutFileCutDown.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"
#include "upload/ReplyVerdict.h"

using namespace ostrell;

// A broken property makes the input a finding: abort, and the fuzzer keeps it.
#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "property failed: %s, line %d\n", #c, __LINE__), std::abort()))

namespace {

constexpr auto npos = std::string::npos;
uint8_t byte(std::string_view in, size_t at) { return static_cast<uint8_t>(in[at]); }

// The server's byte stream framed in arrivals of any size: nothing lost, added or reordered.
[[maybe_unused]] void lineFramer(std::string_view in) {
    if (in.size() < 2) return;
    const size_t limit = 1 + byte(in, 0) % 64;  // small, so that the fuzzer reaches it
    const std::string_view stream = in.substr(2);
    net::LineFramer framer(limit);
    std::string delivered;
    for (size_t at = 0, step = 1 + byte(in, 1) % 17; at < stream.size(); at += step, step = 1 + (step * 7 + at) % 23) {
        const auto result = framer.feed(stream.substr(at, step), [&](const std::string& line) {
            CHECK(!line.empty() && line.find('\n') == line.size() - 1 && line.size() <= limit + 1);
            delivered += line;
        });
        if (result == net::LineFramer::Result::LineTooLong) return CHECK(!framer.hasPartial());
    }
    const std::string partial = framer.takePartial();
    CHECK(partial.find('\n') == npos && partial.size() <= limit && delivered + partial == stream);
}

// A reply as the agent judges it: cleaned, classified, its record line, the upload verdict.
[[maybe_unused]] void replyClassification(std::string_view in) {
    const std::string raw(in);
    for (const bool greeting : {false, true}) {
        const net::CleanedLine line = net::cleanLine(raw, greeting);
        CHECK(line.text.find_first_of("\r\n") == npos);
        CHECK(line.counts ? line.text.empty() || (line.text.front() != ' ' && line.text.back() != ' ')
                          : line.text.size() < 3);
    }
    const std::string reply = net::trimBlanks(net::cleanLine(raw, false).text);
    for (const char* type : {"10", "11"}) {
        using K = download::ReplyKind;
        const K kind = download::classifyReply(reply, type);
        const bool typed = reply.find(type) != npos, bad = reply.starts_with("BAD");
        CHECK(typed == (kind == K::EndOfRecords || kind == K::Short || kind == K::Record));
        CHECK((kind != K::Failure || bad) && (kind != K::Unexpected || !bad));
        CHECK((kind != K::Short || reply.size() <= 7) && (kind != K::Record || reply.size() >= 8));
        const std::string record = download::recordLine(reply);
        CHECK(reply.ends_with(record) && (reply.find('"') == npos || record.starts_with('"')));
    }
    const int uploadKind = 1 + (in.empty() ? 0 : byte(in, 0) % 7);
    CHECK((upload::judgeReply(uploadKind, reply) == upload::ReplyVerdict::GiveUp) == (reply == "BAD"));
}

// A record reply split into fields and validated: the fields give back the text; a valid record has
// the right field count, and an invalid one leaves the record number alone.
[[maybe_unused]] void recordValidation(std::string_view in) {
    if (in.empty()) return;
    const std::string separator(in.substr(0, 1)), text(in.substr(1));
    const auto fields = download::splitFields(text, separator);
    std::string back;
    for (size_t i = 1; i < fields.size(); ++i) {
        CHECK(fields[i].find(separator) == npos);
        back += (i > 1 ? separator : "") + fields[i];
    }
    CHECK(fields.size() >= 2 && fields[0].empty() && (back == text || back + separator == text));
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter(sinks, terminator);
    const size_t count = download::validationFields(text).size() - 1;
    for (const bool booking : {true, false}) {
        int32_t recordNo = -12345;
        const bool ok = booking ? download::validateBooking(text, recordNo, reporter)
                                : download::validatePayment(text, recordNo, reporter);
        CHECK(ok ? count == (booking ? download::BookingRule : download::PaymentRule).fieldsRequired
                 : recordNo == -12345);
    }
}

// An outgoing file: each line one wire record; after sending (the host may have appended meanwhile)
// every line not accepted as it was sent stays, in order, and the rest go.
[[maybe_unused]] void recordConversion(std::string_view in) {
    if (in.size() < 4) return;
    const int kind = 1 + byte(in, 0) % 7;
    const auto marker = static_cast<int16_t>(byte(in, 1) | byte(in, 2) << 8);
    const std::string file(in.substr(4));
    const auto lines = upload::readOutLines(file);
    for (const auto& line : lines) {
        const std::string wire = upload::convertRecord(kind, line, marker).text;
        CHECK(wire.find_first_of("\r\n") == npos && wire.starts_with(std::to_string(kind) + "|"));
    }
    const std::string bytesRead = file.substr(0, byte(in, in.size() - 1) % (file.size() + 1));
    const auto sent = upload::readOutLines(bytesRead);
    std::vector<bool> accepted(sent.size());
    for (size_t n = 0; n < sent.size(); ++n) accepted[n] = (byte(in, 3) >> (n % 8)) & 1;
    const upload::CutDownPlan plan = upload::planCutDown(bytesRead, sent, accepted, file);
    std::vector<std::string> keep;
    for (size_t n = 0; n < lines.size(); ++n)
        if (!(n < sent.size() && accepted[n] && lines[n] == sent[n])) keep.push_back(lines[n]);
    using A = upload::CutDownPlan::Action;
    CHECK(plan.action != A::Replaced && plan.removed + keep.size() == lines.size());
    CHECK(plan.action == A::Delete       ? keep.empty()
          : plan.action == A::LeaveAlone ? keep.size() == lines.size()
                                         : upload::readOutLines(plan.content) == keep);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OSTRELL_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
